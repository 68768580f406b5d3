#pragma once

#include "mediarecords.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace korvane {

// Position, speed (km/h) and course of a "$GPRMC" sentence with a valid fix.
std::optional<GPRMC> decodeRMC(QStringView sentence);

// The fix time of a "$GPRMC" sentence as "yyyy-MM-dd HH:mm:ss", in the computer's time zone
// when `local` is set, else in UTC. The status field is not looked at.
std::optional<QString> rmcTimestamp(QStringView sentence, bool local);

// A "yyyy-MM-dd HH:mm:ss" text read in the computer's time zone.
std::optional<QDateTime> parseTimestamp(QStringView text);

} // namespace korvane
