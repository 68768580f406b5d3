// Looking at a moment closely: every channel one picture at a time, and playback faster or
// slower, on recordings that ffmpeg's own encoders made.
#include "playbacktestsupport.h"
#include "testfiles.h"

#include <QElapsedTimer>

#include <cmath>

namespace korvane::test {
namespace {

constexpr double fps = 30;

class SpeedAndSteps : public PlayerTest
{
protected:
    static void SetUpTestSuite()
    {
        folder = new QTemporaryDir;
        // Two cameras of different sizes, a key frame every 30 pictures, and sound.
        const ProgramRun made = run(
            "ffmpeg",
            {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30:duration=12",
             "-f", "lavfi", "-i", "mandelbrot=size=160x120:rate=30", "-f", "lavfi", "-i",
             "sine=frequency=440:duration=12", "-map", "0:v", "-map", "1:v", "-map", "2:a", "-t",
             "12", "-c:v", "libx264", "-g", "30", "-keyint_min", "30", "-sc_threshold", "0",
             "-pix_fmt", "yuv420p", "-c:a", "aac", folder->filePath("cameras.mp4")});
        ASSERT_EQ(made.exitCode, 0) << made.err.constData();
        frames = {referenceFrames(recording(), 0), referenceFrames(recording(), 1)};
    }

    static void TearDownTestSuite()
    {
        delete folder;
        folder = nullptr;
        frames.clear();
    }

    static QString recording() { return folder->filePath("cameras.mp4"); }

    // The first channel's picture on screen has settled on picture `index` (its time lies in
    // that picture's span) and the player's clock on its time.
    bool settledOn(int index) const
    {
        const auto shown = player->videoPlayers().at(0)->currentFrameTime();
        return shown && std::floor(*shown * fps + 1e-4) == index &&
               std::abs(player->currentTime() - *shown) < 1e-6;
    }

    // Every channel shows exactly ffmpeg's picture `index` of its own track.
    void expectEveryChannelShows(int index)
    {
        for (ChannelPlayer *channel : player->videoPlayers()) {
            const QSize size = channel->frameSize();
            EXPECT_EQ(lumaPlane(channel->currentFrame()),
                      referenceLuma(frames.at(channel->channel()), index, size.width(),
                                    size.height()))
                << "channel " << channel->channel() << " picture " << index;
        }
    }

    void step(int count, int expectedIndex)
    {
        for (int k = 0; k < std::abs(count); ++k) {
            const double before = player->currentTime();
            count > 0 ? player->stepForward() : player->stepBackward();
            ASSERT_TRUE(waitUntil([&] {
                const int from = expectedIndex - count;
                return player->currentTime() != before &&
                       settledOn(count > 0 ? from + k + 1 : from - k - 1);
            })) << "step " << k + 1 << " of " << count;
        }
        expectEveryChannelShows(expectedIndex);
    }

    // Plays at `rate` from the start until the clock has covered `span` seconds of the
    // recording, every tick checked; returns how many seconds of the recording passed per second
    // of wall time.
    double playedPace(double rate, double span)
    {
        player->seek(0);
        EXPECT_TRUE(waitUntil([&] { return settledOn(0); }));
        player->setRate(rate);
        EXPECT_EQ(player->rate(), rate);
        EXPECT_TRUE(waitUntil([&] { return settledOn(0); }));
        TickWatch watch;
        watch.largestStep = 0.35 * rate;
        watch.lagIsFault = rate <= 1;
        QElapsedTimer wall;
        std::optional<std::pair<qint64, double>> first;
        std::pair<qint64, double> last;
        const auto ticks =
            QObject::connect(player.get(), &MultiTrackPlayer::currentTimeChanged, [&] {
                watch.check(*player, {0.0, 0.0});
                const std::pair<qint64, double> sample{wall.nsecsElapsed(), player->currentTime()};
                // From the first tick after the start, once the decoders run.
                if (!first && sample.second > 0.3)
                    first = sample;
                last = sample;
            });
        player->play();
        wall.start();
        EXPECT_TRUE(waitUntil([&] { return first && last.second - first->second >= span; },
                              static_cast<int>(span / rate * 1000 * 2 + 3000)));
        player->pause();
        QObject::disconnect(ticks);
        EXPECT_TRUE(watch.faults.isEmpty()) << watch.faults.join('\n').toStdString();
        EXPECT_GT(watch.times.size(), static_cast<size_t>(span / rate * 8));
        if (!first)
            return 0;
        return (last.second - first->second) / (static_cast<double>(last.first - first->first) / 1e9);
    }

