// What dashcam-sample writes, read back independently of how it was written: the unfinished
// shape byte by byte, the finished shape through ffprobe and ffmpeg.
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using korvane::test::decodeErrors;
using korvane::test::ffprobeStreams;
using korvane::test::run;
using korvane::test::sampleRecording;

namespace {

struct Case
{
    int channels;
    bool sound;
};

const Case cases[] = {{1, true}, {2, false}, {3, true}, {4, true}, {5, true}};
constexpr int seconds = 2;
constexpr int fps = 30;

QStringList argumentsFor(const Case &c)
{
    QStringList args{"--channels", QString::number(c.channels), "--seconds",
                     QString::number(seconds)};
    if (!c.sound)
        args << "--no-sound";
    return args;
}

quint32 bigEndian(const QByteArray &data, qsizetype at)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(data[at + i]);
    return value;
}

bool startsWith(const QByteArray &data, qsizetype at, QByteArrayView bytes)
{
    return QByteArrayView(data).sliced(at).startsWith(bytes);
}

struct Layout
{
    QList<int> picturesPerChannel = QList<int>(5, 0);
    QList<int> channelOrder;
    int keyFrames = 0;
    int soundRuns = 0;
    int soundFrames = 0;
    int largestSoundRun = 0;
    QMap<QByteArray, int> records;
};

// Walks an unfinished recording item by item; any byte that is not where the dashcam's layout
// puts it fails the test.
Layout walk(const QByteArray &data)
{
    Layout layout;
    EXPECT_EQ(bigEndian(data, 0), 24u);
    EXPECT_TRUE(startsWith(data, 4, "ftyp"));
    EXPECT_TRUE(startsWith(data, 28, "mdat"));
    const QByteArray keyStart("\0\0\0\1\x67", 5), predictedStart("\0\0\0\1\x41", 5);
    const QByteArray endMarker("\0\0\0\1\x0c", 5);
    bool afterPicture = false;
    qsizetype p = 32;
    while (p < data.size()) {
        if (startsWith(data, p, keyStart) || startsWith(data, p, predictedStart)) {
            const bool key = startsWith(data, p, keyStart);
            const qsizetype end = data.indexOf(endMarker, p + 5);
            if (end < 0) {
                ADD_FAILURE() << "picture without end marker at " << p;
                break;
            }
            const QByteArray picture = data.mid(p, end - p);
            // Every unit behind a four-byte start code; no SEI (6) or delimiter (9) units.
            for (qsizetype s = picture.indexOf(QByteArray("\0\0\1", 3)); s >= 0;
                 s = picture.indexOf(QByteArray("\0\0\1", 3), s + 3)) {
                EXPECT_TRUE(s > 0 && picture[s - 1] == '\0')
                    << "three-byte start code at " << p + s;
                const int type = picture[s + 3] & 0x1f;
                EXPECT_TRUE(type != 6 && type != 9) << "unit type " << type << " at " << p + s;
            }
            int channel = 0;
            while (static_cast<unsigned char>(data[end + 5 + channel]) == 0xff)
                ++channel;
            EXPECT_EQ(static_cast<unsigned char>(data[end + 5 + channel]), 0x80);
            EXPECT_LT(channel, 5);
            const quint32 counter = bigEndian(data, end + 6 + channel);
            EXPECT_EQ(counter, static_cast<quint32>(layout.picturesPerChannel[channel]));
            EXPECT_EQ(key, counter % fps == 0)
                << "a key frame opens every second of channel " << channel;
            layout.keyFrames += key;
            ++layout.picturesPerChannel[channel];
            layout.channelOrder.append(channel);
            p = end + 10 + channel;
            afterPicture = true;
        } else if (startsWith(data, p, QByteArray("\0\0", 2)) &&
                   (startsWith(data, p + 2, "DAT00") || startsWith(data, p + 2, "GPS00") ||
                    startsWith(data, p + 2, "SHO00"))) {
            const int length = data.mid(p + 5, 5).toInt();
            ++layout.records[data.mid(p + 2, 3)];
            p += 10 + length;
            afterPicture = false;
        } else if (startsWith(data, p, "\xff\xe3")) {
            EXPECT_TRUE(afterPicture) << "sound must follow a picture directly, at " << p;
            const qsizetype runStart = p;
            while (p < data.size() && startsWith(data, p, "\xff\xe3")) {
                p += 144 + ((data[p + 2] >> 1) & 1);
                ++layout.soundFrames;
            }
            ++layout.soundRuns;
            layout.largestSoundRun =
                std::max(layout.largestSoundRun, static_cast<int>(p - runStart));
            afterPicture = false;
        } else {
            ADD_FAILURE() << "unexpected byte " << int(static_cast<unsigned char>(data[p]))
                          << " at " << p;
            break;
        }
    }
    EXPECT_EQ(p, data.size()) << "the last item runs past the end of the file";
    return layout;
}

