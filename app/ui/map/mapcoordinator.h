#pragma once

#include <QObject>
#include <QVariantList>
#include <QtQml/qqml.h>

namespace korvane {

// The viewer's side of the map page. The page says "mapReady" once it can take positions; until
// then nothing is sent, and a position of exactly (0, 0), which stands for "no fix", never is.
// Every script for the page leaves through `evaluate`.
class MapCoordinator : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool isMapReady READ isMapReady NOTIFY isMapReadyChanged)

public:
    using QObject::QObject;

    bool isMapReady() const { return m_isMapReady; }

    // A message from the page: "mapReady", or "routeClicked" with [latitude, longitude].
    Q_INVOKABLE void receive(const QString &name, const QVariant &body = {});
    Q_INVOKABLE void moveMap(double latitude, double longitude);
    // The recording's route: pairs of latitude and longitude; an empty list takes the line away.
    Q_INVOKABLE void showRoute(const QVariantList &points);

signals:
    void isMapReadyChanged();
    void evaluate(const QString &script);
    void routeClicked(double latitude, double longitude);

private:
    bool m_isMapReady = false;
};

} // namespace korvane
