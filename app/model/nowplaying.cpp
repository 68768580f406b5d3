#include "model/nowplaying.h"

#include "card/processmanager.h"
#include "card/savedfiles.h"
#include "model/cardsession.h"
#include "model/gsensorgraph.h"
#include "model/notifications.h"
#include "model/recordinglibrary.h"
#include "model/savefolders.h"
#include "model/shockmarks.h"
#include "playback/multitrackplayer.h"
#include "playback/snapshot.h"
#include "services/mediadataviewmodel.h"

#include <QFileInfo>
#include <QPointer>

#include <cmath>

namespace korvane {

NowPlaying::NowPlaying(ProcessManager &card, MultiTrackPlayer *player,
                       MediaDataViewModel *mediaData, CardSession *session,
                       Notifications *notifications, QObject *parent)
    : QObject(parent), m_card(card), m_player(player), m_mediaData(mediaData),
      m_notifications(notifications)
{
    connect(m_player, &MultiTrackPlayer::currentTimeChanged, this, &NowPlaying::speedTextChanged);
    connect(m_mediaData, &MediaDataViewModel::idChanged, this, &NowPlaying::speedTextChanged);
    connect(m_player, &MultiTrackPlayer::currentTimeChanged, this, &NowPlaying::clockTextChanged);
    connect(m_player, &MultiTrackPlayer::durationChanged, this, &NowPlaying::clockTextChanged);
    connect(m_player, &MultiTrackPlayer::stateChanged, this, &NowPlaying::clockTextChanged);
    connect(m_player, &MultiTrackPlayer::durationChanged, this, &NowPlaying::updateShockMarks);
    connect(m_mediaData, &MediaDataViewModel::idChanged, this, &NowPlaying::updateShockMarks);
    connect(this, &NowPlaying::videoPlayersChanged, this, &NowPlaying::openTitleChanged);
    connect(session, &CardSession::cardLeft, this, &NowPlaying::unload);
    connect(session, &CardSession::closing, this, [this] { m_player->stop(); });
}

QList<QObject *> NowPlaying::videoPlayerObjects() const
{
    return {m_videoPlayers.begin(), m_videoPlayers.end()};
}

void NowPlaying::channelsLoaded()
{
    m_videoPlayers = m_player->videoPlayers();
    // Paused, the readout gives the time of the first camera's picture.
    if (!m_videoPlayers.isEmpty())
        connect(m_videoPlayers.front(), &ChannelPlayer::frameChanged, this,
                &NowPlaying::clockTextChanged, Qt::UniqueConnection);
    emit videoPlayersChanged();
    emit speedTextChanged();
}

void NowPlaying::setOpenRecording(const FileListItem &row, const QString &playedFile)
{
    m_playedFile = playedFile;
    m_openRecording = row;
    emit openTitleChanged();
}

void NowPlaying::unload()
{
    m_player->unload();
    m_videoPlayers.clear();
    emit videoPlayersChanged();
    emit speedTextChanged();
    m_openRecording.reset();
    emit openTitleChanged();
}

QString NowPlaying::openTitle() const
{
    if (m_videoPlayers.isEmpty() || !m_openRecording)
        return {};
    return m_openRecording->dateText() + QStringLiteral(" · ") +
           RecordingLibrary::typeTitle(m_openRecording->type);
}

QString NowPlaying::speedText() const
{
    if (m_videoPlayers.isEmpty())
        return QStringLiteral("0 km/h");
    const std::optional<GPSInfo> fix = m_mediaData->gpsAt(m_player->currentTime());
    const double speed = fix && fix->data ? fix->data->speedKmh : 0;
    return QString::number(static_cast<qint64>(std::round(speed))) + QStringLiteral(" km/h");
}

QString NowPlaying::clockText(double seconds, Precision precision)
{
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;
    // Hundredths tell apart every picture up to 100 a second; a time stamp a millisecond short
    // of a hundredth (a time base's rounding) still shows as that hundredth.
    const auto hundredths = static_cast<qint64>(std::floor(seconds * 100 + 0.1));
    const qint64 s = hundredths / 100;
    QString text = QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, s % 60);
    if (precision == Precision::hundredths)
        text += QString::asprintf(".%02lld", hundredths % 100);
    return text;
}

