#pragma once

#include "records/metadataextraction.h"

#include <QList>

namespace korvane {

// One place of a recording's route and when the car was there.
struct RoutePoint
{
    double latitude = 0;
    double longitude = 0;
    double offset = 0; // seconds into the recording
};

// The places of a recording `seconds` long, from its RMC sentences with a valid fix, in their
// order (the points of its GPX track): the first at 0 and the last at `seconds`, those between
// by the receiver's own clock, or evenly where it has none.
QList<RoutePoint> routePoints(const MediaRecords &records, double seconds);

} // namespace korvane
