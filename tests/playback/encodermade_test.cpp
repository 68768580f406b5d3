// Recordings that no dashcam of ours wrote: tracks mapped into one file by ffmpeg straight from
// its encoders, with the shapes a picked local file can have (a late track, no sound, sound that
// outlasts the pictures, a track nothing here decodes).
#include "playbacktestsupport.h"
#include "testfiles.h"

#include <QCoro/QCoroTask>

#include <QElapsedTimer>

#include <cmath>
#include <set>

namespace korvane::test {
namespace {

constexpr double fps = 30;


class EncoderMade : public PlayerTest
{
protected:
    static void SetUpTestSuite()
    {
        folder = new QTemporaryDir;
        const auto picture = [](const char *pattern, const char *size, int seconds) {
            return QStringList{"-f", "lavfi", "-i",
                               QStringLiteral("%1=size=%2:rate=30:duration=%3")
                                   .arg(pattern, size)
                                   .arg(seconds)};
        };
        const auto sound = [](int seconds) {
            return QStringList{"-f", "lavfi", "-i",
                               QStringLiteral("sine=frequency=440:duration=%1").arg(seconds)};
        };
        const QStringList x264{"-c:v", "libx264", "-g", "30", "-pix_fmt", "yuv420p"};
        ffmpeg(QStringList() << picture("testsrc2", "320x240", 4) << sound(4) << x264 << "-c:a"
                             << "aac" << path("front.mp4"));
        ffmpeg(QStringList() << picture("testsrc", "160x120", 3) << x264 << path("rear.mp4"));
        ffmpeg({"-i", path("front.mp4"), "-itsoffset", "1", "-i", path("rear.mp4"), "-map", "0:v",
                "-map", "1:v", "-map", "0:a", "-c", "copy", path("late.mp4")});
        // H.265 from x265 states no colour matrix, only its range.
        ffmpeg(QStringList() << picture("testsrc2", "320x240", 4) << picture("smptebars", "192x144", 4)
                             << "-map" << "0:v" << "-map" << "1:v" << "-c:v:0" << "libx264"
                             << "-c:v:1" << "libx265" << "-x265-params" << "log-level=error"
                             << "-pix_fmt" << "yuv420p" << path("silent.mp4"));
        ffmpeg(QStringList() << picture("testsrc2", "320x240", 2) << sound(4) << x264 << "-c:a"
                             << "aac" << path("longsound.mp4"));
        ffmpeg(QStringList() << picture("testsrc2", "320x240", 2) << sound(2) << "-c:v" << "mpeg4"
                             << "-c:a" << "aac" << path("mpeg4.mp4"));
        ffmpeg({"-i", path("mpeg4.mp4"), "-i", path("rear.mp4"), "-map", "0:v", "-map", "1:v",
                "-c", "copy", path("mpeg4first.mp4")});
    }

    static void TearDownTestSuite()
    {
        delete folder;
        folder = nullptr;
    }

    static QString path(const QString &name) { return folder->filePath(name); }

    static void ffmpeg(const QStringList &arguments)
    {
        const ProgramRun made =
            run("ffmpeg", QStringList{"-v", "error", "-y"} + arguments);
        ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    }

    // The picture a channel shows is ffmpeg's own frame `index` of a video track of `source`.
    void expectShows(int channel, const QString &source, int index, int track = 0)
    {
        ChannelPlayer *shown = player->videoPlayers().at(channel);
        const QSize size = shown->frameSize();
        EXPECT_EQ(lumaPlane(shown->currentFrame()),
                  referenceLuma(referenceFrames(source, track), index, size.width(), size.height()))
            << "channel " << channel << " frame " << index;
    }

    void seekAndSettle(double time, int channel, double pictureTime)
    {
        player->seek(time / player->duration());
        ASSERT_TRUE(waitUntil([&] {
            const auto shown = player->videoPlayers().at(channel)->currentFrameTime();
            return shown && std::abs(*shown - pictureTime) < 1e-6;
        })) << "no picture at "
            << time;
        EXPECT_DOUBLE_EQ(player->currentTime(), time);
    }

