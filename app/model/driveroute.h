#pragma once

#include "records/drives.h"
#include "records/routepoints.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>

namespace korvane {

class DriveTimeline;
class MapPosition;
class NowPlaying;

// The whole route of the drive the open recording belongs to, from the recordings of it copied so
// far, for the map; a place chosen on it plays from the moment the car was there. Main thread
// only.
class DriveRoute : public QObject
{
    Q_OBJECT

public:
    DriveRoute(DriveTimeline *timeline, NowPlaying *nowPlaying, MapPosition *mapPosition,
               QObject *parent = nullptr);

    // Each place with the moment the car was there, in time order.
    struct Place
    {
        RoutePoint point;
        QDateTime moment;
    };
    const QList<Place> &places() const { return m_places; }

    // The route made again for the open recording's drive; it waits for the recordings' records
    // to be read on a worker.
    QCoro::Task<> findRouteAgain();
    // Plays from the moment the car was nearest to that place.
    QCoro::Task<bool> playNear(double latitude, double longitude);

private:
    void forget();

    DriveTimeline *m_timeline;
    NowPlaying *m_nowPlaying;
    MapPosition *m_mapPosition;
    QList<Place> m_places;
    QHash<QUuid, QList<RoutePoint>> m_read; // each copied recording's places, once read
    quint64 m_generation = 0;               // a route of another drive or card is dropped
};

} // namespace korvane
