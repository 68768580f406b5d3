#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace korvane {

// The length in seconds of each video track of an MP4 file, in track order, as its track header
// states it (edits included). Empty when the file has no readable movie header.
std::vector<double> videoTrackDurations(const QString &path);

// How long a recording lasts: its longest video track (a camera may stop before another); none
// when the file tells no length.
std::optional<double> recordingSeconds(const QString &path);

// What one video track of an MP4 file shows: its picture size (from the track header) and the
// time from one picture to the next (the most common sample duration of its time table).
struct VideoTrackShape
{
    int width = 0;
    int height = 0;
    quint32 timescale = 0;    // ticks a second
    quint32 pictureTicks = 0; // ticks from one picture to the next
    // "30/1", "30000/1001": the pictures a second as ffmpeg takes them; empty when unknown.
    QString rateText() const;
    // Seconds from one picture to the next; 0 when unknown.
    double pictureSeconds() const;
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
