#pragma once

#include "card/clipexport.h"

namespace korvane {

// One recording's part of a clip: seconds of the file the player plays of it.
struct ClipPiece
{
    QString input;
    double from = 0;
    double to = 0;
};

// An evidence clip encoded anew from the parts of one or more recordings, joined in their order
// without a gap or a picture shown twice.
struct JoinedClipRequest
{
    QList<ClipPiece> pieces; // every one with the same cameras
    ClipLayout layout = ClipLayout::grid;
    int track = -1; // with `tracks`: the one camera kept (from 0); -1 keeps every one
    // In seconds of the clip: drawn in a band below the cameras, or on each camera with `tracks`.
    std::optional<QList<CaptionLine>> captions;
    QString destination;
};

// Each piece is cut at its own seconds exactly (from the picture at `from` up to the one before
// `to`) and the sound of every piece follows, when each has sound. With `tracks`, no caption and
// every cut on a key frame of every camera (or at a file's end), the pieces are copied as
// recorded; otherwise encoded anew, the cameras composed at the first camera's rate or kept as
// tracks of their own: H.264 and AAC. Either way in an MP4 whose index comes first, as a
// browser's player wants it. The rest as `exportClip`.
QCoro::Task<ClipResult> exportJoinedClip(const ToolSet &tools, JoinedClipRequest request,
                                         std::function<void(int percent)> progress,
                                         ShellCancel cancel);

} // namespace korvane
