// salvex as the viewer runs it, on unfinished recordings from dashcam-sample, judged by ffprobe
// and ffmpeg and against the finished recording of the same streams.
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using korvane::test::decodedSeconds;
using korvane::test::decodeErrors;
using korvane::test::pictureChecksums;
using korvane::test::sampleRecording;

using korvane::test::ffprobeStreams;
using korvane::test::ProgramRun;
using korvane::test::run;
using korvane::test::writeFile;

namespace {

const QString salvex = QStringLiteral(SALVEX_PATH);
const QStringList sizes{"640x360", "480x270", "320x180", "320x180", "320x180"};
constexpr int seconds = 3;

ProgramRun runSalvex(const QStringList &arguments)
{
    return run(salvex, arguments);
}

QStringList channelOptions(int channels)
{
    QStringList options;
    for (int ch = 0; ch < channels; ++ch)
        options << QStringLiteral("--ch%1").arg(ch + 1) << sizes[ch] + QStringLiteral("@30");
    return options;
}

// codec,width,height,frames per stream
QStringList streams(const QString &path)
{
    return ffprobeStreams(path, QStringLiteral("codec_name,width,height,nb_frames"));
}

class Recovery : public testing::TestWithParam<int>
{
};

} // namespace

TEST_P(Recovery, RebuildsEveryPictureOfEveryChannelWithItsSound)
{
    const int channels = GetParam();
    const QStringList recording{"--channels", QString::number(channels), "--seconds",
                                QString::number(seconds)};
    const QString broken = sampleRecording(recording + QStringList{"--unfinished"});
    const QString finished = sampleRecording(recording);
    QTemporaryDir folder;
    const QString fixed = folder.filePath(QStringLiteral("fixed.mp4"));

    const ProgramRun run = runSalvex(QStringList{broken, fixed} + channelOptions(channels));
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.startsWith(
        "> recovering...\n> main video ch=0 640x360@30 frames=90 duration\xe2\x89\x88"
        "3s\n"))
        << run.err.constData();
    EXPECT_TRUE(run.err.endsWith("> recovery finished\n"));

    QStringList expected;
    for (int ch = 0; ch < channels; ++ch)
        expected << QStringLiteral("h264,%1,%2")
                        .arg(QString(sizes[ch]).replace(QLatin1Char('x'), QLatin1Char(',')))
                        .arg(seconds * 30);
    EXPECT_EQ(streams(fixed), expected);
    EXPECT_EQ(decodeErrors(fixed), QByteArray());
    for (int ch = 0; ch < channels; ++ch)
        EXPECT_EQ(pictureChecksums(fixed, ch), pictureChecksums(finished, ch)) << "channel " << ch;

    const QString sound = folder.filePath(QStringLiteral("fixed.mp3"));
    EXPECT_NEAR(decodedSeconds(sound), seconds, 1.0);

    const QString merged = folder.filePath(QStringLiteral("merged.mkv"));
    const ProgramRun merge = korvane::test::run(
        QStringLiteral("ffmpeg"), {"-v", "error", "-i", fixed, "-i", sound, "-map", "0:v", "-map",
                                   "1:a", "-c", "copy", "-shortest", merged});
    EXPECT_EQ(merge.exitCode, 0) << merge.err.constData();
    EXPECT_EQ(streams(merged).size(), channels + 1);
}

INSTANTIATE_TEST_SUITE_P(Channels, Recovery, testing::Range(1, 6));

TEST(RecoveryOfCutRecordings, EveryCutGivesAPlayableFileThatGrowsWithTheCut)
{
    const QString broken = sampleRecording({"--channels", "2", "--seconds", "4", "--unfinished"});
    QFile source(broken);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray whole = source.readAll();
    QTemporaryDir folder;
    int previousFrames = 0;
    for (int cut = 1; cut <= 50; ++cut) {
        const qsizetype length = whole.size() * cut / 50;
        const QString input = folder.filePath(QStringLiteral("cut.mov"));
        writeFile(input, whole.left(length));

        const QString fixed = folder.filePath(QStringLiteral("cut-fixed.mp4"));
        const ProgramRun run =
            runSalvex({input, fixed, "--ch1", "640x360@30", "--ch2", "480x270@30"});
        ASSERT_EQ(run.exitCode, 0) << "cut " << cut << ": " << run.err.constData();
        int frames = 0;
        const QStringList found = streams(fixed);
        for (const QString &stream : found)
            frames += stream.section(QLatin1Char(','), 3).toInt();
        if (!found.isEmpty()) {
            EXPECT_EQ(decodeErrors(fixed), QByteArray()) << "cut " << cut;
        }
        EXPECT_GE(frames, previousFrames) << "cut " << cut;
        previousFrames = frames;
    }
    EXPECT_EQ(previousFrames, 2 * 4 * 30) << "the uncut recording gives back every picture";
}

