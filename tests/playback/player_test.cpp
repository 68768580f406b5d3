#include "base/userdefaults.h"
#include "playback/gstsupport.h"
#include "playbacktestsupport.h"
#include "records/mp4tracks.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <gst/gst.h>

#include <cmath>

namespace korvane::test {
namespace {

constexpr double fps = 30;

QStringList smallChannels(int count)
{
    QStringList arguments{"--channels", QString::number(count), "--seconds", "3"};
    const QStringList sizes{"320x240", "160x120", "192x144", "128x96", "224x160"};
    for (int i = 0; i < count; ++i)
        arguments << QStringLiteral("--ch%1").arg(i + 1) << sizes[i] + QStringLiteral("@30");
    return arguments;
}

// The picture time every channel shows; empty when one channel shows none.
std::optional<double> commonFrameTime(const MultiTrackPlayer &player)
{
    std::optional<double> common;
    for (ChannelPlayer *channel : player.videoPlayers()) {
        const auto time = channel->currentFrameTime();
        if (!time || (common && *common != *time))
            return std::nullopt;
        common = time;
    }
    return common;
}

// Whether every channel shows the picture sought at `time` (a picture that starts before it is
// stamped with the sought time itself).
bool showsSought(const MultiTrackPlayer &player, double time)
{
    const auto shown = commonFrameTime(player);
    return shown && std::abs(*shown - time) < 1e-6;
}

class Playback : public PlayerTest
{
protected:
    void expectEveryChannelShowsFrame(const QString &path, int frameIndex)
    {
        for (ChannelPlayer *channel : player->videoPlayers()) {
            const QByteArray frames = referenceFrames(path, channel->channel());
            const QSize size = channel->frameSize();
            EXPECT_EQ(lumaPlane(channel->currentFrame()),
                      referenceLuma(frames, frameIndex, size.width(), size.height()))
                << "channel " << channel->channel() << " frame " << frameIndex;
        }
    }

    void seekAndWait(double fraction, double expectedTime)
    {
        player->seek(fraction);
        ASSERT_TRUE(waitUntil([&] {
            const auto time = commonFrameTime(*player);
            return time && std::abs(*time - expectedTime) < 1e-6;
        })) << "no channel settled on "
            << expectedTime;
    }
};

TEST_F(Playback, LoadShowsTheFirstPictureOfEveryChannelPaused)
{
    for (int channels : {1, 3, 5}) {
        SCOPED_TRACE(channels);
        const QString path = sampleRecording(smallChannels(channels));
        load(path);
        ASSERT_EQ(player->videoPlayers().size(), channels);
        EXPECT_NE(player->audioPlayer(), nullptr);
        EXPECT_NEAR(player->duration(), 3.0, 0.001);
        EXPECT_EQ(player->currentTime(), 0);
        EXPECT_TRUE(player->isStopped());
        EXPECT_FALSE(player->isPlaying());
        ASSERT_TRUE(waitUntil([&] { return commonFrameTime(*player) == 0.0; }));
        for (ChannelPlayer *channel : player->videoPlayers())
            EXPECT_TRUE(channel->hasCurrentItem());
        expectEveryChannelShowsFrame(path, 0);
    }
}

TEST_F(Playback, SeekShowsTheFrameWhoseSpanHoldsTheTimeOnEveryChannel)
{
    const QString path = sampleRecording(smallChannels(2));
    load(path);
    const double duration = player->duration();
    for (double t : {1.234, 0.5, 2.99, 0.0334, 1.0}) {
        SCOPED_TRACE(t);
        seekAndWait(t / duration, t);
        EXPECT_DOUBLE_EQ(player->currentTime(), t);
        EXPECT_DOUBLE_EQ(player->progress(), t / duration);
        expectEveryChannelShowsFrame(path, static_cast<int>(std::floor(t * fps)));
    }
    seekAndWait(-1, 0);
    EXPECT_EQ(player->progress(), 0);
    expectEveryChannelShowsFrame(path, 0);
    player->seek(1.5);
    EXPECT_EQ(player->currentTime(), duration);
    EXPECT_EQ(player->progress(), 1.0);
}

TEST_F(Playback, ChannelsShowTheSameInstantAtEveryClockTick)
{
    load(sampleRecording(smallChannels(3)));
    bool seeking = false;
    double soughtTime = 0;
    int ticks = 0, ticksOnTheClock = 0;
    QObject::connect(player.get(), &MultiTrackPlayer::currentTimeChanged, [&] {
        if (seeking)
            return; // the seek's own update, not a tick
        ++ticks;
        const auto shown = commonFrameTime(*player);
        ASSERT_TRUE(shown) << "channels differ at " << player->currentTime();
        // Until a seek's pictures are decoded the channels keep showing the old instant, together;
        // from then on the picture on screen is the one whose time span holds the clock's position.
        if (*shown < soughtTime - 1e-6)
            return;
        ++ticksOnTheClock;
        EXPECT_LE(*shown, player->currentTime() + 1e-6);
        // A channel whose decoder lags may hold them all back for a moment.
        EXPECT_GT(*shown + 1.0 / fps + MultiTrackPlayer::maxHoldBack, player->currentTime());
    });
    player->play();
    EXPECT_TRUE(player->isPlaying());
    EXPECT_FALSE(player->isStopped());
    ASSERT_TRUE(waitUntil([&] { return ticks >= 6; })) << ticks;
    // A seek while playing: the channels leave together and go on together from there.
    soughtTime = 1.8;
    seeking = true;
    player->seek(soughtTime / player->duration());
    seeking = false;
    const int beforeTheSeek = ticksOnTheClock;
    EXPECT_TRUE(waitUntil([&] {
        return ticksOnTheClock >= beforeTheSeek + 3 && player->currentTime() > 2.2;
    })) << ticksOnTheClock - beforeTheSeek << " ticks after the seek, at "
        << player->currentTime();
    EXPECT_NEAR(player->progress(), player->currentTime() / player->duration(), 1e-9);
}

TEST_F(Playback, PausePlayAndStopMoveBetweenTheirStates)
{
    load(sampleRecording(smallChannels(2)));
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 0.3; }));
    player->pause();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->isStopped());
    // Until the pipeline has stopped a channel may still take the picture of where it stopped.
    ASSERT_TRUE(waitUntilSettled(*player));
    const double pausedAt = player->currentTime();
    const auto pausedFrame = commonFrameTime(*player);
    // Nothing may move while paused: a watch over several of the clock's ticks.
    spin(quietWatchMs);
    EXPECT_EQ(player->currentTime(), pausedAt);
    EXPECT_EQ(commonFrameTime(*player), pausedFrame);

    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > pausedAt + 0.2; }));
    player->stop();
    EXPECT_TRUE(player->isStopped());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->currentTime(), 0);
    EXPECT_EQ(player->progress(), 0);
    EXPECT_TRUE(waitUntil([&] { return commonFrameTime(*player) == 0.0; }));
}

