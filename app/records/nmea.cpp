#include "records/nmea.h"

#include <QTimeZone>

#include <cmath>

namespace korvane {

namespace {

const QString timestampFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Field numbers of an RMC sentence; 0 is "$ttRMC" itself.
enum Field
{
    time = 1,
    status,
    latitude,
    northSouth,
    longitude,
    eastWest,
    speed,
    course,
    date,
    modeIndicator = 12
};

// The satellite systems whose receivers send RMC: GPS, any combination, GLONASS, Galileo,
// BeiDou (both of its talker IDs), QZSS and NavIC.
bool isGnssTalker(QStringView talker)
{
    for (const char *known : {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "GI"}) {
        if (talker == QLatin1String(known))
            return true;
    }
    return false;
}

// The sentence's fields by their place (an empty field stays one: a car standing still sends an
// empty course, and the date must stay the date), its checksum checked and taken off. None for
// a sentence that is no RMC of a satellite receiver, and for one whose checksum is there and
// wrong: one changed digit would otherwise put the car kilometres away.
std::optional<QList<QStringView>> rmcFields(QStringView sentence)
{
    if (sentence.size() < 6 || sentence[0] != u'$' || sentence.sliced(3, 3) != u"RMC" ||
        !isGnssTalker(sentence.sliced(1, 2)))
        return std::nullopt;
    QStringView body = sentence;
    if (const qsizetype star = sentence.lastIndexOf(u'*'); star >= 0) {
        const QStringView written = sentence.sliced(star + 1);
        const auto hex = [](QChar c) {
            return c.isDigit() || (c.toUpper() >= u'A' && c.toUpper() <= u'F');
        };
        if (written.size() != 2 || !hex(written[0]) || !hex(written[1]))
            return std::nullopt;
        uint sum = 0;
        for (const QChar c : sentence.sliced(1, star - 1))
            sum ^= c.unicode();
        if (sum != written.toUInt(nullptr, 16))
            return std::nullopt;
        body = sentence.first(star);
    }
    QList<QStringView> fields = body.split(u',');
    if (fields.size() <= date)
        return std::nullopt;
    return fields;
}

// A number as receivers write one: digits with at most one decimal point, nothing else (no
// sign, exponent or blank).
std::optional<double> plainNumber(QStringView field)
{
    if (field.isEmpty() || field == u".")
        return std::nullopt;
    bool point = false;
    for (const QChar c : field) {
        if (c == u'.' && !point)
            point = true;
        else if (!c.isDigit() || c.unicode() > 0x7f)
            return std::nullopt;
    }
    return field.toDouble();
}

// "ddmm.mmmm" or "dddmm.mmmm" in degrees: whole minutes below 60, the whole within `largest`
// degrees; the hemisphere exactly one of the two letters. None otherwise.
std::optional<double> degrees(QStringView field, QStringView hemisphere, QChar positive,
                              QChar negative, double largest)
{
    const std::optional<double> value = plainNumber(field);
    if (!value || hemisphere.size() != 1 ||
        (hemisphere[0] != positive && hemisphere[0] != negative))
        return std::nullopt;
    const double whole = std::floor(*value / 100);
    const double minutes = *value - whole * 100;
    const double result = whole + minutes / 60;
    if (minutes >= 60 || result > largest)
        return std::nullopt;
    return hemisphere[0] == negative ? -result : result;
}

// Two digits of a fixed field, or none.
std::optional<int> pair(QStringView field, qsizetype at)
{
    const QStringView digits = field.sliced(at, 2);
    if (!digits[0].isDigit() || !digits[1].isDigit() || digits[0].unicode() > 0x7f ||
        digits[1].unicode() > 0x7f)
        return std::nullopt;
    return digits.toInt();
}

} // namespace

std::optional<GPRMC> decodeRMC(QStringView sentence)
{
    const auto fields = rmcFields(sentence);
    if (!fields || fields->at(status) != u"A")
        return std::nullopt;
    const auto &f = *fields;
    // A receiver that says it has no fix (mode "N") is believed, whatever its status says.
    if (f.size() > modeIndicator && f[modeIndicator] == u"N")
        return std::nullopt;
    const std::optional<double> north = degrees(f[latitude], f[northSouth], u'N', u'S', 90);
    const std::optional<double> east = degrees(f[longitude], f[eastWest], u'E', u'W', 180);
    if (!north || !east)
        return std::nullopt;
    // A car standing still may send no speed; a speed that is there must be one.
    const std::optional<double> knots =
        f[speed].isEmpty() ? std::optional<double>(0) : plainNumber(f[speed]);
    const std::optional<double> heading = plainNumber(f[course]);
    if (!knots || (!f[course].isEmpty() && (!heading || *heading > 360)))
        return std::nullopt;
    // Due north both ways: 360 is 0.
    const std::optional<double> bearing =
        heading ? std::optional<double>(std::fmod(*heading, 360.0)) : std::nullopt;
    GPRMC rmc;
    rmc.timeUTC = f[time].toString();
    rmc.latitude = *north;
    rmc.longitude = *east;
    rmc.speedKmh = *knots * 1.852;
    rmc.course = bearing;
    rmc.date = f[date].toString();
    return rmc;
}

std::optional<QDateTime> rmcTime(QStringView sentence)
{
    const auto fields = rmcFields(sentence);
    if (!fields)
        return std::nullopt;
    const QStringView clock = fields->at(time);
    const QStringView day = fields->at(date);
    // "hhmmss" with any fraction after a point, and "ddmmyy": digits only.
    if (clock.size() < 6 || day.size() != 6 ||
        (clock.size() > 6 && (clock[6] != u'.' || !plainNumber(clock.sliced(7)))))
        return std::nullopt;
    const auto hour = pair(clock, 0), minute = pair(clock, 2), second = pair(clock, 4);
    const auto dd = pair(day, 0), mm = pair(day, 2), yy = pair(day, 4);
    if (!hour || !minute || !second || !dd || !mm || !yy)
        return std::nullopt;
    const QDate calendar(2000 + *yy, *mm, *dd);
    const QTime wall(*hour, *minute, *second);
    if (!calendar.isValid() || !wall.isValid())
        return std::nullopt;
    return QDateTime(calendar, wall, QTimeZone::utc());
}

std::optional<QString> rmcTimestamp(QStringView sentence, bool local)
{
    const std::optional<QDateTime> utc = rmcTime(sentence);
    if (!utc)
        return std::nullopt;
    return (local ? utc->toLocalTime() : *utc).toString(timestampFormat);
}

std::optional<QDateTime> parseTimestamp(QStringView text)
{
    const QDateTime time = QDateTime::fromString(text.toString(), timestampFormat);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

} // namespace korvane
