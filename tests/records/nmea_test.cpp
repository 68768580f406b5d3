#include "computertimezone.h"
#include "records/nmea.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace korvane;

namespace {

const QString munich =
    QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A");

// "$" + body + "*" + its checksum, as a receiver writes it.
QString checked(const char *body)
{
    unsigned sum = 0;
    for (const char *c = body; *c; ++c)
        sum ^= static_cast<unsigned char>(*c);
    return QStringLiteral("$%1*%2").arg(QLatin1String(body)).arg(sum, 2, 16, QLatin1Char('0'));
}

} // namespace

TEST(DecodeRMC, ValidFixGivesSignedDegreesAndKmh)
{
    const auto fix = decodeRMC(munich);
    ASSERT_TRUE(fix.has_value());
    EXPECT_NEAR(fix->latitude, 48.1173, 1e-9);
    EXPECT_NEAR(fix->longitude, 11.516666666, 1e-8);
    EXPECT_NEAR(fix->speedKmh, 41.4848, 1e-9);
    EXPECT_EQ(fix->course, 84.4);
    EXPECT_EQ(fix->timeUTC, QLatin1String("123519"));
    EXPECT_EQ(fix->date, QLatin1String("230394"));
}

TEST(DecodeRMC, SouthAndWestAreNegative)
{
    const auto fix = decodeRMC(checked("GPRMC,123519,A,3352.128,S,15112.558,W,0.0,0.0,230394,,"));
    ASSERT_TRUE(fix.has_value());
    EXPECT_NEAR(fix->latitude, -33.8688, 1e-9);
    EXPECT_NEAR(fix->longitude, -151.2093, 1e-9);
}

TEST(DecodeRMC, NoFixNoRecordButStillATime)
{
    const QString noFix =
        checked("GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
    EXPECT_FALSE(decodeRMC(noFix).has_value());
    EXPECT_EQ(rmcTimestamp(noFix, false), QStringLiteral("2094-03-23 12:35:19"));
}

TEST(DecodeRMC, SentencesWithoutTenFieldsGiveNothing)
{
    EXPECT_FALSE(rmcTimestamp(checked("GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4"), false));
    EXPECT_FALSE(decodeRMC(checked("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4")));
}

// A car standing still sends no course: the date stays in its place, and there is no course.
TEST(DecodeRMC, EmptyFieldsKeepTheirPlace)
{
    const QString standing =
        checked("GPRMC,053012.00,A,3730.9780,N,12701.2180,E,000.0,,051024,,,A");
    const auto fix = decodeRMC(standing);
    ASSERT_TRUE(fix.has_value());
    EXPECT_EQ(fix->course, std::nullopt);
    EXPECT_EQ(fix->speedKmh, 0.0);
    EXPECT_EQ(fix->date, QLatin1String("051024"));
    EXPECT_NEAR(fix->latitude, 37.51630, 1e-5);
    EXPECT_EQ(rmcTimestamp(standing, false), QStringLiteral("2024-10-05 05:30:12"));

    const QString noDate = checked("GPRMC,053012.00,A,3730.9780,N,12701.2180,E,000.0,,,,,A");
    EXPECT_TRUE(decodeRMC(noDate).has_value());
    EXPECT_FALSE(rmcTimestamp(noDate, false).has_value()) << "no date, no time";
    EXPECT_FALSE(decodeRMC(checked("GPRMC,053012.00,,3730.9780,N,12701.2180,E,000.0,,051024")))
        << "an empty status is no valid fix";
}

TEST(DecodeRMC, UnreadableNumbersAreNoFix)
{
    EXPECT_FALSE(decodeRMC(checked("GPRMC,1,A,north,N,nan,E,inf,x,230394")));
    EXPECT_FALSE(decodeRMC(checked("GPRMC,123519,A,4807.038,N,01131.000,E,inf,084.4,230394")));
}

TEST(RmcTimestamp, FractionIsDroppedAndCenturyIs2000)
{
    EXPECT_EQ(rmcTimestamp(checked("GPRMC,123519.50,A,4807.038,N,01131.000,E,022.4,084.4,230394,"
                                   "003.1,W"),
                           false),
              QStringLiteral("2094-03-23 12:35:19"));
}

TEST(RmcTimestamp, ImpossibleDatesAndShortFieldsGiveNothing)
{
    const auto withDate = [](const char *time, const char *date) {
        return QStringLiteral("$GPRMC,%1,A,4807.038,N,01131.000,E,022.4,084.4,%2")
            .arg(QLatin1String(time), QLatin1String(date));
    };
    EXPECT_FALSE(rmcTimestamp(withDate("123519", "310224"), false).has_value()) << "31 February";
    EXPECT_FALSE(rmcTimestamp(withDate("123519", "230094"), false).has_value()) << "month 0";
    EXPECT_FALSE(rmcTimestamp(withDate("253519", "230394"), false).has_value()) << "hour 25";
    EXPECT_FALSE(rmcTimestamp(withDate("12351", "230394"), false).has_value());
    EXPECT_FALSE(rmcTimestamp(withDate("123519", "2303945"), false).has_value());
    EXPECT_FALSE(rmcTimestamp(withDate("12xx19", "290224"), false).has_value())
        << "an unreadable pair is no time";
    EXPECT_EQ(rmcTimestamp(withDate("120019", "290224"), false),
              QStringLiteral("2024-02-29 12:00:19"));
}

TEST(RmcTimestamp, LocalFlagUsesTheComputersTimeZone)
{
    {
        const korvane::test::ComputerTimeZone seoul("Asia/Seoul");
        EXPECT_EQ(rmcTimestamp(munich, true), QStringLiteral("2094-03-23 21:35:19"));
        EXPECT_EQ(rmcTimestamp(munich, false), QStringLiteral("2094-03-23 12:35:19"));
    }
    {
        const korvane::test::ComputerTimeZone newYork("America/New_York");
        EXPECT_EQ(rmcTimestamp(QStringLiteral("$GPRMC,033000,A,1,N,1,E,1,1,010124"), true),
                  QStringLiteral("2023-12-31 22:30:00"));
    }
}

TEST(ParseTimestamp, ReadsLocalTimeOnly)
{
    const korvane::test::ComputerTimeZone seoul("Asia/Seoul");
    const auto time = parseTimestamp(u"2024-01-31 13:05:09");
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
              QStringLiteral("2024-01-31 04:05:09"));
    EXPECT_FALSE(parseTimestamp(u"2024/01/31 13:05:09").has_value());
    EXPECT_FALSE(parseTimestamp(u"2024-01-31").has_value());
    EXPECT_FALSE(parseTimestamp(u"2024-02-30 13:05:09").has_value());
    EXPECT_FALSE(parseTimestamp(u"").has_value());
}

TEST(ParseTimestamp, RoundTripsTheLocalFixTime)
{
    const korvane::test::ComputerTimeZone berlin("Europe/Berlin");
    const auto text = rmcTimestamp(munich, true);
    ASSERT_TRUE(text.has_value());
    const auto time = parseTimestamp(*text);
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->toUTC(), QDateTime(QDate(2094, 3, 23), QTime(12, 35, 19), Qt::UTC));
}
