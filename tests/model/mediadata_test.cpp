// The open recording's media data on the player's time axis: fixes one per second from the
// first at 0 to the last at the end, samples every 0.1 s, lookups, and the two text exports.
#include "computertimezone.h"
#include "records/gpxtrack.h"
#include "services/clipcaptions.h"
#include "services/mediadataviewmodel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvane;

namespace {

// A GPS record of the sentence "$" + body + "*" + its checksum.
QJsonObject gps(const QString &body)
{
    unsigned sum = 0;
    for (const QChar c : body)
        sum ^= c.unicode();
    return {{"type", "gps_info"},
            {"nmea", QStringLiteral("$%1*%2").arg(body).arg(sum, 2, 16, QLatin1Char('0'))}};
}

// A fix at 37.5 N, 127.0 E, `knots` fast, `seconds` after 2024-10-05 05:00:00 UTC.
QJsonObject fix(int seconds, double knots = 0, const QString &course = QStringLiteral("170.7"))
{
    const int h = 5 + seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    return gps(QString::asprintf("GPRMC,%02d%02d%02d.00,A,3730.0000,N,12700.0000,E,%.1f,", h, m, s,
                                 knots) +
               course + QStringLiteral(",051024,,,A"));
}

QJsonObject sample(int seconds, int x)
{
    return {{"type", "gsensor_info"},
            {"timestamp", QStringLiteral("2024-10-05 14:%1:%2")
                              .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'))},
            {"accel", QJsonObject{{"x", x}, {"y", -x}, {"z", 1}}}};
}

QString json(const QJsonArray &records)
{
    return QString::fromUtf8(QJsonDocument(records).toJson());
}

QJsonArray fixes(int count)
{
    QJsonArray records;
    for (int i = 0; i < count; ++i)
        records.append(fix(i, i));
    return records;
}

} // namespace

TEST(MediaData, SixtyFixesOnAMinuteLandOnWholeSecondsWithGaps)
{
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json(fixes(60)), 60.0), std::nullopt);
    const QList<GPSInfo> &placed = model.gpsEvents();
    ASSERT_EQ(placed.size(), 60);
    EXPECT_EQ(placed.first().elapse, 0.0);
    EXPECT_EQ(placed.last().elapse, 60.0) << "the last fix lands at the end";
    QList<double> seconds;
    for (const GPSInfo &f : placed)
        seconds << *f.elapse;
    EXPECT_TRUE(seconds.contains(29.0));
    EXPECT_FALSE(seconds.contains(30.0)) << "30 x 60/59 rounds to 31";
    EXPECT_TRUE(seconds.contains(31.0));
    EXPECT_NEAR(model.gpsAt(30.5)->data->speedKmh, 29 * 1.852, 1e-9) << "second 30 shows fix 29";
}

TEST(MediaData, TwoFixesOnOneSecondKeepTheEarlier)
{
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json(fixes(120)), 60.0), std::nullopt);
    ASSERT_EQ(model.gpsEvents().size(), 61);
    EXPECT_NEAR(model.gpsAt(1)->data->speedKmh, 1 * 1.852, 1e-9) << "fix 1, not fix 2";
    EXPECT_EQ(model.gpsAt(-1), std::nullopt);
    EXPECT_EQ(model.gpsAt(1e6)->elapse, 60.0) << "after the last fix, the last fix";
}

TEST(MediaData, OneFixFillsEverySecondWithJitter)
{
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json({fix(0, 10)}), 30.9), std::nullopt);
    const QList<GPSInfo> &placed = model.gpsEvents();
    ASSERT_EQ(placed.size(), 31);
    bool moved = false;
    for (int s = 0; s <= 30; ++s) {
        EXPECT_EQ(placed[s].elapse, double(s));
        EXPECT_LE(std::abs(placed[s].data->latitude - 37.5), 0.000002);
        EXPECT_LE(std::abs(placed[s].data->longitude - 127.0), 0.000002);
        moved = moved || placed[s].data->latitude != placed[0].data->latitude;
    }
    EXPECT_TRUE(moved) << "consecutive positions differ, so the map redraws";

    for (const double duration : {std::nan(""), -5.0, double(INFINITY)}) {
        ASSERT_EQ(model.load(json({fix(0)}), duration), std::nullopt);
        EXPECT_EQ(model.gpsEvents().size(), 1) << duration << " counts as 0";
    }
}

