#pragma once

#include "records/mediarecords.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace korvane {

// Position, speed (km/h) and course of an RMC sentence with a valid fix, from any satellite
// system's receiver ("$GPRMC", "$GNRMC", "$GLRMC", "$GARMC", "$GBRMC", "$BDRMC", "$GQRMC",
// "$GIRMC"). No fix for a wrong checksum, a status other than "A", mode "N", a position field
// that is empty, signed or out of range (minutes of 60 or more, beyond 90 or 180 degrees), a
// hemisphere other than the two capital letters, or a speed or course that is no plain number
// (a course above 360 included). An empty course is no course; an empty speed is standing still.
std::optional<GPRMC> decodeRMC(QStringView sentence);

// The fix time of an RMC sentence, in UTC: its "hhmmss" time and "ddmmyy" date, digits only
// (the century is 2000). The status field is not looked at; a wrong checksum gives none.
std::optional<QDateTime> rmcTime(QStringView sentence);

// The same as "yyyy-MM-dd HH:mm:ss", in the computer's time zone when `local` is set, else in
// UTC.
std::optional<QString> rmcTimestamp(QStringView sentence, bool local);

// A "yyyy-MM-dd HH:mm:ss" text read in the computer's time zone.
std::optional<QDateTime> parseTimestamp(QStringView text);

} // namespace korvane
