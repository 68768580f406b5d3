#include "playback/multitrackplayer.h"

#include "base/applog.h"
#include "base/userdefaults.h"
#include "records/mp4tracks.h"

#include <QCoroTimer>
#include <QPointer>
#include <QTimerEvent>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace korvane {

namespace {
// How far before the start of the picture on screen a step back seeks at least: less than any
// picture lasts, more than a picture's time keeps of rounding.
constexpr double stepBackMargin = 0.001;
} // namespace

MultiTrackPlayer::MultiTrackPlayer(PlaybackOutput output, QObject *parent)
    : QObject(parent), m_output(std::move(output))
{
    m_clock.setInterval(clockIntervalMs);
    connect(&m_clock, &QTimer::timeout, this, &MultiTrackPlayer::onClockTick);
    connect(&m_presenter, &FramePresenter::endReached, this, &MultiTrackPlayer::playbackDidFinish);
}

MultiTrackPlayer::~MultiTrackPlayer()
{
    dropRecording();
}

QCoro::Task<void> MultiTrackPlayer::load(const QUrl &url, const QUrl &sideSound)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const quint64 generation = ++m_loadGeneration;
    const QPointer<MultiTrackPlayer> self(this);
    // Made ready while the recording before played: it takes over, its first pictures shown.
    // Not from inside the signal that ended the recording before: its pipeline, still emitting,
    // would go with it. One turn of the event loop later it is out of it.
    if (hasPreloaded(url, sideSound)) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(0));
        if (!self || generation != m_loadGeneration)
            co_return;
        if (hasPreloaded(url, sideSound)) {
            std::unique_ptr<PlaybackPipeline> ready = std::move(m_standby->pipeline);
            m_standby.reset();
            replaceRecording(std::move(ready), path);
            co_return;
        }
    }
    ++m_standbyGeneration;
    m_standby.reset();
    auto pipeline = std::make_unique<PlaybackPipeline>(path, sideSound.toLocalFile(), m_output);
    co_await pipeline->preroll();
    // The player went away, or a later load replaced this one, while it was opening.
    if (!self || generation != m_loadGeneration)
        co_return;
    bool decodable = false;
    for (int i = 0; i < pipeline->videoBranchCount(); ++i)
        decodable = decodable || pipeline->videoBranch(i).decodable;
    if (!decodable)
        throw PlaybackError("the recording has no video track that can be decoded");
    replaceRecording(std::move(pipeline), path);
}

QCoro::Task<bool> MultiTrackPlayer::preload(QUrl url, QUrl sideSound)
{
    const quint64 generation = ++m_standbyGeneration;
    m_standby.reset();
    const QPointer<MultiTrackPlayer> self(this);
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const QString side = sideSound.toLocalFile();
    auto pipeline = std::make_unique<PlaybackPipeline>(path, side, m_output);
    try {
        co_await pipeline->preroll();
    } catch (const PlaybackError &) {
        // Opened the usual way when its turn comes, the failure is told then.
        co_return false;
    }
    if (!self || generation != m_standbyGeneration)
        co_return false;
    bool decodable = false;
    for (int i = 0; i < pipeline->videoBranchCount(); ++i)
        decodable = decodable || pipeline->videoBranch(i).decodable;
    if (!decodable)
        co_return false;
    m_standby = Standby{std::move(pipeline), path, side};
    co_return true;
}

bool MultiTrackPlayer::hasPreloaded(const QUrl &url, const QUrl &sideSound) const
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
    return m_standby && m_standby->path == path && m_standby->sideSound == sideSound.toLocalFile();
}

void MultiTrackPlayer::recordingMoved(const QString &path)
{
    for (ChannelPlayer *channel : std::as_const(m_videoPlayers))
        channel->setFilePath(path);
}

