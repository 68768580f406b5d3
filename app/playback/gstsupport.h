#pragma once

#include <gst/gst.h>

#include <QString>

#include <memory>

namespace korvane {

// GStreamer is set up once per process, on first use.
void ensureGStreamer();

struct GstObjectUnref
{
    void operator()(gpointer object) const { gst_object_unref(object); }
};
template <typename T> using GstPtr = std::unique_ptr<T, GstObjectUnref>;

struct GstCapsUnref
{
    void operator()(GstCaps *caps) const { gst_caps_unref(caps); }
};
using GstCapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;

inline double secondsFromClockTime(GstClockTime time)
{
    return GST_CLOCK_TIME_IS_VALID(time) ? static_cast<double>(time) / GST_SECOND : 0.0;
}

inline GstClockTime clockTimeFromSeconds(double seconds)
{
    return seconds <= 0 ? 0 : static_cast<GstClockTime>(seconds * GST_SECOND + 0.5);
}

// The error text of an ERROR message, with its debug detail when there is one.
QString errorText(GstMessage *message);

} // namespace korvane
