// korvane-cli clip as a user meets it: a clip of a generated recording written under a hostile
// name and played back by ffmpeg, onto another disk, past the recording's end and interrupted,
// and the usage errors of its span and camera.
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

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
         "--from takes seconds of the recording, 0 or more (such as 12.5), or the dashcam's "
         "clock (such as \"2024-10-05 14:30:50\")"},
        {{"clip", "a.mp4", "--from", "1", "--to", "1:30", "b.mp4"},
         "--to takes seconds of the recording, 0 or more (such as 12.5), or the dashcam's "
         "clock (such as \"2024-10-05 14:30:50\")"},
        {{"clip", "card.img", "--from", "2024-10-05 14:30:50", "--to", "30", "b.mp4"},
         "--from and --to take both seconds of a recording or both the dashcam's clock"},
        {{"clip", "card.img", "--from", "2024-10-05 14:30:50", "--to", "2024-10-05 14:30:50",
          "b.mp4"},
         "--from must be before --to"},
        {{"clip", "card.img", "--from", "2024-10-05 14:30:50", "--to", "2024-02-30 14:31:00",
          "b.mp4"},
         "--to takes seconds of the recording, 0 or more (such as 12.5), or the dashcam's "
         "clock (such as \"2024-10-05 14:30:50\")"},
        {{"clip", "a.mp4", "--from", "1", "--to", "2", "--layout", "mosaic", "b.mp4"},
         "unknown layout 'mosaic' (tracks, grid or pip)"},
        {{"card", "list", "--layout", "grid", "card.img"},
         "--from, --to, --caption, --layout and --report belong to clip"},
        {{"clip", "a.mp4", "--from", "1", "b.mp4"}, "clip needs --to SECONDS"},
        {{"clip", "a.mp4", "--from", "1", "--to", "2", "--channel", "6", "b.mp4"},
         "--channel takes a camera from 1 to 5"},
        {{"clip", "a.mp4", "--from", "1", "--to", "2"}, "clip needs OUT"},
        {{"gpx", "a.mp4", "--report"},
         "--from, --to, --caption, --layout and --report belong to clip"},
    };
    for (const auto &[arguments, problem] : cases) {
        const ProgramRun refused = run(QStringLiteral(KORVANE_CLI_PATH), arguments);
        EXPECT_EQ(refused.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(refused.err.startsWith("korvane-cli: " + problem + "\nusage: korvane-cli"))
            << refused.err.constData();
        EXPECT_EQ(refused.out, QByteArray());
    }
}

TEST(ClipCommand, ToAnotherDiskPastTheEndAndInterrupted)
{
    const QString recording =
        korvane::test::sampleRecording({"--channels", "2", "--seconds", "20"});
    QTemporaryDir home;
    QProcessEnvironment environment = privateHome(home);
    const QString scratch = home.filePath(QStringLiteral("tmp"));
    QDir().mkpath(scratch);
    environment.insert(QStringLiteral("TMPDIR"), scratch);
    const auto leftovers = [&] {
        return QDir(home.filePath(QStringLiteral("cache/Korvane/work")))
                   .entryList({QStringLiteral("clip*")}, QDir::AllEntries | QDir::Hidden) +
               QDir(scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };

    // A USB stick or another disk: the clip is copied there whole, not renamed.
    QTemporaryDir stick(QStringLiteral("/dev/shm/korvane-clip-XXXXXX"));
    if (stick.isValid()) {
        const QString out = stick.filePath(QStringLiteral("clip.mp4"));
        const ProgramRun copied =
            run(QStringLiteral(KORVANE_CLI_PATH),
                {"clip", recording, "--from", "2", "--to", "4", out}, environment);
        EXPECT_EQ(copied.exitCode, 0) << copied.err.constData();
        EXPECT_EQ(ffprobeStreams(out, QStringLiteral("codec_type")),
                  QStringList({"video", "video", "audio"}));
        EXPECT_EQ(leftovers(), QStringList());
    }

    // A span past the recording's end has no picture: refused, nothing written. One that runs
    // past it ends with it.
    QTemporaryDir folder;
    const QString past = folder.filePath(QStringLiteral("past.mp4"));
    for (const bool caption : {false, true}) {
        QStringList arguments{"clip", recording, "--from", "25", "--to", "30", past};
        if (caption)
            arguments.insert(1, QStringLiteral("--caption"));
        const ProgramRun refused = run(QStringLiteral(KORVANE_CLI_PATH), arguments, environment);
        EXPECT_EQ(refused.exitCode, 1) << refused.err.constData();
        EXPECT_TRUE(refused.err.contains("has no picture from 25.000 s"))
            << refused.err.constData();
        EXPECT_FALSE(QFileInfo::exists(past));
    }
    const ProgramRun tail =
        run(QStringLiteral(KORVANE_CLI_PATH),
            {"clip", recording, "--from", "19.5", "--to", "1e300", past}, environment);
    ASSERT_EQ(tail.exitCode, 0) << tail.err.constData();
    const double key = keyFrameAtOrBefore(recording, 0, 19.5);
    const QByteArray duration =
        run(QStringLiteral("ffprobe"),
            {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", past})
            .out.trimmed();
    EXPECT_NEAR(duration.toDouble(), 20 - key, 0.05);

    // Ctrl+C while ffmpeg writes a captioned clip: ffmpeg ends too, and nothing is left.
    const QString interrupted = folder.filePath(QStringLiteral("interrupted.mp4"));
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(KORVANE_CLI_PATH),
              {"clip", recording, "--from", "0", "--to", "20", "--caption", interrupted});
    ASSERT_TRUE(cli.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (leftovers().filter(QStringLiteral("clip-")).isEmpty() && waited.elapsed() < 30000)
        QThread::msleep(20);
    ASSERT_FALSE(leftovers().filter(QStringLiteral("clip-")).isEmpty()) << "ffmpeg never started";
    // Interrupted once ffmpeg writes: the clip it makes in that folder holds bytes.
    const auto written = [&] {
        const QDir work(home.filePath(QStringLiteral("cache/Korvane/work")));
        for (const QString &clip : work.entryList({QStringLiteral("clip-*")}, QDir::Dirs)) {
            if (QFileInfo(work.filePath(clip + QStringLiteral("/clip.mp4"))).size() > 0)
                return true;
        }
        return false;
    };
    while (!written() && !cli.waitForFinished(20) && waited.elapsed() < 60000) {
    }
    ASSERT_TRUE(written()) << "ffmpeg never wrote";
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitCode(), 130) << cli.readAllStandardError().constData();
    EXPECT_FALSE(QFileInfo::exists(interrupted));
    EXPECT_EQ(leftovers(), QStringList());
    // No ffmpeg of this run goes on writing.
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (command.open(QIODevice::ReadOnly)) {
            EXPECT_FALSE(command.readAll().contains(home.path().toUtf8()))
                << "process " << pid.toStdString();
        }
    }
}
