#pragma once

#include <QCoro/QCoroTask>
#include <QString>

namespace korvane {

struct TrackCounts
{
    int video = 0;
    int audio = 0;
};

// The number of video and sound tracks of a media file, found by GStreamer's discoverer on a
// worker thread. Throws PlaybackError when the file cannot be read as media.
QCoro::Task<TrackCounts> trackCounts(const QString &path);

} // namespace korvane
