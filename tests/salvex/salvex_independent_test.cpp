// salvex on unfinished recordings made from the encoders' own streams rather than by
// dashcam-sample: x264 in several profiles and shapes, x265, two sound rates, metadata whose
// payloads begin with digits. Every picture must come back exactly as the encoder's stream
// decodes, with its timing and a side file that plays.
#include "rawrecording.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvane::test;

namespace {

const QString salvex = QStringLiteral(SALVEX_PATH);

struct Recovered
{
    ProgramRun run;
    QString mp4;
    QString mp3;
};

Recovered recover(const QTemporaryDir &folder, const RawRecording &raw, const QStringList &options)
{
    const QString broken = folder.filePath(QStringLiteral("N_20241005_143012.mov"));
    writeFile(broken, raw.bytes);
    Recovered recovered{{},
                        folder.filePath(QStringLiteral("fixed.mp4")),
                        folder.filePath(QStringLiteral("fixed.mp3"))};
    recovered.run = run(salvex, QStringList{broken, recovered.mp4} + options);
    EXPECT_EQ(recovered.run.exitCode, 0) << recovered.run.err.constData();
    EXPECT_TRUE(recovered.run.err.endsWith("> recovery finished\n"))
        << recovered.run.err.constData();
    return recovered;
}

// Every camera's pictures, decoded, exactly as its encoder's stream decodes; each track as long
// as its pictures at its rate, and the tracks within one picture of each other.
void expectEveryPicture(const Recovered &recovered, const QList<Camera> &cameras)
{
    const QByteArray errors = decodeErrors(recovered.mp4);
    EXPECT_TRUE(errors.isEmpty()) << errors.constData();
    const QStringList durations = ffprobeStreams(recovered.mp4, QStringLiteral("duration"));
    ASSERT_EQ(durations.size(), cameras.size());
    double longestPicture = 0;
    for (qsizetype i = 0; i < cameras.size(); ++i) {
        const Camera &camera = cameras[i];
        const QByteArray expected = pictureChecksums(camera.stream);
        EXPECT_EQ(expected.count(' ') + 1, camera.pictures.size());
        EXPECT_EQ(pictureChecksums(recovered.mp4, static_cast<int>(i)), expected)
            << "camera on channel " << camera.channel;
        const double seconds = static_cast<double>(camera.pictures.size()) / camera.fps;
        EXPECT_NEAR(durations[i].toDouble(), seconds, 1.0 / camera.fps)
            << "channel " << camera.channel;
        longestPicture = std::max(longestPicture, 1.0 / camera.fps);
    }
    for (const QString &a : durations) {
        for (const QString &b : durations)
            EXPECT_LE(std::abs(a.toDouble() - b.toDouble()), longestPicture + 1e-3);
    }
    const QStringList movie =
        QString::fromUtf8(
            run(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration",
                                            "-of", "csv=p=0", recovered.mp4})
                .out)
            .split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(movie.size(), 1);
    for (const QString &track : durations)
        EXPECT_GE(movie.first().toDouble() + 1e-3, track.toDouble())
            << "the movie is as long as its longest track";
}

// The side file holds the sound frames that went in, decodes cleanly and lasts as long.
void expectSound(const Recovered &recovered, const RawRecording &raw, const SoundFrames &sound)
{
    const QByteArray errors = decodeErrors(recovered.mp3);
    EXPECT_TRUE(errors.isEmpty()) << errors.constData();
    const double seconds =
        static_cast<double>(raw.soundUsed.size()) * sound.samplesPerFrame / sound.sampleRate;
    EXPECT_NEAR(decodedSeconds(recovered.mp3), seconds, 0.2);
}

// x264 as a dashcam uses it: no B-frames, pictures in presentation order.
QStringList x264(const QString &profile, const QString &parameters)
{
    return {"-c:v",     "libx264", "-preset", "veryfast", "-profile:v",   profile,
            "-pix_fmt", "yuv420p", "-bf",     "0",        "-x264-params", parameters};
}

} // namespace

TEST(SalvexIndependent, TwoH264CamerasWithSeiDelimitersSlicesAndTheirOwnRates)
{
    QTemporaryDir folder;
    // Channel 0: baseline with HRD SEI in every picture and delimiters kept, its units marked
    // with nal_ref_idc 1. Channel 1: main profile (CABAC) in four slices at 15 pictures a
    // second, parameter sets only in front of the first key frame, no delimiters.
    Camera first = encodeCamera(
        folder.path(), QStringLiteral("ch0"), 0, 30, QStringLiteral("testsrc2=size=320x240"), 60,
        x264("baseline", "aud=1:nal-hrd=vbr:vbv-maxrate=800:vbv-bufsize=1600:keyint=30"));
    setReferenceIdc(first, 1);
    Camera second = encodeCamera(folder.path(), QStringLiteral("ch1"), 1, 15,
                                 QStringLiteral("testsrc2=size=240x160,hue=h=120"), 30,
                                 x264("main", "aud=1:slices=4:keyint=15"));
    dropDelimiters(second);
    keepFirstParameterSetsOnly(second);
    // The first sound frame's fourth flag byte, right after where the Info tag goes, set: a
    // frame count must not be read from sound bytes.
    SoundFrames sound = encodeSound(folder.path(), 8000, 2.5);
    ASSERT_GT(sound.frames.size(), 1);
    ASSERT_TRUE(sound.frames.first().startsWith("\xff\xe3\x28\xc4"));
    sound.frames.first()[20] = 1;
    const RawRecording raw = rawRecording({first, second}, sound);

    const Recovered recovered =
        recover(folder, raw, {"--ch1", "320x240@30", "--ch2", "240x160@15"});
    expectEveryPicture(recovered, {first, second});
    expectSound(recovered, raw, sound);
    const QByteArray side = readFile(recovered.mp3);
    EXPECT_EQ(side.mid(13, 8), QByteArray("Info\0\0\0\0", 8)) << "the whole flags field is zero";
    EXPECT_EQ(side.mid(21), raw.soundUsed.join().mid(21)) << "every other sound byte as it was";
}

