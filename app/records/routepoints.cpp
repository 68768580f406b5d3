#include "records/routepoints.h"

#include "records/nmea.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace korvane {

QList<RoutePoint> routePoints(const MediaRecords &records, double seconds)
{
    QList<RoutePoint> points;
    std::vector<std::optional<double>> clock;
    for (const QJsonObject &record : records) {
        if (record.value(QStringLiteral("type")).toString() != u"gps_info")
            continue;
        const std::optional<GPRMC> fix = decodeRMC(record.value(QStringLiteral("nmea")).toString());
        if (!fix)
            continue;
        points.append({fix->latitude, fix->longitude, 0});
        const QJsonValue elapse = record.value(QStringLiteral("elapse"));
        clock.push_back(elapse.isDouble() ? std::optional(elapse.toDouble()) : std::nullopt);
    }
    if (points.size() < 2)
        return points;
    const std::optional<double> first = clock.front(), last = clock.back();
    const bool timed = first && last && *last > *first;
    for (qsizetype i = 0; i < points.size(); ++i) {
        const std::optional<double> at = clock[static_cast<size_t>(i)];
        const double share = timed && at
                                 ? (*at - *first) / (*last - *first)
                                 : static_cast<double>(i) / static_cast<double>(points.size() - 1);
        points[i].offset = std::clamp(share, 0.0, 1.0) * seconds;
    }
    return points;
}

} // namespace korvane
