#include "channelplayer.h"

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

void ChannelPlayer::present(double time)
{
    if (!m_branch)
        return;
    const auto due = m_branch->frames->takeDue(time);
    if (!due)
        return;
    QVideoFrame frame = videoFrameOf(*due);
    if (!frame.isValid())
        return;
    m_frame = std::move(frame);
    m_frameTime = due->time;
    for (const QPointer<QVideoSink> &sink : std::as_const(m_sinks)) {
        if (sink)
            sink->setVideoFrame(m_frame);
    }
    emit frameChanged();
}

std::optional<double> ChannelPlayer::nextFrameTime() const
{
    return m_branch ? m_branch->frames->nextTime() : std::nullopt;
}

void ChannelPlayer::detach()
{
    m_branch = nullptr;
    emit detached();
}

} // namespace korvane
