#pragma once

#include <QObject>
#include <QVariantList>

namespace korvane {

class MediaDataViewModel;
class MultiTrackPlayer;

// Where the map shows the car: the fix at the player's time, or the last position shown when the
// clock is at 0 or no fix is found; and the whole route of the open recording's drive, or of the
// recording alone.
class MapPosition : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double latitude READ latitude NOTIFY positionChanged)
    Q_PROPERTY(double longitude READ longitude NOTIFY positionChanged)
    // [latitude, longitude] of every fix with a position, in time order: the drive's while it is
    // known, else the recording's.
    Q_PROPERTY(QVariantList route READ route NOTIFY routeChanged)

public:
    MapPosition(const MultiTrackPlayer *player, const MediaDataViewModel *mediaData,
                QObject *parent = nullptr);

    double latitude() const { return m_latitude; }
    double longitude() const { return m_longitude; }
    QVariantList route() const { return m_driveRoute.isEmpty() ? m_route : m_driveRoute; }
    // The route of the drive the open recording belongs to; empty when there is none.
    void setDriveRoute(const QVariantList &route);
    // The user chose a place of the route on the map.
    Q_INVOKABLE void chooseRoutePoint(double latitude, double longitude);

    // Works the position out for the player's time now. Announced at every call, changed or not:
    // the page may have moved since, and a view that just appeared needs it.
    void update();

signals:
    void positionChanged();
    void routeChanged();
    void routePointChosen(double latitude, double longitude);

private:
    void loadRoute();

    const MultiTrackPlayer *m_player;
    const MediaDataViewModel *m_mediaData;
    double m_latitude = 0;
    double m_longitude = 0;
    QVariantList m_route;
    QVariantList m_driveRoute;
};

} // namespace korvane