QString NowPlaying::currentTimeText() const
{
    // Paused, the picture steps one at a time: the readout tells each apart, and gives the time of
    // the picture on screen, which a pause may leave a little ahead of the clock.
    using State = MultiTrackPlayer::State;
    const bool standing = m_player->state() == State::Paused || m_player->state() == State::Ended;
    if (!standing)
        return clockText(m_player->currentTime());
    const std::optional<double> shown =
        m_videoPlayers.isEmpty() ? std::nullopt : m_videoPlayers.front()->currentFrameTime();
    return clockText(shown.value_or(m_player->currentTime()), Precision::hundredths);
}

QString NowPlaying::durationText() const
{
    return clockText(m_player->duration());
}

double NowPlaying::gSensorShownShare() const
{
    return shownShare(m_player->currentTime(), m_player->duration());
}

QString NowPlaying::timeTextAt(double fraction) const
{
    return clockText(fraction * m_player->duration());
}

void NowPlaying::updateShockMarks()
{
    QList<double> marks;
    const double duration = m_player->duration();
    for (const double time : findShocks(m_mediaData->gSensorEvents(), shockThreshold())) {
        if (duration > 0 && time <= duration)
            marks.append(time / duration);
    }
    if (marks != m_shockMarks) {
        m_shockMarks = marks;
        emit shockMarksChanged();
    }
}

void NowPlaying::seekToShock(int index)
{
    const double duration = m_player->duration();
    if (index < 0 || index >= m_shockMarks.size() || duration <= 0)
        return;
    const double time = m_shockMarks[index] * duration;
    m_player->seek(std::max(0.0, time - shockLeadIn) / duration);
    if (!m_player->isPlaying())
        m_player->play();
}

void NowPlaying::saveSnapshots(const QUrl &folder)
{
    if (folder.isLocalFile() && !folder.toLocalFile().isEmpty())
        saveSnapshotsInto(folder.toLocalFile());
}

QCoro::Task<QStringList> NowPlaying::saveSnapshotsInto(QString path)
{
    // The recording that plays, also while another tab hides its row.
    if (!m_openRecording || m_videoPlayers.isEmpty())
        co_return {};
    QPointer<NowPlaying> self(this);
    // Named after the recording as the card names it, without its extension, short enough for
    // the time and channel the snapshot's name adds.
    const QString name =
        QFileInfo(suffixedFileName(savedFileName(m_openRecording->name, folderFileSystem(path)),
                                   QString(), 200))
            .completeBaseName();
    QCoro::Task<QStringList> saving =
        saveChannelSnapshots(m_videoPlayers, name, QUrl::fromLocalFile(path));
    const QStringList written = co_await saving;
    if (!self)
        co_return written;
    if (written.isEmpty())
        m_notifications->setAlertMessage(tr("사진을 저장하지 못했습니다."));
    else
        m_notifications->setSaved(SaveFolders::savedText(written, path), path);
    co_return written;
}

void NowPlaying::exportText(const QString &name, const QString &text, const QString &saved)
{
    if (m_videoPlayers.isEmpty())
        return;
    m_notifications->setAlertMessage(
        m_card.saveToSDCard(name, text) ? saved : tr("SD 카드에 저장하지 못했습니다."));
}

void NowPlaying::exportLocation()
{
    exportText(QStringLiteral("location.txt"), m_mediaData->locationText(),
               tr("GPS 데이터(location.txt)를 SD 카드에 저장했습니다."));
}

void NowPlaying::exportGSensor()
{
    exportText(QStringLiteral("gsensor.txt"), m_mediaData->gSensorText(),
               tr("G-Sensor 데이터(gsensor.txt)를 SD 카드에 저장했습니다."));
}

} // namespace korvane
