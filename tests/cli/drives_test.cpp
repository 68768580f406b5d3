// The drives korvane-cli finds on a card whose trips ffmpeg's segment muxer cut, put onto an
// ext4 file system by mke2fs: no file of it written by Korvane's own sample writer.
#include "ext4image.h"
#include "samplerecordings.h"
#include "segmentedtrip.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using korvane::test::ProgramRun;
using korvane::test::run;

namespace {

TEST(DriveListing, TripsCutBySegmentsAreFoundWithTheirEventAndLengths)
{
    QTemporaryDir work;
    const QDir tree(work.filePath(QStringLiteral("tree")));
    for (const char *folder : {"cfg", "mov/normal", "mov/event", "mov/park", "mov/saved"})
        QDir().mkpath(tree.filePath(QString::fromLatin1(folder)));
    korvane::test::writeFile(tree.filePath(QStringLiteral("cfg/bbox.ini")),
                             "[bbox]\nch1_resol=3\nch2_resol=1\n");
    const QString normal = tree.filePath(QStringLiteral("mov/normal"));
    // Two and a half minutes, a pause of half an hour, then seventy seconds.
    korvane::test::writeSegmentedTrip(normal, QStringLiteral("20241005_143000"), 150, 60);
    korvane::test::writeSegmentedTrip(normal, QStringLiteral("20241005_150000"), 70, 60);
    // The shock's event recording: twenty seconds inside the second minute.
    const QString shock = work.filePath(QStringLiteral("shock"));
    QDir().mkpath(shock);
    const QStringList event =
        korvane::test::writeSegmentedTrip(shock, QStringLiteral("20241005_143110"), 20, 20);
    ASSERT_EQ(event.size(), 1);
    ASSERT_TRUE(QFile::rename(event.first(),
                              tree.filePath(QStringLiteral("mov/event/E_20241005_143110.mp4"))));
    // A kept copy of it, which is no drive of its own.
    ASSERT_TRUE(QFile::copy(tree.filePath(QStringLiteral("mov/event/E_20241005_143110.mp4")),
                            tree.filePath(QStringLiteral("mov/saved/E_20241005_143110.mp4"))));
    const QString image = work.filePath(QStringLiteral("card.img"));
    korvane::test::writeExt4Card(tree.path(), image);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), work.filePath(QStringLiteral("data")));
    const ProgramRun text =
        run(QStringLiteral(KORVANE_CLI_PATH), {"card", "list", "--drives", image}, environment);
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QList<QByteArray> lines = text.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << text.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("2024-10-05 14:30:00\t2024-10-05 14:32:"));
    EXPECT_TRUE(lines[0].endsWith("\t4\t1\tdriving")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("2024-10-05 15:00:00\t2024-10-05 15:01:"));
    EXPECT_TRUE(lines[1].endsWith("\t2\t0\tdriving")) << lines[1].toStdString();

    const ProgramRun json = run(QStringLiteral(KORVANE_CLI_PATH),
                                {"card", "list", "--drives", "--json", image}, environment);
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray drives = QJsonDocument::fromJson(json.out).array();
    ASSERT_EQ(drives.size(), 2);
    const QJsonObject first = drives[0].toObject();
    // The last piece's length comes from its size at its neighbours' bit rate: near its 30 s.
    EXPECT_NEAR(first[QStringLiteral("seconds")].toDouble(), 150, 3);
    QStringList names;
    QList<bool> plays;
    for (const QJsonValue recording : first[QStringLiteral("recordings")].toArray()) {
        names.append(recording[QStringLiteral("name")].toString());
        plays.append(recording[QStringLiteral("plays")].toBool());
    }
    EXPECT_EQ(names, (QStringList{"N_20241005_143000.mp4", "N_20241005_143100.mp4",
                                  "E_20241005_143110.mp4", "N_20241005_143200.mp4"}));
    // The event's seconds are the continuous recording's: the drive plays them once.
    EXPECT_EQ(plays, (QList<bool>{true, true, false, true}));
    EXPECT_EQ(first[QStringLiteral("recordings")][1][QStringLiteral("seconds")].toDouble(), 60);
    EXPECT_EQ(drives[1][QStringLiteral("end")].toString().left(17),
              QStringLiteral("2024-10-05 15:01:"));
}

} // namespace
