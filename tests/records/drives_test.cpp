// Trips found in a card's listing: which recordings make one drive, what each plays, and where a
// moment of a drive is played from, on listings written by hand the way dashcams name files.
#include "records/drives.h"
#include "records/routepoints.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace korvane {
namespace {

FileListItem row(const char *type, const char *name, qint64 size = 60'000'000)
{
    FileListItem item;
    item.id = QUuid::createUuid();
    item.type = QString::fromLatin1(type);
    item.name = QString::fromLatin1(name);
    item.size = size;
    return item;
}

QDateTime at(const char *text)
{
    return *driveTimeFromText(QString::fromLatin1(text));
}

QStringList namesOf(const Drive &drive)
{
    QStringList names;
    for (const DriveRecording &recording : drive.recordings)
        names.append(recording.row.name);
    return names;
}

TEST(DriveTimes, NamesGiveTheDashcamsClockAndNothingElse)
{
    EXPECT_EQ(recordingStart(QStringLiteral("N_20241005_143012.mp4")), at("2024-10-05 14:30:12"));
    // The clock is the dashcam's own: no zone of this computer shifts it.
    EXPECT_EQ(driveTimeText(*recordingStart(QStringLiteral("E_20240331_023000.mov"))),
              QStringLiteral("2024-03-31 02:30:00"));
    for (const char *name :
         {"N_20241345_143012.mp4", "N_20241005_246012.mp4", "notes.mp4", "N_2024100_143012.mp4"})
        EXPECT_FALSE(recordingStart(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(driveTimeFromText(QStringLiteral("2024-10-05")));
    EXPECT_FALSE(driveTimeFromText(QStringLiteral("2024-10-05 25:00:00")));
    EXPECT_EQ(driveTimeFromText(QStringLiteral(" 2024-10-05 14:30:12 ")),
              at("2024-10-05 14:30:12"));
}

TEST(DriveGrouping, RecordingsThatFollowEachOtherMakeOneDriveAcrossFolders)
{
    // Three minutes of driving, a shock in the second, a stop of ten seconds, then one more
    // minute; parking the night before, and a kept copy that takes no part.
    const QList<FileListItem> rows{
        row("normal", "N_20241005_143000.mp4"), row("normal", "N_20241005_143100.mp4"),
        row("normal", "N_20241005_143200.mp4"), row("event", "E_20241005_143120.mp4", 20'000'000),
        row("normal", "N_20241005_143330.mp4"), row("park", "P_20241004_220000.mp4"),
        row("saved", "E_20241005_143120.mp4"),  row("manual", "M_20241005_143250.mp4", 30'000'000),
    };
    const QList<Drive> drives = findDrives(rows);
    ASSERT_EQ(drives.size(), 3);

    EXPECT_TRUE(drives[0].parking);
    EXPECT_EQ(namesOf(drives[0]), QStringList{QStringLiteral("P_20241004_220000.mp4")});

    const Drive &trip = drives[1];
    EXPECT_FALSE(trip.parking);
    EXPECT_EQ(namesOf(trip), (QStringList{"N_20241005_143000.mp4", "N_20241005_143100.mp4",
                                          "E_20241005_143120.mp4", "N_20241005_143200.mp4",
                                          "M_20241005_143250.mp4"}));
    EXPECT_EQ(trip.start, at("2024-10-05 14:30:00"));
    // The last continuous one is as long as its neighbours' bit rate makes its size: a minute.
    // The manual recording, half of that size, ends 30 s after its start, past the minute.
    EXPECT_EQ(trip.end, at("2024-10-05 14:33:20"));
    EXPECT_EQ(trip.eventCount(), 1);
    // The event's seconds are the second minute's: marked, played from the continuous file.
    // The manual one runs past the continuous recordings: it plays.
    EXPECT_FALSE(trip.recordings[2].plays);
    EXPECT_DOUBLE_EQ(trip.recordings[2].seconds, 20);
    EXPECT_TRUE(trip.recordings[4].plays);

    // Ten seconds after the manual recording's end is past the join: a drive of its own.
    EXPECT_EQ(namesOf(drives[2]), QStringList{QStringLiteral("N_20241005_143330.mp4")});
}

TEST(DriveGrouping, LengthsReadFromCopiesDecideWhereADriveEnds)
{
    QList<FileListItem> rows{row("normal", "N_20241005_143000.mp4"),
                             row("normal", "N_20241005_143104.mp4")};
    // Without lengths the first lasts until the next cut: one drive.
    EXPECT_EQ(findDrives(rows).size(), 1);
    // Its copy says it stopped after 55 s: nine seconds of pause part them.
    EXPECT_EQ(findDrives(rows, {{rows[0].id, 55.0}}).size(), 2);
    EXPECT_EQ(findDrives(rows, {{rows[0].id, 60.0}}).size(), 1);
}

TEST(DriveGrouping, SizesACardClaimsCannotMakeADriveEndless)
{
    // One recording claims a terabyte; lone ones with nothing to measure by last a minute.
    const QList<Drive> huge =
        findDrives({row("normal", "N_20241005_143000.mp4"), row("normal", "N_20241005_143100.mp4"),
                    row("normal", "N_20241005_143200.mp4", qint64(1) << 40)});
    ASSERT_EQ(huge.size(), 1);
    EXPECT_LE(huge[0].seconds(), 120 + 600);
    const QList<Drive> lone = findDrives({row("event", "E_20241005_143000.mp4", 0)});
    ASSERT_EQ(lone.size(), 1);
    EXPECT_DOUBLE_EQ(lone[0].seconds(), usualRecordingSeconds);
}

TEST(DriveGrouping, EventsAndParkingRecordingsAreNoCutsOfOneAnother)
{
    // Two shocks 40 s apart, 20 s each, and two parking clips a minute apart, their continuous
    // recordings overwritten: the next one's time says nothing of where one ended.
    const QList<FileListItem> rows{row("normal", "N_20241005_120000.mp4"),
                                   row("normal", "N_20241005_120100.mp4"),
                                   row("event", "E_20241005_143000.mp4", 20'000'000),
                                   row("event", "E_20241005_143040.mp4", 20'000'000),
                                   row("park", "P_20241005_220000.mp4", 10'000'000),
                                   row("park", "P_20241005_220100.mp4", 10'000'000)};
    const QList<Drive> drives = findDrives(rows);
    QStringList starts;
    for (const Drive &drive : drives)
        starts.append(driveTimeText(drive.start));
    EXPECT_EQ(starts,
              (QStringList{"2024-10-05 12:00:00", "2024-10-05 14:30:00", "2024-10-05 14:30:40",
                           "2024-10-05 22:00:00", "2024-10-05 22:01:00"}));
    EXPECT_DOUBLE_EQ(drives[1].seconds(), 20);
}

TEST(DrivePlaces, AFileThatRunsPastTheNextCutHandsOnToItsStart)
{
    // The files' sound ends 24 ms after the cut: the next piece still plays from its start.
    const QList<FileListItem> rows{row("normal", "N_20241005_143000.mp4"),
                                   row("normal", "N_20241005_143004.mp4")};
    const QList<Drive> drives = findDrives(rows, {{rows[0].id, 4.024}, {rows[1].id, 4.024}});
    ASSERT_EQ(drives.size(), 1);
    const std::optional<DrivePlace> after = drives[0].placeAfter(0);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->recording, 1);
    EXPECT_EQ(after->offset, 0);
}

TEST(DriveRoutePoints, EachFixKeepsItsSecondWhenOthersHaveNone)
{
    // Five GPS records a second apart over a 4 s recording; the first two without a fix.
    const auto gps = [](const char *nmea) {
        return QJsonObject{{QStringLiteral("type"), QStringLiteral("gps_info")},
                           {QStringLiteral("nmea"), QString::fromLatin1(nmea)}};
    };
    const char *noFix = "$GPRMC,053012.00,V,,,,,,,051024,,,N*7A";
    const char *fixes[] = {"$GPRMC,053014.00,A,3731.0000,N,12701.0000,E,10.0,90.0,051024,,,A*54",
                           "$GPRMC,053015.00,A,3731.0010,N,12701.0020,E,10.0,90.0,051024,,,A*56",
                           "$GPRMC,053016.00,A,3731.0020,N,12701.0040,E,10.0,90.0,051024,,,A*50"};
    const MediaRecords records{gps(noFix), gps(noFix), gps(fixes[0]), gps(fixes[1]), gps(fixes[2])};
    const QList<RoutePoint> points = routePoints(records, 4);
    ASSERT_EQ(points.size(), 3);
    EXPECT_DOUBLE_EQ(points[0].offset, 2);
    EXPECT_DOUBLE_EQ(points[1].offset, 3);
    EXPECT_DOUBLE_EQ(points[2].offset, 4);
    // 37 degrees 31 minutes north, 127 degrees 1 minute east.
    EXPECT_NEAR(points[0].latitude, 37 + 31.0 / 60, 1e-9);
    EXPECT_NEAR(points[0].longitude, 127 + 1.0 / 60, 1e-9);
}

TEST(DrivePlaces, EveryMomentIsPlayedFromOneRecordingAtTheRightSecond)
{
    // A cut that leaves two seconds out, and an event that runs past the continuous files.
    const QList<FileListItem> rows{
        row("normal", "N_20241005_143000.mp4"), row("normal", "N_20241005_143102.mp4"),
        row("event", "E_20241005_143140.mp4"), row("normal", "N_20241005_143202.mp4")};
    const QHash<QUuid, double> lengths{
        {rows[0].id, 60.0}, {rows[1].id, 50.0}, {rows[2].id, 30.0}, {rows[3].id, 60.0}};
    const QList<Drive> drives = findDrives(rows, lengths);
    ASSERT_EQ(drives.size(), 1);
    const Drive &drive = drives[0];
    ASSERT_EQ(namesOf(drive), (QStringList{"N_20241005_143000.mp4", "N_20241005_143102.mp4",
                                           "E_20241005_143140.mp4", "N_20241005_143202.mp4"}));
    EXPECT_TRUE(drive.recordings[2].plays);

    const auto placeOf = [&](const char *moment) {
        const std::optional<DrivePlace> place = drive.placeOf(at(moment));
        return place ? std::pair{place->recording, place->offset} : std::pair{qsizetype(-1), -1.0};
    };
    EXPECT_EQ(placeOf("2024-10-05 14:30:00"), std::pair(qsizetype(0), 0.0));
    EXPECT_EQ(placeOf("2024-10-05 14:30:59"), std::pair(qsizetype(0), 59.0));
    // Between two cuts: the next recording from its start.
    EXPECT_EQ(placeOf("2024-10-05 14:31:01"), std::pair(qsizetype(1), 0.0));
    EXPECT_EQ(placeOf("2024-10-05 14:31:45"), std::pair(qsizetype(1), 43.0));
    // Past the continuous file's end the event holds the seconds.
    EXPECT_EQ(placeOf("2024-10-05 14:31:55"), std::pair(qsizetype(2), 15.0));
    EXPECT_EQ(placeOf("2024-10-05 14:32:30"), std::pair(qsizetype(3), 28.0));
    EXPECT_EQ(placeOf("2024-10-05 14:29:59"), std::pair(qsizetype(-1), -1.0));
    EXPECT_EQ(placeOf("2024-10-05 14:33:02"), std::pair(qsizetype(-1), -1.0));

    // Played to its end, each recording hands on to where the drive goes on.
    const std::optional<DrivePlace> afterFirst = drive.placeAfter(0);
    ASSERT_TRUE(afterFirst);
    EXPECT_EQ(afterFirst->recording, 1);
    const std::optional<DrivePlace> afterSecond = drive.placeAfter(1);
    ASSERT_TRUE(afterSecond);
    EXPECT_EQ(afterSecond->recording, 2);
    EXPECT_DOUBLE_EQ(afterSecond->offset, 12);
    EXPECT_FALSE(drive.placeAfter(3));
    EXPECT_EQ(drive.momentOf(1, 43), at("2024-10-05 14:31:45"));

    // A span is cut into what plays it, as the drive plays on: a pause passed over, the event
    // played to its end past the continuous file's end, then the next continuous file from that
    // second; no second twice.
    const auto pieces = [&](const char *from, const char *to) {
        QList<std::tuple<qsizetype, double, double>> parts;
        for (const SpanPiece &piece : drive.piecesOf(at(from), at(to)))
            parts.append({piece.recording, piece.from, piece.to});
        return parts;
    };
    using Parts = QList<std::tuple<qsizetype, double, double>>;
    EXPECT_EQ(pieces("2024-10-05 14:30:50", "2024-10-05 14:31:10"),
              (Parts{{0, 50.0, 60.0}, {1, 0.0, 8.0}}));
    EXPECT_EQ(pieces("2024-10-05 14:31:50", "2024-10-05 14:32:20"),
              (Parts{{1, 48.0, 50.0}, {2, 12.0, 30.0}, {3, 8.0, 18.0}}));
    // From the pause: the span starts with the next recording, and is as long as it reaches.
    EXPECT_EQ(pieces("2024-10-05 14:31:01", "2024-10-05 14:31:05"), (Parts{{1, 0.0, 3.0}}));
    // Past the drive's end it stops there; before it, there is nothing to cut.
    EXPECT_EQ(pieces("2024-10-05 14:32:50", "2024-10-05 14:34:00"), (Parts{{3, 48.0, 60.0}}));
    EXPECT_EQ(pieces("2024-10-05 14:29:00", "2024-10-05 14:29:30"), Parts{});
}

} // namespace
} // namespace korvane
