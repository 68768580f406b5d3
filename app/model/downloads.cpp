// Saving the ticked recordings into a folder: each whole as the card holds it, or one camera
// channel with its sound. A file that could not be saved is named; nothing half-made is left.
#include "appviewmodel.h"

#include "applog.h"
#include "workingfiles.h"

#include <QDir>
#include <QPointer>

namespace korvane {

QCoro::Task<> AppViewModel::downloadChecked(QString folder)
{
    if (m_isDownloading)
        co_return;
    QPointer<AppViewModel> self(this);
    setIsDownloading(true);
    const QList<FileListItem> checked = checkedItems();
    if (checked.isEmpty())
        setDownloadMessage(QString(""));
    const int choice = m_channelChoice;
    QStringList unsaved;
    for (qsizetype k = 1; k <= checked.size(); ++k) {
        const FileListItem &row = checked[k - 1];
        setDownloadMessage(tr("총 %1 중 %2 개 영상 다운로드 중...").arg(checked.size()).arg(k));
        const RowDownload result = co_await downloadRow(row, folder, choice);
        if (!self)
            co_return;
        if (result.saved == Saved::noSuchChannel)
            setAlertMessage(tr("채널%1 영상이 없는 녹화파일입니다.").arg(choice));
        else if (result.saved == Saved::failed)
            unsaved.append(row.name);
        if (!unsaved.isEmpty())
            setAlertMessage(tr("%1 파일을 저장하지 못했습니다.")
                                .arg(unsaved.join(QStringLiteral(", "))));
        if (!m_downloadMessage)
            break; // cancelled: the file under way was finished first
        if (k == checked.size())
            setDownloadMessage(QString(""));
    }
    setIsDownloading(false);
}

QCoro::Task<AppViewModel::RowDownload> AppViewModel::downloadRow(FileListItem item, QString folder,
                                                                 int choice)
{
    RowDownload result{Saved::failed, QDir(folder).filePath(item.name)};
    if (choice == 0) {
        const bool saved = co_await download(item, result.path);
        // An unfinished recording is named by the MP4 that plays, when its rebuild made one.
        const QString playable = withExtension(result.path, QStringLiteral(".mp4"));
        if (item.name.endsWith(QLatin1String(".mov")) && fileBytes(playable) != 0)
            result.path = playable;
        result.saved = saved ? Saved::yes : Saved::failed;
    } else {
        result.path = withExtension(result.path, QStringLiteral("_CH%1.mp4").arg(choice));
        result.saved = co_await downloadChannel(item, result.path, choice - 1);
    }
    co_return result;
}

void AppViewModel::startDownload(const QUrl &folder)
{
    if (!folder.isEmpty())
        downloadChecked(folder.toLocalFile());
}

QCoro::Task<bool> AppViewModel::copiedFromCard(FileListItem item)
{
    const QString local = localCopy(item);
    if (fileBytes(local) != 0)
        co_return true;
    QPointer<AppViewModel> self(this);
    const QString cardPath = item.cardPath();
    co_await m_procManager.readCardFile(cardPath);
    co_return self &&fileBytes(local) != 0;
}

QCoro::Task<bool> AppViewModel::download(FileListItem item, QString destination)
{
    appLog("[AppViewModel] download:", item.cardPath());
    QPointer<AppViewModel> self(this);
    const bool copied = co_await copiedFromCard(item);
    if (!self || !copied)
        co_return false;
    const QString local = localCopy(item);
    if (!destination.endsWith(QLatin1String(".mov")))
        co_return co_await ProcessManager::copyFile(local, destination);
    // An unfinished recording has no index, and no player opens it: it is saved as the card holds
    // it, under its own name, and beside it rebuilt into an MP4 that plays. The original counts:
    // a recording whose rebuild fails is still saved.
    const bool kept = co_await ProcessManager::copyFile(local, destination);
    if (!self || !kept)
        co_return false;
    const QString temp = ProcessManager::tempRoot() + QStringLiteral("temp.mp4");
    const bool rebuilt = co_await recover(local, temp);
    if (!self)
        co_return kept;
    const QString playable = withExtension(destination, QStringLiteral(".mp4"));
    if (rebuilt && fileBytes(temp) != 0)
        co_await ProcessManager::copyFile(temp, playable);
    ProcessManager::deleteDirectory(temp);
    co_return kept;
}

QCoro::Task<AppViewModel::Saved> AppViewModel::downloadChannel(FileListItem item,
                                                               QString destination, int channel)
{
    QPointer<AppViewModel> self(this);
    const bool copied = co_await copiedFromCard(item);
    if (!self || !copied)
        co_return Saved::failed;
    const QString local = localCopy(item);
    const QString cardPath = item.cardPath();

    const QString temp = ProcessManager::tempRoot() + QStringLiteral("temp.mp4");
    bool ok = true;
    bool rebuild = cardPath.endsWith(QLatin1String(".mov"));
    if (!rebuild) {
        const std::optional<QString> complaint = co_await m_procManager.remuxVideo(local, temp);
        if (!self)
            co_return Saved::failed;
        if (complaint) {
            appLog("[AppViewModel] download " + cardPath + " -> " + *complaint);
            rebuild = true;
        }
    }
    if (rebuild)
        ok = co_await recover(local, temp);
    if (!self || !ok)
        co_return Saved::failed;

    const int videos = co_await getVideoCount(temp);
    const int audio = co_await getAudioCount(temp);
    if (!self)
        co_return Saved::failed;
    if (videos <= channel) {
        ProcessManager::deleteDirectory(temp);
        co_return videos == 0 ? Saved::failed : Saved::noSuchChannel;
    }
    // Made in the working folder and copied whole: the chosen folder never holds half a file.
    const QString extracted = ProcessManager::tempRoot() + QStringLiteral("channel.mp4");
    if (audio > 0)
        co_await m_procManager.extractChannelWithAudio(temp, channel, extracted);
    else
        co_await m_procManager.extractChannel(temp, channel, extracted);
    if (!self)
        co_return Saved::failed;
    const QString source = fileBytes(extracted) != 0 ? extracted : temp;
    const bool saved = co_await ProcessManager::copyFile(source, destination);
    ProcessManager::deleteDirectory(extracted);
    ProcessManager::deleteDirectory(temp);
    co_return saved ? Saved::yes : Saved::failed;
}

} // namespace korvane