class SampleLayout : public testing::TestWithParam<Case>
{
};

} // namespace

TEST_P(SampleLayout, UnfinishedRecordingIsTheDashcamsInterleave)
{
    const Case c = GetParam();
    const QString path = sampleRecording(argumentsFor(c) << "--unfinished");
    ASSERT_TRUE(path.endsWith(QLatin1String("N_20241005_143012.mov"))) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const Layout layout = walk(file.readAll());

    for (int channel = 0; channel < 5; ++channel)
        EXPECT_EQ(layout.picturesPerChannel[channel], channel < c.channels ? seconds * fps : 0);
    for (qsizetype i = 0; i < layout.channelOrder.size(); ++i)
        ASSERT_EQ(layout.channelOrder[i], i % c.channels)
            << "every tick holds one picture per channel";
    EXPECT_EQ(layout.keyFrames, c.channels * seconds);
    EXPECT_EQ(layout.records.value("DAT"), 1);
    EXPECT_EQ(layout.records.value("GPS"), seconds);
    EXPECT_EQ(layout.records.value("SHO"), seconds * 10);
    if (c.sound) {
        // 72 ms frames over two seconds, at most 1000 bytes between two other items.
        EXPECT_NEAR(layout.soundFrames, seconds * 8000 / 576, 1);
        EXPECT_LE(layout.largestSoundRun, 1000);
        EXPECT_GT(layout.soundRuns, 0);
    } else {
        EXPECT_EQ(layout.soundFrames, 0);
    }
}

TEST_P(SampleLayout, FinishedRecordingHasOneTrackPerCameraAndDecodesCleanly)
{
    const Case c = GetParam();
    const QString path = sampleRecording(argumentsFor(c));
    const QStringList streams =
        ffprobeStreams(path, QStringLiteral("codec_name,width,height,nb_frames,sample_rate"));
    QStringList expected;
    const QStringList sizes{"640,360", "480,270", "320,180", "320,180", "320,180"};
    for (int channel = 0; channel < c.channels; ++channel)
        expected << QStringLiteral("h264,%1,%2").arg(sizes[channel]).arg(seconds * fps);
    if (c.sound)
        expected << QStringLiteral("mp3,8000,%1").arg(seconds * 8000 / 576 + 1);
    EXPECT_EQ(streams, expected);
    const QByteArray errors = decodeErrors(path);
    EXPECT_TRUE(errors.isEmpty()) << errors.constData();
}

INSTANTIATE_TEST_SUITE_P(Channels, SampleLayout, testing::ValuesIn(cases));

TEST(DashcamSample, NamesFilesLikeTheDashcamAndRefusesBadOptions)
{
    QTemporaryDir folder;
    const QString event = korvane::test::generateRecording(
        folder.path(),
        {"--channels", "1", "--seconds", "1", "--type", "event", "--time", "20231231_235959"});
    EXPECT_TRUE(event.endsWith(QLatin1String("/E_20231231_235959.mp4"))) << event.toStdString();
    const QString manual = korvane::test::generateRecording(
        folder.path(), {"--channels", "1", "--seconds", "1", "--type", "manual", "--unfinished"});
    EXPECT_TRUE(manual.endsWith(QLatin1String("/M_20241005_143012.mov"))) << manual.toStdString();

    for (const QStringList &bad :
         {QStringList{"--channels", "6"}, QStringList{"--ch1", "640x360"},
          QStringList{"--ch2", "641x360@30"}, QStringList{"--time", "20240231_120000"},
          QStringList{"--type", "kept"}, QStringList{"--seconds", "x"}}) {
        EXPECT_EQ(
            run(korvane::test::dashcamSamplePath(), bad + QStringList{folder.path()}).exitCode, 2)
            << bad.join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_EQ(
        QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2)
        << "failed runs leave nothing behind";
}
