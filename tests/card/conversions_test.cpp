#include "card/conversions.h"
#include "card/toolset.h"
#include "card/workingfolder.h"
#include "qtprinters.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvane;
using korvane::test::readFile;
using korvane::test::run;
using korvane::test::sampleRecording;

using korvane::test::ffprobeStreams;
using korvane::test::writeFile;

namespace {

// The build's tools, run as the viewer runs them.
struct BuildTools
{
    BuildTools() { set.setHelperRoot(QStringLiteral(TOOLS_FOLDER "/")); }
    ToolSet set;
    Conversions run{set};
};

// codec_name,codec_type,width per stream, as ffprobe orders them
QStringList streams(const QString &path)
{
    return ffprobeStreams(path, QStringLiteral("codec_type,codec_name,width"));
}

// A folder whose name needs quoting in a shell.
QString awkwardFolder(const QTemporaryDir &root)
{
    const QString folder = root.filePath(QStringLiteral("it's a $(folder)"));
    QDir().mkpath(folder);
    return folder;
}

} // namespace

TEST(ParameterSetErrors, SortedWithoutDuplicates)
{
    EXPECT_EQ(Conversions::findParameterSetErrors(
                  QStringLiteral("[h264 @ 0x1] sps_id 32 out of range\nframe=1\n[h264] pps_id 256 "
                                 "out of range\nsps_id 32 out of range\n")),
              QStringLiteral("pps_id 256 out of range\nsps_id 32 out of range"));
    EXPECT_FALSE(
        Conversions::findParameterSetErrors(QStringLiteral("Non-monotonous DTS in output stream")));
}

TEST(SalvexOptions, OneOptionPerChannel)
{
    EXPECT_EQ(Conversions::salvexChannelOptions({{1920, 1080, 30}, {1280, 720, 30}}),
              QStringLiteral(" --ch1 1920x1080@30 --ch2 1280x720@30"));
    EXPECT_EQ(Conversions::salvexChannelOptions({{640, 360, 15}}),
              QStringLiteral(" --ch1 640x360@15"));
    EXPECT_EQ(Conversions::salvexChannelOptions({}), QString());
}

TEST(Conversions, RemuxSoundAndChannelsOfARecording)
{
    const QString recording = sampleRecording({"--channels", "2", "--seconds", "1"});
    QTemporaryDir root;
    const QString folder = awkwardFolder(root);
    const BuildTools tools;

    const QString remuxed = folder + QStringLiteral("/remuxed.mp4");
    EXPECT_EQ(QCoro::waitFor(tools.run.remuxVideo(recording, remuxed)), std::nullopt);
    EXPECT_EQ(streams(remuxed), (QStringList{"h264,video,640", "h264,video,480", "mp3,audio"}));

    const QString converted = folder + QStringLiteral("/converted.mp4");
    QCoro::waitFor(tools.run.convertAudio(remuxed, converted));
    EXPECT_EQ(streams(converted), (QStringList{"h264,video,640", "h264,video,480", "aac,audio"}));

    const QString second = folder + QStringLiteral("/second_CH2.mp4");
    QCoro::waitFor(tools.run.extractChannelWithAudio(converted, 1, second));
    EXPECT_EQ(streams(second), (QStringList{"h264,video,480", "aac,audio"}));
    const QString silent = folder + QStringLiteral("/first_CH1.mp4");
    QCoro::waitFor(tools.run.extractChannel(converted, 0, silent));
    EXPECT_EQ(streams(silent), (QStringList{"h264,video,640"}));
}

TEST(Conversions, RemuxOfSomethingThatIsNoRecordingFails)
{
    QTemporaryDir root;
    const QString text = root.filePath(QStringLiteral("notes.mp4"));
    writeFile(text, "not a recording");
    const QString output = root.filePath(QStringLiteral("out.mp4"));
    EXPECT_EQ(QCoro::waitFor(BuildTools().run.remuxVideo(text, output)),
              QStringLiteral("Failed to remux MP4 file."));
}

namespace {

QString bitsOf(const QByteArray &bytes)
{
    QString bits;
    for (const char byte : bytes)
        bits += QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 8, 2, QLatin1Char('0'));
    return bits;
}

int readUe(const QString &bits, int *position)
{
    int zeros = 0;
    while (bits[*position + zeros] == u'0')
        ++zeros;
    const int value = bits.mid(*position + zeros, zeros + 1).toInt(nullptr, 2) - 1;
    *position += 2 * zeros + 1;
    return value;
}

