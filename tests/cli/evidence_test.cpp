// Evidence anyone can play: every camera in one picture, spans across recordings, and the report
// beside them, checked against ffmpeg's own decode of inputs ffmpeg made, on an mke2fs card.
#include "picturematch.h"
#include "samplerecordings.h"
#include "segmentedtrip.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using korvane::test::pictureChecksums;
using korvane::test::ProgramRun;
using korvane::test::run;

namespace {

struct Region
{
    int x, y, width, height;
};

// A program run with the tools' and caches' folders of the test's own.
ProgramRun cli(const QTemporaryDir &work, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), work.filePath(QStringLiteral("data")));
    return run(QStringLiteral(KORVANE_CLI_PATH), arguments, environment);
}

// One picture's luma as ffmpeg decodes it, after `filters`.
QByteArray luma(const QStringList &input, const QString &filters)
{
    return run(QStringLiteral("ffmpeg"), QStringList{"-v", "error"} + input +
                                             QStringList{"-frames:v", "1", "-vf", filters,
                                                         "-pix_fmt", "gray", "-f", "rawvideo", "-"})
        .out;
}

double psnr(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size() || a.isEmpty())
        return 0;
    double squares = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const double d = static_cast<quint8>(a[i]) - static_cast<quint8>(b[i]);
        squares += d * d;
    }
    const double mean = squares / static_cast<double>(a.size());
    return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

QByteArray joinedChecksums(const QStringList &files, int stream, int first, int count)
{
    QByteArrayList sums;
    for (const QString &file : files)
        sums += pictureChecksums(file, stream).split(' ');
    return sums.mid(first, count).join(' ');
}

// A trip of three 4 s recordings cut by ffmpeg's segment muxer, in a folder and on a card.
struct Trip
{
    QStringList files;
    QString folder;
    QString card;
};

Trip writeTrip(const QTemporaryDir &work)
{
    Trip trip;
    trip.files = korvane::test::writeSegmentedCard(work, 12, 4);
    trip.folder = work.filePath(QStringLiteral("tree/mov/normal"));
    trip.card = work.filePath(QStringLiteral("card.img"));
    return trip;
}

TEST(EvidenceClip, AGridShowsEveryCameraAsFfmpegDecodesItInAFileABrowserPlays)
{
    QTemporaryDir work;
    // Cameras of two sizes and rates with sound, made by ffmpeg, named as a dashcam names them.
    const QString recording = work.filePath(QStringLiteral("N_20241005_143000.mp4"));
    korvane::test::writeTwoSizeRecording(recording, korvane::test::RecordedSound::aac);
    ASSERT_FALSE(testing::Test::HasFailure());

    const QString clip = work.filePath(QStringLiteral("grid.mp4"));
    const ProgramRun cut = cli(work, {"clip", recording, "--from", "2", "--to", "5", "--layout",
                                      "grid", "--caption", clip});
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
    EXPECT_EQ(cut.out.trimmed(), QFile::encodeName(clip));

    // Two cameras side by side in cells of the first camera's shape, half of 1920 wide each; the
    // rear camera's 4:3 fitted into its cell's height, in the middle; the caption's band below.
    const QStringList streams =
        korvane::test::ffprobeStreams(clip, QStringLiteral("codec_name,width,height,pix_fmt"));
    ASSERT_EQ(streams.size(), 2) << streams.join('\n').toStdString();
    EXPECT_EQ(streams[0], QStringLiteral("h264,1920,578,yuv420p"));
    EXPECT_TRUE(streams[1].startsWith(QStringLiteral("aac"))) << streams[1].toStdString();
    const Region front{0, 0, 960, 540};
    const Region rear{1080, 0, 720, 540};
    // The index before the pictures: a browser starts playing before the whole file is there.
    const QByteArray bytes = korvane::test::readFile(clip);
    EXPECT_LT(bytes.indexOf("moov"), bytes.indexOf("mdat"));
    EXPECT_NEAR(korvane::test::decodedSeconds(clip), 3.0, 0.05);

    // At moments where both cameras have a picture of their own, each region holds ffmpeg's
    // own decode of that camera at that second of the recording, scaled to the region.
    for (const int picture : {12, 36, 78}) {
        const double second = 2 + picture / 30.0;
        for (const auto &[camera, region] : {std::pair{0, front}, std::pair{1, rear}}) {
            const QByteArray shown =
                luma({"-i", clip}, QStringLiteral("select=eq(n\\,%1),crop=%2:%3:%4:%5")
                                       .arg(picture)
                                       .arg(region.width)
                                       .arg(region.height)
                                       .arg(region.x)
                                       .arg(region.y));
            const QByteArray decoded =
                luma({"-ss", QString::number(second, 'f', 6), "-i", recording, "-map",
                      QStringLiteral("0:v:%1").arg(camera)},
                     QStringLiteral("scale=%1:%2").arg(region.width).arg(region.height));
            EXPECT_GE(psnr(shown, decoded), 35.0)
                << "camera " << camera + 1 << " at " << second << " s";
        }
    }
}

