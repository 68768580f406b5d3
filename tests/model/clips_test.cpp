// Evidence clips of the open recording, cut by the real ffmpeg from recordings made two ways:
// by ffmpeg's own encoders (two cameras whose key frames fall at different times, AAC sound) and
// by our generator (the dashcam's MP3 sound and GPS fixes). What a clip holds is checked with
// ffprobe and with the pictures ffmpeg decodes from it, against the source.
#include "card/clipexport.h"
#include "card/workingfolder.h"
#include "model/savefolders.h"
#include "modeltestsupport.h"
#include "qtprinters.h"
#include "records/gpxtrack.h"
#include "records/metadataextraction.h"
#include "samplerecordings.h"
#include "services/clipcaptions.h"
#include "services/workingfiles.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvane;
using namespace korvane::test;

namespace {

constexpr double frame = 1.0 / 30;

// Two cameras at 30 pictures a second, key frames every second on the first and every second and
// a half on the second, and a sound track: as ffmpeg's encoders write them, nothing of ours.
// Without B-frames, as dashcams write: a copy of pictures stored out of order ends on a packet in
// decoding order, a few pictures past the end mark.
QString encoderMadeRecording(const QString &folder, double seconds)
{
    const QString path = folder + QStringLiteral("/20241005_143512_E.mp4");
    const QString length = QString::number(seconds);
    const ProgramRun made =
        run(QStringLiteral("ffmpeg"),
            {"-v",
             "error",
             "-f",
             "lavfi",
             "-i",
             "testsrc2=size=320x240:rate=30:duration=" + length,
             "-f",
             "lavfi",
             "-i",
             "testsrc2=size=320x240:rate=30:duration=" + length + ",hue=h=120",
             "-f",
             "lavfi",
             "-i",
             "sine=frequency=440:beep_factor=4:sample_rate=44100:duration=" + length,
             "-map",
             "0",
             "-map",
             "1",
             "-map",
             "2",
             "-c:v",
             "libx264",
             "-preset",
             "ultrafast",
             "-pix_fmt",
             "yuv420p",
             "-x264-params:v:0",
             "keyint=30:min-keyint=30:scenecut=0",
             "-x264-params:v:1",
             "keyint=45:min-keyint=45:scenecut=0",
             "-c:a",
             "aac",
             path});
    EXPECT_EQ(made.exitCode, 0) << made.err.constData();
    return path;
}

// The times of a video stream's key frames, by ffprobe.
QList<double> keyFrames(const QString &path, int stream)
{
    const ProgramRun probe =
        run(QStringLiteral("ffprobe"),
            {"-v", "error", "-select_streams", "v:" + QString::number(stream), "-show_entries",
             "packet=pts_time,flags", "-of", "csv=p=0", path});
    QList<double> keys;
    for (const QByteArray &line : probe.out.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() >= 2 && fields[1].startsWith('K'))
            keys.append(fields[0].toDouble());
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

double keyFrameAtOrBefore(const QString &path, int stream, double time)
{
    double found = -1;
    for (const double key : keyFrames(path, stream)) {
        if (key <= time + 1e-6)
            found = key;
    }
    return found;
}

struct StreamTimes
{
    QString type;
    double start = 0;
    double duration = 0;
};

QList<StreamTimes> streamTimes(const QString &path)
{
    QList<StreamTimes> streams;
    for (const QString &line :
         ffprobeStreams(path, QStringLiteral("codec_type,start_time,duration"))) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() >= 3)
            streams.append({fields[0], fields[1].toDouble(), fields[2].toDouble()});
    }
    return streams;
}

double formatDuration(const QString &path)
{
    return run(QStringLiteral("ffprobe"),
               {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path})
        .out.trimmed()
        .toDouble();
}

// The player paused on a time of the open recording, as the user leaves it before a mark.
void playerAt(AppViewModel &model, double seconds)
{
    MultiTrackPlayer &player = *model.playerManager();
    player.pause();
    player.seek(seconds / player.duration());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return std::abs(player.currentTime() - seconds) < 0.05; }, 10000))
        << "the player stays at " << player.currentTime() << " instead of " << seconds;
}

void openRecording(CardModel &card, const QString &path)
{
    AppViewModel &model = card.model();
    model.library()->setIsAutoLoad(false);
    model.notifications()->closeAlert();
    model.clips()->setClipCaption(false); // kept in the user's settings by the test before
    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(path)}));
    QCoro::waitFor(model.opener()->selectAt(0));
    card.waitUntilOpened();
    ASSERT_EQ(model.notifications()->alertMessage(), std::nullopt);
}

