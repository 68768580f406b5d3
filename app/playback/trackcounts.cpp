#include "playback/trackcounts.h"

#include "base/background.h"
#include "playback/gstsupport.h"
#include "playback/playbackpipeline.h"

#include <gst/pbutils/pbutils.h>

#include <QUrl>

namespace korvane {

namespace {

constexpr GstClockTime discoveryTimeout = 10 * GST_SECOND;

struct Discovery
{
    TrackCounts counts;
    QString error;
};

Discovery discover(const QString &path)
{
    ensureGStreamer();
    Discovery discovery;
    GError *error = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(discoveryTimeout, &error);
    if (!discoverer) {
        discovery.error = QString::fromUtf8(error ? error->message : "no discoverer");
        g_clear_error(&error);
        return discovery;
    }
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), &error);
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        GList *video = gst_discoverer_info_get_video_streams(info);
        GList *audio = gst_discoverer_info_get_audio_streams(info);
        discovery.counts = {static_cast<int>(g_list_length(video)),
                            static_cast<int>(g_list_length(audio))};
        gst_discoverer_stream_info_list_free(video);
        gst_discoverer_stream_info_list_free(audio);
    } else {
        discovery.error = QString::fromUtf8(error ? error->message : "not a media file");
    }
    g_clear_error(&error);
    if (info)
        gst_discoverer_info_unref(info);
    g_object_unref(discoverer);
    return discovery;
}

} // namespace

QCoro::Task<TrackCounts> trackCounts(const QString &path)
{
    QCoro::Task<Discovery> running = inBackground([path] { return discover(path); });
    const Discovery discovery = co_await running;
    if (!discovery.error.isEmpty())
        throw PlaybackError(discovery.error.toStdString());
    co_return discovery.counts;
}

} // namespace korvane