    // Plays with every tick checked until the clock has passed `until`, then pauses.
    TickWatch playWatched(double until, const std::vector<double> &starts)
    {
        TickWatch watch;
        const auto ticks = QObject::connect(player.get(), &MultiTrackPlayer::currentTimeChanged,
                                            [&] { watch.check(*player, starts); });
        player->play();
        EXPECT_TRUE(waitUntil([&] { return player->currentTime() > until; }, 60000))
            << "the clock stopped at " << player->currentTime();
        player->pause();
        QObject::disconnect(ticks);
        return watch;
    }

    static QTemporaryDir *folder;
};

QTemporaryDir *EncoderMade::folder = nullptr;

TEST_F(EncoderMade, LateTrackWaitsForItsStartWhileTheClockRunsFromZero)
{
    load(path("late.mp4"));
    ASSERT_EQ(player->videoPlayers().size(), 2);
    EXPECT_NEAR(player->duration(), 4.0, 0.01);
    TickWatch watch = playWatched(2.0, {0.0, 1.0});
    EXPECT_TRUE(watch.faults.isEmpty()) << watch.faults.join('\n').toStdString();
    ASSERT_GE(watch.times.size(), 15u);
    EXPECT_LT(watch.times.front(), 0.25);
    EXPECT_GT(watch.times.back(), 1.5);

    // Before the late track starts it shows nothing; from its start, its own pictures.
    seekAndSettle(0.5, 0, 0.5);
    ASSERT_TRUE(waitUntil([&] { return !player->videoPlayers()[1]->currentFrameTime(); }, 2000))
        << "the late channel shows " << *player->videoPlayers()[1]->currentFrameTime();
    EXPECT_FALSE(player->videoPlayers()[1]->currentFrame().isValid());
    expectShows(0, path("front.mp4"), 15);
    seekAndSettle(2.0, 1, 2.0);
    expectShows(0, path("front.mp4"), 60);
    expectShows(1, path("rear.mp4"), 30);

    // Playing on from before the start, the late channel appears at its first picture.
    seekAndSettle(0.8, 0, 0.8);
    watch = playWatched(1.5, {0.0, 1.0});
    EXPECT_TRUE(watch.faults.isEmpty()) << watch.faults.join('\n').toStdString();
    EXPECT_TRUE(player->videoPlayers()[1]->currentFrameTime());
}

TEST_F(EncoderMade, WithoutSoundEveryPictureIsShownAndTheEndComesAfterTheLast)
{
    load(path("silent.mp4"));
    ASSERT_EQ(player->audioPlayer(), nullptr);
    ASSERT_EQ(player->videoPlayers().size(), 2);
    std::vector<std::set<int>> shown(2);
    for (ChannelPlayer *channel : player->videoPlayers())
        QObject::connect(channel, &ChannelPlayer::frameChanged, [&shown, channel] {
            shown[static_cast<size_t>(channel->channel())].insert(
                static_cast<int>(std::lround(*channel->currentFrameTime() * fps)));
        });
    std::vector<std::optional<double>> atEnd;
    int ended = 0;
    QObject::connect(player.get(), &MultiTrackPlayer::ended, [&] {
        ++ended;
        for (ChannelPlayer *channel : player->videoPlayers())
            atEnd.push_back(channel->currentFrameTime());
    });
    seekAndSettle(3.0, 1, 3.0);
    for (auto &channel : shown)
        channel.clear();
    TickWatch watch;
    QObject::connect(player.get(), &MultiTrackPlayer::currentTimeChanged,
                     [&] { watch.check(*player, {0.0, 0.0}); });
    player->play();
    ASSERT_TRUE(waitUntil([&] { return ended > 0; }, 5000));
    // A second end could only come after the first: with the pipeline's own end of stream.
    spin(quietWatchMs);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(watch.faults.isEmpty()) << watch.faults.join('\n').toStdString();
    // From the sought picture (3.0 s) on, every one up to the last is shown.
    for (const auto &channel : shown) {
        EXPECT_EQ(channel.size(), 29u);
        EXPECT_EQ(channel.empty() ? 0 : *channel.begin(), 91);
        EXPECT_EQ(channel.empty() ? 0 : *channel.rbegin(), 119);
    }
    ASSERT_EQ(atEnd.size(), 2u);
    for (const auto &time : atEnd)
        EXPECT_NEAR(time.value_or(-1), 119 / fps, 1e-6);
    EXPECT_EQ(player->currentTime(), player->duration());
    EXPECT_EQ(player->progress(), 1.0);
    expectShows(0, path("silent.mp4"), 119);
    expectShows(1, path("silent.mp4"), 119, 1);
}

TEST_F(EncoderMade, SoundLongerThanThePicturesEndsWithThePictures)
{
    load(path("longsound.mp4"));
    ASSERT_NE(player->audioPlayer(), nullptr);
    EXPECT_NEAR(player->duration(), 2.0, 0.01);
    QElapsedTimer sinceLastPicture;
    QObject::connect(player->videoPlayers()[0], &ChannelPlayer::frameChanged, [&] {
        if (std::abs(player->videoPlayers()[0]->currentFrameTime().value_or(0) - 59 / fps) < 1e-6)
            sinceLastPicture.start();
    });
    int ended = 0;
    qint64 endedAfterLastPicture = -1;
    QObject::connect(player.get(), &MultiTrackPlayer::ended, [&] {
        ++ended;
        endedAfterLastPicture = sinceLastPicture.isValid() ? sinceLastPicture.elapsed() : -1;
    });
    seekAndSettle(1.2, 0, 1.2);
    TickWatch watch;
    QObject::connect(player.get(), &MultiTrackPlayer::currentTimeChanged,
                     [&] { watch.check(*player, {0.0}); });
    player->play();
    ASSERT_TRUE(waitUntil([&] { return ended > 0; }, 5000));
    spin(quietWatchMs); // as above
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(watch.faults.isEmpty()) << watch.faults.join('\n').toStdString();
    // The sound goes on for two more seconds; the recording ends with its last picture's span.
    EXPECT_GE(endedAfterLastPicture, 0);
    EXPECT_LT(endedAfterLastPicture, 1000);
    EXPECT_EQ(player->currentTime(), player->duration());
    EXPECT_EQ(player->progress(), 1.0);
    EXPECT_FALSE(player->isPlaying());
}

TEST_F(EncoderMade, UndecodableVideoIsAnErrorOnlyWhenNoTrackCanBeShown)
{
    load(path("late.mp4"));
    EXPECT_FALSE(QCoro::waitFor(loadError(*player, path("mpeg4.mp4"))).isEmpty());
    EXPECT_EQ(player->videoPlayers().size(), 2);

    // Beside a channel that cannot be shown, the next one keeps the clock.
    load(path("mpeg4first.mp4"));
    ASSERT_EQ(player->videoPlayers().size(), 2);
    EXPECT_FALSE(player->videoPlayers()[0]->hasCurrentItem());
    EXPECT_TRUE(player->videoPlayers()[1]->hasCurrentItem());
    EXPECT_NEAR(player->duration(), 3.0, 0.01);
    const TickWatch watch = playWatched(0.6, {1e9, 0.0});
    EXPECT_TRUE(watch.faults.isEmpty()) << watch.faults.join('\n').toStdString();
    EXPECT_GE(watch.times.size(), 4u);
    seekAndSettle(1.5, 1, 1.5);
    expectShows(1, path("rear.mp4"), 45);
}

} // namespace
} // namespace korvane::test
