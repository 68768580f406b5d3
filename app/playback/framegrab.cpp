#include "playback/framegrab.h"

#include "playback/gstsupport.h"
#include "base/threadhandover.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

namespace korvane {

namespace {

constexpr GstClockTime stateTimeout = 20 * GST_SECOND;

struct Grab
{
    QByteArray padName;
    GstElement *branch = nullptr;
};

void linkTrack(GstElement *, GstPad *pad, gpointer data)
{
    markTakenOver(data);
    auto *grab = static_cast<Grab *>(data);
    gchar *padName = gst_pad_get_name(pad);
    if (grab->padName == padName) {
        GstPtr<GstPad> sinkPad(gst_element_get_static_pad(grab->branch, "sink"));
        gst_pad_link(pad, sinkPad.get());
    }
    g_free(padName);
    markHandedOver(data);
}

QImage imageOf(GstSample *sample)
{
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return {};
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return {};
    const QImage view(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                      GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
                      GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGBX8888);
    QImage image = view.copy();
    gst_video_frame_unmap(&frame);
    return image;
}

} // namespace

QImage grabFrame(const QString &path, int track, double seconds)
{
    ensureGStreamer();
    GError *error = nullptr;
    GstElement *pipeline =
        gst_parse_launch("filesrc name=source ! qtdemux name=demux "
                         "queue name=branch ! decodebin ! videoconvert ! video/x-raw,format=RGBx "
                         "! appsink name=sink sync=false enable-last-sample=false",
                         &error);
    if (!pipeline) {
        g_clear_error(&error);
        return {};
    }
    GstPtr<GstElement> source(gst_bin_get_by_name(GST_BIN(pipeline), "source"));
    GstPtr<GstElement> demux(gst_bin_get_by_name(GST_BIN(pipeline), "demux"));
    GstPtr<GstElement> branch(gst_bin_get_by_name(GST_BIN(pipeline), "branch"));
    GstPtr<GstElement> sink(gst_bin_get_by_name(GST_BIN(pipeline), "sink"));
    g_object_set(source.get(), "location", path.toUtf8().constData(), nullptr);
    Grab grab{QByteArray("video_") + QByteArray::number(track), branch.get()};
    g_signal_connect(demux.get(), "pad-added", G_CALLBACK(linkTrack), &grab);

    QImage image;
    markHandedOver(&grab);
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    if (gst_element_get_state(pipeline, nullptr, nullptr, stateTimeout) !=
            GST_STATE_CHANGE_FAILURE &&
        gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                static_cast<gint64>(clockTimeFromSeconds(seconds))) &&
        gst_element_get_state(pipeline, nullptr, nullptr, stateTimeout) !=
            GST_STATE_CHANGE_FAILURE) {
        if (GstSample *sample = gst_app_sink_try_pull_preroll(GST_APP_SINK(sink.get()), 0)) {
            image = imageOf(sample);
            gst_sample_unref(sample);
        }
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    // Stopped, the demuxer's thread is done with `grab`, which lives on this thread's stack.
    markTakenOver(&grab);
    gst_object_unref(pipeline);
    return image;
}

} // namespace korvane
