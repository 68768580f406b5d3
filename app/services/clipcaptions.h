#pragma once

#include "card/clipexport.h"
#include "records/mediarecords.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace korvane {

// When a recording began by its file name: the dashcam names each one after its start in local
// time ("20241005_143512_E.mp4", "N_20241006_100000.mov"); none for another name.
std::optional<QDateTime> recordingStartFromName(const QString &fileName);

// The captions of an evidence clip from `from` to `to` (seconds of the player's time axis): one
// for each second of the recording's clock the span touches, changing on the whole seconds of
// that axis, with the clip's times. Each shows the date and time on the dashcam's clock (the GPS
// fixes' time in the zone the file name's time shows, else the file name's time, counted on with
// the player time), then the
// speed and the position when there is a fix:
// "2024-10-05 14:35:27  42 km/h  N 37.56650° E 126.97800°". `fixes` are the recording's fixes
// on that axis (MediaDataViewModel::gpsEvents). The first caption starts a second early and the
// last ends a second late, so that no picture near the ends goes without one.
QList<CaptionLine> clipCaptions(const QList<GPSInfo> &fixes, const QString &fileName, double from,
                                double to);

// A recording's GPS fixes on the time axis of its playable file `playable`, as the player places
// them; `recording` is the file as read from the card.
QList<GPSInfo> fixesOnTimeAxis(const QString &recording, const QString &playable);

// The captions of one recording's part of a joined clip (`clipCaptions` of its span) moved to
// where that part begins in the clip (`clipStart`, seconds) and kept within its `length`, so
// that two parts' captions never show at once at a join; added to `captions`.
void addPieceCaptions(QList<CaptionLine> &captions, const QList<CaptionLine> &piece,
                      double clipStart, double length);

} // namespace korvane
