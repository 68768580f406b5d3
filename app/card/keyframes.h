#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace korvane {

// The key frames of every video track of an MP4 file, in track order, read from its index (the
// sample tables of its "moov"): each track's times in seconds as a player presents them (the
// composition offsets and the track's edit list applied), ascending. None when the file has no
// index to read (no "moov", or a fragmented file).
std::optional<QList<QList<double>>> videoKeyFrames(const QString &path);

// Whether a video track's pictures are shown in another order than they are decoded in (B-frames),
// or the file has no index to tell.
bool hasReorderedPictures(const QString &path);

// The times of every picture of every video track, read from the same index the same way.
std::optional<QList<QList<double>>> videoPictureTimes(const QString &path);

} // namespace korvane
