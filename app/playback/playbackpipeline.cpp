#include "playback/playbackpipeline.h"

#include "base/applog.h"
#include "base/mainthreadcall.h"
#include "base/threadhandover.h"
#include "playback/decodingthreads.h"
#include "playback/gstsupport.h"
#include "records/mp4tracks.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QCoro/QCoroSignal>
#include <QThread>

#include <algorithm>

#include <chrono>

namespace korvane {

namespace {

// Pictures reach their channel's queue this long before they are due, so that the presenter finds
// the picture of every channel for a clock position already decoded.
constexpr GstClockTimeDiff earlyDelivery = -150 * GST_MSECOND;
// A branch's queue holds this much ahead of its decoder; enough for any interleaving of tracks
// that a dashcam or a remux writes, without reading the whole file in while sinks preroll.
constexpr const char *branchQueue =
    "queue max-size-buffers=0 max-size-bytes=0 max-size-time=3000000000";
// The name of a video branch's first queue, whose streaming thread runs the decoder.
constexpr const char *decodingQueue = "decoding";
// Decoded pictures a branch keeps ready ahead of the ones its sink waits to hand over: a decoder
// that falls behind for a moment (a key frame, a busy core) or starts cold on play catches up
// from these instead of holding the other channels back.
constexpr guint decodedAhead = 6;
constexpr double startLead = 0.2; // seconds: what six pictures last at 30 a second
// How long a start waits at most for the decoders to get ahead: a branch near its end, or one
// that cannot decode, never fills its queue.
constexpr auto maxStartWait = std::chrono::milliseconds(500);
constexpr auto prerollTimeout = std::chrono::seconds(30);
constexpr GstClockTime seekPastRounding = 400; // nanoseconds, below what a picture's time keeps
// Sound sped up beyond this is noise: it is muted.
constexpr double maxAudibleRate = 2.0;

// The decoder (and what it needs before it) for a track; empty when none is known.
QByteArray decoderFor(const GstStructure *caps)
{
    const char *name = gst_structure_get_name(caps);
    if (g_str_equal(name, "video/x-h264"))
        return "avdec_h264";
    if (g_str_equal(name, "video/x-h265"))
        return "avdec_h265";
    if (g_str_equal(name, "audio/mpeg")) {
        int version = 0;
        gst_structure_get_int(caps, "mpegversion", &version);
        return version == 1 ? "mpegaudioparse ! avdec_mp3" : "avdec_aac";
    }
    if (g_str_equal(name, "audio/x-raw"))
        return "identity";
    return {};
}

GstFlowReturn deliverPreroll(GstAppSink *sink, gpointer queue)
{
    markTakenOver(queue);
    if (GstSample *sample = gst_app_sink_pull_preroll(sink)) {
        static_cast<FrameQueue *>(queue)->push(timedFrameFromSample(sample, true));
        gst_sample_unref(sample);
    }
    markHandedOver(queue);
    return GST_FLOW_OK;
}

GstFlowReturn deliverSample(GstAppSink *sink, gpointer queue)
{
    markTakenOver(queue);
    if (GstSample *sample = gst_app_sink_pull_sample(sink)) {
        static_cast<FrameQueue *>(queue)->push(timedFrameFromSample(sample, false));
        gst_sample_unref(sample);
    }
    markHandedOver(queue);
    return GST_FLOW_OK;
}

// Pictures decoded before a flushing seek must never reach the screen after it; and the queue
// knows when its stream has nothing more to hand over, so that nobody waits for it.
GstPadProbeReturn followStream(GstPad *, GstPadProbeInfo *info, gpointer queue)
{
    markTakenOver(queue);
    switch (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info))) {
    case GST_EVENT_FLUSH_STOP:
        static_cast<FrameQueue *>(queue)->clear();
        break;
    case GST_EVENT_EOS:
        static_cast<FrameQueue *>(queue)->markEnded();
        break;
    default:
        break;
    }
    markHandedOver(queue);
    return GST_PAD_PROBE_OK;
}

