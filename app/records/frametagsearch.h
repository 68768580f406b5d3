#pragma once

#include <QtGlobal>

namespace korvane {

// The three metadata frame tags, in the order their records are listed.
enum class FrameTag
{
    dat,
    gps,
    sho
};

struct FrameTagHit
{
    qsizetype position = -1;
    FrameTag tag = FrameTag::dat;
};

// The first "DAT", "GPS" or "SHO" at or after `from`; position -1 when there is none.
// Recordings are hundreds of megabytes and these letters are common in compressed video, so
// the search tests 16 positions at a time for all three tags at once.
FrameTagHit findNextFrameTag(const char *data, qsizetype size, qsizetype from);

} // namespace korvane
