#include "services/mediadataviewmodel.h"

#include "base/applog.h"
#include "records/nmea.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSet>
#include <QStringEncoder>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace korvane {

namespace {

constexpr double gSensorStep = 0.1;
constexpr double gpsJitter = 0.000002; // degrees: enough for the map to redraw its marker
// Seconds between two records of a receiver beyond which its clock has jumped rather than
// gone on: a stale clock set right, a clock hours off.
constexpr double clockJump = 60;

double seconds(const QDateTime &from, const QDateTime &to)
{
    return static_cast<double>(from.msecsTo(to)) / 1000.0;
}

// Samples in a row that carry the same time get the parts of the second after it, in order.
void spreadOverTheirSecond(QList<GSensorInfo> &samples)
{
    for (qsizetype first = 0; first < samples.size();) {
        qsizetype end = first + 1;
        while (end < samples.size() && samples[first].elapse &&
               samples[end].elapse == samples[first].elapse)
            ++end;
        const auto count = static_cast<double>(end - first);
        for (qsizetype k = first + 1; k < end; ++k)
            *samples[k].elapse += static_cast<double>(k - first) / count;
        first = end;
    }
}

// The last element whose time is at or before `time` (absent times count as 0).
template <typename Event>
std::optional<Event> lastAtOrBefore(const QList<Event> &events, double time)
{
    qsizetype lo = 0;
    qsizetype hi = events.size() - 1;
    std::optional<qsizetype> best;
    while (lo <= hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (time < events[mid].elapse.value_or(0)) {
            hi = mid - 1;
        } else {
            best = mid;
            lo = mid + 1;
        }
    }
    if (!best)
        return std::nullopt;
    return events[*best];
}

// The seconds between records as the receiver's clock counts them: the median of the steps
// between neighbours with a time; 1 (the dashcam's one record a second) without any.
double recordSpacing(const QList<std::optional<QDateTime>> &times)
{
    std::vector<double> steps;
    std::optional<qsizetype> previous;
    for (qsizetype i = 0; i < times.size(); ++i) {
        if (!times[i])
            continue;
        if (previous) {
            const double step =
                seconds(*times[*previous], *times[i]) / static_cast<double>(i - *previous);
            if (step > 0 && step <= clockJump)
                steps.push_back(step);
        }
        previous = i;
    }
    if (steps.empty())
        return 1;
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2),
                     steps.end());
    return steps[steps.size() / 2];
}

double jittered(double degrees)
{
    return degrees + (QRandomGenerator::global()->generateDouble() * 2 - 1) * gpsJitter;
}

} // namespace

