#include "segmentedtrip.h"

#include "ext4image.h"
#include "testfiles.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace korvane::test {

QStringList writeSegmentedTrip(const QString &folder, const QString &start, int seconds,
                               int segmentSeconds)
{
    const QDir dir(folder);
    const QString length = QString::number(seconds);
    const ProgramRun encode =
        run(QStringLiteral("ffmpeg"), {"-v",
                                       "error",
                                       "-y",
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "testsrc=size=320x240:rate=30:duration=" + length,
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "testsrc2=size=160x120:rate=30:duration=" + length,
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "sine=frequency=440:sample_rate=44100:duration=" + length,
                                       "-map",
                                       "0:v",
                                       "-map",
                                       "1:v",
                                       "-map",
                                       "2:a",
                                       "-c:v",
                                       "libx264",
                                       "-preset",
                                       "ultrafast",
                                       "-g",
                                       "30",
                                       "-pix_fmt",
                                       "yuv420p",
                                       "-c:a",
                                       "aac",
                                       "-f",
                                       "segment",
                                       "-segment_time",
                                       QString::number(segmentSeconds),
                                       "-reset_timestamps",
                                       "1",
                                       dir.filePath(QStringLiteral("piece%03d.mp4"))});
    EXPECT_EQ(encode.exitCode, 0) << encode.err.toStdString();
    const QDateTime first(QDate::fromString(start.left(8), QStringLiteral("yyyyMMdd")),
                          QTime::fromString(start.mid(9), QStringLiteral("HHmmss")),
                          QTimeZone::utc());
    QStringList paths;
    const int pieces = (seconds + segmentSeconds - 1) / segmentSeconds;
    for (int k = 0; k < pieces; ++k) {
        const QString piece = dir.filePath(QStringLiteral("piece%1.mp4").arg(k, 3, 10, QChar('0')));
        const QString name =
            QStringLiteral("N_") +
            first.addSecs(qint64{k} * segmentSeconds).toString(QStringLiteral("yyyyMMdd_HHmmss")) +
            QStringLiteral(".mp4");
        EXPECT_TRUE(QFile::rename(piece, dir.filePath(name))) << piece.toStdString();
        paths.append(dir.filePath(name));
    }
    return paths;
}

QStringList writeSegmentedCard(const QTemporaryDir &work, int seconds, int segmentSeconds)
{
    const QDir tree(work.filePath(QStringLiteral("tree")));
    for (const char *folder : {"cfg", "mov/normal"})
        QDir().mkpath(tree.filePath(QString::fromLatin1(folder)));
    writeFile(tree.filePath(QStringLiteral("cfg/bbox.ini")), "[bbox]\nch1_resol=3\nch2_resol=1\n");
    const QStringList pieces =
        writeSegmentedTrip(tree.filePath(QStringLiteral("mov/normal")),
                           QStringLiteral("20241005_143000"), seconds, segmentSeconds);
    writeExt4Card(tree.path(), work.filePath(QStringLiteral("card.img")));
    return pieces;
}

void writeTwoSizeRecording(const QString &path, RecordedSound sound)
{
    const bool mp3 = sound == RecordedSound::dashcamSound;
    const ProgramRun made = run(QStringLiteral("ffmpeg"),
                                QStringList{"-v",
                                            "error",
                                            "-f",
                                            "lavfi",
                                            "-i",
                                            "testsrc2=size=1280x720:rate=30:duration=6",
                                            "-f",
                                            "lavfi",
                                            "-i",
                                            "testsrc=size=640x480:rate=15:duration=6",
                                            "-f",
                                            "lavfi",
                                            "-i",
                                            mp3 ? "sine=frequency=440:sample_rate=8000:duration=6"
                                                : "sine=frequency=440:sample_rate=44100:duration=6",
                                            "-map",
                                            "0:v",
                                            "-map",
                                            "1:v",
                                            "-map",
                                            "2:a",
                                            "-c:v",
                                            "libx264",
                                            "-preset",
                                            "ultrafast",
                                            "-g",
                                            "30",
                                            "-pix_fmt",
                                            "yuv420p"} +
                                    (mp3 ? QStringList{"-c:a", "libmp3lame", "-strict", "-1"}
                                         : QStringList{"-c:a", "aac"}) +
                                    QStringList{path});
    EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
}

} // namespace korvane::test