void markClip(AppViewModel &model, double from, double to)
{
    playerAt(model, from);
    model.clips()->markClipStart();
    playerAt(model, to);
    model.clips()->markClipEnd();
    ASSERT_TRUE(model.clips()->canExportClip());
}

// The clip as copied: it starts on the key frame at or before the start mark and ends at the end
// mark, every track lasting as long, the sound with them, and each camera's first picture that
// of the source at the key frame.
void expectCopiedClip(const QString &clip, const QString &source, double from, double to,
                      QList<int> cameras)
{
    const double key = keyFrameAtOrBefore(source, cameras.first(), from);
    ASSERT_GE(key, 0);
    EXPECT_NEAR(formatDuration(clip), to - key, frame + 0.002) << "key frame " << key;
    const QList<StreamTimes> streams = streamTimes(clip);
    ASSERT_EQ(streams.size(), cameras.size() + 1);
    for (qsizetype i = 0; i < streams.size(); ++i) {
        EXPECT_EQ(streams[i].type, i < cameras.size() ? "video" : "audio");
        EXPECT_NEAR(streams[i].start, 0, 0.03) << "stream " << i;
        EXPECT_NEAR(streams[i].duration, to - key, frame + 0.03) << "stream " << i;
    }
    for (qsizetype i = 0; i < cameras.size(); ++i) {
        const QList<QByteArray> clipPictures =
            pictureChecksums(clip, static_cast<int>(i)).split(' ');
        const QList<QByteArray> sourcePictures = pictureChecksums(source, cameras[i]).split(' ');
        const auto first = static_cast<qsizetype>(std::lround(key / frame));
        ASSERT_GT(sourcePictures.size(), first);
        EXPECT_EQ(clipPictures.first(), sourcePictures[first])
            << "camera " << cameras[i] + 1 << " does not start on the picture at " << key;
        EXPECT_NEAR(static_cast<double>(clipPictures.size()), std::round((to - key) / frame), 1)
            << "camera " << cameras[i] + 1;
    }
    EXPECT_EQ(decodeErrors(clip), QByteArray());
}

// One picture of a file's first video stream, decoded as 8-bit luma.
QByteArray lumaAt(const QString &path, double time, const QStringList &before = {})
{
    return run(QStringLiteral("ffmpeg"),
               QStringList(before) + QStringList{"-v", "error", "-i", path, "-ss",
                                                 QString::number(time, 'f', 3), "-map", "0:v:0",
                                                 "-frames:v", "1", "-f", "rawvideo", "-pix_fmt",
                                                 "gray", "-"})
        .out;
}

// The caption's white text inside its box (the date and time, the speed and most of the
// position), where the dark box lies under every pixel.
QList<bool> textMask(const QByteArray &luma, int width, int height)
{
    const int size = static_cast<int>(std::lround(height / 24.0));
    const int border = std::max(2, size / 4);
    const int margin = static_cast<int>(std::lround(height / 40.0));
    QList<bool> mask;
    for (int y = height - margin - border - size; y < height - margin - border; ++y) {
        for (int x = margin + border; x < margin + border + 20 * size; ++x)
            mask.append(static_cast<unsigned char>(luma[y * width + x]) > 160);
    }
    return mask;
}

qsizetype differing(const QList<bool> &a, const QList<bool> &b)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        count += a[i] != b[i];
    return count;
}

