#include "services/recordingsaver.h"

#include "base/applog.h"
#include "card/diskroom.h"
#include "card/processmanager.h"
#include "card/savedfiles.h"
#include "card/workingfolder.h"
#include "services/playablefile.h"
#include "services/workingcopy.h"
#include "services/workingfiles.h"

#include <QDir>
#include <QPointer>

#include <algorithm>
#include <limits>

namespace korvane {

namespace {

// What saving a row writes at most: an unfinished recording saved whole is kept as the card
// holds it and beside it rebuilt. Sums stop at the largest count: a card claims what it likes.
qint64 claimedBytes(const FileListItem &row, int choice)
{
    const qint64 size = std::max<qint64>(0, row.size);
    const bool twice = choice == 0 && row.needsRebuild();
    return twice && size > std::numeric_limits<qint64>::max() / 2
               ? std::numeric_limits<qint64>::max()
               : (twice ? 2 * size : size);
}

// The name camera `channel` (from 0) of a recording is saved under: "<base>_CH<n>.mp4".
QString channelFileName(const QString &name, int channel)
{
    return suffixedFileName(withExtension(name, QStringLiteral(".mp4")),
                            QStringLiteral("_CH%1").arg(channel + 1));
}

// Whether copying a file of `size` bytes leaves the working folder's disk room enough.
bool roomToCopy(qint64 size)
{
    return leavesRoom(WorkingFolder::tempRoot(), size);
}

} // namespace

RecordingSaver::RecordingSaver(ProcessManager &card, QObject *parent)
    : QObject(parent), m_card(card), m_cardGeneration([] { return quint64{0}; })
{
}

void RecordingSaver::setCardGeneration(std::function<quint64()> generation)
{
    m_cardGeneration = std::move(generation);
}

QList<FileListItem> RecordingSaver::rowsWithRoom(const QList<FileListItem> &rows,
                                                 const QString &folder, int choice)
{
    QList<FileListItem> fitting;
    qint64 claimed = 0;
    for (const FileListItem &row : rows) {
        const qint64 bytes = claimedBytes(row, choice);
        if (bytes > std::numeric_limits<qint64>::max() - claimed ||
            !leavesRoom(folder, claimed + bytes))
            continue;
        claimed += bytes;
        fitting.append(row);
    }
    return fitting;
}

QCoro::Task<RecordingSaver::RowDownload> RecordingSaver::downloadRow(FileListItem item,
                                                                     QString folder, int choice)
{
    if (choice == 0)
        co_return co_await download(item, folder);
    co_return co_await downloadChannel(item, folder, choice - 1);
}

QCoro::Task<RecordingSaver::RowDownload> RecordingSaver::copiedFromCard(FileListItem item)
{
    RowDownload copied;
    copied.saved = Saved::yes;
    if (hasOwnCopy(m_card, item))
        co_return copied;
    copied.saved = Saved::failed;
    // A picked file's copy is made when it is picked; the card has nothing of it.
    if (item.fromComputer) {
        copied.problem = QStringLiteral("its copy in the working folder is gone");
        co_return copied;
    }
    if (!roomToCopy(item.size)) {
        copied.saved = Saved::noRoom;
        copied.problem = QStringLiteral("too little room left in ") + WorkingFolder::tempRoot();
        co_return copied;
    }
    QPointer<RecordingSaver> self(this);
    const quint64 card = m_cardGeneration();
    const QString cardPath = item.cardPath();
    co_await m_card.readCardFile(cardPath);
    if (!self)
        co_return copied;
    if (card != m_cardGeneration()) {
        copied.saved = Saved::cardLeft;
        copied.problem = QStringLiteral("the card was taken out");
        co_return copied;
    }
    emit rowCopied(item);
    if (hasOwnCopy(m_card, item))
        copied.saved = Saved::yes;
    else
        copied.problem = m_card.lastReadProblem().isEmpty()
                             ? QStringLiteral("it could not be read from the card")
                             : m_card.lastReadProblem();
    co_return copied;
}

QCoro::Task<RecordingSaver::RowDownload> RecordingSaver::download(FileListItem item, QString folder)
{
    appLog(logModel, "[AppViewModel] download:", item.cardPath());
    const QString name = savedFileName(item.name, folderFileSystem(folder));
    QPointer<RecordingSaver> self(this);
    RowDownload result = co_await copiedFromCard(item);
    result.path = QDir(folder).filePath(name);
    if (!self || result.saved != Saved::yes)
        co_return result;
    const QString local = localCopy(item);
    // The working copy stays: the player and the next download may want it.
    const SavedFile kept = co_await saveNewFile(local, result.path, Transfer::copy);
    if (!self)
        co_return result;
    if (kept.path.isEmpty()) {
        appLog(logModel, "[AppViewModel] download failed:", kept.error);
        result.saved = Saved::failed;
        result.problem = kept.error;
        co_return result;
    }
    result.path = kept.path;
    result.files.append(kept.path);
    if (!item.needsRebuild())
        co_return result;

    // An unfinished recording has no index, and no player opens it: it is saved as the card holds
    // it, and beside it rebuilt into an MP4 that plays. The original counts: a recording whose
    // rebuild fails is still saved.
    // The original is saved whatever comes next; without the MP4 beside it the user is told.
    result.saved = Saved::notRebuilt;
    result.problem = QStringLiteral("no MP4 that plays could be rebuilt from it");
    const QString work = WorkingFolder::workFolder(QStringLiteral("download"));
    if (work.isEmpty())
        co_return result;
    const QString temp = work + QStringLiteral("temp.mp4");
    const bool rebuilt = co_await rebuildWithSound(m_card.conversions(), local, temp);
    if (!self)
        co_return result;
    if (rebuilt && fileBytes(temp) != 0) {
        const SavedFile playable = co_await saveNewFile(
            temp, withExtension(result.path, QStringLiteral(".mp4")), Transfer::move);
        if (!self)
            co_return result;
        if (!playable.path.isEmpty()) {
            result.path = playable.path;
            result.files.append(playable.path);
            result.saved = Saved::yes;
            result.problem.clear();
        } else {
            result.problem = playable.error;
        }
    }
    WorkingFolder::deleteDirectory(temp);
    co_return result;
}

QCoro::Task<RecordingSaver::RowDownload>
RecordingSaver::downloadChannel(FileListItem item, QString folder, int channel)
{
    const QString name = savedFileName(item.name, folderFileSystem(folder));
    QPointer<RecordingSaver> self(this);
    RowDownload result = co_await copiedFromCard(item);
    result.path = QDir(folder).filePath(channelFileName(name, channel));
    if (!self || result.saved != Saved::yes)
        co_return result;
    result.saved = Saved::failed;
    result.problem = QStringLiteral("no MP4 that plays could be made of it");
    const QString local = localCopy(item);
    const QString cardPath = item.cardPath();
    const QString work = WorkingFolder::workFolder(QStringLiteral("download"));
    if (work.isEmpty())
        co_return result;

    const QString temp = work + QStringLiteral("temp.mp4");
    bool ok = true;
    bool rebuild = item.needsRebuild();
    if (!rebuild) {
        const std::optional<QString> complaint =
            co_await m_card.conversions().remuxVideo(local, temp);
        if (!self)
            co_return result;
        if (complaint) {
            appLog(logModel, "[AppViewModel] download " + cardPath + " -> " + *complaint);
            rebuild = true;
        }
    }
    if (rebuild)
        ok = co_await rebuildWithSound(m_card.conversions(), local, temp);
    if (!self || !ok)
        co_return result;

    const int videos = trackCount(temp, TrackKind::video);
    const int audio = trackCount(temp, TrackKind::audio);
    if (!self)
        co_return result;
    if (videos <= channel) {
        WorkingFolder::deleteDirectory(temp);
        result.saved = videos == 0 ? Saved::failed : Saved::noSuchChannel;
        co_return result;
    }
    // Made in the working folder and moved whole: the chosen folder never holds half a file.
    const QString extracted = work + QStringLiteral("channel.mp4");
    if (audio > 0)
        co_await m_card.conversions().extractChannelWithAudio(temp, channel, extracted);
    else
        co_await m_card.conversions().extractChannel(temp, channel, extracted);
    WorkingFolder::deleteDirectory(temp);
    if (!self)
        co_return result;
    // A camera that could not be taken out is not saved: the whole recording under the
    // camera's name would be a file that is not what it says.
    if (fileBytes(extracted) == 0) {
        appLog(logModel, "[AppViewModel] download " + cardPath + " -> camera", channel + 1,
               "could not be extracted");
        WorkingFolder::deleteDirectory(extracted);
        result.problem = QStringLiteral("its camera %1 could not be taken out").arg(channel + 1);
        co_return result;
    }
    const SavedFile saved = co_await saveNewFile(extracted, result.path, Transfer::move);
    if (!self)
        co_return result;
    if (saved.path.isEmpty()) {
        appLog(logModel, "[AppViewModel] download failed:", saved.error);
        WorkingFolder::deleteDirectory(extracted);
        result.problem = saved.error;
        co_return result;
    }
    result.problem.clear();
    result.path = saved.path;
    result.files.append(saved.path);
    result.saved = Saved::yes;
    co_return result;
}

} // namespace korvane