// A car that stands still sends no course; its fixes still keep their own time.
TEST(MediaData, AStandingCarKeepsItsGpsClock)
{
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json({fix(0, 0, {}), fix(10, 0, {})}), 10.0), std::nullopt);
    ASSERT_EQ(model.gpsEvents().size(), 2);
    EXPECT_EQ(model.gpsEvents().last().elapse, 10.0);
    EXPECT_EQ(model.gpsEvents().first().data->latitude, 37.5) << "no jitter: two real fixes";
}

TEST(MediaData, GSensorIsResampledEveryTenthOfASecond)
{
    QJsonArray records{fix(0), fix(59)};
    for (int s = 0; s <= 59; ++s)
        records.append(sample(s, s));
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json(records), 60.0), std::nullopt);
    const QList<GSensorInfo> &samples = model.gSensorEvents();
    ASSERT_EQ(samples.size(), 601);
    EXPECT_EQ(samples.last().elapse, 60.0) << "600 x 0.1 is 60 exactly";
    for (int i = 0; i <= 600; ++i) {
        const double source = i * 0.1 * 59 / 60;
        EXPECT_EQ(samples[i].accel.x, static_cast<int>(std::floor(source + 1e-9))) << i;
    }
    EXPECT_EQ(model.gSensorAt(30.05)->elapse, 30.0);
}

TEST(MediaData, WithoutGpsTheSeriesKeepTheirOwnClockAndTheStampStays)
{
    MediaDataViewModel model;
    model.reset();
    const double stamp = model.id();
    ASSERT_EQ(model.load(json({sample(0, 1), sample(5, 2)}), 60.0), std::nullopt);
    ASSERT_EQ(model.gSensorEvents().size(), 2);
    EXPECT_EQ(model.gSensorEvents().last().elapse, 5.0);
    EXPECT_EQ(model.id(), stamp);
}

TEST(MediaData, AFailedLoadChangesNothingAndAResetClearsTheSeries)
{
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json(fixes(3)), 2.0), std::nullopt);
    QSignalSpy stamped(&model, &MediaDataViewModel::idChanged);
    EXPECT_NE(model.load(QStringLiteral("[{\"error\": \"Cannot read file\"}]"), 2.0), std::nullopt);
    EXPECT_NE(model.load(QStringLiteral("[{\"type\": \"gps_info\"") + QChar(0xd800), 2.0),
              std::nullopt)
        << "a lone surrogate is no UTF-8";
    EXPECT_EQ(model.gpsEvents().size(), 3);
    EXPECT_EQ(stamped.count(), 0);
    model.reset();
    EXPECT_TRUE(model.gpsEvents().isEmpty());
    EXPECT_EQ(model.events().size(), 3) << "the records stay until the next load";
    EXPECT_EQ(stamped.count(), 1);
}

TEST(MediaData, ExportLines)
{
    QJsonArray records{fix(0, 42.9 / 1.852), fix(5, 42.9 / 1.852)};
    records.append(sample(0, -7));
    records.append(sample(5, 12));
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json(records), 75.0), std::nullopt);
    EXPECT_TRUE(model.locationText().startsWith(
        "[00:00] lat: 37.500000,  lng: 127.000000,  speed:  42 km\n"));
    EXPECT_TRUE(model.locationText().endsWith("[00:75] lat: 37.500000,  lng: 127.000000,  "
                                              "speed:  42 km\n"))
        << model.locationText().toStdString();
    EXPECT_TRUE(model.gSensorText().startsWith("[00:00.000]  x:  -7,  y:   7,  z:   1\n"
                                               "[00:00.100]  x:  -7,"));
}

