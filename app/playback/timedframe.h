#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <QVideoFrame>

#include <memory>
#include <optional>

namespace korvane {

// One decoded picture of a channel, as the decoder handed it over, and where it sits on the
// recording's time line. It becomes a frame a view can draw only when it is shown, so pictures
// that are skipped cost no copy.
struct TimedFrame
{
    std::shared_ptr<GstSample> sample;
    double time = 0;      // seconds from the start of the recording
    double end = 0;       // where its span ends; its own time when the stream states no duration
    double interval = 0;  // a picture's length at the stream's frame rate; 0 when it has none
    bool preroll = false; // the picture a paused pipeline shows
    std::optional<GstVideoInfo> format; // none when the caps describe no picture we can read
};

TimedFrame timedFrameFromSample(GstSample *sample, bool preroll);

// The picture as a frame a video view can draw: the planes are copied as they are (I420 or NV12),
// never converted, and the colour space comes from the stream so that the view converts it right.
QVideoFrame videoFrameOf(const TimedFrame &timed);

} // namespace korvane