TEST(SalvexIndependent, RenumberedCabacParameterSetsAnd16kHzSound)
{
    QTemporaryDir folder;
    // A camera that changes its quantiser: a second PPS with id 0, which takes another id whose
    // code is longer, in high-profile CABAC slices.
    const QStringList high = {"-c:v", "libx264",  "-preset",      "medium", "-profile:v",
                              "high", "-pix_fmt", "yuv420p",      "-bf",    "0",
                              "-g",   "12",       "-x264-params", "aud=1"};
    const Camera coarse =
        encodeCamera(folder.path(), QStringLiteral("coarse"), 0, 25,
                     QStringLiteral("testsrc2=size=320x240"), 25, high + QStringList{"-qp", "34"});
    const Camera fine = encodeCamera(folder.path(), QStringLiteral("fine"), 0, 25,
                                     QStringLiteral("testsrc2=size=320x240,hue=h=200"), 25,
                                     high + QStringList{"-qp", "20"});
    Camera camera = joinCameras(folder.path(), QStringLiteral("ch0"), {coarse, fine});
    dropDelimiters(camera);
    const SoundFrames sound = encodeSound(folder.path(), 16000, 2.5);
    ASSERT_FALSE(sound.frames.first().startsWith("\xff\xe3\x28\xc4"));
    const RawRecording raw = rawRecording({camera}, sound);

    const Recovered recovered = recover(folder, raw, {"--ch1", "320x240@25"});
    expectEveryPicture(recovered, {camera});
    expectSound(recovered, raw, sound);
    EXPECT_EQ(readFile(recovered.mp3), raw.soundUsed.join())
        << "sound that is not the dashcam's own 8 kHz is never patched";
}

TEST(SalvexIndependent, H265BesideH264WithoutAFirstCameraOrSound)
{
    QTemporaryDir folder;
    // An H.265 camera that changes its coding tools half way: other parameter sets under the
    // same ids, which the pictures after the change must meet.
    const auto x265 = [&](const QString &name, const QString &tools) {
        return encodeCamera(folder.path(), name, 1, 30, QStringLiteral("testsrc2=size=320x240"), 24,
                            {"-c:v", "libx265", "-preset", "fast", "-pix_fmt", "yuv420p",
                             "-x265-params", "aud=1:keyint=12:bframes=0:log-level=error:" + tools});
    };
    Camera hevc = joinCameras(folder.path(), QStringLiteral("ch1"),
                              {x265(QStringLiteral("plain"), QStringLiteral("wpp=0:signhide=0")),
                               x265(QStringLiteral("tooled"), QStringLiteral("wpp=1:signhide=1"))});
    dropDelimiters(hevc);
    Camera avc = encodeCamera(folder.path(), QStringLiteral("ch2"), 2, 30,
                              QStringLiteral("testsrc2=size=320x240,hue=h=90"), 48,
                              x264("high", "aud=1:keyint=15"));
    const RawRecording raw = rawRecording({hevc, avc}, {});

    const Recovered recovered =
        recover(folder, raw, {"--ch2", "320x240@30", "--ch3", "320x240@30"});
    EXPECT_EQ(ffprobeStreams(recovered.mp4, QStringLiteral("codec_name")),
              (QStringList{"hevc", "h264"}));
    expectEveryPicture(recovered, {hevc, avc});
    EXPECT_EQ(readFile(recovered.mp3), QByteArray()) << "no sound, an empty side file";
}

TEST(SalvexIndependent, PicturesOverHalfAMegabyteComeBackWhole)
{
    QTemporaryDir folder;
    // Lossless noise: every picture well over 512 KiB.
    Camera camera =
        encodeCamera(folder.path(), QStringLiteral("ch0"), 0, 30,
                     QStringLiteral("nullsrc=size=1280x720,geq=random(1)*255:128:128"), 4,
                     {"-c:v", "libx264", "-preset", "ultrafast", "-qp", "0", "-pix_fmt", "yuv420p",
                      "-x264-params", "aud=1"});
    dropDelimiters(camera);
    for (const QByteArray &picture : camera.pictures)
        ASSERT_GT(picture.size(), 512 * 1024);
    const RawRecording raw = rawRecording({camera}, {});
    const Recovered recovered = recover(folder, raw, {"--ch1", "1280x720@30"});
    expectEveryPicture(recovered, {camera});
}
