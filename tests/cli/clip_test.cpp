// korvane-cli clip as a user meets it: a clip of a generated recording written under a hostile
// name and played back by ffmpeg, and the usage errors of its span and camera.
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using korvane::test::ffprobeStreams;
using korvane::test::ProgramRun;
using korvane::test::run;

namespace {

// The working and tools folders of one run, its own.
QProcessEnvironment privateHome(const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    return environment;
}

// The time of the last key frame at or before `time` in a video stream, by ffprobe.
double keyFrameAtOrBefore(const QString &path, int stream, double time)
{
    const ProgramRun probe =
        run(QStringLiteral("ffprobe"),
            {"-v", "error", "-select_streams", "v:" + QString::number(stream), "-show_entries",
             "packet=pts_time,flags", "-of", "csv=p=0", path});
    double found = -1;
    for (const QByteArray &line : probe.out.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() >= 2 && fields[1].startsWith('K') && fields[0].toDouble() <= time + 1e-6)
            found = std::max(found, fields[0].toDouble());
    }
    return found;
}

} // namespace

TEST(ClipCommand, WritesAPlayableClipOfOneCameraUnderAnyName)
{
    const QString recording = korvane::test::sampleRecording(
        {"--channels", "2", "--seconds", "5", "--time", "20241005_143512"});
    QTemporaryDir home;
    QTemporaryDir folder;
    const QString out = folder.filePath(QStringLiteral("-it's $HOME `id` clip.mp4"));
    const ProgramRun clipped =
        run(QStringLiteral(KORVANE_CLI_PATH),
            {"clip", recording, "--from", "1.5", "--to=3.25", "--channel", "2", "--", out},
            privateHome(home));
    ASSERT_EQ(clipped.exitCode, 0) << clipped.err.constData();
    EXPECT_EQ(clipped.out, out.toUtf8() + '\n');
    EXPECT_EQ(clipped.err, QByteArray());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({QFileInfo(out).fileName()}));
    EXPECT_EQ(ffprobeStreams(out, QStringLiteral("codec_type")), QStringList({"video", "audio"}));
    EXPECT_EQ(korvane::test::decodeErrors(out), QByteArray());
    // The second camera from its key frame at or before 1.5 s to 3.25 s.
    const double key = keyFrameAtOrBefore(recording, 1, 1.5);
    ASSERT_GE(key, 0);
    const QByteArray duration =
        run(QStringLiteral("ffprobe"),
            {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", out})
            .out.trimmed();
    EXPECT_NEAR(duration.toDouble(), 3.25 - key, 1.0 / 30 + 0.002);
    // Nothing of the clip's making is left in the working folder.
    EXPECT_EQ(QDir(home.filePath(QStringLiteral("cache/Korvane")))
                  .entryList({QStringLiteral("clip*")}, QDir::AllEntries | QDir::Hidden),
              QStringList());

    // A camera the recording lacks fails, and writes nothing.
    const QString none = folder.filePath(QStringLiteral("none.mp4"));
    const ProgramRun missing = run(
        QStringLiteral(KORVANE_CLI_PATH),
        {"clip", recording, "--from", "1", "--to", "2", "--channel", "4", none}, privateHome(home));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, ("korvane-cli: " + recording + " has no camera 4\n").toUtf8());
    EXPECT_FALSE(QFileInfo::exists(none));
}

TEST(ClipCommand, ASpanOrCameraThatCannotBeIsAUsageError)
{
    const struct
    {
        QStringList arguments;
        QByteArray problem;
    } cases[] = {
        {{"clip", "a.mp4", "--from", "5", "--to", "3", "b.mp4"}, "--from must be before --to"},
        {{"clip", "a.mp4", "--from", "3", "--to", "3", "b.mp4"}, "--from must be before --to"},
        {{"clip", "a.mp4", "--from", "-1", "--to", "3", "b.mp4"},
         "--from takes seconds of the recording, 0 or more (such as 12.5)"},
        {{"clip", "a.mp4", "--from", "1", "--to", "1:30", "b.mp4"},
         "--to takes seconds of the recording, 0 or more (such as 12.5)"},
        {{"clip", "a.mp4", "--from", "1", "b.mp4"}, "clip needs --to SECONDS"},
        {{"clip", "a.mp4", "--from", "1", "--to", "2", "--channel", "6", "b.mp4"},
         "--channel takes a camera from 1 to 5"},
        {{"clip", "a.mp4", "--from", "1", "--to", "2"}, "clip needs OUT"},
        {{"gpx", "a.mp4", "--caption"}, "--from, --to and --caption belong to clip"},
    };
    for (const auto &[arguments, problem] : cases) {
        const ProgramRun refused = run(QStringLiteral(KORVANE_CLI_PATH), arguments);
        EXPECT_EQ(refused.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(refused.err.startsWith("korvane-cli: " + problem + "\nusage: korvane-cli"))
            << refused.err.constData();
        EXPECT_EQ(refused.out, QByteArray());
    }
}
