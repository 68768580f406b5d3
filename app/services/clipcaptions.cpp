#include "services/clipcaptions.h"

#include "records/metadataextraction.h"
#include "records/mp4tracks.h"
#include "services/mediadataviewmodel.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// The fix's own time, UTC, from its "ddmmyy" date and "hhmmss(.sss)" time fields.
std::optional<QDateTime> fixTime(const GPRMC &fix)
{
    const QDate day = QDate::fromString(fix.date, QStringLiteral("ddMMyy"));
    const QTime time = QTime::fromString(fix.timeUTC.left(6), QStringLiteral("HHmmss"));
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    // "yy" reads as 19yy: the dashcam's fixes are of this century.
    return QDateTime(day.addYears(100), time, QTimeZone::utc());
}

const GPSInfo *fixAt(const QList<GPSInfo> &fixes, double time)
{
    const GPSInfo *found = nullptr;
    for (const GPSInfo &fix : fixes) {
        if (fix.elapse.value_or(0) > time)
            break;
        if (fix.data)
            found = &fix;
    }
    return found;
}

QString coordinate(double degrees, QChar positive, QChar negative)
{
    return (degrees < 0 ? negative : positive) + QLatin1Char(' ') +
           QString::number(std::abs(degrees), 'f', 5) + QChar(0x00B0);
}

// When the recording's player time 0 was, by its first fix with a date and time: that fix's
// time (UTC) less its place on the axis. The fixes are stretched onto the axis and may skip or
// share a second, so the clock runs from this one instant, a second for each second of the video.
std::optional<QDateTime> gpsClockStart(const QList<GPSInfo> &fixes)
{
    for (const GPSInfo &fix : fixes) {
        if (!fix.data)
            continue;
        if (const std::optional<QDateTime> time = fixTime(*fix.data))
            return time->addSecs(-std::llround(fix.elapse.value_or(0)));
    }
    return std::nullopt;
}

// The clock the captions run on. The dashcam names a recording after its start on its own clock,
// in its own time zone; the fixes keep UTC. Both ways the caption must read what the dashcam's
// clock read, wherever the clip is made: the GPS instant, moved into the dashcam's zone (the
// offset between the name and the fix, in whole quarters of an hour). Without a time in the name
// the computer's zone stands in; without a fix, the name's time.
std::optional<QDateTime> captionClockStart(const QList<GPSInfo> &fixes, const QString &fileName)
{
    const std::optional<QDateTime> gps = gpsClockStart(fixes);
    const std::optional<QDateTime> named = recordingStartFromName(fileName);
    if (!gps)
        return named;
    if (!named)
        return gps->toLocalTime();
    constexpr qint64 quarterHour = 15 * 60;
    constexpr qint64 widestZone = 14 * 3600;
    const QDateTime namedFields(named->date(), named->time(), QTimeZone::utc());
    const qint64 zone =
        std::llround(static_cast<double>(gps->secsTo(namedFields)) / quarterHour) * quarterHour;
    if (std::abs(zone) > widestZone)
        return gps->toLocalTime(); // the dashcam's clock was not set: no zone to learn from it
    return gps->addSecs(zone);
}

QString captionAt(const QList<GPSInfo> &fixes, const std::optional<QDateTime> &start, qint64 second)
{
    const GPSInfo *fix = fixAt(fixes, static_cast<double>(second));
    std::optional<QDateTime> clock;
    if (start)
        clock = start->addSecs(second);
    QStringList parts;
    if (clock) {
        parts.append(clock->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    } else {
        parts.append(QStringLiteral("%1:%2:%3")
                         .arg(second / 3600, 2, 10, QLatin1Char('0'))
                         .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                         .arg(second % 60, 2, 10, QLatin1Char('0')));
    }
    if (fix) {
        parts.append(QStringLiteral("%1 km/h").arg(std::lround(fix->data->speedKmh)));
        parts.append(coordinate(fix->data->latitude, u'N', u'S') + QLatin1Char(' ') +
                     coordinate(fix->data->longitude, u'E', u'W'));
    }
    return parts.join(QStringLiteral("  "));
}

} // namespace

std::optional<QDateTime> recordingStartFromName(const QString &fileName)
{
    static const QRegularExpression stamp(QStringLiteral(R"((?:^|\D)(\d{8})_(\d{6})(?:\D|$))"));
    const QRegularExpressionMatch m = stamp.match(fileName);
    if (!m.hasMatch())
        return std::nullopt;
    const QDateTime start =
        QDateTime::fromString(m.captured(1) + m.captured(2), QStringLiteral("yyyyMMddHHmmss"));
    if (!start.isValid())
        return std::nullopt;
    return start;
}

QList<CaptionLine> clipCaptions(const QList<GPSInfo> &fixes, const QString &fileName, double from,
                                double to)
{
    QList<CaptionLine> lines;
    if (!(to > from) || !std::isfinite(from) || !std::isfinite(to))
        return lines;
    const std::optional<QDateTime> start = captionClockStart(fixes, fileName);
    for (auto second = static_cast<qint64>(std::floor(from)); static_cast<double>(second) < to;
         ++second) {
        const double begins = std::max(from, static_cast<double>(second)) - from;
        const double ends = std::min(to, static_cast<double>(second + 1)) - from;
        lines.append({begins, ends, captionAt(fixes, start, second)});
    }
    lines.first().start -= 1;
    lines.last().end += 1;
    return lines;
}

QList<GPSInfo> fixesOnTimeAxis(const QString &recording, const QString &playable)
{
    const std::vector<double> durations = videoTrackDurations(playable);
    MediaDataViewModel placed;
    if (placed.load(QString::fromUtf8(mediaRecordsJson(extractMediaRecords(recording))),
                    durations.empty() ? 0 : durations.front()))
        return {};
    return placed.gpsEvents();
}

void addPieceCaptions(QList<CaptionLine> &captions, const QList<CaptionLine> &piece,
                      double clipStart, double length)
{
    for (CaptionLine line : piece) {
        line.start = std::max(clipStart, line.start + clipStart);
        line.end = std::min(clipStart + length, line.end + clipStart);
        if (line.end > line.start)
            captions.append(line);
    }
}

} // namespace korvane
