#include "nmea.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace korvane;

namespace {

const QString munich =
    QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A");

// Sets the computer's time zone for one test and puts the old one back.
class TimeZone
{
public:
    explicit TimeZone(const char *zone)
        : m_old(qgetenv("TZ")), m_hadOld(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZone()
    {
        if (m_hadOld)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_old;
    bool m_hadOld;
};

} // namespace

TEST(DecodeRMC, ValidFixGivesSignedDegreesAndKmh)
{
    const auto fix = decodeRMC(munich);
    ASSERT_TRUE(fix.has_value());
    EXPECT_NEAR(fix->latitude, 48.1173, 1e-9);
    EXPECT_NEAR(fix->longitude, 11.516666666, 1e-8);
    EXPECT_NEAR(fix->speedKmh, 41.4848, 1e-9);
    EXPECT_DOUBLE_EQ(fix->course, 84.4);
    EXPECT_EQ(fix->timeUTC, QLatin1String("123519"));
    EXPECT_EQ(fix->date, QLatin1String("230394"));
}

TEST(DecodeRMC, SouthAndWestAreNegative)
{
    const auto fix =
        decodeRMC(QStringLiteral("$GPRMC,123519,A,3352.128,S,15112.558,W,0.0,0.0,230394,,*00"));
    ASSERT_TRUE(fix.has_value());
    EXPECT_NEAR(fix->latitude, -33.8688, 1e-9);
    EXPECT_NEAR(fix->longitude, -151.2093, 1e-9);
}

TEST(DecodeRMC, NoFixNoRecordButStillATime)
{
    const QString noFix = QString(munich).replace(QStringLiteral(",A,"), QStringLiteral(",V,"));
    EXPECT_FALSE(decodeRMC(noFix).has_value());
    EXPECT_EQ(rmcTimestamp(noFix, false), QStringLiteral("2094-03-23 12:35:19"));
}

TEST(DecodeRMC, OnlyGprmcSentencesWithTenFieldsCount)
{
    EXPECT_FALSE(decodeRMC(QString(munich).replace(QStringLiteral("$GP"), QStringLiteral("$GN")))
                     .has_value());
    EXPECT_FALSE(rmcTimestamp(
        QStringLiteral("$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394"), false));
    EXPECT_FALSE(decodeRMC(QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4"))
                     .has_value());
}

// A car standing still sends no course: the date stays in its place.
TEST(DecodeRMC, EmptyFieldsKeepTheirPlace)
{
    const QString standing =
        QStringLiteral("$GPRMC,053012.00,A,3730.9780,N,12701.2180,E,000.0,,051024,,,A*57");
    const auto fix = decodeRMC(standing);
    ASSERT_TRUE(fix.has_value());
    EXPECT_EQ(fix->course, 0.0);
    EXPECT_EQ(fix->speedKmh, 0.0);
    EXPECT_EQ(fix->date, QLatin1String("051024"));
    EXPECT_NEAR(fix->latitude, 37.51630, 1e-5);
    EXPECT_EQ(rmcTimestamp(standing, false), QStringLiteral("2024-10-05 05:30:12"));

    const QString noDate = QString(standing).replace(QStringLiteral("051024"), QString());
    EXPECT_TRUE(decodeRMC(noDate).has_value());
    EXPECT_FALSE(rmcTimestamp(noDate, false).has_value()) << "no date, no time";
    EXPECT_FALSE(
        decodeRMC(QStringLiteral("$GPRMC,053012.00,,3730.9780,N,12701.2180,E,000.0,,051024"))
            .has_value())
        << "an empty status is no valid fix";
}

TEST(DecodeRMC, UnreadableNumbersCountAsZero)
{
    const auto fix = decodeRMC(QStringLiteral("$GPRMC,1,A,north,N,nan,E,inf,x,230394"));
    ASSERT_TRUE(fix.has_value());
    EXPECT_EQ(fix->latitude, 0.0);
    EXPECT_EQ(fix->longitude, 0.0);
    EXPECT_EQ(fix->speedKmh, 0.0);
    EXPECT_EQ(fix->course, 0.0);
}

TEST(RmcTimestamp, FractionIsDroppedAndCenturyIs2000)
{
    EXPECT_EQ(
        rmcTimestamp(QString(munich).replace(QStringLiteral("123519"), QStringLiteral("123519.50")),
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
    EXPECT_EQ(rmcTimestamp(withDate("12xx19", "290224"), false),
              QStringLiteral("2024-02-29 12:00:19"))
        << "an unreadable pair counts as 0";
}

TEST(RmcTimestamp, LocalFlagUsesTheComputersTimeZone)
{
    {
        const TimeZone seoul("Asia/Seoul");
        EXPECT_EQ(rmcTimestamp(munich, true), QStringLiteral("2094-03-23 21:35:19"));
        EXPECT_EQ(rmcTimestamp(munich, false), QStringLiteral("2094-03-23 12:35:19"));
    }
    {
        const TimeZone newYork("America/New_York");
        EXPECT_EQ(rmcTimestamp(QStringLiteral("$GPRMC,033000,A,1,N,1,E,1,1,010124"), true),
                  QStringLiteral("2023-12-31 22:30:00"));
    }
}

TEST(ParseTimestamp, ReadsLocalTimeOnly)
{
    const TimeZone seoul("Asia/Seoul");
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
    const TimeZone berlin("Europe/Berlin");
    const auto text = rmcTimestamp(munich, true);
    ASSERT_TRUE(text.has_value());
    const auto time = parseTimestamp(*text);
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->toUTC(), QDateTime(QDate(2094, 3, 23), QTime(12, 35, 19), Qt::UTC));
}
