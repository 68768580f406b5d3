#include "nmea.h"

#include "decimaltext.h"

#include <QTimeZone>

#include <cmath>

namespace korvane {

namespace {

const QString timestampFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Fields by their place in the sentence: an empty field stays one. A car standing still sends
// an empty course, and the date must stay the date.
std::optional<QList<QStringView>> rmcFields(QStringView sentence)
{
    if (!sentence.startsWith(u"$GPRMC"))
        return std::nullopt;
    QList<QStringView> fields = sentence.split(u',');
    if (fields.size() < 10)
        return std::nullopt;
    return fields;
}

// An unreadable number counts as 0. So does "nan" or "inf": a fix that is not a place on earth
// must not reach the map as one.
double realOrZero(QStringView field)
{
    bool ok = false;
    const double value = field.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

double degrees(QStringView field, bool negate)
{
    const double value = realOrZero(field);
    const double whole = std::floor(value / 100);
    const double result = whole + (value - whole * 100) / 60;
    return negate ? -result : result;
}

int pair(QStringView field, qsizetype at)
{
    return readDecimal(field.sliced(at, 2)).value_or(0);
}

} // namespace

std::optional<GPRMC> decodeRMC(QStringView sentence)
{
    const auto fields = rmcFields(sentence);
    if (!fields || fields->at(2) != u"A")
        return std::nullopt;
    const auto &f = *fields;
    GPRMC rmc;
    rmc.timeUTC = f[1].toString();
    rmc.latitude = degrees(f[3], f[4] == u"S");
    rmc.longitude = degrees(f[5], f[6] == u"W");
    rmc.speedKmh = realOrZero(f[7]) * 1.852;
    rmc.course = realOrZero(f[8]);
    rmc.date = f[9].toString();
    return rmc;
}

std::optional<QString> rmcTimestamp(QStringView sentence, bool local)
{
    const auto fields = rmcFields(sentence);
    if (!fields)
        return std::nullopt;
    const QStringView time = fields->at(1);
    const QStringView date = fields->at(9);
    if (time.size() < 6 || date.size() != 6)
        return std::nullopt;

    const QDate day(2000 + pair(date, 4), pair(date, 2), pair(date, 0));
    const QTime clock(pair(time, 0), pair(time, 2), pair(time, 4));
    if (!day.isValid() || !clock.isValid())
        return std::nullopt;
    const QDateTime utc(day, clock, QTimeZone::utc());
    return (local ? utc.toLocalTime() : utc).toString(timestampFormat);
}

std::optional<QDateTime> parseTimestamp(QStringView text)
{
    const QDateTime time = QDateTime::fromString(text.toString(), timestampFormat);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

} // namespace korvane
