#pragma once

#include "playback/multitrackplayer.h"

#include <QCoro/QCoroTask>

#include <QByteArray>
#include <QStringList>
#include <QImage>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QVideoFrame>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace korvane::test {

// Runs the event loop until `condition` holds; false when `timeoutMs` passed first.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10000);

// Runs the event loop for a while. Only for watching that something does not happen; what a test
// expects to happen is waited for with waitUntil.
void spin(int ms);

// How long a test watches for what must not happen, such as a clock tick moving a paused clock
// or a recording ending twice. What would happen does so within a few of the clock's 100 ms ticks
// here; on a machine running at a quarter of this one's pace a watch this long still holds some.
constexpr int quietWatchMs = 1500;

// Delivers what has been posted to the main thread so far, and the timers that are due.
void deliverPosted();

// Runs the event loop until the player stands where it was last sent (a pause, a seek, a start;
// see MultiTrackPlayer::isSettled) and what its pipeline posted on the way has been delivered:
// the pictures on screen then change only with the clock. False when it did not within
// `timeoutMs`.
bool waitUntilSettled(const MultiTrackPlayer &player, int timeoutMs = 30000);

// Every picture of one video track as ffmpeg decodes it, as raw I420 frames one after another.
QByteArray referenceFrames(const QString &path, int track);

// The luma plane of a picture, row after row, without padding.
QByteArray lumaPlane(const QVideoFrame &frame);
// The luma plane of reference frame `index` of a track of `width` x `height`.
QByteArray referenceLuma(const QByteArray &frames, int index, int width, int height);

// The mean difference per colour value between two pictures of one size.
double meanDifference(const QImage &a, const QImage &b);

// ffmpeg's own picture of a track at a frame index, in RGB; null when it cannot be made.
QImage referencePicture(const QString &path, int track, int frame, QSize size);

// The index of the picture of a video track whose span holds `time`, by the file's own times as
// ffprobe reads them (a muxer's time base can put a picture a few microseconds after its nominal
// time); -1 before the first.
int pictureAt(const QString &path, int track, double time);

// Checks at every clock tick: the clock moves on at its own pace from where it was, and every
// channel shows the picture of one instant close behind it (or nothing before its first).
struct TickWatch
{
    // The span of one picture, and the furthest the clock may move between two ticks.
    double frameSpan = 1.0 / 30;
    double largestStep = 0.35;
    // Whether a picture held back longer than the player allows is a fault. Faster than real
    // time a loaded machine's decoders fall behind the clock: how far is for the playback
    // benchmark to measure; showing a picture ahead of the clock, or channels out of step, stays
    // a fault at any pace.
    bool lagIsFault = true;
    std::vector<double> times;
    QStringList faults;

    void check(const MultiTrackPlayer &player, const std::vector<double> &starts);
};

// How a caller sees a failed load: the error text, or nothing when the recording opened.
QCoro::Task<QString> loadError(MultiTrackPlayer &player, const QString &path);

// A player whose sound goes to a null sink that still keeps time, with the user's settings kept in
// a folder of the test's own.
class PlayerTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads a recording and fails the test when it does not open.
    void load(const QString &path);

    QTemporaryDir m_settingsFolder;
    QByteArray m_oldConfigHome;
    std::unique_ptr<MultiTrackPlayer> player;
};

} // namespace korvane::test