namespace {

// A receiver's sentence at a UTC instant, "A" with a fix or "V" without, the position moving
// north by one minute of arc a second so every fix is told apart.
QJsonObject rmcAt(const QDateTime &utc, int step, const char *status = "A")
{
    return gps(QStringLiteral("GNRMC,%1.00,%2,%3,N,12700.0000,E,10.0,0.0,%4,,,%5")
                   .arg(utc.toString(QStringLiteral("HHmmss")), QLatin1String(status))
                   .arg(3700.0 + step, 0, 'f', 4)
                   .arg(utc.toString(QStringLiteral("ddMMyy")))
                   .arg(QLatin1String(*status == 'A' ? "A" : "N")));
}

// The latitude a fix of `rmcAt` has at `step`, decoded here by hand: 37° and `step` minutes.
double latitudeOf(int step)
{
    return 37 + step / 60.0;
}

// Placed fixes with data, as (player second, step) pairs.
QList<std::pair<int, int>> placedSteps(const MediaDataViewModel &model)
{
    QList<std::pair<int, int>> steps;
    for (const GPSInfo &f : model.gpsEvents()) {
        if (f.data)
            steps.append({static_cast<int>(*f.elapse),
                          static_cast<int>(std::lround((f.data->latitude - 37) * 60))});
    }
    return steps;
}

} // namespace

// The first seconds after power-on carry no time at all; the fixes after them still land where
// they were recorded, each by its own time.
TEST(GpsClock, AColdStartHidesNoLaterFix)
{
    const QDateTime start(QDate(2024, 10, 5), QTime(5, 30, 0), QTimeZone::utc());
    QJsonArray records;
    for (int i = 0; i < 3; ++i)
        records.append(gps(QStringLiteral("GPRMC,,V,,,,,,,,,,N")));
    for (int i = 3; i < 60; ++i)
        records.append(rmcAt(start.addSecs(i), i));
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json(records), 59.0), std::nullopt);
    const QList<std::pair<int, int>> placed = placedSteps(model);
    ASSERT_EQ(placed.size(), 57) << "every fix has a second of its own";
    for (const auto &[second, step] : placed)
        EXPECT_EQ(second, step) << "the fix of second " << step;
    EXPECT_EQ(model.gpsAt(2), std::nullopt) << "no fix before the receiver had one";
    EXPECT_NEAR(model.gpsAt(30.5)->data->latitude, latitudeOf(30), 1e-9);
    EXPECT_EQ(model.gpsAt(30.5)->timestamp.has_value(), true);
    // A captioned clip of those seconds shows the fixes' own time, speed and place.
    const QList<CaptionLine> captions =
        clipCaptions(model.gpsEvents(), QStringLiteral("N_20241005_143000.mp4"), 10, 12);
    ASSERT_EQ(captions.size(), 2);
    EXPECT_TRUE(captions.first().text.startsWith(QStringLiteral("2024-10-05 14:30:10  19 km/h")))
        << captions.first().text.toStdString();
}

// A receiver that starts on a stale clock, or one hours off, and then sets it: the run goes on
// instead of every fix being squeezed into one second.
TEST(GpsClock, AJumpOfTheReceiversClockStartsANewRun)
{
    const QDateTime right(QDate(2024, 10, 5), QTime(5, 30, 0), QTimeZone::utc());
    for (const QDateTime &stale : {QDateTime(QDate(2008, 1, 1), QTime(0, 0), QTimeZone::utc()),
                                   QDateTime(QDate(2080, 1, 5), QTime(0, 0), QTimeZone::utc()),
                                   right.addSecs(-13 * 3600), right.addSecs(13 * 3600)}) {
        QJsonArray records;
        for (int i = 0; i < 10; ++i)
            records.append(rmcAt(stale.addSecs(i), i, "V"));
        for (int i = 10; i < 60; ++i)
            records.append(rmcAt(right.addSecs(i), i));
        MediaDataViewModel model;
        ASSERT_EQ(model.load(json(records), 59.0), std::nullopt);
        const QList<std::pair<int, int>> placed = placedSteps(model);
        ASSERT_EQ(placed.size(), 50) << stale.toString(Qt::ISODate).toStdString();
        for (const auto &[second, step] : placed)
            EXPECT_EQ(second, step) << stale.toString(Qt::ISODate).toStdString();
    }
}

