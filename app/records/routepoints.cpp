#include "records/routepoints.h"

#include "records/nmea.h"

#include <optional>
#include <vector>

namespace korvane {

QList<RoutePoint> routePoints(const MediaRecords &records, double seconds)
{
    // The dashcam writes one GPS record a second, with a fix or without one: the records, not
    // the fixes, keep the time.
    QList<RoutePoint> points;
    qsizetype gpsRecords = 0;
    std::vector<qsizetype> at;
    for (const QJsonObject &record : records) {
        if (record.value(QStringLiteral("type")).toString() != u"gps_info")
            continue;
        const std::optional<GPRMC> fix = decodeRMC(record.value(QStringLiteral("nmea")).toString());
        if (fix) {
            points.append({fix->latitude, fix->longitude, 0});
            at.push_back(gpsRecords);
        }
        ++gpsRecords;
    }
    if (gpsRecords < 2)
        return points;
    for (qsizetype i = 0; i < points.size(); ++i)
        points[i].offset = static_cast<double>(at[static_cast<size_t>(i)]) /
                           static_cast<double>(gpsRecords - 1) * seconds;
    return points;
}

} // namespace korvane