QString ue(int value)
{
    const QString code = QString::number(value + 1, 2);
    return QString(code.size() - 1, QLatin1Char('0')) + code;
}

// A stream whose sixth predicted picture names PPS 256, as a damaged dashcam stream might: the
// header bits after the id are shifted, which only that picture's decoding would notice.
QByteArray streamNamingPps256(const QByteArray &stream)
{
    int seen = 0;
    for (qsizetype at = stream.indexOf(QByteArray("\0\0\0\1", 4)); at >= 0;
         at = stream.indexOf(QByteArray("\0\0\0\1", 4), at + 4)) {
        if ((stream[at + 4] & 0x1f) != 1 || ++seen < 6)
            continue;
        const QString bits = bitsOf(stream.mid(at + 5, 8));
        int position = 0;
        readUe(bits, &position);
        readUe(bits, &position);
        const int idStart = position;
        readUe(bits, &position);
        const QString changed = (bits.left(idStart) + ue(256) + bits.mid(position)).left(64);
        QByteArray header;
        for (int i = 0; i < 64; i += 8)
            header.append(static_cast<char>(changed.mid(i, 8).toInt(nullptr, 2)));
        return stream.left(at + 5) + header + stream.mid(at + 5 + 8);
    }
    return {};
}

} // namespace

TEST(Conversions, RemuxReportsParameterSetComplaintsOfARealFfmpegRun)
{
    QTemporaryDir root;
    const QString clean = root.filePath(QStringLiteral("clean.h264"));
    ASSERT_EQ(
        run(QStringLiteral("ffmpeg"),
            {"-v", "error", "-f", "lavfi", "-i", "testsrc2=size=320x180:rate=30", "-frames:v", "30",
             "-c:v", "libx264", "-preset", "ultrafast", "-bf", "0", "-f", "h264", clean})
            .exitCode,
        0);
    const QByteArray damaged = streamNamingPps256(readFile(clean));
    ASSERT_FALSE(damaged.isEmpty());
    const QString input = root.filePath(QStringLiteral("damaged.h264"));
    writeFile(input, damaged);

    const QString output = root.filePath(QStringLiteral("remuxed.mp4"));
    EXPECT_EQ(QCoro::waitFor(BuildTools().run.remuxVideo(input, output)),
              QStringLiteral("pps_id 256 out of range"));
    EXPECT_GT(WorkingFolder::fileSize(output, false), 0u) << "the file stays";
    EXPECT_EQ(QCoro::waitFor(BuildTools().run.remuxVideo(clean, output)), std::nullopt);
}

TEST(Conversions, StaleOutputIsGoneEvenWhenTheToolFails)
{
    QTemporaryDir root;
    const QString output = root.filePath(QStringLiteral("stale.mp4"));
    writeFile(output, "an earlier run's result");
    QCoro::waitFor(
        BuildTools().run.extractChannel(root.filePath(QStringLiteral("missing.mp4")), 0, output));
    EXPECT_EQ(WorkingFolder::fileSize(output, false), 0u);
}

TEST(Conversions, RecoveryRebuildsAndTheSoundMergesBack)
{
    const QString broken = sampleRecording({"--channels", "3", "--seconds", "1", "--unfinished"});
    QTemporaryDir root;
    const QString folder = awkwardFolder(root);
    const BuildTools tools;
    const QString fixed = folder + QStringLiteral("/fixed.mp4");
    EXPECT_TRUE(QCoro::waitFor(tools.run.recoverVideo(broken, fixed)));
    EXPECT_EQ(streams(fixed), (QStringList{"h264,video,640", "h264,video,480", "h264,video,320"}));
    const QString sound = folder + QStringLiteral("/fixed.mp3");
    EXPECT_GT(WorkingFolder::fileSize(sound, false), 0u);

    const QString merged = folder + QStringLiteral("/merged.mkv");
    QCoro::waitFor(tools.run.mergeAudio(fixed, sound, merged));
    EXPECT_EQ(streams(merged).size(), 4);
}

TEST(Conversions, RecordingWithoutChannelTableIsNotRecovered)
{
    QTemporaryDir root;
    const QString input = root.filePath(QStringLiteral("plain.mov"));
    writeFile(input, QByteArray(4096, 'x'));
    const QString output = root.filePath(QStringLiteral("fixed.mp4"));
    EXPECT_FALSE(QCoro::waitFor(BuildTools().run.recoverVideo(input, output)));
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_FALSE(QFileInfo::exists(root.filePath(QStringLiteral("fixed.mp3"))))
        << "salvex did not run";
}
