#include "playback/framepresenter.h"

#include "base/mainthreadcall.h"
#include "playback/channelplayer.h"
#include "playback/playbackpipeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvane {

FramePresenter::FramePresenter(QObject *parent) : QObject(parent)
{
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
    connect(&m_wake, &QTimer::timeout, this, [this] { present(); });
}

void FramePresenter::attach(PlaybackPipeline *pipeline, const QList<ChannelPlayer *> &channels,
                            double length)
{
    m_pipeline = pipeline;
    m_channels = channels;
    m_length = length;
    m_endsAt = length;
    for (int i = 0; i < pipeline->videoBranchCount(); ++i) {
        std::weak_ptr<std::atomic_bool> pending = m_arrivalPending;
        pipeline->videoBranch(i).frames->setArrivalListener([this, pending] {
            const auto flag = pending.lock();
            if (flag && !flag->exchange(true))
                callOnMainThread(this, [this] { present(); });
        });
    }
}

void FramePresenter::detach()
{
    m_wake.stop();
    m_seeking = false;
    m_channels.clear();
    m_pipeline = nullptr;
    m_length = 0;
    m_endsAt = 0;
    // Arrivals of the old recording must not post calls that would present the new one.
    m_arrivalPending = std::make_shared<std::atomic_bool>(false);
}

void FramePresenter::beginSeek()
{
    m_wake.stop();
    m_seeking = true;
    m_endsAt = m_length;
}

void FramePresenter::endSeek(double time)
{
    m_seeking = false;
    for (ChannelPlayer *channel : std::as_const(m_channels)) {
        if (!channel->present(time) && channel->startsAfter(time))
            channel->showNothing();
    }
}

std::optional<double> FramePresenter::present(std::optional<double> position)
{
    m_arrivalPending->store(false);
    if (!m_pipeline || m_seeking)
        return std::nullopt;
    if (!position)
        position = m_pipeline->position();
    if (!position)
        return std::nullopt;
    if (m_running && m_length > 0 && *position >= m_endsAt) {
        emit endReached();
        return std::nullopt;
    }
    const double instant = m_running ? instantEveryChannelHas(*position) : *position;
    std::optional<double> next;
    for (ChannelPlayer *channel : std::as_const(m_channels)) {
        channel->present(instant);
        if (const auto upcoming = channel->nextFrameTime())
            next = next ? std::min(*next, *upcoming) : *upcoming;
    }
    if (m_running) {
        // Held back, the channels go on when the lagging picture arrives (its arrival presents)
        // or when the hold runs out; otherwise at the next picture or the end.
        // (A hold that has run out wakes no sooner than a short step ahead: the main thread must
        // not spin while the decoders catch up.)
        std::optional<double> wake =
            instant < *position ? std::max(instant + maxHoldBack, *position + minimumWake) : next;
        if (m_length > 0)
            wake = std::min(wake.value_or(m_endsAt), m_endsAt);
        if (wake)
            m_wake.start(
                static_cast<int>(std::ceil(std::max(0.0, *wake - *position) * 1000 / m_rate)));
    }
    return instant;
}

void FramePresenter::showEnd()
{
    m_wake.stop();
    const double end = m_length > 0 ? m_endsAt : std::numeric_limits<double>::infinity();
    for (ChannelPlayer *channel : std::as_const(m_channels))
        channel->present(end);
}

// A channel whose decoder lags behind the clock holds the others back on the newest instant it
// has, so that the channels never show different instants; but not for longer than a few
// pictures, or one stalled channel would stop them all.
double FramePresenter::instantEveryChannelHas(double position) const
{
    double instant = position;
    for (ChannelPlayer *channel : std::as_const(m_channels)) {
        if (channel->hasPictureFor(position))
            continue;
        if (const auto newest = channel->newestPicture())
            instant = std::min(instant, newest->time);
    }
    return std::max(instant, position - maxHoldBack);
}

} // namespace korvane