QStringList entries(const QString &folder, const QString &pattern = QStringLiteral("*"))
{
    return QDir(folder).entryList({pattern},
                                  QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

TEST(Clip, CopiedClipsOfTwoCamerasWithKeyFramesApartStartOnTheKeyFrameInStep)
{
    QTemporaryDir folder;
    const QString source = encoderMadeRecording(folder.path(), 10);
    CardModel card(sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    card.loadCard(); // the card's settings name its cameras, as the channel choice goes
    openRecording(card, source);
    ASSERT_EQ(model.nowPlaying()->videoPlayers().size(), 2);

    // Between the first camera's key frames at 4 and 5 s; the second one's are at 3 and 4.5 s.
    markClip(model, 4.4, 7.4);
    const double from = model.clips()->clipFrom();
    const double to = model.clips()->clipTo();
    QTemporaryDir saved;
    const ClipResult all = QCoro::waitFor(model.clips()->exportClipInto(saved.path()));
    ASSERT_EQ(all.outcome, ClipResult::Outcome::saved) << all.detail.toStdString();
    EXPECT_EQ(all.path, saved.filePath("20241005_143512_E_clip_00m04s-00m07s.mp4"));
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt);
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
    EXPECT_EQ(model.notifications()->savedMessage(),
              QStringLiteral("증거 영상 20241005_143512_E_clip_00m04s-00m07s.mp4 을(를) %1에 "
                             "저장했습니다.")
                  .arg(SaveFolders::shownPath(saved.path())));
    expectCopiedClip(all.path, source, from, to, {0, 1});

    // The second camera alone, with the sound.
    model.downloads()->nextChannelChoice();
    model.downloads()->nextChannelChoice();
    ASSERT_EQ(model.downloads()->channelChoice(), 2);
    const ClipResult second = QCoro::waitFor(model.clips()->exportClipInto(saved.path()));
    ASSERT_EQ(second.outcome, ClipResult::Outcome::saved) << second.detail.toStdString();
    EXPECT_EQ(second.path, saved.filePath("20241005_143512_E_clip_00m04s-00m07s_CH2.mp4"));
    expectCopiedClip(second.path, source, from, to, {1});

    // Marks in the same whole seconds name a clip the same: the clip saved before stays.
    markClip(model, 4.6, 7.9);
    const ClipResult again = QCoro::waitFor(model.clips()->exportClipInto(saved.path()));
    ASSERT_EQ(again.outcome, ClipResult::Outcome::saved) << again.detail.toStdString();
    EXPECT_EQ(again.path, saved.filePath("20241005_143512_E_clip_00m04s-00m07s_CH2_2.mp4"));
    expectCopiedClip(second.path, source, from, to, {1});

    // A recording without fixes has no route to save; nothing is written for it.
    EXPECT_FALSE(QCoro::waitFor(model.clips()->exportGpxInto(saved.path())));
    EXPECT_TRUE(model.notifications()->alertMessage().has_value());
    EXPECT_EQ(entries(saved.path()).size(), 3);
    EXPECT_EQ(entries(WorkingFolder::tempRoot() + "work/", QStringLiteral("clip-*")),
              QStringList());

    // A mark stays where it is put: an end before the start clears the start, and a start after
    // the end clears the end.
    playerAt(model, 2);
    model.clips()->markClipEnd();
    EXPECT_EQ(model.clips()->clipFrom(), -1);
    EXPECT_NEAR(model.clips()->clipTo(), 2, 0.05);
    EXPECT_FALSE(model.clips()->canExportClip());
    playerAt(model, 1);
    model.clips()->markClipStart();
    EXPECT_TRUE(model.clips()->canExportClip());
    playerAt(model, 3);
    model.clips()->markClipStart();
    EXPECT_EQ(model.clips()->clipTo(), -1);
    EXPECT_NEAR(model.clips()->clipFrom(), 3, 0.05);
    EXPECT_FALSE(model.clips()->canExportClip());
    model.clips()->markClipEnd(); // at the start itself: the start goes
    EXPECT_EQ(model.clips()->clipFrom(), -1);

    // Marks belong to the recording they were put on.
    markClip(model, 1, 2);
    openRecording(card, source);
    EXPECT_EQ(model.clips()->clipFrom(), -1);
    EXPECT_EQ(model.clips()->clipTo(), -1);
    EXPECT_FALSE(model.clips()->canExportClip());
}

TEST(Clip, CaptionedClipShowsEachSecondsFixAndLeavesTheRestOfThePicture)
{
    const QString source = sampleRecording({"--seconds", "6", "--time", "20241005_143512"});
    CardModel card(sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    card.loadCard();
    openRecording(card, source);
    markClip(model, 1.3, 4.6);
    const double from = model.clips()->clipFrom();
    const double to = model.clips()->clipTo();

    // Every second's caption: its own clock, one second on from the one before, and the fix.
    const QList<CaptionLine> captions =
        clipCaptions(model.mediaData()->gpsEvents(), QFileInfo(source).fileName(), from, to);
    ASSERT_EQ(captions.size(), static_cast<qsizetype>(std::ceil(to) - std::floor(from)));
    // The dashcam's own clock, as its file name has it, whatever zone this computer is in: the
    // fixes keep UTC.
    EXPECT_TRUE(captions.first().text.startsWith(QStringLiteral("2024-10-05 14:35:13")))
        << captions.first().text.toStdString();
    static const QRegularExpression shape(QStringLiteral(
        R"(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)  \d+ km/h  [NS] \d+\.\d{5}° [EW] \d+\.\d{5}°$)"));
    for (qsizetype i = 0; i < captions.size(); ++i) {
        const QRegularExpressionMatch m = shape.match(captions[i].text);
        ASSERT_TRUE(m.hasMatch()) << captions[i].text.toStdString();
        if (i > 0) {
            const QRegularExpressionMatch before = shape.match(captions[i - 1].text);
            EXPECT_EQ(QDateTime::fromString(before.captured(1), "yyyy-MM-dd HH:mm:ss")
                          .secsTo(QDateTime::fromString(m.captured(1), "yyyy-MM-dd HH:mm:ss")),
                      1);
            EXPECT_DOUBLE_EQ(captions[i].start, captions[i - 1].end);
        }
    }

    QTemporaryDir saved;
    const ClipResult plain = QCoro::waitFor(model.clips()->exportClipInto(saved.path()));
    ASSERT_EQ(plain.outcome, ClipResult::Outcome::saved) << plain.detail.toStdString();
    expectCopiedClip(plain.path, source, from, to, {0, 1});

    model.clips()->setClipCaption(true);
    EXPECT_TRUE(model.clips()->clipCaption());
    model.downloads()->nextChannelChoice();
    ASSERT_EQ(model.downloads()->channelChoice(), 1);
    const ClipResult captioned = QCoro::waitFor(model.clips()->exportClipInto(saved.path()));
    ASSERT_EQ(captioned.outcome, ClipResult::Outcome::saved) << captioned.detail.toStdString();
    const QList<StreamTimes> streams = streamTimes(captioned.path);
    ASSERT_EQ(streams.size(), 2);
    EXPECT_EQ(streams[0].type, "video");
    EXPECT_EQ(streams[1].type, "audio");
    EXPECT_NEAR(formatDuration(captioned.path), to - from, frame + 0.03)
        << "encoded anew, the clip starts at the mark itself";
    EXPECT_EQ(decodeErrors(captioned.path), QByteArray());

    const QStringList size =
        ffprobeStreams(captioned.path, QStringLiteral("width,height")).first().split(',');
    const int width = size[0].toInt();
    const int height = size[1].toInt();
    // Above the caption the picture is the source's, as ffmpeg decodes the same span.
    const QString top = QStringLiteral("crop=iw:ih*0.85:0:0");
    const ProgramRun psnr =
        run(QStringLiteral("ffmpeg"),
            {"-v", "info", "-i", captioned.path, "-ss", QString::number(from, 'f', 6), "-t",
             QString::number(to - from, 'f', 6), "-i", source, "-filter_complex",
             "[0:v:0]" + top + "[a];[1:v:0]" + top + "[b];[a][b]psnr", "-f", "null", "-"});
    const QRegularExpressionMatch average =
        QRegularExpression(QStringLiteral(R"(PSNR .* average:([0-9.]+|inf))"))
            .match(QString::fromUtf8(psnr.err));
    ASSERT_TRUE(average.hasMatch()) << psnr.err.constData();
    EXPECT_GT(average.captured(1) == u"inf" ? 100 : average.captured(1).toDouble(), 35);

    // The caption is there, stays the same within a second and changes with the next one.
    const double firstChange = std::ceil(from) - from; // a whole second of the player's axis
    const QStringList sourceSeek{"-ss", QString::number(from, 'f', 6)};
    const QByteArray early = lumaAt(captioned.path, firstChange + 0.1);
    const QByteArray late = lumaAt(captioned.path, firstChange + 0.8);
    const QByteArray next = lumaAt(captioned.path, firstChange + 1.1);
    const QByteArray plainPicture = lumaAt(source, firstChange + 0.1, sourceSeek);
    ASSERT_EQ(early.size(), width * height);
    ASSERT_EQ(plainPicture.size(), width * height);
    const QList<bool> text = textMask(early, width, height);
    const auto lit = std::count(text.begin(), text.end(), true);
    EXPECT_GT(lit, text.size() / 50) << "no caption text";
    EXPECT_GT(differing(text, textMask(plainPicture, width, height)), lit / 2)
        << "the caption region is the source's picture";
    EXPECT_LT(differing(text, textMask(late, width, height)), lit / 20)
        << "the caption changed within a second";
    EXPECT_GT(differing(text, textMask(next, width, height)), lit / 20)
        << "the caption did not change with the second";

    // The route beside the clips: as many points as the recording has fixes.
    ASSERT_TRUE(QCoro::waitFor(model.clips()->exportGpxInto(saved.path())));
    const QByteArray gpx = readFile(saved.filePath(QFileInfo(source).baseName() + ".gpx"));
    EXPECT_EQ(model.notifications()->savedMessage(),
              QStringLiteral("GPS 경로(%1.gpx)를 %2에 저장했습니다.")
                  .arg(QFileInfo(source).baseName(), SaveFolders::shownPath(saved.path())));
    EXPECT_EQ(model.notifications()->savedFolder(), saved.path());
    EXPECT_EQ(gpx.count("<trkpt"), gpxPointCount(extractMediaRecords(source)));
    EXPECT_GT(gpx.count("<trkpt"), 0);
    EXPECT_EQ(entries(WorkingFolder::tempRoot() + "work/", QStringLiteral("clip-*")),
              QStringList());
    model.clips()->setClipCaption(false);
}

TEST(Clip, ClosingTheProgressKillsFfmpegAndLeavesNothing)
{
    QTemporaryDir folder;
    const QString source = encoderMadeRecording(folder.path(), 30);
    CardModel card(sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = card.model();
    openRecording(card, source);
    markClip(model, 1, 29);
    model.clips()->setClipCaption(true);
    QTemporaryDir saved;

    QCoro::Task<ClipResult> exporting = model.clips()->exportClipInto(saved.path());
    // ffmpeg runs once the clip's folder holds its caption script and some of the clip.
    QString clipFolder;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList made =
                entries(WorkingFolder::tempRoot() + "work/", QStringLiteral("clip-*"));
            if (made.size() != 1)
                return false;
            clipFolder = WorkingFolder::tempRoot() + "work/" + made.first();
            return fileBytes(clipFolder + "/clip.mp4") > 0;
        },
        60000));
    const auto runningFfmpeg = [&] {
        for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            if (readFile("/proc/" + pid + "/cmdline").contains(clipFolder.toUtf8()))
                return true;
        }
        return false;
    };
    ASSERT_TRUE(runningFfmpeg());
    model.notifications()->closeDownload();
    const ClipResult result = QCoro::waitFor(exporting);
    EXPECT_EQ(result.outcome, ClipResult::Outcome::cancelled);
    EXPECT_FALSE(runningFfmpeg());
    EXPECT_EQ(entries(saved.path()), QStringList());
    EXPECT_EQ(entries(WorkingFolder::tempRoot() + "work/", QStringLiteral("clip*")), QStringList());
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt);
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
    EXPECT_FALSE(model.downloads()->isDownloading());
    model.clips()->setClipCaption(false);
}

