// Saving the ticked recordings into a folder: each whole as the card holds it, or one camera
// channel with its sound. Nothing in the folder is replaced: a name that is taken gives way to
// the next free one. A file that could not be saved is named; nothing half-made is left.
#include "model/appviewmodel.h"

#include "base/applog.h"
#include "card/diskroom.h"
#include "card/savedfiles.h"
#include "model/workingfiles.h"

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

} // namespace

QList<FileListItem> AppViewModel::rowsWithRoom(const QList<FileListItem> &rows,
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

QList<FileListItem> AppViewModel::rowsToDownload() const
{
    QList<FileListItem> rows = checkedItems();
    // Nothing ticked: the recording that plays is the one meant.
    if (rows.isEmpty() && m_openRecording)
        rows.append(*m_openRecording);
    return rows;
}

bool AppViewModel::readyToDownload()
{
    if (m_isDownloading)
        return false;
    if (!rowsToDownload().isEmpty())
        return true;
    setAlertMessage(tr("다운로드할 영상을 목록에서 체크해 주세요."));
    return false;
}

QCoro::Task<> AppViewModel::downloadChecked(QString folder)
{
    if (!readyToDownload())
        co_return;
    QPointer<AppViewModel> self(this);
    const QList<FileListItem> ticked = rowsToDownload();
    setIsDownloading(true);
    const quint64 card = m_cardGeneration;
    const int choice = m_channelChoice;
    const QList<FileListItem> rows = rowsWithRoom(ticked, folder, choice);
    QStringList unsaved;
    QStringList unrebuilt;
    qsizetype saved = 0;
    std::optional<QString> stopped;
    if (rows.size() < ticked.size())
        stopped = tr("저장할 폴더의 빈 공간이 모자라 %1개 중 %2개만 저장합니다. 공간을 비우거나 "
                     "다른 폴더를 골라 나머지를 다시 다운로드해 주세요.")
                      .arg(ticked.size())
                      .arg(rows.size());
    for (qsizetype k = 1; k <= rows.size(); ++k) {
        const FileListItem &row = rows[k - 1];
        setDownloadMessage(tr("총 %1 중 %2 개 영상 다운로드 중...").arg(rows.size()).arg(k));
        const RowDownload result = co_await downloadRow(row, folder, choice);
        if (!self)
            co_return;
        if (result.saved == Saved::yes || result.saved == Saved::notRebuilt)
            ++saved;
        if (card != m_cardGeneration || result.saved == Saved::cardLeft) {
            stopped = tr("다운로드 중에 SD 카드가 빠져 멈췄습니다. %1개 중 %2개는 저장되어 "
                         "있습니다. 카드를 다시 넣고 나머지를 다시 다운로드해 주세요.")
                          .arg(rows.size())
                          .arg(saved);
            break;
        }
        if (result.saved == Saved::noRoom) {
            stopped = tr("작업 폴더의 빈 공간이 모자라 %1개 중 %2개만 저장했습니다.")
                          .arg(rows.size())
                          .arg(saved);
            break;
        }
        if (result.saved == Saved::noSuchChannel)
            setAlertMessage(tr("채널%1 영상이 없는 녹화파일입니다.").arg(choice));
        else if (result.saved == Saved::failed)
            unsaved.append(savedFileName(row.name));
        else if (result.saved == Saved::notRebuilt)
            unrebuilt.append(savedFileName(row.name));
        if (!unrebuilt.isEmpty())
            setAlertMessage(tr("%1 은(는) 카드에 있는 그대로 저장했지만, 재생할 수 있는 영상으로 "
                               "복구하지 못했습니다.")
                                .arg(unrebuilt.join(QStringLiteral(", "))));
        if (!unsaved.isEmpty())
            setAlertMessage(
                tr("%1 파일을 저장하지 못했습니다.").arg(unsaved.join(QStringLiteral(", "))));
        if (!m_downloadMessage)
            break; // cancelled: the file under way was finished first
        if (k == rows.size())
            setDownloadMessage(QString(""));
    }
    if (stopped) {
        setDownloadMessage(std::nullopt);
        setAlertMessage(
            unsaved.isEmpty()
                ? *stopped
                : *stopped + QLatin1Char('\n') +
                      tr("%1 파일을 저장하지 못했습니다.").arg(unsaved.join(QStringLiteral(", "))));
    }
    setIsDownloading(false);
}

QCoro::Task<AppViewModel::RowDownload> AppViewModel::downloadRow(FileListItem item, QString folder,
                                                                 int choice)
{
    if (choice == 0)
        co_return co_await download(item, folder);
    co_return co_await downloadChannel(item, folder, choice - 1);
}

void AppViewModel::startDownload(const QUrl &folder)
{
    if (!folder.isEmpty())
        downloadChecked(folder.toLocalFile());
}

QCoro::Task<AppViewModel::RowDownload> AppViewModel::copiedFromCard(FileListItem item)
{
    RowDownload copied;
    copied.saved = Saved::yes;
    if (hasOwnCopy(item))
        co_return copied;
    copied.saved = Saved::failed;
    // A picked file's copy is made when it is picked; the card has nothing of it.
    if (item.fromComputer) {
        copied.problem = QStringLiteral("its copy in the working folder is gone");
        co_return copied;
    }
    if (!roomToCopy(item.size)) {
        copied.saved = Saved::noRoom;
        copied.problem = QStringLiteral("too little room left in ") + ProcessManager::tempRoot();
        co_return copied;
    }
    QPointer<AppViewModel> self(this);
    const quint64 card = m_cardGeneration;
    const QString cardPath = item.cardPath();
    co_await m_procManager.readCardFile(cardPath);
    if (!self)
        co_return copied;
    if (card != m_cardGeneration) {
        copied.saved = Saved::cardLeft;
        copied.problem = QStringLiteral("the card was taken out");
        co_return copied;
    }
    markCopied(item);
    if (hasOwnCopy(item))
        copied.saved = Saved::yes;
    else
        copied.problem = m_procManager.lastReadProblem().isEmpty()
                             ? QStringLiteral("it could not be read from the card")
                             : m_procManager.lastReadProblem();
    co_return copied;
}

QCoro::Task<AppViewModel::RowDownload> AppViewModel::download(FileListItem item, QString folder)
{
    appLog("[AppViewModel] download:", item.cardPath());
    const QString name = savedFileName(item.name, folderFileSystem(folder));
    QPointer<AppViewModel> self(this);
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
        appLog("[AppViewModel] download failed:", kept.error);
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
    const QString work = ProcessManager::workFolder(QStringLiteral("download"));
    if (work.isEmpty())
        co_return result;
    const QString temp = work + QStringLiteral("temp.mp4");
    const bool rebuilt = co_await recover(local, temp);
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
    ProcessManager::deleteDirectory(temp);
    co_return result;
}

QCoro::Task<AppViewModel::RowDownload> AppViewModel::downloadChannel(FileListItem item,
                                                                     QString folder, int channel)
{
    const QString name = savedFileName(item.name, folderFileSystem(folder));
    QPointer<AppViewModel> self(this);
    RowDownload result = co_await copiedFromCard(item);
    result.path = QDir(folder).filePath(channelFileName(name, channel));
    if (!self || result.saved != Saved::yes)
        co_return result;
    result.saved = Saved::failed;
    result.problem = QStringLiteral("no MP4 that plays could be made of it");
    const QString local = localCopy(item);
    const QString cardPath = item.cardPath();
    const QString work = ProcessManager::workFolder(QStringLiteral("download"));
    if (work.isEmpty())
        co_return result;

    const QString temp = work + QStringLiteral("temp.mp4");
    bool ok = true;
    bool rebuild = item.needsRebuild();
    if (!rebuild) {
        const std::optional<QString> complaint = co_await m_procManager.remuxVideo(local, temp);
        if (!self)
            co_return result;
        if (complaint) {
            appLog("[AppViewModel] download " + cardPath + " -> " + *complaint);
            rebuild = true;
        }
    }
    if (rebuild)
        ok = co_await recover(local, temp);
    if (!self || !ok)
        co_return result;

    const int videos = co_await getVideoCount(temp);
    const int audio = co_await getAudioCount(temp);
    if (!self)
        co_return result;
    if (videos <= channel) {
        ProcessManager::deleteDirectory(temp);
        result.saved = videos == 0 ? Saved::failed : Saved::noSuchChannel;
        co_return result;
    }
    // Made in the working folder and moved whole: the chosen folder never holds half a file.
    const QString extracted = work + QStringLiteral("channel.mp4");
    if (audio > 0)
        co_await m_procManager.extractChannelWithAudio(temp, channel, extracted);
    else
        co_await m_procManager.extractChannel(temp, channel, extracted);
    ProcessManager::deleteDirectory(temp);
    if (!self)
        co_return result;
    // A camera that could not be taken out is not saved: the whole recording under the
    // camera's name would be a file that is not what it says.
    if (fileBytes(extracted) == 0) {
        appLog("[AppViewModel] download " + cardPath + " -> camera", channel + 1,
               "could not be extracted");
        ProcessManager::deleteDirectory(extracted);
        result.problem = QStringLiteral("its camera %1 could not be taken out").arg(channel + 1);
        co_return result;
    }
    const SavedFile saved = co_await saveNewFile(extracted, result.path, Transfer::move);
    if (!self)
        co_return result;
    if (saved.path.isEmpty()) {
        appLog("[AppViewModel] download failed:", saved.error);
        ProcessManager::deleteDirectory(extracted);
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