TEST_F(Playback, SkipStaysInsideTheRecording)
{
    load(sampleRecording(smallChannels(2)));
    const double duration = player->duration();
    player->seek(1.0 / duration);
    player->skip(-10);
    EXPECT_EQ(player->currentTime(), 0);
    player->skip(1.5);
    EXPECT_DOUBLE_EQ(player->currentTime(), 1.5);
    EXPECT_DOUBLE_EQ(player->progress(), 1.5 / duration) << "paused, the seek bar follows too";
    EXPECT_TRUE(waitUntil([&] { return showsSought(*player, 1.5); }));
    player->skip(10);
    EXPECT_EQ(player->currentTime(), duration);
}

TEST_F(Playback, ScrubbingHoldsTheClockWhilePlaybackRuns)
{
    load(sampleRecording(smallChannels(1)));
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 0.2; }));
    player->setIsScrubbing(true);
    const double held = player->currentTime();
    const double heldProgress = player->progress();
    // Playback runs on under the held clock: once its pictures have moved on by several ticks, a
    // clock that follows the ticks would have moved too.
    ASSERT_TRUE(waitUntil([&] {
        const auto shown = commonFrameTime(*player);
        return shown && *shown > held + 0.4;
    })) << "playback did not run on while scrubbing";
    EXPECT_EQ(player->currentTime(), held);
    EXPECT_EQ(player->progress(), heldProgress);
    player->setIsScrubbing(false);
    EXPECT_TRUE(waitUntil([&] { return player->currentTime() > held + 0.4; }));
}

TEST_F(Playback, EndOfRecordingFinishesOnceWithFullProgress)
{
    load(sampleRecording(smallChannels(2)));
    int ended = 0;
    QObject::connect(player.get(), &MultiTrackPlayer::ended, [&] { ++ended; });
    player->seek(0.8);
    player->play();
    ASSERT_TRUE(waitUntil([&] { return ended > 0; }, 5000));
    // A second end could only come after the first: with the pipeline's own end of stream.
    spin(quietWatchMs);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(player->progress(), 1.0);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->isStopped());
    // The last picture stays on every channel.
    EXPECT_NEAR(commonFrameTime(*player).value_or(0),
                std::floor(player->duration() * fps - 1e-6) / fps, 1e-4);
    // Played again, it starts from its beginning instead of ending at once.
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 0.3; }, 3000));
    EXPECT_EQ(ended, 1);
    EXPECT_LT(player->currentTime(), 1.5);
}