// Clocks go back and forward inside a recording: the fixes keep their order and spacing, and
// show the computer's local time on both sides of the change.
TEST(GpsClock, AClockChangeInsideARecordingMovesNothing)
{
    struct Change
    {
        const char *zone;
        QDateTime utc; // the instant of the change
        const char *before;
        const char *after;
    };
    const Change changes[] = {
        {"Europe/Berlin", QDateTime(QDate(2024, 10, 27), QTime(1, 0), QTimeZone::utc()),
         "2024-10-27 02:59:55", "2024-10-27 02:00:05"},
        {"Europe/Berlin", QDateTime(QDate(2024, 3, 31), QTime(1, 0), QTimeZone::utc()),
         "2024-03-31 01:59:55", "2024-03-31 03:00:05"},
        {"America/New_York", QDateTime(QDate(2024, 11, 3), QTime(6, 0), QTimeZone::utc()),
         "2024-11-03 01:59:55", "2024-11-03 01:00:05"},
        {"America/New_York", QDateTime(QDate(2024, 3, 10), QTime(7, 0), QTimeZone::utc()),
         "2024-03-10 01:59:55", "2024-03-10 03:00:05"},
    };
    for (const Change &change : changes) {
        const korvane::test::ComputerTimeZone zone(change.zone);
        QJsonArray records;
        for (int i = 0; i <= 10; ++i)
            records.append(rmcAt(change.utc.addSecs(i - 5), i));
        MediaDataViewModel model;
        ASSERT_EQ(model.load(json(records), 10.0), std::nullopt);
        const QList<std::pair<int, int>> placed = placedSteps(model);
        ASSERT_EQ(placed.size(), 11) << change.zone;
        for (const auto &[second, step] : placed)
            EXPECT_EQ(second, step) << change.zone;
        EXPECT_EQ(model.gpsEvents().first().timestamp, QLatin1String(change.before));
        EXPECT_EQ(model.gpsEvents().last().timestamp, QLatin1String(change.after));
    }
}

// Whatever the receiver sent, the map, the speed readout and the route saved as GPX show the
// same fixes in the same order.
TEST(GpsClock, TheViewerAndTheRouteAgreeFixByFix)
{
    const QDateTime start(QDate(2024, 10, 5), QTime(5, 30, 0), QTimeZone::utc());
    QJsonArray records{gps(QStringLiteral("GPRMC,,V,,,,,,,,,,N"))};
    MediaRecords asRecorded{records.first().toObject()};
    for (int i = 1; i < 30; ++i) {
        QJsonObject record = rmcAt(start.addSecs(i), i, i % 7 == 0 ? "V" : "A");
        if (i % 11 == 0) // one digit of the checksum changed: no fix
            record["nmea"] =
                record["nmea"].toString().replace(QStringLiteral("10.0"), QStringLiteral("11.0"));
        records.append(record);
        asRecorded.append(record);
    }
    MediaDataViewModel model;
    ASSERT_EQ(model.load(json(records), 29.0), std::nullopt);
    QList<double> shown;
    for (const GPSInfo &f : model.gpsEvents()) {
        if (f.data)
            shown.append(f.data->latitude);
    }
    QList<double> routed;
    QXmlStreamReader gpx(gpxTrack(asRecorded, QStringLiteral("route")));
    while (gpx.readNextStartElement() || !gpx.atEnd()) {
        if (gpx.isStartElement() && gpx.name() == u"trkpt")
            routed.append(gpx.attributes().value(QStringLiteral("lat")).toDouble());
    }
    ASSERT_EQ(shown.size(), routed.size());
    for (qsizetype k = 0; k < shown.size(); ++k)
        EXPECT_NEAR(shown[k], routed[k], 1e-6) << k;
    EXPECT_EQ(shown.size(), 29 - 4 - 2) << "4 without a fix, 2 with a wrong checksum";
}