    // Every channel shows the picture whose span holds `time`.
    bool everyChannelShows(double time) const
    {
        for (ChannelPlayer *channel : player->videoPlayers()) {
            const auto shown = channel->currentFrameTime();
            if (!shown || *shown > time + 1e-6 || channel->currentFrameEnd() <= time + 1e-6)
                return false;
        }
        return true;
    }

    bool settledNear(double time) const
    {
        const auto shown = player->videoPlayers().at(0)->currentFrameTime();
        return shown && std::abs(*shown - time) < 1.0 / fps;
    }

    static QTemporaryDir *folder;
    static QList<QByteArray> frames;
};

QTemporaryDir *SpeedAndSteps::folder = nullptr;
QList<QByteArray> SpeedAndSteps::frames;

TEST_F(SpeedAndSteps, StepsLandOnEachPictureOfEveryChannelAcrossKeyFrames)
{
    load(recording());
    // From a seek into the middle of picture 27, across the key frame at picture 30 and back.
    player->seek((27.4 / fps) / player->duration());
    ASSERT_TRUE(waitUntil([&] { return settledNear(27.4 / fps); }));
    step(5, 32);
    step(-7, 25);
    step(1, 26);

    // A held key: steps asked for faster than they are decoded do not pile up, and the channels
    // still end on one picture together.
    for (int k = 0; k < 6; ++k)
        player->stepForward();
    ASSERT_TRUE(waitUntil([&] {
        const auto shown = player->videoPlayers().at(0)->currentFrameTime();
        return shown && *shown > 26.5 / fps && std::abs(player->currentTime() - *shown) < 1e-9;
    }));
    // The step that ended is presented on every channel at once; the others show its picture.
    ASSERT_TRUE(waitUntil([&] { return everyChannelShows(player->currentTime()); }));
    const int reached = static_cast<int>(std::floor(player->currentTime() * fps + 1e-4));
    EXPECT_GE(reached, 27);
    EXPECT_LE(reached, 32);
    expectEveryChannelShows(reached);

    // Playing, a step pauses first; the first picture has none before it, the last none after.
    const double before = player->currentTime();
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > before; }))
        << "the clock did not run";
    player->stepForward();
    EXPECT_FALSE(player->isPlaying());
    player->seek(0);
    ASSERT_TRUE(waitUntil([&] { return settledOn(0); }));
    player->stepBackward();
    // Nothing is to happen: a step, had one started, would have ended within this watch.
    spin(quietWatchMs);
    EXPECT_TRUE(settledOn(0));
    expectEveryChannelShows(0);
    player->seek((player->duration() - 0.5 / fps) / player->duration());
    ASSERT_TRUE(waitUntil([&] { return settledOn(359); }));
    const double last = player->currentTime();
    player->stepForward();
    spin(quietWatchMs); // nothing is to happen, as at the first picture
    EXPECT_EQ(player->currentTime(), last);
    step(-1, 358);
}

TEST_F(SpeedAndSteps, EveryRateKeepsTheChannelsInStepAtItsPace)
{
    load(recording());
    EXPECT_EQ(player->rateText(), "1x");
    // Twice the pace: ten seconds of the recording in five of wall time; half: five in ten.
    EXPECT_NEAR(playedPace(2.0, 10.0), 2.0, 2.0 * 0.05);
    EXPECT_EQ(player->rateText(), "2x");
    EXPECT_NEAR(playedPace(0.5, 5.0), 0.5, 0.5 * 0.05);
    EXPECT_EQ(player->rateText(), "0.5x");

    // The speed button goes round every rate; the keys stop at the ends.
    QStringList texts;
    for (int k = 0; k < 5; ++k) {
        player->cycleRate();
        texts << player->rateText();
    }
    EXPECT_EQ(texts, QStringList({"1x", "2x", "4x", "0.25x", "0.5x"}));
    for (int k = 0; k < 6; ++k)
        player->faster();
    EXPECT_EQ(player->rate(), 4.0);
    for (int k = 0; k < 6; ++k)
        player->slower();
    EXPECT_EQ(player->rate(), 0.25);
    player->setRate(3.0);
    EXPECT_EQ(player->rate(), 0.25);

    // Another recording opens at its own pace.
    load(recording());
    EXPECT_EQ(player->rate(), 1.0);
}

} // namespace
} // namespace korvane::test