void MultiTrackPlayer::replaceRecording(std::unique_ptr<PlaybackPipeline> pipeline,
                                        const QString &path)
{
    dropRecording();
    m_pipeline = std::move(pipeline);
    setCurrentTime(0);
    // The recording before may have ended: this one stands at its start, not at an end.
    setProgress(0);
    // Every recording opens at its own pace.
    if (m_rate != 1) {
        m_rate = 1;
        m_presenter.setRate(m_rate);
        emit rateChanged();
    }

    if (m_pipeline->hasAudio())
        m_audioPlayer = new AudioPlayer(m_pipeline.get(), this);
    const std::vector<double> durations = videoTrackDurations(path);
    for (int i = 0; i < m_pipeline->videoBranchCount(); ++i) {
        VideoBranch &branch = m_pipeline->videoBranch(i);
        // A track header without a length (fragmented files) leaves the pipeline's.
        const double stated =
            i < static_cast<int>(durations.size()) ? durations[static_cast<size_t>(i)] : 0.0;
        const double duration = stated > 0 ? stated : m_pipeline->duration().value_or(0);
        m_videoPlayers.append(new ChannelPlayer(i, path, duration, &branch, this));
    }
    // The first channel that shows pictures keeps the clock.
    const auto clockChannel =
        std::find_if(m_videoPlayers.cbegin(), m_videoPlayers.cend(),
                     [](ChannelPlayer *channel) { return channel->hasCurrentItem(); });
    m_clockChannel = *clockChannel;
    setDuration(m_clockChannel->duration());
    m_presenter.attach(m_pipeline.get(), m_videoPlayers, m_duration);
    m_ticksHeldBack = 0;

    connect(m_pipeline.get(), &PlaybackPipeline::endOfStream, this,
            &MultiTrackPlayer::onEndOfStream);
    connect(m_pipeline.get(), &PlaybackPipeline::seekDone, this, &MultiTrackPlayer::finishSeek);
    connect(m_pipeline.get(), &PlaybackPipeline::failed, this, [this] {
        if (m_state == State::Playing)
            setState(State::Paused);
        m_pipeline->pause();
    });
    emit audioPlayerChanged();
    emit videoPlayersChanged();

    // Whatever the recording before was doing, this one stands at its start.
    setState(State::Stopped);
    applyStoredSettings();
    // Every channel shows its first picture, a channel that starts later too.
    for (ChannelPlayer *channel : std::as_const(m_videoPlayers))
        channel->present(std::numeric_limits<double>::infinity());
    m_clock.start();
}

void MultiTrackPlayer::dropRecording()
{
    m_clock.stop();
    m_pendingSeek.reset();
    m_scrubTarget.reset();
    // Arrivals of the old recording must not present anything of the new one.
    m_presenter.detach();
    for (ChannelPlayer *channel : std::as_const(m_videoPlayers)) {
        channel->detach();
        channel->deleteLater();
    }
    m_videoPlayers.clear();
    m_clockChannel = nullptr;
    if (m_audioPlayer) {
        m_audioPlayer->detach();
        m_audioPlayer->deleteLater();
        m_audioPlayer = nullptr;
    }
    m_pipeline.reset();
    // The recording's pictures were large blocks taken and freed on many threads; the allocator
    // keeps such freed blocks for itself, and a viewer that opens recording after recording would
    // grow by them. Once the channels have let go of their last pictures, they go back.
    QMetaObject::invokeMethod(
        this, [] { malloc_trim(0); }, Qt::QueuedConnection);
}

void MultiTrackPlayer::applyStoredSettings()
{
    setVolume(UserSettings::volume());
    const double brightness = UserSettings::brightness();
    bool neutral = brightness == 0.5;
    for (ChannelPlayer *channel : std::as_const(m_videoPlayers)) {
        if (!channel->hasCurrentItem())
            continue;
        const int mode = UserSettings::mirrorMode(channel->channel() + 1);
        channel->setBrightness(brightness);
        channel->setMirrorMode(mode);
        neutral = neutral && mode == 0;
    }
    // The first pictures were decoded before the settings were known.
    if (!neutral)
        showFilterChangeWhilePaused();
}

QList<QObject *> MultiTrackPlayer::videoPlayerObjects() const
{
    return {m_videoPlayers.begin(), m_videoPlayers.end()};
}

void MultiTrackPlayer::play()
{
    if (!m_pipeline)
        return;
    // Played to its end, the recording starts again from its beginning.
    if (m_progress >= 1.0 && m_duration > 0) {
        seekAll(0);
        setCurrentTime(0);
        setProgress(0);
    }
    m_pipeline->play();
    setState(State::Playing);
    m_presenter.present();
}

void MultiTrackPlayer::pause()
{
    if (!m_pipeline)
        return;
    m_pipeline->pause();
    // A recording at its end stays there.
    if (m_state != State::Ended)
        setState(State::Paused);
}

void MultiTrackPlayer::stop()
{
    if (m_pipeline) {
        m_pipeline->pause();
        seekAll(0);
    }
    setCurrentTime(0);
    setProgress(0);
    if (m_pipeline)
        setState(State::Stopped);
}

void MultiTrackPlayer::unload()
{
    ++m_loadGeneration; // a load under way must not bring a recording back
    ++m_standbyGeneration;
    m_standby.reset();
    stop();
    dropRecording();
    setState(State::Empty);
    setDuration(0);
    emit audioPlayerChanged();
    emit videoPlayersChanged();
}

void MultiTrackPlayer::seek(double fraction)
{
    if (m_duration <= 0)
        return;
    const double p = std::clamp(fraction, 0.0, 1.0);
    const double t = m_duration * p;
    seekAll(t);
    leaveTheEnd();
    setCurrentTime(t);
    setProgress(p);
}

void MultiTrackPlayer::scrubTo(double fraction)
{
    if (m_pendingSeek)
        m_scrubTarget = fraction;
    else
        seek(fraction);
}

