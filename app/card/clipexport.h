#pragma once

#include "card/cliplayout.h"
#include "card/shell.h"
#include "card/toolset.h"

#include <QCoroTask>
#include <QList>
#include <QString>

#include <functional>
#include <limits>
#include <optional>

namespace korvane {

// One caption of an evidence clip: its text, shown from `start` up to (not including) `end`,
// both in seconds of the clip.
struct CaptionLine
{
    double start = 0;
    double end = 0;
    QString text;
    friend bool operator==(const CaptionLine &, const CaptionLine &) = default;
};

// An evidence clip to make: a span of a recording that plays (an MP4 as the player opens it).
struct ClipRequest
{
    QString input;
    double from = 0; // seconds of the recording
    double to = 0;
    // Where the recording's pictures end (the length of its first camera, or of the one camera
    // kept); infinite while unknown.
    double end = std::numeric_limits<double>::infinity();
    int track = -1; // the one video track kept (camera N is track N-1); -1 keeps every one
    // Every camera in one picture (the pictures are then encoded anew from `from` exactly), or
    // each camera a track of its own.
    ClipLayout layout = ClipLayout::tracks;
    // Burned into every picture when present: the pictures are then encoded anew and the clip
    // starts exactly at `from`. Without, the tracks are copied as they are and the clip starts
    // on the key frame at or before `from`.
    std::optional<QList<CaptionLine>> captions;
    QString destination; // the name wanted; a file there gives the clip the next free name
};

struct ClipResult
{
    enum class Outcome
    {
        saved,
        cancelled,
        noFont,        // no font with Hangul for the captions
        noSuchChannel, // the recording has no such video track
        nothingToCut,  // the span holds no picture, or the recording could not be read
        failed,        // ffmpeg wrote no clip
        notWritten     // the clip was made but could not be put at its destination
    };
    Outcome outcome = Outcome::failed;
    QString detail;   // ffmpeg's complaint or the file system's, for the log and the command line
    double start = 0; // where in the recording the clip begins (the key frame, for a copy)
    QString path;     // where the clip is, or would have been
};

// Makes the clip in a folder of its own in the working folder and moves it to its destination
// only when whole, never over a file there; that folder goes in every case. `progress` hears 0 to
// 100 as ffmpeg writes. Cancelling kills ffmpeg and leaves nothing at the destination.
QCoro::Task<ClipResult> exportClip(const ToolSet &tools, ClipRequest request,
                                   std::function<void(int percent)> progress, ShellCancel cancel);

// A font file that has Hangul: a known place of the common Korean-capable fonts first, then what
// fontconfig lists for Korean; none when there is no such font.
QCoro::Task<std::optional<QString>> hangulFont();

// One value of an ffmpeg filter graph, taken literally whatever it holds: quoted for the
// option level, then again for the graph level (quotes, backslashes, ':', ',', ';', '[' and
// newlines lose their meaning).
QString filterValue(QStringView text);

} // namespace korvane
