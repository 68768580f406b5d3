#pragma once

#include <QString>

#include <vector>

namespace korvane {

// The length in seconds of each video track of an MP4 file, in track order, as its track header
// states it (edits included). Empty when the file has no readable movie header.
std::vector<double> videoTrackDurations(const QString &path);

} // namespace korvane
