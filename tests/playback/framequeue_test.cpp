#include "playback/framequeue.h"

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

TEST(PlaybackFrameQueue, PrerollPictureWaitsForItsTimeAndIsNotShownTwice)
{
    FrameQueue queue;
    // A pause prerolls on the next picture; those before it are still to be shown.
    queue.push(frameAt(0.5));
    queue.push(frameAt(0.6));
    queue.push(frameAt(0.7, true));
    EXPECT_EQ(queue.takeDue(0.6)->time, 0.6);
    EXPECT_EQ(queue.newest()->time, 0.7);
    // Handed over again when playback goes on, it is not queued a second time.
    queue.push(frameAt(0.7));
    EXPECT_EQ(queue.takeDue(0.7)->time, 0.7);
    EXPECT_FALSE(queue.nextTime());
    queue.push(frameAt(0.8));
    EXPECT_EQ(queue.nextTime(), 0.8);
}

TEST(PlaybackFrameQueue, EndLastsUntilTheNextFlush)
{
    FrameQueue queue;
    int arrivals = 0;
    queue.setArrivalListener([&] { ++arrivals; });
    queue.push(frameAt(1.0));
    queue.markEnded();
    // Whoever waits for this channel hears of its end as of an arrival.
    EXPECT_EQ(arrivals, 2);
    EXPECT_TRUE(queue.ended());
    queue.clear();
    EXPECT_FALSE(queue.ended());
    EXPECT_FALSE(queue.newest());
    queue.push(frameAt(1.0));
    EXPECT_EQ(queue.takeDue(1.0)->time, 1.0);
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
