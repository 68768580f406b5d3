#include "model/mapposition.h"

#include "playback/multitrackplayer.h"
#include "services/mediadataviewmodel.h"

namespace korvane {

MapPosition::MapPosition(const MultiTrackPlayer *player, const MediaDataViewModel *mediaData,
                         QObject *parent)
    : QObject(parent), m_player(player), m_mediaData(mediaData)
{
    connect(m_player, &MultiTrackPlayer::currentTimeChanged, this, &MapPosition::update);
    connect(m_mediaData, &MediaDataViewModel::idChanged, this, [this] {
        loadRoute();
        update();
    });
}

void MapPosition::update()
{
    const double now = m_player->currentTime();
    if (now > 0) {
        if (const std::optional<GPSInfo> fix = m_mediaData->gpsAt(now)) {
            // A fix whose sentence did not decode counts as (0, 0): the page is not moved, and
            // the next time 0 keeps it where it is.
            m_latitude = fix->data ? fix->data->latitude : 0;
            m_longitude = fix->data ? fix->data->longitude : 0;
        }
    }
    emit positionChanged();
}

void MapPosition::loadRoute()
{
    QVariantList route;
    for (const GPSInfo &fix : m_mediaData->gpsEvents()) {
        if (fix.data && (fix.data->latitude != 0 || fix.data->longitude != 0))
            route.append(QVariant(QVariantList{fix.data->latitude, fix.data->longitude}));
    }
    if (route != m_route) {
        m_route = route;
        if (m_driveRoute.isEmpty())
            emit routeChanged();
    }
}

void MapPosition::setDriveRoute(const QVariantList &route)
{
    if (route == m_driveRoute)
        return;
    const QVariantList before = this->route();
    m_driveRoute = route;
    if (this->route() != before)
        emit routeChanged();
}

void MapPosition::chooseRoutePoint(double latitude, double longitude)
{
    emit routePointChosen(latitude, longitude);
}

} // namespace korvane