TEST_F(Playback, VolumeIsClampedAndStoredSettingsApplyAtLoad)
{
    const QString path = sampleRecording(smallChannels(1));
    load(path);
    ASSERT_NE(player->audioPlayer(), nullptr);
    EXPECT_DOUBLE_EQ(player->audioPlayer()->volume(), 0.5);
    player->setVolume(-1);
    EXPECT_EQ(player->audioPlayer()->volume(), 0);
    player->setVolume(0.3);
    EXPECT_DOUBLE_EQ(player->audioPlayer()->volume(), static_cast<double>(0.3f));

    setUserDefault("volume", 2.0);
    setUserDefault("brightness", 0.25);
    setUserDefault("flip1", 3);
    load(path);
    EXPECT_EQ(player->audioPlayer()->volume(), 1.0);
    ASSERT_EQ(player->videoPlayers().size(), 1);
    EXPECT_EQ(player->videoPlayers()[0]->brightness(), 0.25);
    EXPECT_EQ(player->videoPlayers()[0]->mirrorMode(), 3);
}

TEST_F(Playback, RecordingWithoutSoundPlaysItsChannels)
{
    load(sampleRecording(smallChannels(2) << "--no-sound"));
    EXPECT_EQ(player->audioPlayer(), nullptr);
    EXPECT_EQ(player->videoPlayers().size(), 2);
    player->setVolume(0.7);
    player->play();
    EXPECT_TRUE(waitUntil([&] { return player->currentTime() > 0.3; }));
    player->seek(0.5);
    EXPECT_TRUE(waitUntil([&] { return showsSought(*player, player->duration() * 0.5); }));
}

// A machine whose GStreamer lacks the sound's decoder: the recording still opens at once and
// shows its pictures, silent; a branch that cannot be built whole is left out whole.
TEST_F(Playback, AMissingSoundDecoderLeavesTheSoundOutAndTheRecordingOpens)
{
    ensureGStreamer();
    // Loaded first: loading the plugin later would register its decoders again.
    if (GstPlugin *libav = gst_plugin_load_by_name("libav"))
        gst_object_unref(libav);
    GstRegistry *registry = gst_registry_get();
    GstPluginFeature *decoder = gst_registry_lookup_feature(registry, "avdec_mp3");
    ASSERT_NE(decoder, nullptr);
    gst_registry_remove_feature(registry, decoder);
    const QString error = QCoro::waitFor(loadError(*player, sampleRecording(smallChannels(2))));
    gst_registry_add_feature(registry, decoder);
    gst_object_unref(decoder);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(player->audioPlayer(), nullptr);
    EXPECT_EQ(player->videoPlayers().size(), 2);
}

TEST_F(Playback, SixVideoTracksPlayTheFirstFive)
{
    const QString five = sampleRecording(smallChannels(5));
    QTemporaryDir folder;
    const QString six = folder.filePath("six.mp4");
    const ProgramRun mux =
        run("ffmpeg", {"-v", "error", "-i", five, "-i", five, "-map", "0:v", "-map", "1:v:0",
                       "-map", "0:a", "-c", "copy", "-strict", "-1", six});
    ASSERT_EQ(mux.exitCode, 0) << mux.err.constData();
    load(six);
    ASSERT_EQ(player->videoPlayers().size(), 5);
    EXPECT_NE(player->audioPlayer(), nullptr);
    player->play();
    EXPECT_TRUE(waitUntil([&] {
        const auto time = commonFrameTime(*player);
        return time && *time > 0.3;
    }));
}

TEST_F(Playback, FileThatIsNotARecordingThrowsAndKeepsTheOpenOne)
{
    load(sampleRecording(smallChannels(2)));
    QTemporaryDir folder;
    const QString text = folder.filePath("notes.mp4");
    writeFile(text, QByteArray("not a recording\n").repeated(100));
    for (const QString &path : {text, folder.filePath("missing.mp4")}) {
        EXPECT_FALSE(QCoro::waitFor(loadError(*player, path)).isEmpty());
        EXPECT_EQ(player->videoPlayers().size(), 2);
    }
    player->play();
    EXPECT_TRUE(waitUntil([&] { return player->currentTime() > 0.2; }));
}

QString countsOrError(const QString &path)
{
    const std::optional<TrackCounts> counts = trackCounts(path);
    return counts ? QStringLiteral("%1 video, %2 audio").arg(counts->video).arg(counts->audio)
                  : QStringLiteral("error");
}

TEST(PlaybackTrackCounts, VideoAndSoundTracksOfAFile)
{
    EXPECT_EQ(countsOrError(sampleRecording(smallChannels(3))), "3 video, 1 audio");
    EXPECT_EQ(countsOrError(sampleRecording(smallChannels(2) << "--no-sound")), "2 video, 0 audio");
    QTemporaryDir folder;
    writeFile(folder.filePath("notes.mp4"), "not a recording");
    EXPECT_EQ(countsOrError(folder.filePath("notes.mp4")), "error");
    EXPECT_EQ(countsOrError(folder.filePath("missing.mp4")), "error");
}

} // namespace
} // namespace korvane::test