TEST(RecoveryCommandLine, FewerThanTwoPathsPrintsUsage)
{
    QTemporaryDir folder;
    for (const QStringList &args :
         {QStringList{}, QStringList{folder.filePath(QStringLiteral("in.mov"))}}) {
        const ProgramRun run = runSalvex(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err,
                  "usage: salvex <broken.mp4> <fixed.mp4> [1920x1080@30 1920x1080@30 ...]\n");
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

TEST(RecoveryCommandLine, EmptyOrMissingInputIsRefused)
{
    QTemporaryDir folder;
    const QString empty = folder.filePath(QStringLiteral("empty.mov"));
    QFile(empty).open(QIODevice::WriteOnly);
    for (const QString &input : {empty, folder.filePath(QStringLiteral("missing.mov"))}) {
        const ProgramRun run = runSalvex({input, folder.filePath(QStringLiteral("out.mp4"))});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "> recovering...\ncannot read input file\n");
    }
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("out.mp4"))));
}

// Anything that is no unfinished recording of the dashcam's: nothing passes for a rebuild.
TEST(RecoveryCommandLine, InputWithoutFramesIsRefusedAndLeavesNothing)
{
    QTemporaryDir folder;
    const QString text = folder.filePath(QStringLiteral("text.mov"));
    writeFile(text, QByteArray(5000, 'a'));
    // An MP4 ffmpeg made, with pictures and sound of its own but none of the dashcam's frames.
    const QString foreign = folder.filePath(QStringLiteral("foreign.mp4"));
    ASSERT_EQ(korvane::test::run(QStringLiteral("ffmpeg"),
                                 {"-v", "error", "-f", "lavfi", "-i",
                                  "testsrc=size=320x240:rate=30:duration=1", "-f", "lavfi", "-i",
                                  "sine=duration=1", "-c:v", "libx264", "-c:a", "aac", foreign})
                  .exitCode,
              0);
    for (const QString &input : {text, foreign}) {
        const QString output = folder.filePath(QStringLiteral("out"));
        const ProgramRun run = runSalvex({input, output, "--ch1", "1280x720@120"});
        EXPECT_EQ(run.exitCode, 1) << input.toStdString();
        EXPECT_TRUE(run.err.endsWith("no recording frames found in " + input.toUtf8() + "\n"))
            << run.err.constData();
        EXPECT_FALSE(QFileInfo::exists(output));
        EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("out.mp3"))));
    }
}

TEST(RecoveryCommandLine, OutputThatCannotBeCreatedIsReported)
{
    const QString broken = sampleRecording({"--channels", "1", "--seconds", "1", "--unfinished"});
    QTemporaryDir folder;
    const ProgramRun run =
        runSalvex({broken, folder.filePath(QStringLiteral("no/such/folder/out.mp4"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.endsWith("failed to open output file\n")) << run.err.constData();
}

TEST(RecoveryCommandLine, WriteFailureIsAFailureNotASuccess)
{
    // A file size limit of 64 KiB makes the writes fail part way, as a full disk would.
    const QString broken = sampleRecording({"--channels", "2", "--seconds", "2", "--unfinished"});
    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("out.mp4"));
    const ProgramRun limited = run(
        QStringLiteral("/bin/bash"),
        {"-c", "trap '' XFSZ; ulimit -f 64; exec \"$0\" \"$1\" \"$2\"", salvex, broken, output});
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_TRUE(limited.err.endsWith("failed to write the output file\n"))
        << limited.err.constData();
    EXPECT_FALSE(limited.err.contains("> recovery finished"));
}

TEST(RecoveryCommandLine, InputOfFourGigabytesOrMoreIsRefusedBeforeReading)
{
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("huge.mov"));
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(qint64{1} << 32)); // sparse: no disk space taken
    file.close();
    const ProgramRun run = runSalvex({input, folder.filePath(QStringLiteral("out.mp4"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "> recovering...\ninput too large for current mp4parser indices\n");
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("out.mp4"))));
}
