#pragma once

#include <QString>
#include <QStringList>

class QTemporaryDir;

namespace korvane::test {

// A trip cut into recordings by ffmpeg's segment muxer, not by Korvane's sample writer: `seconds`
// of two cameras (testsrc at 320x240 and testsrc2 at 160x120, 30 fps, a key frame every second)
// and AAC sound, cut every `segmentSeconds`, written into `folder` as N_<time>.mp4 with each
// piece's start after `start` ("20241005_143000"). Returns the paths in time order; fails the
// current test when ffmpeg does.
QStringList writeSegmentedTrip(const QString &folder, const QString &start, int seconds,
                               int segmentSeconds);

// A card image "card.img" in `work` whose continuous folder holds a trip of `seconds` cut every
// `segmentSeconds` from 14:30:00 on 2024-10-05 (writeSegmentedTrip), written by mke2fs; the
// pieces' paths in the card's tree, in time order.
QStringList writeSegmentedCard(const QTemporaryDir &work, int seconds, int segmentSeconds);

// One recording at `path` of two cameras that differ in size and rate, made by ffmpeg: a front
// camera of 1280x720 at 30 pictures a second and a rear one of 640x480 at 15, six seconds, a key
// frame every second, with the sound of `dashcamSound` (8 kHz MP3, as dashcams record it) or
// AAC. Fails the current test when ffmpeg does.
enum class RecordedSound
{
    aac,
    dashcamSound
};
void writeTwoSizeRecording(const QString &path, RecordedSound sound);

} // namespace korvane::test