void MultiTrackPlayer::skip(double seconds)
{
    if (m_duration <= 0)
        return;
    const double t = std::clamp(m_currentTime + seconds, 0.0, m_duration);
    seekAll(t);
    leaveTheEnd();
    setCurrentTime(t);
    // Paused, no clock tick follows: the seek bar must show the new time now.
    setProgress(t / m_duration);
}

// Sought elsewhere, a recording that had played to its end stands Paused there. (A Stopped one
// stays Stopped until it plays or steps.)
void MultiTrackPlayer::leaveTheEnd()
{
    if (m_state == State::Ended)
        setState(State::Paused);
}

// A seek replaces the one under way, and the step that waited for it.
void MultiTrackPlayer::seekAll(double seconds)
{
    m_scrubTarget.reset();
    if (!m_pipeline)
        return;
    m_presenter.beginSeek();
    m_pendingSeek.emplace();
    m_pendingSeek->deadline.start(seekDeadlineMs, this);
    m_pipeline->seek(seconds);
}

void MultiTrackPlayer::timerEvent(QTimerEvent *event)
{
    if (m_pendingSeek && event->timerId() == m_pendingSeek->deadline.timerId())
        finishSeek();
    else
        QObject::timerEvent(event);
}

// Also called when the pipeline finishes a change of state (a pause), and when a seek's own end
// comes after its deadline: then there is no seek to finish, and the pictures are presented.
void MultiTrackPlayer::finishSeek()
{
    std::optional<int> step;
    if (m_pendingSeek) {
        if (m_pendingSeek->landsStep || m_pendingSeek->nextStep != 0)
            step = m_pendingSeek->nextStep;
        m_pendingSeek.reset();
        // A channel whose first picture comes after the sought time has nothing to show there.
        m_presenter.endSeek(std::min(m_pipeline->position().value_or(m_currentTime), m_duration));
    }
    m_presenter.present();
    if (step)
        finishStep(*step);
    else if (const std::optional<double> target = std::exchange(m_scrubTarget, std::nullopt))
        seek(*target);
}

void MultiTrackPlayer::faster()
{
    const auto next = std::upper_bound(rates.cbegin(), rates.cend(), m_rate);
    if (next != rates.cend())
        setRate(*next);
}

void MultiTrackPlayer::slower()
{
    const auto next = std::lower_bound(rates.cbegin(), rates.cend(), m_rate);
    if (next != rates.cbegin())
        setRate(*std::prev(next));
}

void MultiTrackPlayer::cycleRate()
{
    const auto next = std::upper_bound(rates.cbegin(), rates.cend(), m_rate);
    setRate(next != rates.cend() ? *next : rates.front());
}

void MultiTrackPlayer::setRate(double rate)
{
    if (rate == m_rate || std::find(rates.cbegin(), rates.cend(), rate) == rates.cend())
        return;
    m_rate = rate;
    m_presenter.setRate(rate);
    emit rateChanged();
    if (!m_pipeline)
        return;
    // The new pace takes hold with a seek to where playback is, every channel and the sound
    // together.
    const double position =
        m_pendingSeek ? m_currentTime : m_pipeline->position().value_or(m_currentTime);
    m_pipeline->setRate(rate);
    seekAll(std::min(position, m_duration));
}

QString MultiTrackPlayer::rateText() const
{
    return QString::number(m_rate) + QLatin1Char('x');
}

void MultiTrackPlayer::stepFrame(int direction)
{
    if (!m_pipeline || !m_clockChannel)
        return;
    if (m_state == State::Playing)
        pause();
    if (m_pendingSeek) {
        m_pendingSeek->nextStep = direction;
        return;
    }
    const auto shown = m_clockChannel->currentFrameTime();
    if (!shown)
        return;
    const double end = m_clockChannel->currentFrameEnd();
    double target = 0;
    if (direction > 0) {
        // The next picture starts where this one ends; the last one has none after it.
        if (end <= *shown || end >= m_presenter.endsAt() - 1e-6)
            return;
        target = end;
    } else {
        // The middle of the picture before this one: a seek there shows it, even when the time on
        // screen is a seek's target inside this picture rather than its own start. A picture
        // longer than the stream's frame rate says (a dropped frame) is left by its own start.
        const double interval = m_clockChannel->frameInterval();
        if (interval <= 0 || *shown <= 0)
            return;
        target = std::max(0.0, std::min(end - 1.5 * interval, *shown - stepBackMargin));
    }
    seekAll(target);
    m_pendingSeek->landsStep = true;
    setCurrentTime(std::min(target, m_duration));
    setProgress(m_duration > 0 ? std::clamp(target / m_duration, 0.0, 1.0) : 0.0);
    setState(State::Paused);
}