// Caption text is data: whatever it holds reaches the picture as written, exactly as ffmpeg
// draws the same text read from a file.
TEST(Clip, CaptionTextIsDrawnLiterallyWhateverItHolds)
{
    QTemporaryDir folder;
    const std::optional<QString> font = QCoro::waitFor(hangulFont());
    ASSERT_TRUE(font.has_value());
    const QString hostile = QStringLiteral(
        "it's 100%% \\ \"C:\\dir\" [v0];[x] a,b=c:d '\\'' %{pts} $HOME `id` -ss 1\n증거 \\n");
    const QString textFile = folder.filePath("text.txt");
    writeFile(textFile, hostile.toUtf8());
    const auto draw = [&](const QString &what) {
        const QString script = folder.filePath("graph.txt");
        writeFile(script, ("drawtext=expansion=none:fontfile=" + filterValue(*font) + ":" + what +
                           ":fontsize=20:fontcolor=white:x=4:y=4")
                              .toUtf8());
        const ProgramRun drawn = run(QStringLiteral("ffmpeg"),
                                     {"-v", "error", "-f", "lavfi", "-i",
                                      "color=c=black:s=640x80:d=0.1", "-filter_script:v", script,
                                      "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
        EXPECT_EQ(drawn.exitCode, 0) << drawn.err.constData();
        return drawn.out;
    };
    const QByteArray literal = draw("text=" + filterValue(hostile));
    const QByteArray fromFile = draw("textfile=" + filterValue(textFile));
    ASSERT_EQ(literal.size(), 640 * 80);
    EXPECT_EQ(literal, fromFile);
    EXPECT_NE(literal, QByteArray(640 * 80, '\0'));
    EXPECT_NE(literal, draw("text=" + filterValue(QString(hostile).replace("$HOME", "$HOMF"))));
}