// The frame copy reads planes through their video meta, so the decoder may hand over its own
// padded pictures instead of copying each into a tightly packed one.
GstPadProbeReturn acceptVideoMeta(GstPad *, GstPadProbeInfo *info, gpointer)
{
    GstQuery *query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) == GST_QUERY_ALLOCATION)
        gst_query_add_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    return GST_PAD_PROBE_OK;
}

} // namespace

PlaybackPipeline::PlaybackPipeline(const QString &path, const QString &sideSound,
                                   PlaybackOutput output, QObject *parent)
    : QObject(parent), m_output(std::move(output))
{
    ensureGStreamer();
    // The channels already decode side by side, one thread each; a decoder splits its own work
    // over threads only where cores are left over, since that costs a copy and hand-overs.
    const auto channels =
        std::clamp(static_cast<int>(videoTrackDurations(path).size()), 1, maxVideoChannels);
    m_decoderThreads = std::max(1, QThread::idealThreadCount() / channels);
    m_pipeline = gst_pipeline_new(nullptr);
    GstElement *source = gst_element_factory_make("filesrc", nullptr);
    GstElement *demux = gst_element_factory_make("qtdemux", nullptr);
    g_object_set(source, "location", path.toUtf8().constData(), nullptr);
    gst_bin_add_many(GST_BIN(m_pipeline), source, demux, nullptr);
    gst_element_link(source, demux);
    g_signal_connect(demux, "pad-added", G_CALLBACK(onPadAdded), this);
    g_signal_connect(demux, "no-more-pads", G_CALLBACK(onNoMorePads), this);
    if (!sideSound.isEmpty())
        addSideSound(sideSound);
    m_startTimer.setInterval(10);
    connect(&m_startTimer, &QTimer::timeout, this, &PlaybackPipeline::startWhenDecodersAreAhead);
    GstPtr<GstBus> bus(gst_element_get_bus(m_pipeline));
    gst_bus_set_sync_handler(bus.get(), onBusMessage, this, nullptr);
}

PlaybackPipeline::~PlaybackPipeline()
{
    // Stopping joins the streaming threads, so no callback can reach this object afterwards.
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    markTakenOver(this);
    for (const auto &branch : m_videoBranches)
        markTakenOver(branch->frames.get());
    GstPtr<GstBus> bus(gst_element_get_bus(m_pipeline));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    gst_object_unref(m_pipeline);
}

QCoro::Task<void> PlaybackPipeline::preroll()
{
    // The demuxer's thread, started here, builds the branches from what the constructor set.
    markHandedOver(this);
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    if (!m_prerollError) {
        const auto finished = co_await qCoro(this, &PlaybackPipeline::prerollFinished,
                                             std::chrono::milliseconds(prerollTimeout));
        if (!finished && !m_prerollError)
            m_prerollError = QStringLiteral("the recording did not open in time");
    }
    if (!m_prerollError->isEmpty())
        throw PlaybackError(m_prerollError->toStdString());
}

int PlaybackPipeline::videoBranchCount() const
{
    std::lock_guard lock(m_branchesMutex);
    return static_cast<int>(m_videoBranches.size());
}

VideoBranch &PlaybackPipeline::videoBranch(int index)
{
    std::lock_guard lock(m_branchesMutex);
    return *m_videoBranches.at(static_cast<size_t>(index));
}

bool PlaybackPipeline::hasAudio() const
{
    std::lock_guard lock(m_branchesMutex);
    return m_hasAudio;
}

void PlaybackPipeline::play()
{
    m_startRequested.start();
    startWhenDecodersAreAhead();
}

void PlaybackPipeline::startWhenDecodersAreAhead()
{
    if (!m_startRequested.isValid())
        return;
    if (m_output.realTime && !decodersAreAhead() &&
        m_startRequested.elapsed() < maxStartWait.count()) {
        m_startTimer.start();
        return;
    }
    m_startTimer.stop();
    m_startRequested.invalidate();
    gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
}