TEST(EvidenceClip, AcrossTwoAndThreeRecordingsEveryPictureOnceInOrder)
{
    QTemporaryDir work;
    const Trip trip = writeTrip(work);

    // From a folder, across two recordings, cut on key frames: the pictures as recorded.
    const QString two = work.filePath(QStringLiteral("two.mp4"));
    const ProgramRun folderCut = cli(work, {"clip", trip.folder, "--from", "2024-10-05 14:30:02",
                                            "--to", "2024-10-05 14:30:06", two});
    ASSERT_EQ(folderCut.exitCode, 0) << folderCut.err.toStdString();
    for (const int camera : {0, 1})
        EXPECT_EQ(pictureChecksums(two, camera), joinedChecksums(trip.files, camera, 60, 120))
            << "camera " << camera + 1;
    EXPECT_NEAR(korvane::test::decodedSeconds(two), 4.0, 0.1);

    // From the card, across three: the same.
    const QString three = work.filePath(QStringLiteral("three.mp4"));
    const ProgramRun cardCut = cli(work, {"clip", trip.card, "--from", "2024-10-05 14:30:02",
                                          "--to", "2024-10-05 14:30:10", three});
    ASSERT_EQ(cardCut.exitCode, 0) << cardCut.err.toStdString();
    for (const int camera : {0, 1})
        EXPECT_EQ(pictureChecksums(three, camera), joinedChecksums(trip.files, camera, 60, 240))
            << "camera " << camera + 1;

    // Composed into one picture, encoded anew: every picture of the front camera is there once,
    // in order, the joins included. Each picture of the clip is told by the recording's picture
    // it is most like.
    const QString grid = work.filePath(QStringLiteral("grid.mp4"));
    const ProgramRun gridCut = cli(work, {"clip", trip.card, "--from", "2024-10-05 14:30:02",
                                          "--to", "2024-10-05 14:30:10", "--layout", "grid", grid});
    ASSERT_EQ(gridCut.exitCode, 0) << gridCut.err.toStdString();
    QList<QByteArray> sources;
    for (const QString &file : trip.files)
        sources += korvane::test::lumaThumbnails(file, 0);
    ASSERT_EQ(sources.size(), 360);
    const QList<int> shown = korvane::test::likestPictures(
        korvane::test::lumaThumbnails(grid, 0, QStringLiteral("crop=320:240:0:0")), sources);
    QList<int> wanted;
    for (int k = 60; k < 300; ++k)
        wanted.append(k);
    EXPECT_EQ(shown, wanted);

    // A span where the card holds no recording is told so.
    const ProgramRun nothing =
        cli(work, {"clip", trip.card, "--from", "2024-10-05 15:00:00", "--to",
                   "2024-10-05 15:00:10", work.filePath(QStringLiteral("none.mp4"))});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_TRUE(nothing.err.contains("has no recording that plays 2024-10-05 15:00:00"))
        << nothing.err.toStdString();
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("none.mp4"))));
}

