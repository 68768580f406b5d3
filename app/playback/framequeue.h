#pragma once

#include "timedframe.h"

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
    void clear();

    // Removes every frame due at `time` (and every preroll frame) and returns the newest of them.
    std::optional<TimedFrame> takeDue(double time);
    // The time of the earliest frame still waiting.
    std::optional<double> nextTime() const;

private:
    mutable std::mutex m_mutex;
    std::deque<TimedFrame> m_frames;
    std::optional<double> m_lastPushedTime;
    std::function<void()> m_listener;
};

} // namespace korvane
