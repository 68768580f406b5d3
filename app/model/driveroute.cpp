#include "model/driveroute.h"

#include "base/background.h"
#include "model/drivetimeline.h"
#include "model/mapposition.h"
#include "model/nowplaying.h"
#include "services/workingcopy.h"

#include <QPointer>
#include <QSet>

#include <cmath>
#include <limits>

namespace korvane {

namespace {

// The drive the open recording belongs to; none for one of no drive.
const Drive *driveOf(const QList<Drive> &drives, const std::optional<FileListItem> &open)
{
    if (!open)
        return nullptr;
    for (const Drive &drive : drives) {
        for (const DriveRecording &recording : drive.recordings) {
            if (recording.row.id == open->id)
                return &drive;
        }
    }
    return nullptr;
}

} // namespace

DriveRoute::DriveRoute(DriveTimeline *timeline, NowPlaying *nowPlaying, MapPosition *mapPosition,
                       QObject *parent)
    : QObject(parent), m_timeline(timeline), m_nowPlaying(nowPlaying), m_mapPosition(mapPosition)
{
    connect(m_timeline, &DriveTimeline::drivesChanged, this, [this] { findRouteAgain(); });
    connect(m_nowPlaying, &NowPlaying::openTitleChanged, this, [this] { findRouteAgain(); });
    connect(m_mapPosition, &MapPosition::routePointChosen, this,
            [this](double latitude, double longitude) { playNear(latitude, longitude); });
}

void DriveRoute::forget()
{
    m_places.clear();
    m_mapPosition->setDriveRoute({});
}

QCoro::Task<> DriveRoute::findRouteAgain()
{
    QPointer<DriveRoute> self(this);
    const quint64 generation = ++m_generation;
    const Drive *drive = driveOf(m_timeline->drives(), m_nowPlaying->openRecording());
    if (!drive) {
        forget();
        co_return;
    }
    // The drive's recordings it plays, with a copy to read; those read before are kept.
    QList<DriveRecording> toRead;
    for (const DriveRecording &recording : drive->recordings) {
        if (recording.plays && recording.row.read > 0 && !m_read.contains(recording.row.id))
            toRead.append(recording);
    }
    const Drive shown = *drive;
    if (!toRead.isEmpty()) {
        QCoro::Task<QHash<QUuid, QList<RoutePoint>>> reading = inBackground([toRead] {
            QHash<QUuid, QList<RoutePoint>> read;
            for (const DriveRecording &recording : toRead) {
                const MediaRecords records = extractMediaRecords(localCopy(recording.row));
                read.insert(recording.row.id, routePoints(records, recording.seconds));
            }
            return read;
        });
        const QHash<QUuid, QList<RoutePoint>> read = co_await reading;
        if (!self)
            co_return;
        // What was read stays read, whether or not a newer route superseded this one.
        m_read.insert(read);
        if (generation != m_generation)
            co_return;
    }
    // Only the recordings of the card's drives are kept: a list read again has rows of its own.
    QSet<QUuid> listed;
    for (const Drive &known : m_timeline->drives()) {
        for (const DriveRecording &recording : known.recordings)
            listed.insert(recording.row.id);
    }
    m_read.removeIf([&](const auto &entry) { return !listed.contains(entry.key()); });
    m_places.clear();
    QVariantList route;
    for (const DriveRecording &recording : shown.recordings) {
        if (!recording.plays)
            continue;
        for (const RoutePoint &point : m_read.value(recording.row.id)) {
            m_places.append({point, recording.start.addMSecs(qRound64(point.offset * 1000))});
            route.append(QVariant(QVariantList{point.latitude, point.longitude}));
        }
    }
    m_mapPosition->setDriveRoute(route);
}

QCoro::Task<bool> DriveRoute::playNear(double latitude, double longitude)
{
    // Degrees of longitude shrink towards the poles: distances are measured on the ground.
    const double across = std::cos(latitude * M_PI / 180);
    double nearest = std::numeric_limits<double>::infinity();
    std::optional<QDateTime> moment;
    for (const Place &place : std::as_const(m_places)) {
        const double north = place.point.latitude - latitude;
        const double east = (place.point.longitude - longitude) * across;
        if (const double distance = north * north + east * east; distance < nearest) {
            nearest = distance;
            moment = place.moment;
        }
    }
    if (!moment)
        co_return false;
    QCoro::Task<bool> playing = m_timeline->playMoment(*moment);
    co_return co_await playing;
}

} // namespace korvane
