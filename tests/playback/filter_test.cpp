#include "playbacktestsupport.h"
#include "samplerecordings.h"

#include <QSize>

#include <cmath>

namespace korvane::test {
namespace {

constexpr double fps = 30;
constexpr double shownTime = 1.0;

class PictureFilter : public PlayerTest
{
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        path = sampleRecording(
            {"--channels", "2", "--seconds", "2", "--ch1", "320x240@30", "--ch2", "160x120@30"});
        load(path);
        player->seek(shownTime / player->duration());
        ASSERT_TRUE(waitUntil([&] { return shownAt(0) && shownAt(1); }));
        for (int channel : {0, 1}) {
            size[channel] = player->videoPlayers()[channel]->frameSize();
            reference[channel] =
                referenceLuma(referenceFrames(path, channel), static_cast<int>(shownTime * fps),
                              size[channel].width(), size[channel].height());
            ASSERT_EQ(luma(channel), reference[channel]) << "unfiltered picture of " << channel;
        }
    }

    bool shownAt(int channel) const
    {
        return player->videoPlayers()[channel]->currentFrameTime() == shownTime;
    }

    QByteArray luma(int channel) const
    {
        return lumaPlane(player->videoPlayers()[channel]->currentFrame());
    }

    // Runs a change while paused and returns the picture each channel shows afterwards.
    void change(const std::function<void()> &action)
    {
        int refreshed = 0;
        std::vector<QMetaObject::Connection> connections;
        for (ChannelPlayer *channel : player->videoPlayers())
            connections.push_back(
                QObject::connect(channel, &ChannelPlayer::frameChanged, [&] { ++refreshed; }));
        action();
        EXPECT_TRUE(waitUntil([&] { return refreshed >= 2 && shownAt(0) && shownAt(1); }));
        for (const auto &connection : connections)
            QObject::disconnect(connection);
    }

    uchar pixel(const QByteArray &plane, int channel, int x, int y) const
    {
        return static_cast<uchar>(plane.at(y * size[channel].width() + x));
    }

    QString path;
    QSize size[2];
    QByteArray reference[2];
};

TEST_F(PictureFilter, BrightnessShiftsLumaByTheDistanceFromHalf)
{
    change([&] { player->setBrightness(0.5); });
    EXPECT_EQ(luma(0), reference[0]);

    for (double brightness : {0.0, 1.0}) {
        SCOPED_TRACE(brightness);
        change([&] { player->setBrightness(brightness); });
        for (int channel : {0, 1}) {
            const QByteArray shifted = luma(channel);
            ASSERT_EQ(shifted.size(), reference[channel].size());
            int wrong = 0;
            for (qsizetype i = 0; i < shifted.size(); ++i) {
                const double expected =
                    std::clamp(static_cast<uchar>(reference[channel][i]) + (brightness - 0.5) * 255,
                               0.0, 255.0);
                wrong += std::abs(static_cast<uchar>(shifted[i]) - expected) > 1.0;
            }
            EXPECT_EQ(wrong, 0) << "channel " << channel;
        }
    }
    change([&] { player->setBrightness(0.5); });
    EXPECT_EQ(luma(0), reference[0]);
    EXPECT_EQ(luma(1), reference[1]);
}

TEST_F(PictureFilter, EachMirrorModeMovesPixelsWhereItMust)
{
    const auto expectMoved = [&](int mode, int channel) {
        const QByteArray mirrored = luma(channel);
        const int w = size[channel].width(), h = size[channel].height();
        int wrong = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int fromX = (mode == 1 || mode == 3) ? w - 1 - x : x;
                const int fromY = (mode == 2 || mode == 3) ? h - 1 - y : y;
                wrong += pixel(mirrored, channel, x, y) !=
                         pixel(reference[channel], channel, fromX, fromY);
            }
        }
        EXPECT_EQ(wrong, 0) << "mode " << mode << " channel " << channel;
    };
    for (int mode : {1, 2, 3, 0, 7}) {
        change([&] { player->setFlip(0, mode); });
        expectMoved(mode == 7 ? 0 : mode, 0);
        // The other channel keeps its own setting.
        EXPECT_EQ(luma(1), reference[1]);
    }
}

TEST_F(PictureFilter, ChangeWhilePlayingReachesTheNextPicturesWithoutReloading)
{
    const auto *channel = player->videoPlayers()[1];
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 1.2; }));
    const double changedAt = player->currentTime();
    player->setFlip(1, 3);
    // The pictures filtered before the change reach the screen first: those the sinks hold, due
    // up to a few frames ahead of the clock (which may trail the pipeline by a tick). One shown
    // well past that was filtered after it.
    ASSERT_TRUE(waitUntil([&] { return *channel->currentFrameTime() > changedAt + 0.4; }))
        << "the channel stayed at " << *channel->currentFrameTime();
    player->pause();
    // The picture's time and its picture are read together: whichever is shown, they agree.
    const int index = static_cast<int>(std::lround(*channel->currentFrameTime() * fps));
    QByteArray expected =
        referenceLuma(referenceFrames(path, 1), index, size[1].width(), size[1].height());
    std::reverse(expected.begin(), expected.end()); // a half turn reverses the luma plane
    EXPECT_EQ(luma(1), expected);
    EXPECT_EQ(player->videoPlayers()[1], channel);
}

} // namespace
} // namespace korvane::test
