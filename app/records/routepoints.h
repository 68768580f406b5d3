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
// order (the points of its GPX track), each at its GPS record's share of the recording: the
// first record at 0, the last at `seconds`, a record without a fix keeping its second.
QList<RoutePoint> routePoints(const MediaRecords &records, double seconds);

} // namespace korvane
