// Evidence clips of the open recording between two marks, and its GPS route as GPX: saved into
// a folder the user picks, to hand to an insurer or the police.
#include "model/clips.h"

#include "card/processmanager.h"
#include "model/downloads.h"
#include "model/notifications.h"
#include "model/nowplaying.h"
#include "model/recordinglibrary.h"
#include "model/savefolders.h"
#include "playback/multitrackplayer.h"
#include "services/mediadataviewmodel.h"

#include "base/applog.h"
#include "base/background.h"
#include "base/userdefaults.h"
#include "card/savedfiles.h"
#include "card/workingfolder.h"
#include "records/gpxtrack.h"
#include "records/metadataextraction.h"
#include "services/clipcaptions.h"
#include "services/playablefile.h"
#include "services/workingcopy.h"
#include "services/workingfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// "00m12s": whole minutes and seconds of a mark.
QString markText(double seconds)
{
    const auto whole = static_cast<qint64>(std::floor(std::max(0.0, seconds)));
    return QStringLiteral("%1m%2s")
        .arg(whole / 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

Clips::Clips(const Parts &parts, QObject *parent)
    : QObject(parent), m_card(parts.card), m_player(parts.player), m_mediaData(parts.mediaData),
      m_nowPlaying(parts.nowPlaying), m_downloads(parts.downloads),
      m_notifications(parts.notifications)
{
    // A recording opened or closed: marks of the one before mean nothing on it.
    connect(m_player, &MultiTrackPlayer::videoPlayersChanged, this, &Clips::clearClipMarks);
}

bool Clips::clipCaption() const
{
    return UserSettings::clipCaption();
}

void Clips::setClipCaption(bool on)
{
    if (on == clipCaption())
        return;
    UserSettings::setClipCaption(on);
    emit clipCaptionChanged();
}

bool Clips::canExportClip() const
{
    return m_nowPlaying->openRecording() && !m_nowPlaying->videoPlayers().isEmpty() &&
           m_clipFrom >= 0 && m_clipTo > m_clipFrom;
}

QString Clips::clipSpanText() const
{
    if (m_clipFrom < 0 && m_clipTo < 0)
        return {};
    using Precision = NowPlaying::Precision;
    const double to = m_clipTo >= 0 ? m_clipTo : m_player->duration();
    return NowPlaying::clockText(std::max(m_clipFrom, 0.0), Precision::hundredths) +
           QStringLiteral(" – ") + NowPlaying::clockText(to, Precision::hundredths);
}

void Clips::markClipStart()
{
    m_clipFrom = std::max(0.0, m_player->currentTime());
    if (m_clipTo >= 0 && m_clipTo <= m_clipFrom)
        m_clipTo = -1;
    emit clipMarksChanged();
}

void Clips::markClipEnd()
{
    m_clipTo = std::max(0.0, m_player->currentTime());
    if (m_clipFrom >= 0 && m_clipFrom >= m_clipTo)
        m_clipFrom = -1;
    emit clipMarksChanged();
}

void Clips::clearClipMarks()
{
    m_clipFrom = -1;
    m_clipTo = -1;
    emit clipMarksChanged();
}

QString Clips::clipFileName(int choice) const
{
    const QString name =
        m_nowPlaying->openRecording()
            ? QFileInfo(savedFileName(m_nowPlaying->openRecording()->name)).baseName()
            : QStringLiteral("clip");
    // The marks and the camera are kept whole; a long name gives way to them.
    return suffixedFileName(name + QStringLiteral(".mp4"),
                            QStringLiteral("_clip_") + markText(m_clipFrom) + QLatin1Char('-') +
                                markText(m_clipTo) +
                                (choice > 0 ? QStringLiteral("_CH%1").arg(choice) : QString()));
}

QCoro::Task<ClipResult> Clips::exportClipInto(QString folder)
{
    ClipResult result;
    result.outcome = ClipResult::Outcome::failed;
    if (m_downloads->isDownloading() || !canExportClip())
        co_return result;
    QPointer<Clips> self(this);
    const FileListItem recording = *m_nowPlaying->openRecording();
    const int choice = m_downloads->channelChoice();
    ClipRequest request;
    request.from = m_clipFrom;
    request.to = m_clipTo;
    request.track = choice - 1;
    const double end = choice > 0 && choice <= m_nowPlaying->videoPlayers().size()
                           ? m_nowPlaying->videoPlayers()[choice - 1]->duration()
                           : m_player->duration();
    if (end > 0)
        request.end = end;
    request.destination = QDir(folder).filePath(clipFileName(choice));
    result.path = request.destination;
    if (clipCaption())
        request.captions =
            clipCaptions(m_mediaData->gpsEvents(), recording.name, request.from, request.to);

    m_downloads->setIsDownloading(true);
    m_clipCancel = ShellCancel();
    ShellCancel cancel = m_clipCancel;
    m_notifications->setDownloadMessage(tr("증거 영상 만드는 중... %1%").arg(0));
    // Closing the progress cancels the clip.
    const QMetaObject::Connection closing = connect(
        m_notifications, &Notifications::downloadMessageChanged, this, [this, cancel]() mutable {
            if (!m_notifications->downloadMessage())
                cancel.cancel();
        });

    // What the player plays, or, when that is gone, the same made again beside the clip.
    request.input = m_nowPlaying->playedFile();
    QString scratch;
    if (fileBytes(request.input) == 0)
        scratch = WorkingFolder::workFolder(QStringLiteral("clip-source-") +
                                            QUuid::createUuid().toString(QUuid::Id128));
    if (!scratch.isEmpty()) {
        const OpenFiles files = OpenFiles::in(scratch, localCopy(recording));
        QCoro::Task<PlayableFile> making =
            makePlayable(m_card.conversions(), files, recording.name, recording.cardPath(),
                         [](const std::optional<QString> &) {});
        const PlayableFile playable = co_await making;
        request.input = playable.path;
    }
    if (!self)
        co_return result;
    QCoro::Task<ClipResult> exporting = korvane::exportClip(
        m_card.tools(), request,
        [self](int percent) {
            if (self && self->m_notifications->downloadMessage())
                self->m_notifications->setDownloadMessage(
                    tr("증거 영상 만드는 중... %1%").arg(percent));
        },
        cancel);
    result = co_await exporting;
    if (!scratch.isEmpty())
        WorkingFolder::deleteDirectory(scratch);
    if (!self)
        co_return result;
    disconnect(closing);
    m_downloads->setIsDownloading(false);

    using Outcome = ClipResult::Outcome;
    switch (result.outcome) {
    case Outcome::saved:
        appLog(logModel, "[AppViewModel] clip saved:", result.path);
        m_notifications->setDownloadMessage(std::nullopt);
        m_notifications->setSaved(
            tr("증거 영상 %1 을(를) %2에 저장했습니다.")
                .arg(QFileInfo(result.path).fileName(), SaveFolders::shownPath(folder)),
            folder);
        break;
    case Outcome::cancelled:
        appLog(logModel, "[AppViewModel] clip cancelled");
        m_notifications->setDownloadMessage(std::nullopt);
        break;
    case Outcome::noFont:
        m_notifications->setDownloadMessage(std::nullopt);
        m_notifications->setAlertMessage(
            tr("자막에 쓸 한글 글꼴이 없어 증거 영상을 만들지 못했습니다. "
               "fonts-noto-cjk 를 설치해 주세요."));
        break;
    case Outcome::noSuchChannel:
        m_notifications->setDownloadMessage(std::nullopt);
        m_notifications->setAlertMessage(tr("채널%1 영상이 없는 녹화파일입니다.").arg(choice));
        break;
    case Outcome::nothingToCut:
    case Outcome::failed:
    case Outcome::notWritten:
        m_notifications->setDownloadMessage(std::nullopt);
        m_notifications->setAlertMessage(
            tr("증거 영상 %1 을(를) 저장하지 못했습니다.").arg(QFileInfo(result.path).fileName()));
        break;
    }
    co_return result;
}

void Clips::exportClip(const QUrl &folder)
{
    // A folder without a local path would be the program's own working folder.
    if (folder.isLocalFile() && !folder.toLocalFile().isEmpty())
        exportClipInto(folder.toLocalFile());
}

QCoro::Task<bool> Clips::exportGpxInto(QString folder)
{
    if (!m_nowPlaying->openRecording())
        co_return false;
    QPointer<Clips> self(this);
    const FileListItem recording = *m_nowPlaying->openRecording();
    // The records are read again from the copy: the model keeps them placed on the time axis,
    // the route wants them as recorded.
    QCoro::Task<MediaRecords> reading =
        inBackground([path = localCopy(recording)] { return extractMediaRecords(path); });
    const MediaRecords records = co_await reading;
    if (!self)
        co_return false;
    const QString base = QFileInfo(savedFileName(recording.name)).baseName();
    QString name = suffixedFileName(base + QStringLiteral(".gpx"), QString());
    if (gpxPointCount(records) == 0) {
        m_notifications->setAlertMessage(
            tr("이 영상에는 GPS 기록이 없어 경로를 저장하지 않았습니다."));
        co_return false;
    }
    // Written whole in the working folder, then given the first free name in the folder.
    const QString work = WorkingFolder::workFolder(QStringLiteral("route"));
    QSaveFile file(work + name);
    bool saved = !work.isEmpty() && file.open(QIODevice::WriteOnly) &&
                 file.write(gpxTrack(records, base)) >= 0 && file.commit();
    if (saved) {
        const SavedFile placed =
            co_await saveNewFile(work + name, QDir(folder).filePath(name), Transfer::move);
        if (!self)
            co_return false;
        saved = !placed.path.isEmpty();
        if (saved)
            name = QFileInfo(placed.path).fileName();
        else
            appLog(logModel, "[AppViewModel] exportGpx failed:", placed.error);
    } else {
        appLog(logModel, "[AppViewModel] exportGpx failed:", file.errorString());
    }
    if (saved)
        m_notifications->setSaved(
            tr("GPS 경로(%1)를 %2에 저장했습니다.").arg(name, SaveFolders::shownPath(folder)),
            folder);
    else
        m_notifications->setAlertMessage(tr("GPS 경로(%1)를 저장하지 못했습니다.").arg(name));
    co_return saved;
}

void Clips::exportGpx(const QUrl &folder)
{
    if (folder.isLocalFile() && !folder.toLocalFile().isEmpty())
        exportGpxInto(folder.toLocalFile());
}

} // namespace korvane
