#include "playback/timedframe.h"

#include "playback/gstsupport.h"

#include <gst/video/video.h>

#include <cstring>

namespace korvane {

namespace {

QVideoFrameFormat::PixelFormat pixelFormat(GstVideoFormat format)
{
    switch (format) {
    case GST_VIDEO_FORMAT_I420:
        return QVideoFrameFormat::Format_YUV420P;
    case GST_VIDEO_FORMAT_NV12:
        return QVideoFrameFormat::Format_NV12;
    default:
        return QVideoFrameFormat::Format_Invalid;
    }
}

QVideoFrameFormat::ColorSpace colorSpace(const GstVideoColorimetry &colorimetry)
{
    switch (colorimetry.matrix) {
    case GST_VIDEO_COLOR_MATRIX_BT709:
        return QVideoFrameFormat::ColorSpace_BT709;
    case GST_VIDEO_COLOR_MATRIX_BT2020:
        return QVideoFrameFormat::ColorSpace_BT2020;
    default:
        return QVideoFrameFormat::ColorSpace_BT601;
    }
}

void copyPlanes(const GstVideoFrame &source, QVideoFrame &frame)
{
    for (guint plane = 0; plane < GST_VIDEO_FRAME_N_PLANES(&source); ++plane) {
        const auto *from = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&source, plane));
        const int fromStride = GST_VIDEO_FRAME_PLANE_STRIDE(&source, plane);
        uchar *to = frame.bits(static_cast<int>(plane));
        const int toStride = frame.bytesPerLine(static_cast<int>(plane));
        // I420 and NV12: plane i holds component i's rows.
        const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(&source, plane);
        if (fromStride == toStride) {
            std::memcpy(to, from, static_cast<size_t>(fromStride) * rows);
            continue;
        }
        const int rowBytes = std::min(fromStride, toStride);
        for (int row = 0; row < rows; ++row)
            std::memcpy(to + row * toStride, from + row * fromStride, rowBytes);
    }
}

// Qt 6.4 lays out a three-plane 4:2:0 picture whose chroma planes have an odd number of rows
// with a chroma stride one byte longer than its renderer reads (480x270: 241 for 240), and the
// picture shows sheared. Such pictures are handed over as NV12, whose layout Qt gets right.
bool qtMisplacesChroma(const GstVideoInfo &info)
{
    return GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_I420 &&
           GST_VIDEO_INFO_COMP_HEIGHT(&info, 1) % 2 == 1;
}

// I420 into NV12: the luma rows as they are, the two chroma planes interleaved.
void interleaveChroma(const GstVideoFrame &source, QVideoFrame &frame)
{
    const auto *luma = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&source, 0));
    const int lumaStride = GST_VIDEO_FRAME_PLANE_STRIDE(&source, 0);
    const int width = GST_VIDEO_FRAME_WIDTH(&source);
    for (int row = 0; row < GST_VIDEO_FRAME_HEIGHT(&source); ++row)
        std::memcpy(frame.bits(0) + row * frame.bytesPerLine(0), luma + row * lumaStride,
                    static_cast<size_t>(width));
    const auto *u = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&source, 1));
    const auto *v = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&source, 2));
    const int uStride = GST_VIDEO_FRAME_PLANE_STRIDE(&source, 1);
    const int vStride = GST_VIDEO_FRAME_PLANE_STRIDE(&source, 2);
    const int chromaWidth = GST_VIDEO_FRAME_COMP_WIDTH(&source, 1);
    for (int row = 0; row < GST_VIDEO_FRAME_COMP_HEIGHT(&source, 1); ++row) {
        uchar *to = frame.bits(1) + row * frame.bytesPerLine(1);
        const uchar *fromU = u + row * uStride;
        const uchar *fromV = v + row * vStride;
        for (int x = 0; x < chromaWidth; ++x) {
            to[2 * x] = fromU[x];
            to[2 * x + 1] = fromV[x];
        }
    }
}

// The stream's format, read once per caps on the channel's streaming thread: reading it warns
// about what the caps leave out (x265 states no colour matrix, only a range), and would do so
// for every picture.
bool videoInfoOf(GstCaps *caps, GstVideoInfo *info)
{
    thread_local GstCapsPtr readCaps;
    thread_local GstVideoInfo readInfo;
    thread_local bool readable = false;
    if (readCaps.get() != caps) {
        readCaps.reset(gst_caps_ref(caps)); // held, so that no other caps can take its address
        readable = gst_video_info_from_caps(&readInfo, caps);
    }
    *info = readInfo;
    return readable;
}

} // namespace

TimedFrame timedFrameFromSample(GstSample *sample, bool preroll)
{
    TimedFrame timed;
    timed.preroll = preroll;
    timed.sample.reset(gst_sample_ref(sample), gst_sample_unref);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!buffer)
        return timed;
    GstVideoInfo info;
    if (GstCaps *caps = gst_sample_get_caps(sample); caps && videoInfoOf(caps, &info)) {
        timed.format = info;
        if (info.fps_n > 0 && info.fps_d > 0)
            timed.interval = static_cast<double>(info.fps_d) / info.fps_n;
    }
    GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (const GstSegment *segment = gst_sample_get_segment(sample))
        pts = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts);
    // To the microsecond: a seek lands a fraction of one past the sought time, and the picture
    // it shows then carries the sought time itself.
    const auto microseconds = [](GstClockTime time) {
        return GST_CLOCK_TIME_IS_VALID(time) ? static_cast<double>((time + 500) / 1000) / 1e6 : 0.0;
    };
    timed.time = microseconds(pts);
    timed.end = timed.time;
    if (GST_CLOCK_TIME_IS_VALID(pts) && GST_BUFFER_DURATION_IS_VALID(buffer))
        timed.end = microseconds(pts + GST_BUFFER_DURATION(buffer));
    return timed;
}

QVideoFrame videoFrameOf(const TimedFrame &timed)
{
    GstSample *sample = timed.sample.get();
    GstBuffer *buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    if (!buffer || !timed.format)
        return {};
    GstVideoInfo info = *timed.format;
    const bool interleave = qtMisplacesChroma(info);
    const auto format =
        interleave ? QVideoFrameFormat::Format_NV12 : pixelFormat(GST_VIDEO_INFO_FORMAT(&info));
    if (format == QVideoFrameFormat::Format_Invalid)
        return {};

    QVideoFrameFormat frameFormat(QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info)),
                                  format);
    frameFormat.setColorSpace(colorSpace(info.colorimetry));
    frameFormat.setColorRange(info.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255
                                  ? QVideoFrameFormat::ColorRange_Full
                                  : QVideoFrameFormat::ColorRange_Video);
    QVideoFrame frame(frameFormat);
    GstVideoFrame source;
    if (!gst_video_frame_map(&source, &info, buffer, GST_MAP_READ))
        return {};
    const bool mapped = frame.map(QVideoFrame::WriteOnly);
    if (mapped) {
        if (interleave)
            interleaveChroma(source, frame);
        else
            copyPlanes(source, frame);
        frame.unmap();
        const auto micros = static_cast<qint64>(timed.time * 1e6);
        frame.setStartTime(micros);
        if (GST_BUFFER_DURATION_IS_VALID(buffer))
            frame.setEndTime(micros + static_cast<qint64>(GST_BUFFER_DURATION(buffer) / 1000));
    }
    gst_video_frame_unmap(&source);
    return mapped ? frame : QVideoFrame();
}

} // namespace korvane
