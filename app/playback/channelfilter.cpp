#include "playback/channelfilter.h"

#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <algorithm>

namespace korvane {

namespace {

GstVideoOrientationMethod orientation(int mirrorMode)
{
    switch (mirrorMode) {
    case 1:
        return GST_VIDEO_ORIENTATION_HORIZ;
    case 2:
        return GST_VIDEO_ORIENTATION_VERT;
    case 3:
        return GST_VIDEO_ORIENTATION_180;
    default:
        return GST_VIDEO_ORIENTATION_IDENTITY;
    }
}

} // namespace

ChannelFilter::ChannelFilter(GstElement *balance, GstElement *flip)
    : m_balance(balance), m_flip(flip)
{
    // videoflip turns itself into a pass-through only when its direction changes: left as it
    // starts, unmirrored, it copied every picture (a sixth of the decoding time of a channel).
    if (m_flip)
        gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(m_flip), TRUE);
}

void ChannelFilter::setBrightness(double brightness)
{
    m_brightness = brightness;
    // The offset is a single-precision value, as the brightness slider hands it over.
    const auto offset = static_cast<float>(std::clamp(brightness - 0.5, -1.0, 1.0));
    if (m_balance)
        g_object_set(m_balance, "brightness", static_cast<double>(offset), nullptr);
}

void ChannelFilter::setMirrorMode(int mode)
{
    m_mirrorMode = mode;
    if (m_flip)
        g_object_set(m_flip, "video-direction", orientation(mode), nullptr);
}

} // namespace korvane
