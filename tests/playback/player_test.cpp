#include "playbacktestsupport.h"
#include "samplerecordings.h"
#include "testfiles.h"
#include "userdefaults.h"

#include <QCoro/QCoroTask>
#include <QDir>

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
        })) << "no channel settled on " << expectedTime;
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
    int ticks = 0;
    QObject::connect(player.get(), &MultiTrackPlayer::currentTimeChanged, [&] {
        ++ticks;
        const auto shown = commonFrameTime(*player);
        ASSERT_TRUE(shown) << "channels differ at " << player->currentTime();
        // The picture on screen is the one whose time span holds the clock's position.
        EXPECT_LE(*shown, player->currentTime() + 1e-6);
        EXPECT_GT(*shown + 1.0 / fps, player->currentTime());
    });
    player->play();
    EXPECT_TRUE(player->isPlaying());
    EXPECT_FALSE(player->isStopped());
    spin(1500);
    EXPECT_GE(ticks, 10);
    EXPECT_GT(player->currentTime(), 1.0);
    EXPECT_NEAR(player->progress(), player->currentTime() / player->duration(), 1e-9);
}

} // namespace
} // namespace korvane::test