// Two recordings of 4 s each from one trip of two cameras, encoded with B-frames (pictures shown
// in another order than decoded) and a key frame every second; the second camera of the first
// recording stops after 3 s. Their paths, in time order.
QStringList writeUnevenTrip(const QString &folder)
{
    QStringList paths;
    for (int k = 0; k < 2; ++k) {
        const QString path =
            QDir(folder).filePath(QStringLiteral("N_20241005_14300%1.mp4").arg(4 * k));
        const QString start = QString::number(4 * k);
        const QString graph =
            QStringLiteral("[0:v]trim=start=%1:duration=4,setpts=PTS-STARTPTS[front];"
                           "[1:v]trim=start=%1:duration=%2,setpts=PTS-STARTPTS[rear];"
                           "[2:a]atrim=start=%1:duration=4,asetpts=PTS-STARTPTS[sound]")
                .arg(start, k == 0 ? QStringLiteral("3") : QStringLiteral("4"));
        const ProgramRun made =
            run(QStringLiteral("ffmpeg"), {"-v",
                                           "error",
                                           "-f",
                                           "lavfi",
                                           "-i",
                                           "testsrc=size=320x240:rate=30:duration=8",
                                           "-f",
                                           "lavfi",
                                           "-i",
                                           "testsrc2=size=160x120:rate=30:duration=8",
                                           "-f",
                                           "lavfi",
                                           "-i",
                                           "sine=frequency=440:sample_rate=44100:duration=8",
                                           "-filter_complex",
                                           graph,
                                           "-map",
                                           "[front]",
                                           "-map",
                                           "[rear]",
                                           "-map",
                                           "[sound]",
                                           "-c:v",
                                           "libx264",
                                           "-preset",
                                           "medium",
                                           "-bf",
                                           "2",
                                           "-g",
                                           "30",
                                           "-pix_fmt",
                                           "yuv420p",
                                           "-c:a",
                                           "aac",
                                           path});
        EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
        paths.append(path);
    }
    return paths;
}

TEST(EvidenceClip, CamerasWithBFramesOrCutShortStayInStepAcrossAJoin)
{
    QTemporaryDir work;
    const QString folder = work.filePath(QStringLiteral("saved"));
    QDir().mkpath(folder);
    const QStringList files = writeUnevenTrip(folder);
    ASSERT_EQ(files.size(), 2);
    const QString clip = work.filePath(QStringLiteral("uneven.mp4"));
    const ProgramRun cut = cli(work, {"clip", folder, "--from", "2024-10-05 14:30:02", "--to",
                                      "2024-10-05 14:30:06", clip});
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();

    // The front camera: every picture from 2 s to 6 s once, in order, across the join.
    QList<QByteArray> front;
    QList<QByteArray> rear;
    for (const QString &file : files) {
        front += korvane::test::lumaThumbnails(file, 0);
        rear += korvane::test::lumaThumbnails(file, 1);
    }
    ASSERT_EQ(front.size(), 240);
    ASSERT_EQ(rear.size(), 210);
    QList<int> wanted;
    for (int k = 60; k < 180; ++k)
        wanted.append(k);
    EXPECT_EQ(korvane::test::likestPictures(korvane::test::lumaThumbnails(clip, 0), front), wanted);
    // The rear camera holds its last picture where it stopped, and takes up the second
    // recording's at the same second as the front camera: at 2 s of the clip, 4 s of the trip.
    const QList<int> behind =
        korvane::test::likestPictures(korvane::test::lumaThumbnails(clip, 1), rear);
    ASSERT_EQ(behind.size(), 120);
    EXPECT_EQ(behind[0], 60);
    EXPECT_EQ(behind[45], 89) << "the last picture before the rear camera stopped";
    EXPECT_EQ(behind[60], 90) << "the second recording's first";
    EXPECT_EQ(behind[119], 149);
    EXPECT_NEAR(korvane::test::decodedSeconds(clip), 4.0, 0.05);
}

