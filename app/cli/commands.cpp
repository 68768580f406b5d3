#include "commands.h"

#include "gpxtrack.h"
#include "metadataextraction.h"
#include "output.h"
#include "processmanager.h"

#include <QCoroTask>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <sys/stat.h>

namespace korvane::cli {

namespace {

// Why a recording cannot be read, in the words of the file system; nothing when it can.
std::optional<QString> unreadable(const QString &path)
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

// The recording's records, or nothing after saying why there are none.
std::optional<MediaRecords> readRecords(const QString &path)
{
    std::optional<QString> why = unreadable(path);
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

// The card's recordings as the viewer lists them, read through durnix from a card or an image:
// a card device through the privileged durnix, an image with the user's own rights.
int printCardList(const QString &card, const QString &type, bool showProgress)
{
    // A card is a block device, read through the durnix with root's rights; anything else is
    // taken for a card image, read with the user's own.
    struct stat st
    {
    };
    const bool cardDevice =
        stat(QFile::encodeName(card).constData(), &st) == 0 && S_ISBLK(st.st_mode);
    if (!cardDevice) {
        if (const std::optional<QString> why = unreadable(card)) {
            complain(QStringLiteral("cannot read %1: %2")
                         .arg(card, QFileInfo(card).isDir()
                                        ? QStringLiteral("a folder, not a card or card image")
                                        : *why));
            return 1;
        }
    }
    ProcessManager manager;
    manager.setUsesCardImage(!cardDevice);
    ProgressLine progress(showProgress);
    progress.show(QStringLiteral("preparing the tools"));
    if (!QCoro::waitFor(manager.prepareTools())) {
        progress.clear();
        complain(manager.setupProblem());
        return 1;
    }
    if (cardDevice && !manager.checkPrivilege(QStringLiteral("durnix"))) {
        progress.clear();
        complain(QStringLiteral("durnix cannot read SD cards yet; run 'korvane-cli setup' first"));
        return 1;
    }
    QObject::connect(&manager, &ProcessManager::readingCardFolder, &manager,
                     [&](const QString &folder) {
                         progress.show(QStringLiteral("reading %1 on %2").arg(folder, card));
                     });
    manager.setRawDevicePath(card);
    const QList<FileListItem> recordings = QCoro::waitFor(manager.loadCardFiles());
    progress.clear();
    if (!manager.setupProblem().isEmpty()) {
        complain(manager.setupProblem());
        return 1;
    }
    if (manager.bbox().isEmpty() && recordings.isEmpty()) {
        complain(manager.cardProblem().isEmpty()
                     ? QStringLiteral("cannot read %1: no dashcam settings or recordings on it")
                           .arg(card)
                     : QString::fromUtf8(printable(manager.cardProblem())));
        return 1;
    }
    QByteArray out;
    for (const FileListItem &item : recordings) {
        if (type.isEmpty() || item.type == type)
            out += printable(item.type) + '\t' + printable(item.name) + '\t' +
                   QByteArray::number(item.size) + '\n';
    }
    out += "active channels: " + QByteArray::number(manager.activeChannelCount()) + '\n';
    writeOut(out);
    if (!manager.cardProblem().isEmpty())
        complain(QStringLiteral("some of %1 could not be read: ").arg(card) +
                 QString::fromUtf8(printable(manager.cardProblem())));
    return 0;
}

// The viewer's tool set-up from the command line: tools folder, working folder and a durnix
// that can read SD cards, with the administrator prompt when one is needed.
int setUp()
{
    ProcessManager manager;
    if (!QCoro::waitFor(manager.initializeTools())) {
        complain(manager.setupProblem());
        return 1;
    }
    writeOut("durnix can read SD cards: " + manager.privilegedToolPath().toUtf8() + '\n');
    return 0;
}

} // namespace korvane::cli
