#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace korvane {

// The length in seconds of each video track of an MP4 file, in track order, as its track header
// states it (edits included). Empty when the file has no readable movie header.
std::vector<double> videoTrackDurations(const QString &path);

// What one video track of an MP4 file shows: its picture size (from the track header) and its
// pictures a second, as the exact fraction `frames` / `seconds` of the media header.
struct VideoTrackShape
{
    int width = 0;
    int height = 0;
    quint64 frames = 0;
    quint64 ticks = 0;     // the media's duration in its own ticks
    quint32 timescale = 0; // ticks a second
    // "30/1", "30000/1001": the rate as ffmpeg takes it; empty when the track tells none.
    QString rateText() const;
};

// Every video track's shape, in track order; empty when the file has no readable movie header.
std::vector<VideoTrackShape> videoTrackShapes(const QString &path);

struct TrackCounts
{
    int video = 0;
    int audio = 0;
};

// The number of video and sound tracks of an MP4 file, by their handlers; none when the file
// cannot be read or has no movie index.
std::optional<TrackCounts> trackCounts(const QString &path);

} // namespace korvane