void MultiTrackPlayer::finishStep(int next)
{
    if (const auto shown = m_clockChannel ? m_clockChannel->currentFrameTime() : std::nullopt;
        shown && m_duration > 0) {
        setCurrentTime(std::min(*shown, m_duration));
        setProgress(std::clamp(*shown / m_duration, 0.0, 1.0));
    }
    if (next != 0)
        stepFrame(next);
}

void MultiTrackPlayer::setVolume(double volume)
{
    const auto clamped = static_cast<float>(std::clamp(volume, 0.0, 1.0));
    if (m_audioPlayer)
        m_audioPlayer->setVolume(clamped);
}

void MultiTrackPlayer::setBrightness(double brightness)
{
    for (ChannelPlayer *channel : std::as_const(m_videoPlayers))
        channel->setBrightness(brightness);
    showFilterChangeWhilePaused();
}

void MultiTrackPlayer::setFlip(int channel, int mode)
{
    if (channel < 0 || channel >= m_videoPlayers.size())
        return;
    m_videoPlayers[channel]->setMirrorMode(mode);
    showFilterChangeWhilePaused();
}

// A paused pipeline shows a picture that was filtered before the change; decoding it again at
// the same place shows it with the new setting.
void MultiTrackPlayer::showFilterChangeWhilePaused()
{
    if (!m_pipeline || m_state == State::Playing)
        return;
    const auto position = m_pipeline->position();
    seekAll(position.value_or(m_currentTime));
}

void MultiTrackPlayer::playbackDidFinish()
{
    m_clock.stop();
    // Every channel ends on its last picture, even one the presenter had not reached yet.
    m_presenter.showEnd();
    if (m_pipeline)
        m_pipeline->pause();
    if (m_duration > 0)
        setCurrentTime(m_duration);
    setProgress(1.0);
    setState(State::Ended);
    emit ended();
}

// The sound may go on after the pictures; the recording ends with them.
void MultiTrackPlayer::onEndOfStream()
{
    if (m_duration <= 0) {
        playbackDidFinish();
        return;
    }
    // A track that holds fewer pictures than its header states ends with its last one.
    const auto last = m_clockChannel ? m_clockChannel->newestPicture() : std::nullopt;
    const auto position = m_pipeline ? m_pipeline->position() : std::nullopt;
    if (last && position)
        m_presenter.setEndsAt(std::clamp(last->end, std::min(*position, m_duration), m_duration));
    m_presenter.present();
}

void MultiTrackPlayer::onClockTick()
{
    if (!m_pipeline || m_state != State::Playing)
        return;
    const auto position = m_pipeline->position();
    if (!position)
        return;
    // Every channel shows the picture of the same instant, the clock position that the tick
    // publishes unless a channel's picture of it is not decoded yet.
    const auto shown = m_presenter.present(position);
    if (m_state != State::Playing)
        return; // the recording ended
    const double time = std::min(*position, m_duration);
    if (shown && *shown < time - 1e-6)
        ++m_ticksHeldBack;
    if (!m_isScrubbing && m_duration > 0) {
        setCurrentTime(time);
        setProgress(std::clamp(time / m_duration, 0.0, 1.0));
    }
}

bool MultiTrackPlayer::isSettled() const
{
    return !m_pipeline || (!m_pendingSeek && m_pipeline->isSettled());
}

void MultiTrackPlayer::setIsScrubbing(bool scrubbing)
{
    if (m_isScrubbing == scrubbing)
        return;
    m_isScrubbing = scrubbing;
    emit isScrubbingChanged();
}

void MultiTrackPlayer::setCurrentTime(double time)
{
    if (m_currentTime == time)
        return;
    m_currentTime = time;
    emit currentTimeChanged();
}

void MultiTrackPlayer::setDuration(double duration)
{
    if (m_duration == duration)
        return;
    m_duration = duration;
    emit durationChanged();
}

void MultiTrackPlayer::setProgress(double progress)
{
    if (m_progress == progress)
        return;
    m_progress = progress;
    emit progressChanged();
}

void MultiTrackPlayer::setState(State state)
{
    if (m_state == state)
        return;
    const bool wasPlaying = isPlaying();
    const bool wasStopped = isStopped();
    m_state = state;
    m_presenter.setRunning(isPlaying());
    if (isPlaying() && !m_videoPlayers.isEmpty())
        m_clock.start();
    emit stateChanged();
    if (isPlaying() != wasPlaying)
        emit isPlayingChanged();
    if (isStopped() != wasStopped)
        emit isStoppedChanged();
}

QCoro::Task<std::optional<QString>> loadFailure(MultiTrackPlayer &player, QUrl url)
{
    try {
        co_await player.load(url);
    } catch (const PlaybackError &error) {
        co_return QString::fromUtf8(error.what());
    }
    co_return std::nullopt;
}

} // namespace korvane
