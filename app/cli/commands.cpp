#include "cli/commands.h"

#include "base/argumentpaths.h"

#include "card/processmanager.h"
#include "card/workingfolder.h"
#include "cli/cardaccess.h"
#include "cli/drivelisting.h"
#include "cli/output.h"
#include "records/gpxtrack.h"
#include "records/metadataextraction.h"
#include "services/recordingsaver.h"
#include "services/workingcopy.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <optional>

namespace korvane::cli {

std::optional<QString> unreadableRecording(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("a folder, not a recording");
    // A device or pipe may never end: a recording is a file.
    if (info.exists() && !info.isFile())
        return QStringLiteral("not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return std::nullopt;
}

namespace {

// The recording's records, or nothing after saying why there are none.
std::optional<MediaRecords> readRecords(const QString &path)
{
    std::optional<QString> why = unreadableRecording(path);
    MediaRecords records;
    if (!why) {
        records = extractMediaRecords(path);
        if (records.size() == 1 && records.first().contains(QStringLiteral("error")))
            why = QStringLiteral("the file could not be read to its end");
    }
    if (why) {
        complain(QStringLiteral("cannot read %1: %2").arg(path, *why));
        return std::nullopt;
    }
    return records;
}

} // namespace

int printMetadata(const QString &path)
{
    const std::optional<MediaRecords> records = readRecords(path);
    if (!records)
        return 1;
    writeOut(mediaRecordsJson(*records));
    if (records->isEmpty())
        complain(QStringLiteral("no records in ") + path);
    return 0;
}

int printGpx(const QString &path)
{
    const std::optional<MediaRecords> records = readRecords(path);
    if (!records)
        return 1;
    writeOut(gpxTrack(*records, QFileInfo(path).fileName()));
    if (gpxPointCount(*records) == 0)
        complain(QStringLiteral("no GPS fixes in ") + path);
    return 0;
}

namespace {

volatile std::sig_atomic_t savingStopped = 0;

void stopSaving(int signal)
{
    savingStopped = 1;
    std::signal(signal, SIG_DFL); // a second one ends the command at once
}

} // namespace

// The card's recordings as the viewer lists them, read through durnix from a card or an image.
int printCardList(const QString &card, const QString &type, CardListing listing, bool showProgress)
{
    if (const std::optional<QString> why = unreadableCard(card)) {
        complain(QStringLiteral("cannot read %1: %2").arg(card, *why));
        return 1;
    }
    ProcessManager manager;
    ProgressLine progress(showProgress);
    progress.show(QStringLiteral("preparing the tools"));
    if (const std::optional<QString> why = prepareCard(manager, card)) {
        progress.clear();
        complain(*why);
        return 1;
    }
    QObject::connect(&manager, &ProcessManager::readingCardFolder, &manager,
                     [&](const QString &folder) {
                         progress.show(QStringLiteral("reading %1 on %2").arg(folder, card));
                     });
    const QList<FileListItem> recordings = QCoro::waitFor(manager.loadCardFiles());
    progress.clear();
    if (!manager.tools().setupProblem().isEmpty()) {
        complain(manager.tools().setupProblem());
        return 1;
    }
    if (manager.bbox().isEmpty() && recordings.isEmpty()) {
        complainUnread(manager, card);
        return 1;
    }
    if (listing == CardListing::recordings) {
        QByteArray out;
        for (const FileListItem &item : recordings) {
            if (type.isEmpty() || item.type == type)
                out += printable(item.type) + '\t' + printable(item.name) + '\t' +
                       QByteArray::number(item.size) + '\n';
        }
        out += "active channels: " + QByteArray::number(manager.activeChannelCount()) + '\n';
        writeOut(out);
    } else {
        // Every folder takes part: the others' recordings tell the lengths and the trips.
        QList<Drive> drives = findDrives(recordings);
        if (!type.isEmpty())
            drives.removeIf([&](const Drive &drive) {
                return std::none_of(drive.recordings.cbegin(), drive.recordings.cend(),
                                    [&](const DriveRecording &r) { return r.row.type == type; });
            });
        writeOut(listing == CardListing::drivesJson ? drivesJson(drives) : drivesText(drives));
    }
    if (!manager.cardProblem().isEmpty())
        complain(QStringLiteral("some of %1 could not be read: ").arg(card) +
                 QString::fromUtf8(printable(manager.cardProblem())));
    return 0;
}

// The viewer's tool set-up from the command line: tools folder, working folder, and which way
// SD cards will be read, and why.
int setUp()
{
    ToolSet tools;
    if (!QCoro::waitFor(tools.prepareTools())) {
        complain(tools.setupProblem());
        return 1;
    }
    const bool readable = tools.chooseCardAccess();
    const QByteArray said = tools.cardAccessDescription().toUtf8() + '\n';
    if (!readable) {
        complain(QString::fromUtf8(said).trimmed());
        return 1;
    }
    writeOut(said);
    return 0;
}

// The download of the viewer, over every recording of one type on the card.
int saveCard(const QString &card, const QString &folder, const QString &type, int channel,
             bool showProgress)
{
    if (!QFileInfo(folder).isDir()) {
        complain(QStringLiteral("cannot write into %1: %2")
                     .arg(folder, QFileInfo::exists(folder) ? QStringLiteral("not a folder")
                                                            : QStringLiteral("no such folder")));
        return 1;
    }
    if (const std::optional<QString> why = unreadableCard(card)) {
        complain(QStringLiteral("cannot read %1: %2").arg(card, *why));
        return 1;
    }
    // A working folder of this run's own, gone at its end: a viewer that runs meanwhile keeps
    // its copies, and the card's recordings do not stay behind in the cache.
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(caches);
    const QTemporaryDir work(caches + QStringLiteral("/korvane-cli-XXXXXX"));
    if (!work.isValid()) {
        complain(QStringLiteral("cannot make a working folder: ") + work.errorString());
        return 1;
    }
    WorkingFolder::useWorkingFolder(work.path());
    ProcessManager manager;
    if (const std::optional<QString> why = prepareCard(manager, card)) {
        complain(*why);
        return 1;
    }
    ProgressLine progress(showProgress);
    progress.show(QStringLiteral("reading ") + card);
    QList<FileListItem> rows = QCoro::waitFor(manager.loadCardFiles());
    sortNewestFirst(rows);
    if (manager.bbox().isEmpty() && rows.isEmpty()) {
        progress.clear();
        complainUnread(manager, card);
        return 1;
    }
    if (type != u"all")
        rows.removeIf([&](const FileListItem &row) { return row.type != type; });

    // What the card claims is checked before anything is copied: a card can claim sizes its
    // file system does not hold.
    const QList<FileListItem> fitting = RecordingSaver::rowsWithRoom(rows, folder, channel);
    qsizetype unsaved = rows.size() - fitting.size();
    for (const FileListItem &row : rows) {
        if (std::none_of(fitting.cbegin(), fitting.cend(),
                         [&](const FileListItem &fit) { return fit.id == row.id; }))
            complain(QStringLiteral("cannot save %1: not enough room")
                         .arg(QString::fromUtf8(printable(row.cardPath()))));
    }
    // Ctrl+C, a closed terminal or a kill: the recording under way is finished (its tools run
    // on in process groups of their own), then the run stops and its working folder goes.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, stopSaving);
    RecordingSaver saver(manager);
    for (qsizetype k = 0; k < fitting.size(); ++k) {
        const FileListItem &row = fitting[k];
        progress.show(QStringLiteral("%1/%2 %3").arg(k + 1).arg(fitting.size()).arg(row.name));
        const RecordingSaver::RowDownload result =
            QCoro::waitFor(saver.downloadRow(row, folder, channel));
        progress.clear();
        WorkingFolder::deleteDirectory(localCopy(row));
        // The paths as they are, for scripts: the names made hold no control character.
        for (const QString &file : result.files)
            writeOut(userPath(file) + '\n');
        if (result.saved != RecordingSaver::Saved::yes) {
            ++unsaved;
            const QString name = QString::fromUtf8(printable(row.cardPath()));
            complain(
                result.saved == RecordingSaver::Saved::noSuchChannel
                    ? QStringLiteral("cannot save %1: it has no channel %2").arg(name).arg(channel)
                : result.saved == RecordingSaver::Saved::notRebuilt
                    ? QStringLiteral("saved %1 as the card holds it, but %2")
                          .arg(name, QString::fromUtf8(printable(result.problem)))
                    : QStringLiteral("cannot save %1: %2")
                          .arg(name, QString::fromUtf8(printable(result.problem))));
        }
        if (savingStopped) {
            complain(QStringLiteral("interrupted: stopped after %1 of %2 recordings")
                         .arg(k + 1)
                         .arg(fitting.size()));
            return 130; // as a shell reports a command ended by Ctrl+C
        }
    }
    if (fitting.size() < rows.size())
        complain(QStringLiteral("%1 of %2 recordings left: they claim more room than %3 has to "
                                "spare (Korvane keeps 2 GiB or 5 % of a disk free)")
                     .arg(rows.size() - fitting.size())
                     .arg(rows.size())
                     .arg(folder));
    if (!manager.cardProblem().isEmpty()) {
        complain(
            QStringLiteral("some of %1 could not be read, so not every recording on it was saved: ")
                .arg(card) +
            QString::fromUtf8(printable(manager.cardProblem())));
        return 1;
    }
    return unsaved == 0 ? 0 : 1;
}

} // namespace korvane::cli
