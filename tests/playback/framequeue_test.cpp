#include "framequeue.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TimedFrame frameAt(double time, bool preroll = false)
{
    TimedFrame frame;
    frame.time = time;
    frame.preroll = preroll;
    return frame;
}

TEST(PlaybackFrameQueue, HandsOverTheNewestPictureDueAndKeepsTheRest)
{
    FrameQueue queue;
    int arrivals = 0;
    queue.setArrivalListener([&] { ++arrivals; });
    for (int i = 0; i < 4; ++i)
        queue.push(frameAt(i / 30.0));
    EXPECT_EQ(arrivals, 4);
    EXPECT_FALSE(queue.takeDue(-0.01));
    // 2/30 s is due exactly at its own time; the two before it are skipped.
    const auto due = queue.takeDue(2 / 30.0);
    ASSERT_TRUE(due);
    EXPECT_DOUBLE_EQ(due->time, 2 / 30.0);
    EXPECT_DOUBLE_EQ(queue.nextTime().value_or(-1), 3 / 30.0);
    EXPECT_FALSE(queue.takeDue(2.9 / 30.0));
}

TEST(PlaybackFrameQueue, PrerollReplacesWaitingPicturesAndIsDueAtOnce)
{
    FrameQueue queue;
    queue.push(frameAt(0.5));
    queue.push(frameAt(0.6));
    queue.push(frameAt(2.0, true));
    const auto due = queue.takeDue(0);
    ASSERT_TRUE(due);
    EXPECT_EQ(due->time, 2.0);
    EXPECT_FALSE(queue.nextTime());
    // The same picture handed over again when playback starts is not shown twice.
    queue.push(frameAt(2.0));
    EXPECT_FALSE(queue.nextTime());
    queue.push(frameAt(2.1));
    EXPECT_EQ(queue.nextTime(), 2.1);
    queue.clear();
    EXPECT_FALSE(queue.takeDue(100));
}

TEST(PlaybackFrameQueue, PicturesNobodyTakesDoNotPileUp)
{
    FrameQueue queue;
    for (int i = 0; i < 1000; ++i)
        queue.push(frameAt(i / 30.0));
    const auto oldest = queue.nextTime();
    ASSERT_TRUE(oldest);
    EXPECT_GT(*oldest, 900 / 30.0);
    EXPECT_DOUBLE_EQ(queue.takeDue(1000)->time, 999 / 30.0);
}

} // namespace
} // namespace korvane
