// RMC sentences from real receivers of every satellite system, decoded by the product and by a
// small decoder written here from the NMEA 0183 field layout alone, and the GPX track they give.

#include "computertimezone.h"
#include "records/gpxtrack.h"
#include "records/nmea.h"

#include <QDateTime>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>

using namespace korvane;

namespace {

// ---------------------------------------------------------------------------------------------
// Building sentences

// The XOR of every character between "$" and "*", as the receiver computes it.
int xorChecksum(QStringView body)
{
    int sum = 0;
    for (const QChar c : body)
        sum ^= c.unicode();
    return sum;
}

QString hexByte(int value)
{
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// "$" + body + "*hh" with the checksum a receiver would append.
QString rmc(const char *body)
{
    const QString text = QLatin1String(body);
    return QLatin1Char('$') + text + QLatin1Char('*') + hexByte(xorChecksum(text));
}

// The same sentence with its checksum replaced by `tail` (which may be anything after the "*").
QString withTail(const QString &sentence, const QString &tail)
{
    return sentence.left(sentence.lastIndexOf(QLatin1Char('*')) + 1) + tail;
}

// ---------------------------------------------------------------------------------------------
// The reference decoder

struct Reading
{
    std::optional<GPRMC> fix;
    std::optional<QDateTime> time; // UTC
};

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

int hexDigit(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    return -1;
}

int twoDigits(QStringView text, qsizetype at)
{
    return (text[at].unicode() - '0') * 10 + (text[at + 1].unicode() - '0');
}

// Digits, optionally followed by a point and more digits: what receivers write. A sign, an
// exponent, "nan" or "inf" is no reading a receiver gives, so it is no number here either.
std::optional<double> plainNumber(QStringView text)
{
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    if (!allDigits(point < 0 ? text : text.left(point)))
        return std::nullopt;
    if (point >= 0 && !allDigits(text.mid(point + 1)))
        return std::nullopt;
    bool ok = false;
    const double value = text.toString().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

// "ddmm.mmmm" / "dddmm.mmmm": the last two digits before the point and the fraction are minutes,
// the digits before them degrees. Split on the text so that no rounding decides a range check.
std::optional<double> coordinate(QStringView value, QStringView hemisphere, char positive,
                                 char negative, double limit)
{
    if (hemisphere != QLatin1String(&positive, 1) && hemisphere != QLatin1String(&negative, 1))
        return std::nullopt;
    if (!plainNumber(value))
        return std::nullopt;
    const qsizetype point = value.indexOf(QLatin1Char('.'));
    const QStringView whole = point < 0 ? value : value.left(point);
    const qsizetype degreeDigits = whole.size() > 2 ? whole.size() - 2 : 0;
    const double degrees = degreeDigits > 0 ? whole.left(degreeDigits).toString().toDouble() : 0;
    const double minutes = value.mid(degreeDigits).toString().toDouble();
    if (minutes >= 60)
        return std::nullopt;
    const double result = degrees + minutes / 60;
    if (result > limit)
        return std::nullopt;
    return hemisphere == QLatin1String(&negative, 1) ? -result : result;
}

std::optional<QDateTime> fixTime(QStringView time, QStringView date)
{
    // "hhmmss" with an optional fraction of digits after a point, which the time ignores.
    const qsizetype point = time.indexOf(QLatin1Char('.'));
    const QStringView whole = point < 0 ? time : time.left(point);
    if (whole.size() != 6 || !allDigits(whole))
        return std::nullopt;
    if (point >= 0 && !allDigits(time.mid(point + 1)))
        return std::nullopt;
    if (date.size() != 6 || !allDigits(date))
        return std::nullopt;
    const QTime clock(twoDigits(whole, 0), twoDigits(whole, 2), twoDigits(whole, 4));
    const QDate day(2000 + twoDigits(date, 4), twoDigits(date, 2), twoDigits(date, 0));
    if (!clock.isValid() || !day.isValid())
        return std::nullopt;
    return QDateTime(day, clock, Qt::UTC);
}

const QStringList satelliteTalkers = {
    QStringLiteral("GP"), QStringLiteral("GN"), QStringLiteral("GL"), QStringLiteral("GA"),
    QStringLiteral("GB"), QStringLiteral("BD"), QStringLiteral("GQ"), QStringLiteral("GI"),
};

Reading reference(const QString &sentence)
{
    Reading reading;
    if (!sentence.startsWith(QLatin1Char('$')))
        return reading;
    QString body = sentence.mid(1);
    const qsizetype star = body.indexOf(QLatin1Char('*'));
    if (star >= 0) {
        const QString given = body.mid(star + 1);
        body.truncate(star);
        if (given.size() != 2 || hexDigit(given[0]) < 0 || hexDigit(given[1]) < 0)
            return reading;
        if (hexDigit(given[0]) * 16 + hexDigit(given[1]) != xorChecksum(body))
            return reading;
    }
    const QStringList f = body.split(QLatin1Char(','));
    if (f.size() < 10 || f[0].size() != 5 || !satelliteTalkers.contains(f[0].left(2)) ||
        f[0].mid(2) != QLatin1String("RMC"))
        return reading;

    reading.time = fixTime(f[1], f[9]);

    if (f[2] != QLatin1String("A"))
        return reading;
    if (f.size() > 12 && f[12] == QLatin1String("N"))
        return reading;
    const auto latitude = coordinate(f[3], f[4], 'N', 'S', 90);
    const auto longitude = coordinate(f[5], f[6], 'E', 'W', 180);
    if (!latitude || !longitude)
        return reading;
    double knots = 0;
    if (!f[7].isEmpty()) {
        const auto speed = plainNumber(f[7]);
        if (!speed)
            return reading;
        knots = *speed;
    }
    std::optional<double> course;
    if (!f[8].isEmpty()) {
        course = plainNumber(f[8]);
        if (!course || *course > 360)
            return reading;
        if (*course == 360)
            course = 0.0;
    }
    GPRMC fix;
    fix.timeUTC = f[1];
    fix.date = f[9];
    fix.latitude = *latitude;
    fix.longitude = *longitude;
    fix.speedKmh = knots * 1.852;
    fix.course = course;
    reading.fix = fix;
    return reading;
}

// ---------------------------------------------------------------------------------------------
// The sentences

// Fixes as receivers write them: every satellite system, NMEA 2.3 mode indicators and NMEA 4.1
// navigational status, fractions of seconds, standing still, all four quarters of the globe, the
// date line and the poles.
QStringList fixSentences()
{
    return {
        // Written by receivers, checksums as they sent them.
        QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"),
        QStringLiteral("$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68"),
        QStringLiteral("$GPRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A*57"),
        rmc("GNRMC,072446.00,A,3130.5266,N,12024.0808,E,0.027,,250220,,,A,V"),
        rmc("GLRMC,101530.000,A,5545.1237,N,03737.0368,E,15.32,271.40,150321,,,A"),
        rmc("GARMC,140012.00,A,5222.7650,N,00454.2870,E,33.10,182.6,010622,,,D"),
        rmc("GBRMC,031545.000,A,3954.4320,N,11623.4120,E,21.6,95.3,180823,,,A"),
        rmc("BDRMC,051230.00,A,2232.1530,N,11403.8470,E,8.4,10.0,020419,,,A"),
        rmc("GQRMC,000001.00,A,3541.2010,N,13945.9180,E,0.00,,010125,,,A"),
        rmc("GIRMC,063015.00,A,1858.2100,N,07249.5600,E,12.0,45.0,260124,,,A,V"),
        rmc("GPRMC,230000.000,A,3351.9720,S,15112.4620,E,45.2,358.9,311223,12.6,E,D"),
        rmc("GNRMC,151045.50,A,2254.4380,S,04310.4560,W,18.25,123.45,290224,,,A"),
        rmc("GPRMC,181530,A,4042.7680,N,07400.3600,W,30.0,0.0,040723,13.1,W"),
        rmc("GNRMC,220101.00,A,1808.4200,S,17959.9990,E,5.5,90.0,311299,,,A,V"),
        rmc("GPRMC,120000,A,5130.0000,N,17959.9990,W,5.5,270.0,150615,,"),
        rmc("GNRMC,093000.00,A,1630.0000,S,18000.0000,E,3.2,88.0,050516,,,A,V"),
        rmc("GPRMC,093001,A,6500.0000,N,18000.0000,W,3.2,268.0,050516,,,A"),
        rmc("GNRMC,120000.00,A,8959.9999,N,01500.0000,E,2.0,180.0,210621,,,A,V"),
        rmc("GNRMC,120500.00,A,9000.0000,N,00000.0000,E,0.0,,210621,,,A,V"),
        rmc("GPRMC,080000,A,9000.0000,S,13900.0000,E,0.5,,010112,,,A"),
        rmc("GPRMC,000000,A,0000.0000,N,00000.0000,E,0.0,0.0,010100,,,A"),
        rmc("GNRMC,101010.00,A,4807.0380,N,01131.0000,E,10.0,360.0,230394,,,A"),
        rmc("GPRMC,101011,A,4807.0380,N,01131.0000,E,10.0,360,230394,,"),
        rmc("GPRMC,101012,A,4807.0380,N,01131.0000,E,,,230394,,"),
        // Lower-case hex and no checksum at all.
        QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a"),
        QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        // A fix whose time cannot be read is still a position.
        rmc("GPRMC,123521,A,3352.128,S,15112.558,W,0.0,0.0,320394,,"),
        rmc("GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,2208-1,,,A"),
        rmc("GNRMC,12-000,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GPRMC,,A,4807.038,N,01131.000,E,022.4,084.4,,,"),
        rmc("GNRMC,235959.999,A,3730.9780,N,12701.2180,E,0.12,,311224,,,A,V"),
        rmc("GNRMC,082016.00,A,3723.2475,N,12158.3416,W,0.02,,120524,,,R,V"),
        rmc("GNRMC,082017.00,A,3723.2476,N,12158.3415,W,0.03,,120524,,,F,V"),
        rmc("GPRMC,155512.000,A,5130.4766,N,00007.6531,W,27.40,359.99,290200,,,D"),
        rmc("GNRMC,120000.00,A,5959.9999,N,17959.9999,E,99.9,0.01,280223,,,A"),
        // High-precision output, a hair short of the date line and the pole.
        rmc("GNRMC,235500.00,A,1650.1234567,S,17959.9999990,E,0.010,,010324,,,A,V"),
        rmc("GNRMC,235501.00,A,8959.9999990,N,17959.9999990,W,0.010,,010324,,,A,V"),
    };
}

// RMC sentences of a known talker with a sound checksum that carry no usable fix.
QStringList noFixSentences()
{
    return {
        // The receiver says it has none.
        rmc("GPRMC,235959,V,,,,,,,311299,,,N"),
        rmc("GNRMC,123519.00,V,4807.038,N,01131.000,E,022.4,084.4,230394,,,E"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,N"),
        rmc("GPRMC,123519,,4807.038,N,01131.000,E,022.4,084.4,230394,,"),
        rmc("GPRMC,123519,a,4807.038,N,01131.000,E,022.4,084.4,230394,,"),
        // Position fields that are empty or name no hemisphere.
        rmc("GNRMC,123519.00,A,,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,,,,,0.0,,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,n,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,w,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,E,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,S,022.4,084.4,230394,,,A"),
        // Out of range.
        rmc("GNRMC,123519.00,A,4860.000,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01160.500,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4899.000,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,9000.0001,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,9100.0000,S,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,18000.0001,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,18100.0000,W,022.4,084.4,230394,,,A"),
        // Position fields that are no plain number.
        rmc("GNRMC,123519.00,A,-4807.038,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,+4807.038,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,-01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4.807038E3,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,1131e0,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,north,N,01131.000,E,022.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,011.31.000,E,022.4,084.4,230394,,,A"),
        // Speed and course that are no plain number, or a course past the full circle.
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,-1.5,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,+22.4,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,2.24e1,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,nan,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,inf,084.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,-84.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,+84.4,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,361.0,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,360.01,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,8.44e1,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,nan,230394,,,A"),
        rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,0x54,230394,,,A"),
    };
}

// Receivers without a fix still send their clock; these test what makes a time.
QStringList clockSentences()
{
    return {
        rmc("GPRMC,240000,V,,,,,,,010124,,,N"),   rmc("GPRMC,126000,V,,,,,,,010124,,,N"),
        rmc("GPRMC,123560,V,,,,,,,010124,,,N"),   rmc("GPRMC,123519,V,,,,,,,290223,,,N"),
        rmc("GPRMC,123519,V,,,,,,,011394,,,N"),   rmc("GPRMC,123519,V,,,,,,,000394,,,N"),
        rmc("GPRMC,123519,V,,,,,,,2303945,,,N"),  rmc("GPRMC,12351,V,,,,,,,230394,,,N"),
        rmc("GPRMC,12:35:19,V,,,,,,,230394,,,N"), rmc("GPRMC,123519.-5,V,,,,,,,230394,,,N"),
        rmc("GPRMC,+12351,V,,,,,,,230394,,,N"),   rmc("GPRMC,123519,V,,,,,,, 30394,,,N"),
        rmc("GPRMC,123519,V,,,,,,,-30394,,,N"),   rmc("GPRMC,030000.25,V,,,,,,,290200,,,N"),
    };
}

// A sentence whose checksum is below 16, so that one hex digit, a sign or a space before it
// would still read as the right value to a lax number parser.
QString smallChecksumSentence()
{
    return rmc("GNRMC,123519,A,4807.038,N,01131.000,E,12.5,84.4,230394,,");
}

QStringList badChecksumSentences()
{
    const QString classic =
        QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A");
    const QString small = smallChecksumSentence();
    const QString sum =
        QString::number(xorChecksum(small.mid(1, small.indexOf(QLatin1Char('*')) - 1)), 16);
    QString corrupted = rmc("GLRMC,101530.000,A,5545.1237,N,03737.0368,E,15.32,271.40,150321,,,A");
    corrupted.replace(QStringLiteral("5545.1237"), QStringLiteral("5545.1287"));
    return {
        withTail(classic, QStringLiteral("6B")),     withTail(classic, QStringLiteral("7A")),
        withTail(classic, QStringLiteral("A6")),     withTail(classic, QStringLiteral("6")),
        withTail(classic, QStringLiteral("6A0")),    withTail(classic, QString()),
        withTail(classic, QStringLiteral("GZ")),     withTail(small, sum),
        withTail(small, QLatin1Char('+') + sum),     withTail(small, QLatin1Char(' ') + sum),
        withTail(small, QStringLiteral("00") + sum), corrupted,
    };
}

// Sound sentences that are no RMC of a satellite receiver. ZDA carries a time and date too.
QStringList otherSentences()
{
    return {
        QStringLiteral("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"),
        QStringLiteral("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48"),
        rmc("GNGLL,4807.038,N,01131.000,E,123519,A,A"),
        rmc("GPZDA,123519.00,23,03,2094,00,00"),
        rmc("IIRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        rmc("XXRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        rmc("GXRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        rmc("PGRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        rmc("gprmc,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
    };
}

QStringList allSentences()
{
    return fixSentences() + noFixSentences() + clockSentences() + badChecksumSentences() +
           otherSentences();
}

// ---------------------------------------------------------------------------------------------
// Comparing

void expectSameFix(const std::optional<GPRMC> &product, const std::optional<GPRMC> &expected)
{
    ASSERT_EQ(product.has_value(), expected.has_value());
    if (!expected)
        return;
    EXPECT_NEAR(product->latitude, expected->latitude, 1e-9);
    EXPECT_NEAR(product->longitude, expected->longitude, 1e-9);
    EXPECT_NEAR(product->speedKmh, expected->speedKmh, 1e-9);
    ASSERT_EQ(product->course.has_value(), expected->course.has_value());
    if (expected->course) {
        EXPECT_NEAR(*product->course, *expected->course, 1e-9);
    }
    EXPECT_EQ(product->timeUTC, expected->timeUTC);
    EXPECT_EQ(product->date, expected->date);
}

void expectSameTime(const QString &sentence, const std::optional<QDateTime> &expected)
{
    const auto time = rmcTime(sentence);
    ASSERT_EQ(time.has_value(), expected.has_value());
    ASSERT_EQ(rmcTimestamp(sentence, false).has_value(), expected.has_value());
    ASSERT_EQ(rmcTimestamp(sentence, true).has_value(), expected.has_value());
    if (!expected)
        return;
    EXPECT_EQ(time->toUTC(), *expected);
    EXPECT_EQ(time->offsetFromUtc(), 0) << "the fix time is in UTC";
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(*rmcTimestamp(sentence, false), expected->toString(format));
    EXPECT_EQ(*rmcTimestamp(sentence, true), expected->toLocalTime().toString(format));
}

// ---------------------------------------------------------------------------------------------
// Reading GPX back

QJsonObject gpsRecord(const QString &sentence)
{
    return {{QStringLiteral("type"), QStringLiteral("gps_info")},
            {QStringLiteral("nmea"), sentence}};
}

MediaRecords trackOf(const QStringList &sentences)
{
    MediaRecords records;
    for (const QString &sentence : sentences)
        records.append(gpsRecord(sentence));
    return records;
}

struct TrackPoint
{
    std::optional<double> lat;
    std::optional<double> lon;
    QStringList times;
    QStringList speeds;
    QStringList courses;
    bool inSegment = false;
};

struct Gpx
{
    QString error;
    QString rootName;
    QString rootNamespace;
    QString version;
    QStringList trackNames;
    QList<TrackPoint> points;
};

std::optional<double> number(QStringView text)
{
    bool ok = false;
    const double value = text.toString().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

Gpx readGpx(const QByteArray &document)
{
    Gpx gpx;
    QXmlStreamReader xml(document);
    QStringList open; // names of the elements we are inside
    qsizetype pointDepth = -1;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            open.removeLast();
            if (open.size() <= pointDepth)
                pointDepth = -1;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        if (open.isEmpty()) {
            gpx.rootName = name;
            gpx.rootNamespace = xml.namespaceUri().toString();
            gpx.version = xml.attributes().value(QLatin1String("version")).toString();
        }
        if (name == QLatin1String("trkpt")) {
            TrackPoint point;
            point.lat = number(xml.attributes().value(QLatin1String("lat")));
            point.lon = number(xml.attributes().value(QLatin1String("lon")));
            point.inSegment = !open.isEmpty() && open.last() == QLatin1String("trkseg");
            gpx.points.append(point);
            pointDepth = open.size();
        } else if (pointDepth >= 0 &&
                   (name == QLatin1String("time") || name == QLatin1String("speed") ||
                    name == QLatin1String("course"))) {
            const QString text = xml.readElementText();
            if (name == QLatin1String("time"))
                gpx.points.last().times.append(text);
            else if (name == QLatin1String("speed"))
                gpx.points.last().speeds.append(text);
            else
                gpx.points.last().courses.append(text);
            continue; // readElementText consumed the end element
        } else if (name == QLatin1String("name") && !open.isEmpty() &&
                   open.last() == QLatin1String("trk")) {
            gpx.trackNames.append(xml.readElementText());
            continue;
        }
        open.append(name);
    }
    if (xml.hasError())
        gpx.error = xml.errorString() + QStringLiteral(" at line %1").arg(xml.lineNumber());
    return gpx;
}

// How far apart two angles are, the short way round the circle.
double angleBetween(double a, double b)
{
    const double d = std::fmod(std::abs(a - b), 360.0);
    return d > 180 ? 360 - d : d;
}

// A character XML 1.0 allows in a document.
bool xmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The reference itself, against receivers' checksums and values worked out by hand

TEST(GpsReference, ChecksumsMatchThoseReceiversSent)
{
    EXPECT_EQ(
        rmc("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        QLatin1String("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"));
    EXPECT_EQ(rmc("GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"),
              QLatin1String("$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68"));
    EXPECT_EQ(rmc("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
              QLatin1String("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"));
    const QString small = smallChecksumSentence();
    EXPECT_LT(xorChecksum(small.mid(1, small.indexOf(QLatin1Char('*')) - 1)), 16)
        << "the lax-parser cases need a checksum of one hex digit";
}

TEST(GpsReference, HandWorkedFixesDecodeAsExpected)
{
    struct Expected
    {
        QString sentence;
        double latitude;
        double longitude;
        double speedKmh;
        std::optional<double> course;
        const char *utc; // nullptr: no time
    };
    const QList<Expected> cases = {
        {QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"),
         48 + 7.038 / 60, 11 + 31.0 / 60, 22.4 * 1.852, 84.4, "2094-03-23 12:35:19"},
        {QStringLiteral("$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68"),
         49 + 16.45 / 60, -(123 + 11.12 / 60), 0.926, 54.7, "2094-11-19 22:54:46"},
        {QStringLiteral("$GPRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A*57"),
         47 + 17.11437 / 60, 8 + 33.91522 / 60, 0.007408, 77.52, "2002-12-09 08:35:59"},
        {rmc("GPRMC,230000.000,A,3351.9720,S,15112.4620,E,45.2,358.9,311223,12.6,E,D"), -33.8662,
         151.2077, 83.7104, 358.9, "2023-12-31 23:00:00"},
        {rmc("GNRMC,151045.50,A,2254.4380,S,04310.4560,W,18.25,123.45,290224,,,A"), -22.9073,
         -(43 + 10.456 / 60), 33.799, 123.45, "2024-02-29 15:10:45"},
        {rmc("GPRMC,181530,A,4042.7680,N,07400.3600,W,30.0,0.0,040723,13.1,W"), 40.7128, -74.006,
         55.56, 0.0, "2023-07-04 18:15:30"},
        {rmc("GNRMC,072446.00,A,3130.5266,N,12024.0808,E,0.027,,250220,,,A,V"), 31 + 30.5266 / 60,
         120 + 24.0808 / 60, 0.050004, std::nullopt, "2020-02-25 07:24:46"},
        {rmc("GNRMC,220101.00,A,1808.4200,S,17959.9990,E,5.5,90.0,311299,,,A,V"), -(18 + 8.42 / 60),
         179 + 59.999 / 60, 10.186, 90.0, "2099-12-31 22:01:01"},
        {rmc("GNRMC,093000.00,A,1630.0000,S,18000.0000,E,3.2,88.0,050516,,,A,V"), -16.5, 180,
         5.9264, 88.0, "2016-05-05 09:30:00"},
        {rmc("GPRMC,093001,A,6500.0000,N,18000.0000,W,3.2,268.0,050516,,,A"), 65, -180, 5.9264,
         268.0, "2016-05-05 09:30:01"},
        {rmc("GNRMC,120500.00,A,9000.0000,N,00000.0000,E,0.0,,210621,,,A,V"), 90, 0, 0,
         std::nullopt, "2021-06-21 12:05:00"},
        {rmc("GPRMC,080000,A,9000.0000,S,13900.0000,E,0.5,,010112,,,A"), -90, 139, 0.926,
         std::nullopt, "2012-01-01 08:00:00"},
        {rmc("GNRMC,101010.00,A,4807.0380,N,01131.0000,E,10.0,360.0,230394,,,A"), 48.1173,
         11 + 31.0 / 60, 18.52, 0.0, "2094-03-23 10:10:10"},
        {rmc("GPRMC,101012,A,4807.0380,N,01131.0000,E,,,230394,,"), 48.1173, 11 + 31.0 / 60, 0,
         std::nullopt, "2094-03-23 10:10:12"},
        {rmc("GNRMC,235959.999,A,3730.9780,N,12701.2180,E,0.12,,311224,,,A,V"), 37.5163, 127.0203,
         0.22224, std::nullopt, "2024-12-31 23:59:59"},
        {rmc("GPRMC,155512.000,A,5130.4766,N,00007.6531,W,27.40,359.99,290200,,,D"),
         51 + 30.4766 / 60, -(7.6531 / 60), 50.7448, 359.99, "2000-02-29 15:55:12"},
        {rmc("GNRMC,235500.00,A,1650.1234567,S,17959.9999990,E,0.010,,010324,,,A,V"),
         -(16 + 50.1234567 / 60), 179 + 59.999999 / 60, 0.01852, std::nullopt,
         "2024-03-01 23:55:00"},
        {rmc("GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,2208-1,,,A"), 48.1173,
         11 + 31.0 / 60, 41.4848, 84.4, nullptr},
        {rmc("GPRMC,123521,A,3352.128,S,15112.558,W,0.0,0.0,320394,,"), -33.8688, -151.2093, 0, 0.0,
         nullptr},
    };
    for (const Expected &expected : cases) {
        SCOPED_TRACE(expected.sentence.toStdString());
        const Reading mine = reference(expected.sentence);
        const auto theirs = decodeRMC(expected.sentence);
        ASSERT_TRUE(mine.fix.has_value());
        ASSERT_TRUE(theirs.has_value());
        for (const GPRMC &fix : {*mine.fix, *theirs}) {
            EXPECT_NEAR(fix.latitude, expected.latitude, 1e-9);
            EXPECT_NEAR(fix.longitude, expected.longitude, 1e-9);
            EXPECT_NEAR(fix.speedKmh, expected.speedKmh, 1e-9);
            ASSERT_EQ(fix.course.has_value(), expected.course.has_value());
            if (expected.course) {
                EXPECT_NEAR(*fix.course, *expected.course, 1e-9);
            }
        }
        const auto utc =
            expected.utc ? std::optional<QString>(QLatin1String(expected.utc)) : std::nullopt;
        EXPECT_EQ(mine.time ? std::optional<QString>(
                                  mine.time->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                            : std::nullopt,
                  utc);
        EXPECT_EQ(rmcTimestamp(expected.sentence, false), utc);
    }
}

// ---------------------------------------------------------------------------------------------
// Every sentence, product against reference

TEST(GpsRmc, EverySentenceDecodesAsTheReferenceDoes)
{
    const QStringList sentences = allSentences();
    EXPECT_GE(QSet<QString>(sentences.begin(), sentences.end()).size(), 40);
    for (const QString &sentence : sentences) {
        SCOPED_TRACE(sentence.toStdString());
        const Reading expected = reference(sentence);
        expectSameFix(decodeRMC(sentence), expected.fix);
        expectSameTime(sentence, expected.time);
    }
}

TEST(GpsRmc, TimestampsFollowTheComputersTimeZone)
{
    for (const char *zone : {"Asia/Kolkata", "America/St_Johns", "Pacific/Kiritimati"}) {
        const korvane::test::ComputerTimeZone timeZone(zone);
        SCOPED_TRACE(zone);
        for (const QString &sentence : allSentences()) {
            SCOPED_TRACE(sentence.toStdString());
            const auto expected = reference(sentence).time;
            const auto local = rmcTimestamp(sentence, true);
            ASSERT_EQ(local.has_value(), expected.has_value());
            if (expected) {
                EXPECT_EQ(*local,
                          expected->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            }
        }
    }
    const QString munich =
        QStringLiteral("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A");
    const korvane::test::ComputerTimeZone kolkata("Asia/Kolkata"); // +05:30, no daylight saving
    EXPECT_EQ(rmcTimestamp(munich, true), QStringLiteral("2094-03-23 18:05:19"));
    EXPECT_EQ(rmcTimestamp(munich, false), QStringLiteral("2094-03-23 12:35:19"));
}

// ---------------------------------------------------------------------------------------------
// The rules, group by group

TEST(GpsRmc, EverySatelliteSystemDecodesAlike)
{
    const QString body =
        QStringLiteral("%1RMC,101530.000,A,5545.1237,N,03737.0368,E,15.32,271.40,150321,,,A");
    const QString gps = body.arg(QLatin1String("GP"));
    const auto expected = decodeRMC(rmc(gps.toLatin1().constData()));
    ASSERT_TRUE(expected.has_value());
    EXPECT_NEAR(expected->latitude, 55 + 45.1237 / 60, 1e-9);
    for (const QString &talker : satelliteTalkers) {
        const QByteArray text = body.arg(talker).toLatin1();
        const QString sentence = rmc(text.constData());
        SCOPED_TRACE(sentence.toStdString());
        expectSameFix(decodeRMC(sentence), expected);
        EXPECT_EQ(rmcTime(sentence), QDateTime(QDate(2021, 3, 15), QTime(10, 15, 30), Qt::UTC));
    }
    for (const char *talker : {"II", "IN", "XX", "GX", "PG", "gp", "Gp", "G1"}) {
        const QByteArray text = body.arg(QLatin1String(talker)).toLatin1();
        const QString sentence = rmc(text.constData());
        SCOPED_TRACE(sentence.toStdString());
        EXPECT_FALSE(decodeRMC(sentence).has_value());
        EXPECT_FALSE(rmcTime(sentence).has_value());
    }
    for (const QString &sentence : otherSentences()) {
        SCOPED_TRACE(sentence.toStdString());
        EXPECT_FALSE(reference(sentence).time.has_value());
        EXPECT_FALSE(decodeRMC(sentence).has_value());
        EXPECT_FALSE(rmcTime(sentence).has_value());
        EXPECT_FALSE(rmcTimestamp(sentence, false).has_value());
    }
}

TEST(GpsChecksum, WrongOrMalformedChecksumGivesNothing)
{
    for (const QString &sentence : badChecksumSentences()) {
        SCOPED_TRACE(sentence.toStdString());
        EXPECT_FALSE(reference(sentence).time.has_value());
        EXPECT_FALSE(decodeRMC(sentence).has_value());
        EXPECT_FALSE(rmcTime(sentence).has_value());
        EXPECT_FALSE(rmcTimestamp(sentence, true).has_value());
    }
    // Each fix with either hex digit of its checksum changed, to every other value.
    for (const QString &sentence : fixSentences()) {
        const qsizetype star = sentence.lastIndexOf(QLatin1Char('*'));
        if (star < 0)
            continue;
        const int sum = xorChecksum(QStringView(sentence).mid(1, star - 1));
        for (int wrong = 0; wrong < 16; ++wrong) {
            for (const int changed : {(wrong << 4) | (sum & 0xF), (sum & 0xF0) | wrong}) {
                if (changed == sum)
                    continue;
                const QString bad = withTail(sentence, hexByte(changed));
                SCOPED_TRACE(bad.toStdString());
                EXPECT_FALSE(decodeRMC(bad).has_value());
                EXPECT_FALSE(rmcTime(bad).has_value());
            }
        }
    }
}

TEST(GpsChecksum, EitherCaseOrNoChecksumIsAccepted)
{
    for (const QString &sentence : fixSentences()) {
        const qsizetype star = sentence.lastIndexOf(QLatin1Char('*'));
        if (star < 0)
            continue;
        const int sum = xorChecksum(QStringView(sentence).mid(1, star - 1));
        const auto expected = reference(sentence);
        for (const QString &variant : {withTail(sentence, hexByte(sum).toLower()),
                                       withTail(sentence, hexByte(sum)), sentence.left(star)}) {
            SCOPED_TRACE(variant.toStdString());
            expectSameFix(decodeRMC(variant), expected.fix);
            EXPECT_EQ(rmcTime(variant).has_value(), expected.time.has_value());
        }
    }
}

TEST(GpsFields, NoFixWithoutAStatusAPositionAndPlainNumbers)
{
    for (const QString &sentence : noFixSentences()) {
        SCOPED_TRACE(sentence.toStdString());
        EXPECT_FALSE(reference(sentence).fix.has_value());
        EXPECT_FALSE(decodeRMC(sentence).has_value());
    }
}

// A car waiting at the lights: receivers leave the course out, some the speed too.
TEST(GpsFields, CourseIsOptionalAndWrapsAtTheFullCircle)
{
    const auto standing = decodeRMC(rmc("GPRMC,101012,A,4807.0380,N,01131.0000,E,,,230394,,"));
    ASSERT_TRUE(standing.has_value());
    EXPECT_EQ(standing->speedKmh, 0.0);
    EXPECT_FALSE(standing->course.has_value());

    const auto slow =
        decodeRMC(rmc("GNRMC,072446.00,A,3130.5266,N,12024.0808,E,0.027,,250220,,,A,V"));
    ASSERT_TRUE(slow.has_value());
    EXPECT_FALSE(slow->course.has_value());

    for (const char *body : {"GNRMC,101010.00,A,4807.0380,N,01131.0000,E,10.0,360.0,230394,,,A",
                             "GPRMC,101011,A,4807.0380,N,01131.0000,E,10.0,360,230394,,"}) {
        const auto north = decodeRMC(rmc(body));
        ASSERT_TRUE(north.has_value()) << body;
        ASSERT_TRUE(north->course.has_value()) << body;
        EXPECT_EQ(*north->course, 0.0) << body;
    }

    const auto almost =
        decodeRMC(rmc("GNRMC,120000.00,A,5959.9999,N,17959.9999,E,99.9,0.01,280223,,,A"));
    ASSERT_TRUE(almost.has_value());
    ASSERT_TRUE(almost->course.has_value());
    EXPECT_NEAR(*almost->course, 0.01, 1e-12);
    EXPECT_NEAR(almost->speedKmh, 99.9 * 1.852, 1e-9);
}

TEST(GpsTime, DigitsOnlyAndARealDayAndHour)
{
    struct Case
    {
        QString sentence;
        const char *utc; // nullptr: no time
    };
    const QList<Case> cases = {
        {rmc("GPRMC,235959,V,,,,,,,311299,,,N"), "2099-12-31 23:59:59"},
        {rmc("GNRMC,123519.00,V,4807.038,N,01131.000,E,022.4,084.4,230394,,,E"),
         "2094-03-23 12:35:19"},
        {rmc("GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,N"),
         "2094-03-23 12:35:19"},
        {rmc("GNRMC,123519.00,A,-4807.038,N,01131.000,E,022.4,084.4,230394,,,A"),
         "2094-03-23 12:35:19"},
        {rmc("GPRMC,030000.25,V,,,,,,,290200,,,N"), "2000-02-29 03:00:00"},
        {rmc("GNRMC,235959.999,A,3730.9780,N,12701.2180,E,0.12,,311224,,,A,V"),
         "2024-12-31 23:59:59"},
        {rmc("GPRMC,240000,V,,,,,,,010124,,,N"), nullptr},
        {rmc("GPRMC,126000,V,,,,,,,010124,,,N"), nullptr},
        {rmc("GPRMC,123560,V,,,,,,,010124,,,N"), nullptr},
        {rmc("GPRMC,123519,V,,,,,,,290223,,,N"), nullptr},
        {rmc("GPRMC,123519,V,,,,,,,011394,,,N"), nullptr},
        {rmc("GPRMC,123519,V,,,,,,,000394,,,N"), nullptr},
        {rmc("GPRMC,123519,V,,,,,,,2303945,,,N"), nullptr},
        {rmc("GPRMC,12351,V,,,,,,,230394,,,N"), nullptr},
        {rmc("GPRMC,12:35:19,V,,,,,,,230394,,,N"), nullptr},
        {rmc("GPRMC,123519.-5,V,,,,,,,230394,,,N"), nullptr},
        {rmc("GPRMC,+12351,V,,,,,,,230394,,,N"), nullptr},
        {rmc("GPRMC,123519,V,,,,,,, 30394,,,N"), nullptr},
        {rmc("GPRMC,123519,V,,,,,,,-30394,,,N"), nullptr},
        {rmc("GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,2208-1,,,A"), nullptr},
        {rmc("GNRMC,12-000,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A"), nullptr},
        {rmc("GPRMC,,A,4807.038,N,01131.000,E,022.4,084.4,,,"), nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sentence.toStdString());
        const auto expected = c.utc ? std::optional<QString>(QLatin1String(c.utc)) : std::nullopt;
        const auto mine = reference(c.sentence).time;
        EXPECT_EQ(
            mine ? std::optional<QString>(mine->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                 : std::nullopt,
            expected);
        EXPECT_EQ(rmcTimestamp(c.sentence, false), expected);
        EXPECT_EQ(rmcTime(c.sentence).has_value(), expected.has_value());
    }
}

// ---------------------------------------------------------------------------------------------
// GPX

TEST(GpsGpx, TrackOfEverySentenceHoldsExactlyTheFixes)
{
    const QStringList sentences = allSentences();
    MediaRecords records = trackOf(sentences);
    // A G-sensor record among them is no point.
    records.insert(3, QJsonObject{{QStringLiteral("type"), QStringLiteral("gsensor_info")}});

    QList<Reading> fixes;
    QStringList fixSources;
    for (const QString &sentence : sentences) {
        const Reading reading = reference(sentence);
        if (reading.fix) {
            fixes.append(reading);
            fixSources.append(sentence);
        }
    }
    ASSERT_GT(fixes.size(), 30);

    const Gpx gpx = readGpx(gpxTrack(records, QStringLiteral("20240229_151045_F.mp4")));
    ASSERT_TRUE(gpx.error.isEmpty()) << gpx.error.toStdString();
    EXPECT_EQ(gpx.rootName, QLatin1String("gpx"));
    EXPECT_EQ(gpx.rootNamespace, QLatin1String("http://www.topografix.com/GPX/1/1"));
    EXPECT_EQ(gpx.version, QLatin1String("1.1"));
    EXPECT_EQ(gpx.trackNames, QStringList{QStringLiteral("20240229_151045_F.mp4")});
    EXPECT_EQ(gpxPointCount(records), fixes.size());
    ASSERT_EQ(gpx.points.size(), fixes.size());

    static const QRegularExpression dateTime(
        QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\\.[0-9]+)?Z$"));
    for (qsizetype i = 0; i < fixes.size(); ++i) {
        const GPRMC &fix = *fixes[i].fix;
        const TrackPoint &point = gpx.points[i];
        SCOPED_TRACE(QStringLiteral("point %1 from %2").arg(i).arg(fixSources[i]).toStdString());
        EXPECT_TRUE(point.inSegment);

        ASSERT_TRUE(point.lat.has_value());
        ASSERT_TRUE(point.lon.has_value());
        EXPECT_GE(*point.lat, -90.0);
        EXPECT_LE(*point.lat, 90.0);
        EXPECT_GE(*point.lon, -180.0);
        EXPECT_LT(*point.lon, 180.0);
        EXPECT_NEAR(*point.lat, fix.latitude, 1e-6);
        // The date line has one longitude in GPX: 180 east is written as 180 west, and the range
        // check above holds it to that; compare round the circle.
        EXPECT_LE(angleBetween(*point.lon, fix.longitude), 1e-6) << *point.lon;

        if (fixes[i].time) {
            ASSERT_EQ(point.times.size(), 1);
            EXPECT_TRUE(dateTime.match(point.times[0]).hasMatch()) << point.times[0].toStdString();
            const QDateTime written = QDateTime::fromString(point.times[0], Qt::ISODateWithMs);
            ASSERT_TRUE(written.isValid()) << point.times[0].toStdString();
            EXPECT_EQ(written.toSecsSinceEpoch(), fixes[i].time->toSecsSinceEpoch());
        } else {
            EXPECT_TRUE(point.times.isEmpty()) << "a fix without a time has no <time>";
        }

        ASSERT_EQ(point.speeds.size(), 1);
        const auto speed = number(point.speeds[0]);
        ASSERT_TRUE(speed.has_value()) << point.speeds[0].toStdString();
        EXPECT_GE(*speed, 0.0);
        EXPECT_NEAR(*speed, fix.speedKmh / 3.6, 5e-3) << "m/s";

        if (fix.course) {
            ASSERT_EQ(point.courses.size(), 1);
            const auto course = number(point.courses[0]);
            ASSERT_TRUE(course.has_value()) << point.courses[0].toStdString();
            EXPECT_GE(*course, 0.0);
            EXPECT_LT(*course, 360.0);
            // A tenth of a degree is as fine as a car's heading means anything.
            EXPECT_LE(angleBetween(*course, *fix.course), 0.05 + 1e-9) << *course;
        } else {
            EXPECT_TRUE(point.courses.isEmpty()) << "no course was sent";
        }
    }
}

TEST(GpsGpx, NoFixesGiveAnEmptyButWellFormedTrack)
{
    const MediaRecords records =
        trackOf(noFixSentences() + badChecksumSentences() + otherSentences() + clockSentences());
    EXPECT_EQ(gpxPointCount(records), 0);
    const Gpx gpx = readGpx(gpxTrack(records, QStringLiteral("parked.mp4")));
    EXPECT_TRUE(gpx.error.isEmpty()) << gpx.error.toStdString();
    EXPECT_EQ(gpx.rootName, QLatin1String("gpx"));
    EXPECT_TRUE(gpx.points.isEmpty());

    const Gpx empty = readGpx(gpxTrack({}, QStringLiteral("empty.mp4")));
    EXPECT_TRUE(empty.error.isEmpty()) << empty.error.toStdString();
    EXPECT_TRUE(empty.points.isEmpty());
}

// File names come from the card: a damaged directory entry can put any byte in one.
TEST(GpsGpx, ControlCharactersInTheTrackNameKeepTheXmlWellFormed)
{
    QString name = QStringLiteral("front");
    for (const char16_t c : {u'\x01', u'\x1b', u'\x00', u'\x0b', u'\x0c', u'\x1f', u'\x7f'})
        name += QChar(c);
    name += QStringLiteral(" <&> \"night\"\t\u0085.mp4");

    const MediaRecords records = trackOf(fixSentences());
    const Gpx gpx = readGpx(gpxTrack(records, name));
    ASSERT_TRUE(gpx.error.isEmpty()) << gpx.error.toStdString();
    EXPECT_EQ(gpx.points.size(), gpxPointCount(records));
    ASSERT_EQ(gpx.trackNames.size(), 1);
    const QString written = gpx.trackNames[0];
    for (const char32_t c : written.toUcs4())
        EXPECT_TRUE(xmlChar(c)) << "U+" << std::hex << static_cast<unsigned>(c);
    EXPECT_TRUE(written.startsWith(QLatin1String("front"))) << written.toStdString();
    EXPECT_TRUE(written.endsWith(QLatin1String(".mp4"))) << written.toStdString();
    EXPECT_TRUE(written.contains(QLatin1String("<&> \"night\""))) << written.toStdString();
}