void MediaDataViewModel::clockGps(QList<GPSInfo> &fixes)
{
    // Each fix by its own time, in UTC: a clock change inside the recording moves nothing. A
    // record without a time (a receiver just switched on) keeps its place in the series, one
    // spacing like the others, and is not placed itself. Where the receiver's clock jumps, the
    // run goes on from where it was, one spacing later.
    QList<std::optional<QDateTime>> times;
    for (GPSInfo &fix : fixes) {
        const std::optional<QDateTime> time = rmcTime(fix.nmea);
        times.append(time);
        fix.data = decodeRMC(fix.nmea);
        fix.timestamp = time ? std::optional<QString>(time->toLocalTime().toString(
                                   QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                             : std::nullopt;
        fix.elapse.reset();
    }
    const double spacing = recordSpacing(times);
    std::optional<qsizetype> previous;
    for (qsizetype i = 0; i < fixes.size(); ++i) {
        if (!times[i])
            continue;
        double elapse = static_cast<double>(i) * spacing;
        if (previous) {
            const double expected = static_cast<double>(i - *previous) * spacing;
            const double step = seconds(*times[*previous], *times[i]);
            elapse = *fixes[*previous].elapse +
                     (step >= 0 && step <= expected + clockJump ? step : expected);
        }
        fixes[i].elapse = elapse;
        previous = i;
    }
}

MediaDataViewModel::MediaDataViewModel(QObject *parent) : QObject(parent), m_id(currentMediaTime())
{
}

double MediaDataViewModel::currentMediaTime()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void MediaDataViewModel::stamp()
{
    m_id = currentMediaTime();
    emit idChanged();
}

void MediaDataViewModel::reset()
{
    m_videoInfo.reset();
    m_gpsEvents.clear();
    m_gSensorEvents.clear();
    stamp();
}

std::optional<QString> MediaDataViewModel::load(const QString &json, double duration)
{
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    const QByteArray bytes = toUtf8.encode(json);
    if (toUtf8.hasError())
        return QStringLiteral("invalidUTF8");
    const MediaDataDecoding decoded = decodeMediaData(bytes);
    if (!decoded.records)
        return decoded.error;
    if (!std::isfinite(duration) || duration < 0)
        duration = 0;

    m_events = *decoded.records;
    m_videoInfo.reset();
    m_gpsEvents.clear();
    m_gSensorEvents.clear();
    for (const MediaData &record : m_events) {
        if (record.videoInfo && !m_videoInfo)
            m_videoInfo = record.videoInfo;
        if (record.gpsInfo)
            m_gpsEvents.append(*record.gpsInfo);
        if (record.gSensorInfo)
            m_gSensorEvents.append(*record.gSensorInfo);
    }

    clockGps(m_gpsEvents);
    // The G-sensor clock, from the first sample's. The dashcam stamps its samples with the whole
    // second only, several to a second: those of one second are spread evenly over it, or every
    // step of the second would find its last sample and a knock in its first would be lost.
    if (!m_gSensorEvents.isEmpty()) {
        const QDateTime start = parseTimestamp(m_gSensorEvents.first().timestamp)
                                    .value_or(QDateTime::currentDateTime());
        for (GSensorInfo &sample : m_gSensorEvents) {
            if (const auto time = parseTimestamp(sample.timestamp))
                sample.elapse = seconds(start, *time);
        }
        spreadOverTheirSecond(m_gSensorEvents);
    }
    if (m_gpsEvents.isEmpty())
        return std::nullopt;

    placeGpsOnVideo(duration);
    placeGSensorOnVideo(duration);
    stamp();
    appLog(logModel, QStringLiteral("[MediaDataViewModel] load: Resampled Range (0 - %1s)")
                         .arg(static_cast<qint64>(std::round(duration))));
    return std::nullopt;
}

void MediaDataViewModel::placeGpsOnVideo(double duration)
{
    // From the series' first record to its last fix with a time, stretched onto the video.
    double span = 0;
    for (const GPSInfo &fix : std::as_const(m_gpsEvents))
        span = std::max(span, fix.elapse.value_or(0));
    if (span > 0) {
        const double ratio = duration / span;
        const auto limit = static_cast<qint64>(duration);
        QSet<qint64> used;
        QList<GPSInfo> placed;
        for (const GPSInfo &fix : std::as_const(m_gpsEvents)) {
            if (!fix.elapse)
                continue;
            const auto second = static_cast<qint64>(std::round(*fix.elapse * ratio));
            if (used.contains(second) || second > limit)
                continue;
            used.insert(second);
            GPSInfo copy = fix;
            copy.elapse = static_cast<double>(second);
            placed.append(copy);
        }
        m_gpsEvents = placed;
        return;
    }
    // One fix, or fixes without usable times: the first fix (or record) for every second.
    const auto withFix = std::find_if(m_gpsEvents.cbegin(), m_gpsEvents.cend(),
                                      [](const GPSInfo &fix) { return fix.data.has_value(); });
    const GPSInfo first = withFix != m_gpsEvents.cend() ? *withFix : m_gpsEvents.first();
    const auto seconds = static_cast<qint64>(duration);
    m_gpsEvents.clear();
    for (qint64 s = 0; s <= seconds; ++s) {
        GPSInfo copy = first;
        copy.elapse = static_cast<double>(s);
        if (copy.data) {
            copy.data->latitude = jittered(copy.data->latitude);
            copy.data->longitude = jittered(copy.data->longitude);
        }
        m_gpsEvents.append(copy);
    }
}

void MediaDataViewModel::placeGSensorOnVideo(double duration)
{
    if (m_gSensorEvents.isEmpty())
        return;
    const double g0 = m_gSensorEvents.first().elapse.value_or(0);
    const double span = m_gSensorEvents.last().elapse.value_or(0) - g0;
    if (span <= 0)
        return;
    const double ratio = duration > 0 ? span / duration : 0;
    QList<GSensorInfo> placed;
    for (qint64 i = 0;; ++i) {
        const double t = static_cast<double>(i) * gSensorStep;
        if (t > duration)
            break;
        if (auto sample = lastAtOrBefore(m_gSensorEvents, g0 + t * ratio)) {
            sample->elapse = t;
            placed.append(*sample);
        }
    }
    m_gSensorEvents = placed;
}

std::optional<GPSInfo> MediaDataViewModel::gpsAt(double time) const
{
    return lastAtOrBefore(m_gpsEvents, time);
}

std::optional<GSensorInfo> MediaDataViewModel::gSensorAt(double time) const
{
    return lastAtOrBefore(m_gSensorEvents, time);
}

QString MediaDataViewModel::locationText() const
{
    QString text;
    for (const GPSInfo &fix : m_gpsEvents) {
        const GPRMC data = fix.data.value_or(GPRMC{});
        text += QString::asprintf("[00:%02d] lat: %9.6f,  lng: %9.6f,  speed: %3d km\n",
                                  static_cast<int>(fix.elapse.value_or(0)), data.latitude,
                                  data.longitude, static_cast<int>(data.speedKmh));
    }
    return text;
}

QString MediaDataViewModel::gSensorText() const
{
    QString text;
    for (const GSensorInfo &sample : m_gSensorEvents)
        text +=
            QString::asprintf("[00:%06.3f]  x: %3d,  y: %3d,  z: %3d\n", sample.elapse.value_or(0),
                              sample.accel.x, sample.accel.y, sample.accel.z);
    return text;
}

} // namespace korvane
