#include "playback/channelplayer.h"

namespace korvane {

ChannelPlayer::ChannelPlayer(int channel, const QString &filePath, double duration,
                             VideoBranch *branch, QObject *parent)
    : QObject(parent), m_channel(channel), m_filePath(filePath), m_duration(duration),
      m_branch(branch)
{
}

double ChannelPlayer::brightness() const
{
    return m_branch ? m_branch->filter.brightness() : 0.5;
}

int ChannelPlayer::mirrorMode() const
{
    return m_branch ? m_branch->filter.mirrorMode() : 0;
}

void ChannelPlayer::setBrightness(double brightness)
{
    if (!hasCurrentItem())
        return;
    m_branch->filter.setBrightness(brightness);
    emit filterChanged();
}

void ChannelPlayer::setMirrorMode(int mode)
{
    if (!hasCurrentItem())
        return;
    m_branch->filter.setMirrorMode(mode);
    emit filterChanged();
}

void ChannelPlayer::showOn(QVideoSink *sink)
{
    if (!sink || m_sinks.contains(sink))
        return;
    m_sinks.removeAll(nullptr);
    m_sinks.append(sink);
    if (m_frame.isValid())
        sink->setVideoFrame(m_frame);
}

bool ChannelPlayer::present(double time)
{
    if (!m_branch)
        return false;
    const auto due = m_branch->frames->takeDue(time);
    if (!due)
        return false;
    QVideoFrame frame = videoFrameOf(*due);
    if (!frame.isValid())
        return false;
    m_frame = std::move(frame);
    m_frameTime = due->time;
    m_frameEnd = due->end;
    m_frameInterval = due->interval;
    if (!m_firstPictureTime)
        m_firstPictureTime = due->time;
    for (const QPointer<QVideoSink> &sink : std::as_const(m_sinks)) {
        if (sink)
            sink->setVideoFrame(m_frame);
    }
    emit frameChanged();
    return true;
}

double ChannelPlayer::frameInterval() const
{
    if (m_frameInterval > 0 || !m_frameTime)
        return m_frameInterval;
    return m_frameEnd - *m_frameTime;
}

void ChannelPlayer::showNothing()
{
    if (!m_frameTime)
        return;
    m_frame = {};
    m_frameTime.reset();
    for (const QPointer<QVideoSink> &sink : std::as_const(m_sinks)) {
        if (sink)
            sink->setVideoFrame({});
    }
    emit frameChanged();
}

bool ChannelPlayer::startsAfter(double time) const
{
    constexpr double slack = 1e-6;
    const auto next = nextFrameTime();
    return (m_firstPictureTime && *m_firstPictureTime > time + slack) ||
           (next && *next > time + slack);
}

std::optional<double> ChannelPlayer::nextFrameTime() const
{
    return m_branch ? m_branch->frames->nextTime() : std::nullopt;
}

bool ChannelPlayer::hasPictureFor(double time) const
{
    if (!hasCurrentItem() || m_branch->frames->ended())
        return true;
    const auto newest = newestPicture();
    return newest && (newest->time > time || newest->end > time);
}

std::optional<FrameQueue::Span> ChannelPlayer::newestPicture() const
{
    if (m_branch) {
        if (const auto waiting = m_branch->frames->newest())
            return waiting;
    }
    if (m_frameTime)
        return FrameQueue::Span{*m_frameTime, m_frameEnd};
    return std::nullopt;
}

void ChannelPlayer::detach()
{
    m_branch = nullptr;
    emit detached();
}

} // namespace korvane