// Every decoder has filled its queue of decoded pictures, or has nothing more to decode, or its
// track starts later: it prerolled without a picture, or handed one over far ahead already.
bool PlaybackPipeline::decodersAreAhead() const
{
    const double now = position().value_or(0);
    std::lock_guard lock(m_branchesMutex);
    for (const auto &branch : m_videoBranches) {
        if (!branch->decoded || branch->frames->ended())
            continue;
        if (const auto handedOver = branch->frames->lastPushedTime();
            !handedOver || *handedOver > now + startLead)
            continue;
        guint level = 0;
        g_object_get(branch->decoded, "current-level-buffers", &level, nullptr);
        if (level < decodedAhead)
            return false;
    }
    return true;
}

void PlaybackPipeline::pause()
{
    m_startTimer.stop();
    m_startRequested.invalidate();
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
}

void PlaybackPipeline::seek(double seconds)
{
    for (int i = 0; i < videoBranchCount(); ++i)
        videoBranch(i).frames->clear();
    // Times on a track's own time scale, moved by an edit list, become nanoseconds with rounding:
    // the picture before the sought one may end a nanosecond after it and be shown in its place.
    // No picture is that short.
    const GstClockTime target = clockTimeFromSeconds(seconds);
    if (gst_element_seek(m_pipeline, m_rate, GST_FORMAT_TIME,
                         GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                         GST_SEEK_TYPE_SET,
                         static_cast<gint64>(target + (target > 0 ? seekPastRounding : 0)),
                         GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE))
        m_segmentStart = target;
}

void PlaybackPipeline::setRate(double rate)
{
    m_rate = rate;
    if (m_volume)
        g_object_set(m_volume, "mute", rate > maxAudibleRate, nullptr);
}

void PlaybackPipeline::setVolume(double volume)
{
    if (m_volume)
        g_object_set(m_volume, "volume", volume, nullptr);
}

// The pipeline's running time counts from the last flushing seek (or the start) at the pace of
// its clock, standing still while paused; the recording's time runs `rate` times as fast. Asking
// the sinks instead gives the furthest of their positions: a track that starts late, or a sink
// that renders its pictures ahead of time, would pull the clock forward.
std::optional<double> PlaybackPipeline::position() const
{
    const GstClockTime running = GST_STATE(m_pipeline) == GST_STATE_PLAYING
                                     ? gst_element_get_current_running_time(m_pipeline)
                                     : gst_element_get_start_time(m_pipeline);
    if (!GST_CLOCK_TIME_IS_VALID(running))
        return std::nullopt;
    return secondsFromClockTime(m_segmentStart) + secondsFromClockTime(running) * m_rate;
}

bool PlaybackPipeline::isSettled() const
{
    if (m_startRequested.isValid())
        return false;
    GstState state = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    return gst_element_get_state(m_pipeline, &state, &pending, 0) == GST_STATE_CHANGE_SUCCESS &&
           pending == GST_STATE_VOID_PENDING;
}

std::optional<double> PlaybackPipeline::duration() const
{
    gint64 duration = 0;
    if (!gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &duration) || duration <= 0)
        return std::nullopt;
    return secondsFromClockTime(static_cast<GstClockTime>(duration));
}

void PlaybackPipeline::onPadAdded(GstElement *, GstPad *pad, gpointer self)
{
    markTakenOver(self);
    static_cast<PlaybackPipeline *>(self)->addBranch(pad);
    markHandedOver(self);
}

void PlaybackPipeline::onNoMorePads(GstElement *, gpointer self)
{
    markTakenOver(self);
    auto *pipeline = static_cast<PlaybackPipeline *>(self);
    callOnMainThread(
        pipeline,
        [pipeline] {
            pipeline->m_noMorePads = true;
            GstState state = GST_STATE_NULL;
            // Nothing to wait for when no branch prerolls asynchronously.
            if (gst_element_get_state(pipeline->m_pipeline, &state, nullptr, 0) ==
                    GST_STATE_CHANGE_SUCCESS &&
                state == GST_STATE_PAUSED)
                pipeline->finishPreroll({});
        });
}

