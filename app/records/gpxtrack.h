#pragma once

#include "records/metadataextraction.h"

#include <QByteArray>
#include <QString>

namespace korvane {

// A GPX 1.1 document with one track of the recording's valid "$GPRMC" fixes: position, UTC time,
// and speed (m/s) and course in Garmin's track point extension.
QByteArray gpxTrack(const MediaRecords &records, const QString &trackName);

// How many points that track has.
qsizetype gpxPointCount(const MediaRecords &records);

} // namespace korvane
