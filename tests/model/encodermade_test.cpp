// Recordings the dashcam could write that our generator never makes, made from the encoders' own
// streams: an H.264 camera at 30 pictures a second beside an H.265 one at 15, unfinished and
// finished. Opened as the viewer opens them, every channel must stop exactly on the picture of a
// sought time, as ffmpeg decodes the file that plays.
#include "card/workingfolder.h"
#include "modeltestsupport.h"
#include "playbacktestsupport.h"
#include "qtprinters.h"
#include "rawrecording.h"
#include "records/freebox.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QCoroTask>

#include <gtest/gtest.h>

using namespace korvane;
using namespace korvane::test;

namespace {

QByteArray channelTable()
{
    const QByteArray table = "vid:[2]320.240.30:320.240.15";
    return "DAT" + QByteArray::number(table.size()).rightJustified(5, '0') + table;
}

struct Recordings
{
    QString unfinished;
    QString finished;
};

Recordings mixedRecordings(const QString &folder)
{
    Camera front = encodeCamera(folder, QStringLiteral("front"), 0, 30,
                                QStringLiteral("testsrc2=size=320x240"), 60,
                                {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                                 "-x264-params", "aud=1:keyint=15"});
    Camera rear = encodeCamera(folder, QStringLiteral("rear"), 1, 15,
                               QStringLiteral("testsrc2=size=320x240,hue=h=120"), 30,
                               {"-c:v", "libx265", "-preset", "fast", "-pix_fmt", "yuv420p",
                                "-x265-params", "aud=1:keyint=15:bframes=0:log-level=error"});
    dropDelimiters(front);
    dropDelimiters(rear);
    const RawRecording raw = rawRecording({front, rear}, encodeSound(folder, 8000, 2.0));
    Recordings made{folder + QStringLiteral("/N_20241006_100000.mov"),
                    folder + QStringLiteral("/N_20241006_100100.mp4")};
    writeFile(made.unfinished, raw.bytes + channelTable());

    const ProgramRun muxed =
        run(QStringLiteral("ffmpeg"),
            {"-v", "error", "-framerate", "30", "-i", front.stream, "-framerate", "15", "-i",
             rear.stream, "-map", "0", "-map", "1", "-c", "copy", made.finished});
    EXPECT_EQ(muxed.exitCode, 0) << muxed.err.constData();
    EXPECT_TRUE(appendFreeBox(made.finished, channelTable()));
    return made;
}

} // namespace

TEST(OpenRecording, AnH265CameraBesideAnH264OneAtHalfItsRateSeeksExactly)
{
    QTemporaryDir folder;
    const Recordings made = mixedRecordings(folder.path());
    CardModel card(sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    for (const QString &path : {made.unfinished, made.finished}) {
        QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(path)}));
        QCoro::waitFor(model.opener()->selectAt(0));
        card.waitUntilOpened();
        ASSERT_EQ(model.notifications()->alertMessage(), std::nullopt) << path.toStdString();
        ASSERT_EQ(model.nowPlaying()->videoPlayers().size(), 2) << path.toStdString();
        EXPECT_TRUE(model.playerManager()->isPlaying());

        // The rebuilt recording plays with its sound in AAC; the finished one has no sound and
        // plays as remuxed, picture for picture the file itself.
        const QString playing =
            path == made.unfinished ? WorkingFolder::tempRoot() + "work/open/playing.mp4" : path;
        MultiTrackPlayer &player = *model.playerManager();
        player.pause();
        // Inside a picture of both cameras, away from the microseconds a remux may move a
        // picture's start by.
        player.seek(0.51);
        const double sought = 0.51 * player.duration();
        for (ChannelPlayer *channel : model.nowPlaying()->videoPlayers()) {
            const QByteArray frames = referenceFrames(playing, channel->channel());
            const QByteArray expected = referenceLuma(
                frames, korvane::test::pictureAt(playing, channel->channel(), sought), 320, 240);
            EXPECT_TRUE(waitUntil([&] { return lumaPlane(channel->currentFrame()) == expected; }))
                << path.toStdString() << ": channel " << channel->channel() << " at " << sought;
        }
    }
}