void PlaybackPipeline::addBranch(GstPad *pad)
{
    GstCapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    const char *media = gst_structure_get_name(gst_caps_get_structure(caps.get(), 0));
    std::lock_guard lock(m_branchesMutex);
    if (g_str_has_prefix(media, "video/") && m_videoPads++ < maxVideoChannels) {
        auto branch = std::make_unique<VideoBranch>();
        QByteArray decoder = decoderFor(gst_caps_get_structure(caps.get(), 0));
        if (decoder.startsWith("avdec_"))
            decoder += " max-threads=" + QByteArray::number(m_decoderThreads);
        // Without a clock to keep, nothing waits for the pictures and none need be kept ready.
        const QByteArray aheadOfTheSink =
            m_output.realTime
                ? " ! queue name=decoded max-size-bytes=0 max-size-time=0 max-size-buffers=" +
                      QByteArray::number(decodedAhead)
                : QByteArray();
        GstElement *bin = nullptr;
        if (!decoder.isEmpty() &&
            linkBin(pad,
                    QByteArray(branchQueue) + " name=" + decodingQueue + " ! " + decoder +
                        aheadOfTheSink +
                        " ! videobalance name=balance ! videoflip name=flip ! videoconvert"
                        " ! appsink name=frames enable-last-sample=false",
                    &bin)) {
            GstPtr<GstElement> sink(gst_bin_get_by_name(GST_BIN(bin), "frames"));
            GstPtr<GstElement> balance(gst_bin_get_by_name(GST_BIN(bin), "balance"));
            GstPtr<GstElement> flip(gst_bin_get_by_name(GST_BIN(bin), "flip"));
            GstPtr<GstElement> decoded(gst_bin_get_by_name(GST_BIN(bin), "decoded"));
            branch->decoded = decoded.get(); // the pipeline keeps it alive
            GstCapsPtr formats(gst_caps_from_string("video/x-raw,format={I420,NV12}"));
            g_object_set(sink.get(), "caps", formats.get(), "sync", m_output.realTime, "ts-offset",
                         m_output.realTime ? earlyDelivery : 0, nullptr);
            GstAppSinkCallbacks callbacks{};
            callbacks.new_preroll = deliverPreroll;
            callbacks.new_sample = deliverSample;
            gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks, branch->frames.get(),
                                       nullptr);
            GstPtr<GstPad> sinkPad(gst_element_get_static_pad(sink.get(), "sink"));
            gst_pad_add_probe(
                sinkPad.get(),
                GstPadProbeType(GST_PAD_PROBE_TYPE_EVENT_FLUSH | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                followStream, branch->frames.get(), nullptr);
            gst_pad_add_probe(sinkPad.get(), GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, acceptVideoMeta,
                              nullptr, nullptr);
            // The branch's streaming threads fill the queue made here.
            markHandedOver(branch->frames.get());
            branch->filter = ChannelFilter(balance.get(), flip.get());
            branch->decodable = true;
            gst_element_sync_state_with_parent(bin);
        } else {
            appLog(logPlayback, "Failed to insert track:", QString::fromUtf8(media));
        }
        m_videoBranches.push_back(std::move(branch));
    } else if (g_str_has_prefix(media, "audio/") && !m_hasAudio) {
        GstElement *bin = nullptr;
        const QByteArray decoder = decoderFor(gst_caps_get_structure(caps.get(), 0));
        if (!decoder.isEmpty() &&
            linkBin(pad, QByteArray(branchQueue) + " ! " + decoder + " ! " + soundOutput(), &bin)) {
            m_volume = gst_bin_get_by_name(GST_BIN(bin), "volume");
            gst_object_unref(m_volume); // the pipeline keeps it alive
            m_hasAudio = true;
            gst_element_sync_state_with_parent(bin);
        } else {
            appLog(logPlayback,
                   "[MultiTrackPlayer] sound track left out:", QString::fromUtf8(media));
        }
    }
}

