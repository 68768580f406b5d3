#pragma once

#include <gst/gst.h>

namespace korvane {

// The picture controls of one channel, run by two elements of its branch: `videobalance` adds
// (brightness - 0.5) of the full range to the luma plane (contrast and saturation stay 1), and
// `videoflip` mirrors. Both pass frames through untouched when the setting is neutral, and both
// take a new value with the next frame, without reloading anything.
class ChannelFilter
{
public:
    ChannelFilter() = default;
    ChannelFilter(GstElement *balance, GstElement *flip);

    void setBrightness(double brightness);
    // 0 none, 1 left-right, 2 upside-down, 3 both (a half turn); any other mode shows the
    // picture as it came.
    void setMirrorMode(int mode);

    double brightness() const { return m_brightness; }
    int mirrorMode() const { return m_mirrorMode; }

private:
    GstElement *m_balance = nullptr;
    GstElement *m_flip = nullptr;
    double m_brightness = 0.5;
    int m_mirrorMode = 0;
};

} // namespace korvane
