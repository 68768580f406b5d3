#pragma once

#include "card/clipexport.h"

#include <QString>

#include <functional>

namespace korvane {

// The steps every kind of evidence clip shares: ffmpeg's numbers, the caption's drawing and the
// run that writes the clip and puts it in place.

// Seconds as ffmpeg takes them, to the microsecond.
QString clipSecondsText(double seconds);

// One caption drawn in a box at the bottom left of a picture `height` tall, shown only in its
// own span of the clip.
QString captionFilter(const QString &font, int height, const CaptionLine &line);
// The same caption in the band `top` to `top + height` of a composed picture, its text as tall
// as the band allows.
QString bandCaptionFilter(const QString &font, int top, int height, const CaptionLine &line);

// Writes an ffmpeg filter graph into `path`; false when it cannot.
bool writeFilterScript(const QString &path, const QString &graph);

// Makes a folder of its own in the working folder, asks `arguments` for ffmpeg's arguments up to
// the output (it may write what they name, a filter script, into that folder; empty arguments
// mean it could not), runs ffmpeg, hearing `progress` from 0 to 100 of a clip `duration` seconds
// long, then moves the clip to `destination` under the first free name. The folder goes in every
// case. `result` comes back with the outcome, the detail and the path.
QCoro::Task<ClipResult> runClipEncoder(const ToolSet &tools, QString destination,
                                       std::function<QString(const QString &folder)> arguments,
                                       double duration, std::function<void(int percent)> progress,
                                       ShellCancel cancel, ClipResult result);

// The result of a clip that was not made, logged.
ClipResult clipNotMade(ClipResult result, ClipResult::Outcome outcome, const QString &detail,
                       const ShellCancel &cancel);

} // namespace korvane
