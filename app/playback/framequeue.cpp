#include "playback/framequeue.h"

namespace korvane {

namespace {
// Frame times come from nanosecond clock values; a frame that starts within this of the clock's
// position is due.
constexpr double dueSlack = 1e-6;
// Far more than the pictures that arrive ahead of time; only reached while the main thread does
// not present (it is busy, say), and then the oldest would only be skipped anyway.
constexpr size_t maxWaiting = 16;
} // namespace

void FrameQueue::setArrivalListener(std::function<void()> listener)
{
    std::lock_guard lock(m_mutex);
    m_listener = std::move(listener);
}

void FrameQueue::push(TimedFrame frame)
{
    std::function<void()> listener;
    {
        std::lock_guard lock(m_mutex);
        // A sink that prerolls while playing hands the same picture over twice: once to show it
        // paused, once when its time comes.
        if (!frame.preroll && m_lastPushedTime && *m_lastPushedTime == frame.time)
            return;
        m_lastPushedTime = frame.time;
        m_frames.push_back(std::move(frame));
        if (m_frames.size() > maxWaiting)
            m_frames.pop_front();
        listener = m_listener;
    }
    if (listener)
        listener();
}

void FrameQueue::clear()
{
    std::lock_guard lock(m_mutex);
    m_frames.clear();
    m_lastPushedTime.reset();
    m_ended = false;
}

void FrameQueue::markEnded()
{
    std::function<void()> listener;
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        listener = m_listener;
    }
    // A presenter that waits for this channel need not wait any more.
    if (listener)
        listener();
}

bool FrameQueue::ended() const
{
    std::lock_guard lock(m_mutex);
    return m_ended;
}

std::optional<TimedFrame> FrameQueue::takeDue(double time)
{
    std::lock_guard lock(m_mutex);
    std::optional<TimedFrame> newest;
    while (!m_frames.empty() && m_frames.front().time <= time + dueSlack) {
        newest = std::move(m_frames.front());
        m_frames.pop_front();
    }
    return newest;
}

std::optional<double> FrameQueue::nextTime() const
{
    std::lock_guard lock(m_mutex);
    if (m_frames.empty())
        return std::nullopt;
    return m_frames.front().time;
}

std::optional<double> FrameQueue::lastPushedTime() const
{
    std::lock_guard lock(m_mutex);
    return m_lastPushedTime;
}

std::optional<FrameQueue::Span> FrameQueue::newest() const
{
    std::lock_guard lock(m_mutex);
    if (m_frames.empty())
        return std::nullopt;
    return Span{m_frames.back().time, m_frames.back().end};
}

} // namespace korvane