TEST(EvidenceReport, ItsHashesAreThoseOfTheClipAndOfEveryRecordingAsRead)
{
    QTemporaryDir work;
    const Trip trip = writeTrip(work);
    const QString clip = work.filePath(QStringLiteral("evidence.mp4"));
    const ProgramRun cut = cli(work, {"clip", trip.card, "--from", "2024-10-05 14:30:03", "--to",
                                      "2024-10-05 14:30:09", "--layout", "pip", "--report", clip});
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
    const QString report = work.filePath(QStringLiteral("evidence.html"));
    EXPECT_EQ(cut.out, QFile::encodeName(clip) + '\n' + QFile::encodeName(report) + '\n');
    const QString html = QString::fromUtf8(korvane::test::readFile(report));

    // sha256sum, not Korvane, hashes the files: the clip, and the recordings as the test wrote
    // them onto the card.
    QStringList hashed{clip};
    hashed += trip.files;
    const ProgramRun sums = run(QStringLiteral("sha256sum"), hashed);
    ASSERT_EQ(sums.exitCode, 0);
    QMap<QString, QString> expected;
    for (const QByteArray &line : sums.out.trimmed().split('\n'))
        expected.insert(QFileInfo(QString::fromUtf8(line.mid(66))).fileName(),
                        QString::fromLatin1(line.left(64)));
    QMap<QString, QString> given;
    static const QRegularExpression hash(
        QStringLiteral(R"re(data-file="([^"]+)">([0-9a-f]{64})<)re"));
    for (auto it = hash.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        given.insert(m.captured(1), m.captured(2));
    }
    EXPECT_EQ(given, expected);

    EXPECT_TRUE(html.contains(QStringLiteral("2024-10-05 14:30:03 – 2024-10-05 14:30:09")));
    // A still of each camera, each a picture.
    static const QRegularExpression still(
        QStringLiteral(R"re(class="still" alt="[^"]+" src="data:image/png;base64,([^"]+)")re"));
    int stills = 0;
    for (auto it = still.globalMatch(html); it.hasNext(); ++stills)
        EXPECT_TRUE(QByteArray::fromBase64(it.next().captured(1).toLatin1()).startsWith("\x89PNG"));
    EXPECT_EQ(stills, 2);
    // ffmpeg's recordings hold no dashcam records: the report says so rather than show nothing.
    EXPECT_TRUE(html.contains(QStringLiteral("이 구간에는 GPS 기록이 없습니다.")));
    EXPECT_TRUE(html.contains(QStringLiteral("이 구간에는 G-센서 기록이 없습니다.")));
}

TEST(EvidenceReport, TheRouteSpeedAndKnockOfTheSpanAreThoseOfItsRecords)
{
    QTemporaryDir work;
    // The sample writer's recording: a GPS fix every second, G-sensor samples every 0.1 s.
    const QString recording = korvane::test::generateRecording(
        work.path(), {"--channels", "2", "--seconds", "12", "--time", "20241005_143512"});
    const QString clip = work.filePath(QStringLiteral("knock.mp4"));
    const ProgramRun cut =
        cli(work, {"clip", recording, "--from", "3", "--to", "9", "--report", clip});
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
    const QString html =
        QString::fromUtf8(korvane::test::readFile(work.filePath(QStringLiteral("knock.html"))));
    // A row for each fix of the six seconds (about one a second, placed on the recording's
    // time as the player places them), on the dashcam's clock, in order; and the route drawn.
    static const QRegularExpression row(QStringLiteral("<tr><td>(2024-10-05 14:35:\\d\\d)</td>"));
    QStringList seconds;
    for (auto it = row.globalMatch(html); it.hasNext();)
        seconds.append(it.next().captured(1));
    EXPECT_GE(seconds.size(), 5) << html.toStdString();
    EXPECT_LE(seconds.size(), 6);
    QStringList inOrder = seconds;
    inOrder.sort();
    EXPECT_EQ(seconds, inOrder);
    EXPECT_GE(seconds.value(0), QStringLiteral("2024-10-05 14:35:15"));
    EXPECT_LE(seconds.value(seconds.size() - 1), QStringLiteral("2024-10-05 14:35:20"));
    EXPECT_TRUE(html.contains(QStringLiteral("<polyline"))) << "no route drawn";
    // The strongest knock within the span, with its moment in it.
    static const QRegularExpression peak(
        QStringLiteral("class=\"gpeak\">2024-10-05 14:35:(\\d\\d) \\(영상 00:0(\\d)"));
    const QRegularExpressionMatch knock = peak.match(html);
    ASSERT_TRUE(knock.hasMatch());
    EXPECT_EQ(knock.captured(1).toInt() - 15, knock.captured(2).toInt());
}

} // namespace
