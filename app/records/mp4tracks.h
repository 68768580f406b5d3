#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace korvane {

// The length in seconds of each video track of an MP4 file, in track order, as its track header
// states it (edits included). Empty when the file has no readable movie header.
std::vector<double> videoTrackDurations(const QString &path);

struct TrackCounts
{
    int video = 0;
    int audio = 0;
};

// The number of video and sound tracks of an MP4 file, by their handlers; none when the file
// cannot be read or has no movie index.
std::optional<TrackCounts> trackCounts(const QString &path);

} // namespace korvane
