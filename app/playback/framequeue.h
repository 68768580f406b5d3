#pragma once

#include "playback/timedframe.h"

#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace korvane {

// The pictures of one channel that have been decoded but are not on screen yet. The channel's
// sink fills it on its streaming thread, a little ahead of time; the player's presenter takes
// from it on the main thread what is due at the clock's position, for every channel at the same
// position, so that no channel can show another instant than the others.
class FrameQueue
{
public:
    // Called on the streaming thread after each arrival.
    void setArrivalListener(std::function<void()> listener);

    void push(TimedFrame frame);
    // A flush: everything waiting is dropped and the stream runs again.
    void clear();
    // The stream has handed over its last picture (until the next flush).
    void markEnded();
    bool ended() const;

    // Removes every frame due at `time` and returns the newest of them.
    std::optional<TimedFrame> takeDue(double time);
    // The time of the earliest frame still waiting.
    std::optional<double> nextTime() const;
    // The latest frame still waiting, without its picture.
    struct Span
    {
        double time = 0;
        double end = 0;
    };
    std::optional<Span> newest() const;
    // The time of the last frame handed over since the last flush, taken or not.
    std::optional<double> lastPushedTime() const;

private:
    mutable std::mutex m_mutex;
    std::deque<TimedFrame> m_frames;
    std::optional<double> m_lastPushedTime;
    bool m_ended = false;
    std::function<void()> m_listener;
};

} // namespace korvane
