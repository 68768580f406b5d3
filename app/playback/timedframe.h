#pragma once

#include <gst/gst.h>

#include <QVideoFrame>

namespace korvane {

// One decoded picture of a channel and where it sits on the recording's time line.
struct TimedFrame
{
    QVideoFrame frame;
    double time = 0;     // seconds from the start of the recording
    bool preroll = false; // the picture a paused pipeline shows: due whatever the clock says
};

// The decoded picture of an appsink sample as a frame a video view can draw: the planes are
// copied as they are (I420 or NV12), never converted, and the colour space comes from the
// stream so that the view converts it right.
TimedFrame timedFrameFromSample(GstSample *sample, bool preroll);

} // namespace korvane
