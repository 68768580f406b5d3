#include "model/downloads.h"

#include "base/published.h"
#include "card/processmanager.h"
#include "card/savedfiles.h"
#include "model/cardsession.h"
#include "model/notifications.h"
#include "model/nowplaying.h"
#include "model/recordinglibrary.h"
#include "model/savefolders.h"

#include <QPointer>

namespace korvane {

Downloads::Downloads(ProcessManager &card, CardSession *session, RecordingLibrary *library,
                     NowPlaying *nowPlaying, Notifications *notifications, QObject *parent)
    : QObject(parent), m_card(card), m_session(session), m_library(library),
      m_nowPlaying(nowPlaying), m_notifications(notifications), m_saver(card)
{
    m_saver.setCardGeneration([session] { return session->generation(); });
    connect(&m_saver, &RecordingSaver::rowCopied, library, &RecordingLibrary::markCopied);
}

void Downloads::setIsDownloading(bool on)
{
    publish(this, m_isDownloading, on, &Downloads::isDownloadingChanged);
}

int Downloads::activeChannelCount() const
{
    return m_card.activeChannelCount();
}

void Downloads::nextChannelChoice()
{
    m_channelChoice = (m_channelChoice + 1) % (activeChannelCount() + 1);
    emit channelChoiceChanged();
}

QString Downloads::channelChoiceLabel() const
{
    return m_channelChoice == 0 ? QStringLiteral("CH All")
                                : QStringLiteral("CH%1").arg(m_channelChoice);
}

QList<FileListItem> Downloads::rowsToDownload() const
{
    QList<FileListItem> rows = m_library->checkedItems();
    // Nothing ticked: the recording that plays is the one meant.
    if (rows.isEmpty() && m_nowPlaying->openRecording())
        rows.append(*m_nowPlaying->openRecording());
    return rows;
}

bool Downloads::readyToDownload()
{
    if (m_isDownloading)
        return false;
    if (!rowsToDownload().isEmpty())
        return true;
    m_notifications->setAlertMessage(tr("다운로드할 영상을 목록에서 체크해 주세요."));
    return false;
}

QCoro::Task<> Downloads::downloadChecked(QString folder)
{
    if (!readyToDownload())
        co_return;
    QPointer<Downloads> self(this);
    const QList<FileListItem> ticked = rowsToDownload();
    setIsDownloading(true);
    const quint64 card = m_session->generation();
    const int choice = m_channelChoice;
    const QList<FileListItem> rows = RecordingSaver::rowsWithRoom(ticked, folder, choice);
    QStringList unsaved;
    QStringList unrebuilt;
    QStringList savedFiles;
    qsizetype saved = 0;
    std::optional<QString> stopped;
    if (rows.size() < ticked.size())
        stopped = tr("저장할 폴더의 빈 공간이 모자라 %1개 중 %2개만 저장합니다. 공간을 비우거나 "
                     "다른 폴더를 골라 나머지를 다시 다운로드해 주세요.")
                      .arg(ticked.size())
                      .arg(rows.size());
    for (qsizetype k = 1; k <= rows.size(); ++k) {
        const FileListItem &row = rows[k - 1];
        m_notifications->setDownloadMessage(
            tr("총 %1 중 %2 개 영상 다운로드 중...").arg(rows.size()).arg(k));
        const RecordingSaver::RowDownload result =
            co_await m_saver.downloadRow(row, folder, choice);
        if (!self)
            co_return;
        if (result.saved == RecordingSaver::Saved::yes ||
            result.saved == RecordingSaver::Saved::notRebuilt) {
            ++saved;
            savedFiles += result.files;
        }
        if (card != m_session->generation() || result.saved == RecordingSaver::Saved::cardLeft) {
            stopped = tr("다운로드 중에 SD 카드가 빠져 멈췄습니다. %1개 중 %2개는 저장되어 "
                         "있습니다. 카드를 다시 넣고 나머지를 다시 다운로드해 주세요.")
                          .arg(rows.size())
                          .arg(saved);
            break;
        }
        if (result.saved == RecordingSaver::Saved::noRoom) {
            stopped = tr("작업 폴더의 빈 공간이 모자라 %1개 중 %2개만 저장했습니다.")
                          .arg(rows.size())
                          .arg(saved);
            break;
        }
        if (result.saved == RecordingSaver::Saved::noSuchChannel)
            m_notifications->setAlertMessage(tr("채널%1 영상이 없는 녹화파일입니다.").arg(choice));
        else if (result.saved == RecordingSaver::Saved::failed)
            unsaved.append(savedFileName(row.name));
        else if (result.saved == RecordingSaver::Saved::notRebuilt)
            unrebuilt.append(savedFileName(row.name));
        if (!unrebuilt.isEmpty())
            m_notifications->setAlertMessage(
                tr("%1 은(는) 카드에 있는 그대로 저장했지만, 재생할 수 있는 영상으로 "
                   "복구하지 못했습니다.")
                    .arg(unrebuilt.join(QStringLiteral(", "))));
        if (!unsaved.isEmpty())
            m_notifications->setAlertMessage(
                tr("%1 파일을 저장하지 못했습니다.").arg(unsaved.join(QStringLiteral(", "))));
        if (!m_notifications->downloadMessage())
            break; // cancelled: the file under way was finished first
        if (k == rows.size())
            m_notifications->setDownloadMessage(std::nullopt);
    }
    if (stopped) {
        m_notifications->setDownloadMessage(std::nullopt);
        m_notifications->setAlertMessage(
            unsaved.isEmpty()
                ? *stopped
                : *stopped + QLatin1Char('\n') +
                      tr("%1 파일을 저장하지 못했습니다.").arg(unsaved.join(QStringLiteral(", "))));
    }
    // Finished, cancelled or stopped: what was saved is named with its folder.
    if (!savedFiles.isEmpty())
        m_notifications->setSaved(SaveFolders::savedText(savedFiles, folder), folder);
    setIsDownloading(false);
}

void Downloads::startDownload(const QUrl &folder)
{
    // A folder the desktop's dialog offers on the network (smb:, sftp:) has no local path, and an
    // empty path would be the program's own working folder.
    if (folder.isLocalFile() && !folder.toLocalFile().isEmpty())
        downloadChecked(folder.toLocalFile());
}

} // namespace korvane
