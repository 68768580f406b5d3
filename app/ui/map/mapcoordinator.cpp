#include "ui/map/mapcoordinator.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace korvane {

void MapCoordinator::receive(const QString &name, const QVariant &body)
{
    if (name == u"mapReady" && !m_isMapReady) {
        m_isMapReady = true;
        emit isMapReadyChanged();
    } else if (name == u"routeClicked") {
        // From the page: anything but two finite numbers is no place.
        const QVariantList place = body.toList();
        if (place.size() != 2)
            return;
        bool latitudeRead = false, longitudeRead = false;
        const double latitude = place[0].toDouble(&latitudeRead);
        const double longitude = place[1].toDouble(&longitudeRead);
        if (latitudeRead && longitudeRead && std::isfinite(latitude) && std::isfinite(longitude))
            emit routeClicked(latitude, longitude);
    }
}

void MapCoordinator::moveMap(double latitude, double longitude)
{
    if (!m_isMapReady || (latitude == 0 && longitude == 0))
        return;
    emit evaluate(QString::asprintf("moveMap(%f, %f);", latitude, longitude));
}

void MapCoordinator::showRoute(const QVariantList &points)
{
    if (!m_isMapReady)
        return;
    // Numbers only reach the page: whatever the list holds is turned into JSON numbers first.
    QJsonArray route;
    for (const QVariant &point : points) {
        const QVariantList pair = point.toList();
        if (pair.size() == 2)
            route.append(QJsonArray{pair[0].toDouble(), pair[1].toDouble()});
    }
    emit evaluate(QStringLiteral("showRoute(%1);")
                      .arg(QString::fromUtf8(QJsonDocument(route).toJson(QJsonDocument::Compact))));
}

} // namespace korvane