QByteArray PlaybackPipeline::soundOutput() const
{
    const QByteArray sink = m_output.realTime ? m_output.audioSink : "fakesink sync=false";
    // Played faster or slower, the sound keeps its pitch; without a clock to keep, nothing is
    // played at a rate.
    const QByteArray keepPitch = m_output.realTime ? " ! scaletempo ! audioconvert" : "";
    return "audioconvert" + keepPitch + " ! audioresample ! volume name=volume ! " + sink;
}

// Built before the pipeline starts, so it prerolls with the video branches; the recording's own
// sound tracks are then left out.
void PlaybackPipeline::addSideSound(const QString &path)
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description_full(
        ("filesrc name=side ! mpegaudioparse ! avdec_mp3 ! " + soundOutput()).constData(), FALSE,
        nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &error);
    if (!bin) {
        appLog(logPlayback,
               "[MultiTrackPlayer] cannot build a branch:", error ? error->message : "");
        g_clear_error(&error);
        return;
    }
    GstPtr<GstElement> source(gst_bin_get_by_name(GST_BIN(bin), "side"));
    g_object_set(source.get(), "location", path.toUtf8().constData(), nullptr);
    m_volume = gst_bin_get_by_name(GST_BIN(bin), "volume");
    gst_object_unref(m_volume); // the pipeline keeps it alive
    gst_bin_add(GST_BIN(m_pipeline), bin);
    m_hasAudio = true;
}

bool PlaybackPipeline::linkBin(GstPad *pad, const QByteArray &description, GstElement **bin)
{
    GError *error = nullptr;
    // A missing element fails the branch rather than leaving a sink that never prerolls.
    *bin = gst_parse_bin_from_description_full(description.constData(), TRUE, nullptr,
                                               GST_PARSE_FLAG_FATAL_ERRORS, &error);
    if (!*bin) {
        appLog(logPlayback,
               "[MultiTrackPlayer] cannot build a branch:", error ? error->message : "");
        g_clear_error(&error);
        return false;
    }
    gst_bin_add(GST_BIN(m_pipeline), *bin);
    GstPtr<GstPad> sinkPad(gst_element_get_static_pad(*bin, "sink"));
    if (const auto linked = gst_pad_link(pad, sinkPad.get()); linked != GST_PAD_LINK_OK) {
        appLog(logPlayback,
               "[MultiTrackPlayer] cannot link a branch:", gst_pad_link_get_name(linked));
        gst_element_set_state(*bin, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(m_pipeline), *bin);
        return false;
    }
    return true;
}

GstBusSyncReply PlaybackPipeline::onBusMessage(GstBus *, GstMessage *message, gpointer self)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STREAM_STATUS:
        placeDecodingThread(message, decodingQueue);
        break;
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_WARNING:
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ASYNC_DONE: {
        markTakenOver(self);
        auto *pipeline = static_cast<PlaybackPipeline *>(self);
        std::shared_ptr<GstMessage> held(gst_message_ref(message), gst_message_unref);
        callOnMainThread(pipeline, [pipeline, held] { pipeline->handleMessage(held.get()); });
        break;
    }
    default:
        break;
    }
    // A message the handler drops is its own to give back; held, it would keep the element
    // that posted it, and so the whole pipeline, alive.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void PlaybackPipeline::handleMessage(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        if (!m_prerolled) {
            finishPreroll(errorText(message));
        } else {
            appLog(logPlayback, "[MultiTrackPlayer] playback error:", errorText(message));
            emit failed(errorText(message));
        }
        break;
    case GST_MESSAGE_WARNING: {
        GError *error = nullptr;
        gst_message_parse_warning(message, &error, nullptr);
        appLog(logPlayback, "[MultiTrackPlayer] playback warning:", error ? error->message : "");
        g_clear_error(&error);
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (m_prerolled)
            emit seekDone();
        else if (m_noMorePads)
            finishPreroll({});
        break;
    case GST_MESSAGE_EOS:
        if (m_prerolled)
            emit endOfStream();
        break;
    default:
        break;
    }
}

void PlaybackPipeline::finishPreroll(const QString &error)
{
    if (m_prerolled || m_prerollError)
        return;
    m_prerollError = error;
    m_prerolled = error.isEmpty();
    emit prerollFinished();
}

} // namespace korvane
