// Files from elsewhere through korvane-cli: videos no dashcam made, in codecs Korvane's player
// does not play or encrypted, and names that are not UTF-8. Nothing is handed on as playable
// that the player would refuse, and every name the file system holds is opened.
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using korvane::test::ProgramRun;
using korvane::test::run;

namespace {

const QString cli = QStringLiteral(KORVANE_CLI_PATH);

QProcessEnvironment privateHome(const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    return environment;
}

// A two-second video made by ffmpeg with these output options.
QString ffmpegVideo(const QTemporaryDir &folder, const QString &name, const QStringList &options)
{
    const QString path = folder.filePath(name);
    const ProgramRun made =
        run(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-f", "lavfi", "-i",
                                                  "testsrc=size=320x240:rate=15:duration=2"} +
                                          options + QStringList{path});
    EXPECT_EQ(made.exitCode, 0) << name.toStdString() << ": " << made.err.constData();
    return path;
}

} // namespace

TEST(ForeignFiles, RepairAndClipRefuseWhatThePlayerCannotShow)
{
    QTemporaryDir folder, home;
    const QProcessEnvironment environment = privateHome(home);
    const QStringList refused{
        // MPEG-4 Visual: not a codec the player decodes.
        ffmpegVideo(folder, QStringLiteral("part2.mp4"), {"-c:v", "mpeg4"}),
        // H.264 in RGB: decoded, but into no picture format the player shows.
        ffmpegVideo(folder, QStringLiteral("rgb.mp4"), {"-c:v", "libx264rgb"}),
        // Encrypted pictures (CENC): the stream is H.264 only once decrypted.
        ffmpegVideo(folder, QStringLiteral("encrypted.mp4"),
                    {"-c:v", "libx264", "-encryption_scheme", "cenc-aes-ctr", "-encryption_key",
                     "76a6c65c5ea762046bd749a2e632ccbb", "-encryption_kid",
                     "a7e61c373e219033c21091fa607bf3b8"}),
    };
    // Made by hand: a file type box, and then nothing that is any picture.
    const QString byHand = folder.filePath(QStringLiteral("by-hand.mp4"));
    korvane::test::writeFile(byHand, QByteArray::fromHex("0000001466747970"
                                                         "69736f6d0000020069736f6d") +
                                         QByteArray(4096, 'x'));
    for (const QString &input : refused + QStringList{byHand}) {
        const QString repaired = folder.filePath(QStringLiteral("repaired.mp4"));
        const ProgramRun repair = run(cli, {"repair", input, repaired}, environment);
        EXPECT_EQ(repair.exitCode, 1) << input.toStdString() << ": " << repair.out.constData();
        EXPECT_TRUE(repair.err.contains("cannot repair") || repair.err.contains("cannot rebuild") ||
                    repair.err.contains("encrypted"))
            << repair.err.constData();
        EXPECT_FALSE(QFileInfo::exists(repaired)) << input.toStdString();

        const QString clip = folder.filePath(QStringLiteral("clip.mp4"));
        const ProgramRun cut =
            run(cli, {"clip", input, "--from", "0", "--to", "1", clip}, environment);
        EXPECT_EQ(cut.exitCode, 1) << input.toStdString() << ": " << cut.out.constData();
        EXPECT_TRUE(cut.err.contains("cannot cut") || cut.err.contains("encrypted"))
            << cut.err.constData();
        EXPECT_FALSE(QFileInfo::exists(clip)) << input.toStdString();
    }

    // The same way, a video the player does play is handed on.
    const QString plain = ffmpegVideo(folder, QStringLiteral("plain.mp4"), {"-c:v", "libx264"});
    const QString repaired = folder.filePath(QStringLiteral("plain-repaired.mp4"));
    const ProgramRun repair = run(cli, {"repair", plain, repaired}, environment);
    EXPECT_EQ(repair.exitCode, 0) << repair.err.constData();
    EXPECT_TRUE(QFileInfo(repaired).size() > 0);
}

TEST(ForeignFiles, NamesThatAreNotUtf8AreOpened)
{
    QTemporaryDir folder, home;
    const QProcessEnvironment environment = privateHome(home);
    const QString recording = korvane::test::sampleRecording({"--seconds", "1"});
    const QString card = korvane::test::sampleCardImage({"--seconds", "1"});
    // Every name below holds the byte 0xE9 on its own (Latin-1 "é"): only a shell can say it.
    const auto shell = [&](const QString &script) {
        return run(QStringLiteral("/bin/bash"),
                   {"-c", script, "bash", cli, recording, card, folder.path(),
                    QStringLiteral(KORVANE_PATH)},
                   environment);
    };
    const ProgramRun copied = shell(QStringLiteral(
        R"sh(cp "$2" "$4/caf$(printf '\351').mp4" && cp "$3" "$4/card$(printf '\351').img" && )sh"
        R"sh(mkdir "$4/saved$(printf '\351')")sh"));
    ASSERT_EQ(copied.exitCode, 0) << copied.err.constData();

    const ProgramRun metadata =
        shell(QStringLiteral(R"sh("$1" metadata "$4/caf$(printf '\351').mp4")sh"));
    EXPECT_EQ(metadata.exitCode, 0) << metadata.err.constData();
    EXPECT_TRUE(metadata.out.contains("gps_info")) << metadata.out.left(200).constData();

    const ProgramRun gpx = shell(QStringLiteral(R"sh("$1" gpx "$4/caf$(printf '\351').mp4")sh"));
    EXPECT_EQ(gpx.exitCode, 0) << gpx.err.constData();
    EXPECT_TRUE(gpx.out.contains("<trkpt")) << gpx.out.left(200).constData();

    const ProgramRun list =
        shell(QStringLiteral(R"sh("$1" card list "$4/card$(printf '\351').img")sh"));
    EXPECT_EQ(list.exitCode, 0) << list.err.constData();
    EXPECT_TRUE(list.out.contains("N_20241005_143012.mp4"));

    // Saved into a folder of such a name: the printed paths are the folder's own bytes.
    const ProgramRun save = shell(QStringLiteral(
        R"sh("$1" card save --type event "$4/card$(printf '\351').img" "$4/saved$(printf '\351')")sh"));
    EXPECT_EQ(save.exitCode, 0) << save.err.constData();
    EXPECT_EQ(save.out, QFile::encodeName(folder.path()) + "/saved\xe9/E_20241005_143512.mp4\n");

    // The viewer takes a card image of such a name: what it says is of the missing volume.
    const ProgramRun viewer = shell(QStringLiteral(
        R"sh("$5" --card "$4/card$(printf '\351').img" --card-volume "$4/no-volume")sh"));
    EXPECT_EQ(viewer.exitCode, 2);
    EXPECT_TRUE(viewer.err.contains("no-volume")) << viewer.err.constData();
    EXPECT_FALSE(viewer.err.contains("no card image")) << viewer.err.constData();

    // A new file cannot be given a name that is not UTF-8: said so, nothing written.
    const ProgramRun repair = shell(QStringLiteral(
        R"sh("$1" repair "$4/caf$(printf '\351').mp4" "$4/fixed$(printf '\351').mp4")sh"));
    EXPECT_EQ(repair.exitCode, 1);
    EXPECT_TRUE(repair.err.contains("must be UTF-8")) << repair.err.constData();
    // Qt itself cannot name these files: the shell counts them, and takes them away.
    EXPECT_EQ(shell(QStringLiteral("ls -A \"$4\"")).out.split('\n').size() - 1, 3)
        << "the two copies and the folder, nothing else";
    shell(QStringLiteral("rm -rf \"$4\"/*"));
}
