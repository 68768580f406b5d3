// Playback of a 60 s two-camera recording (1920x1080@30 and 1280x720@30): every frame of every
// channel decoded and handed over as fast as possible, against ffmpeg decoding the same video
// streams; and an accurate seek of the player against decoding one group of pictures of the
// first channel, all measured in the same run.
#include "benchsupport.h"
#include "gstsupport.h"
#include "multitrackplayer.h"
#include "playbackpipeline.h"
#include "timedframe.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <filesystem>
#include <random>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using bench::median;
using bench::run;
constexpr int decodeRounds = 5;
constexpr int seekCount = 15;
constexpr int gopRounds = 7;
constexpr double gopSeconds = 1.0; // the sample recordings put a key frame every second

std::string recording(const fs::path &folder)
{
    const fs::path path = folder / "N_20241005_143012.mp4";
    if (fs::exists(path))
        return path.string();
    fs::create_directories(folder);
    std::fprintf(stderr, "bench-playback: writing a 60 s two-camera recording...\n");
    run({DASHCAM_SAMPLE_PATH, "--channels", "2", "--ch1", "1920x1080@30", "--ch2", "1280x720@30",
         "--seconds", "60", path.string()},
        false);
    return path.string();
}

// Sleeps in the event loop until `condition` holds after one of `changes`; spinning would take
// a core from the decoders.
template <typename Signal>
bool waitFor(const std::function<bool()> &condition, const std::vector<QObject *> &senders,
             Signal change, int timeoutMs = 120000)
{
    if (condition())
        return true;
    QEventLoop loop;
    for (QObject *sender : senders)
        QObject::connect(static_cast<typename QtPrivate::FunctionPointer<Signal>::Object *>(sender),
                         change, &loop, [&] {
                             if (condition())
                                 loop.quit();
                         });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

QCoro::Task<bool> prerolled(korvane::PlaybackPipeline &pipeline)
{
    try {
        co_await pipeline.preroll();
        co_return true;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench-playback: %s\n", error.what());
        co_return false;
    }
}

// Opens the recording and runs it to its end with no clock; every frame is taken from its
// channel's queue as it arrives, and with `viewFrames` also copied into the frame a view draws
// (what showing it costs). Returns the seconds from opening to the end.
double decodeEverything(const std::string &path, bool viewFrames, long *frames)
{
    QElapsedTimer timer;
    timer.start();
    korvane::PlaybackPipeline pipeline(QString::fromStdString(path), {false, "fakesink"});
    if (!QCoro::waitFor(prerolled(pipeline)))
        std::exit(1);
    std::atomic_long delivered = 0;
    for (int i = 0; i < pipeline.videoBranchCount(); ++i) {
        auto queue = pipeline.videoBranch(i).frames;
        const auto take = [queue, viewFrames, &delivered] {
            while (const auto frame = queue->takeDue(1e12)) {
                if (viewFrames && !korvane::videoFrameOf(*frame).isValid())
                    std::exit(1);
                ++delivered;
            }
        };
        queue->setArrivalListener(take);
        take();
    }
    bool ended = false;
    QObject::connect(&pipeline, &korvane::PlaybackPipeline::endOfStream, [&] { ended = true; });
    pipeline.play();
    if (!waitFor([&] { return ended; }, {&pipeline}, &korvane::PlaybackPipeline::endOfStream)) {
        std::fprintf(stderr, "bench-playback: the recording did not play to its end\n");
        std::exit(1);
    }
    *frames = delivered;
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Decodes the first group of pictures of the first channel alone: the work an accurate seek
// cannot avoid on one channel.
double decodeOneGroup(const std::string &path)
{
    korvane::ensureGStreamer();
    GstElement *pipeline = gst_parse_launch(("filesrc location=\"" + path +
                                             "\" ! qtdemux name=demux demux.video_0 ! queue "
                                             "! avdec_h264 ! fakesink sync=false")
                                                .c_str(),
                                            nullptr);
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gst_element_get_state(pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE);
    QElapsedTimer timer;
    timer.start();
    gst_element_seek(pipeline, 1.0, GST_FORMAT_TIME,
                     GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                     0, GST_SEEK_TYPE_SET, static_cast<gint64>(gopSeconds * GST_SECOND));
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return seconds;
}

QCoro::Task<bool> loaded(korvane::MultiTrackPlayer &player, const std::string &path)
{
    try {
        co_await player.load(QUrl::fromLocalFile(QString::fromStdString(path)));
        co_return true;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench-playback: %s\n", error.what());
        co_return false;
    }
}

// Seconds from the player's seek to the moment every channel shows the sought picture.
std::vector<double> seekTimes(const std::string &path)
{
    korvane::MultiTrackPlayer player({true, "fakesink sync=true"});
    if (!QCoro::waitFor(loaded(player, path)))
        std::exit(1);
    std::mt19937 random(20241005);
    std::uniform_real_distribution<double> where(0.0, 0.98);
    std::vector<double> times;
    for (int i = 0; i < seekCount; ++i) {
        const double fraction = where(random);
        const double target = fraction * player.duration();
        QElapsedTimer timer;
        timer.start();
        player.seek(fraction);
        const std::vector<QObject *> channels(player.videoPlayers().begin(),
                                              player.videoPlayers().end());
        const bool shown = waitFor(
            [&] {
                for (korvane::ChannelPlayer *channel : player.videoPlayers()) {
                    const auto time = channel->currentFrameTime();
                    if (!time || std::abs(*time - target) > 1e-6)
                        return false;
                }
                return true;
            },
            channels, &korvane::ChannelPlayer::frameChanged);
        if (!shown) {
            std::fprintf(stderr, "bench-playback: seek to %.3f s never showed\n", target);
            std::exit(1);
        }
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    return times;
}

// Plays ten seconds in real time and reports how much of one core that took and how many of the
// pictures due were shown on each channel.
void realTimePlayback(const std::string &path)
{
    constexpr int seconds = 10;
    korvane::MultiTrackPlayer player({true, "fakesink sync=true"});
    if (!QCoro::waitFor(loaded(player, path)))
        std::exit(1);
    std::vector<int> shown(static_cast<size_t>(player.videoPlayers().size()), 0);
    for (korvane::ChannelPlayer *channel : player.videoPlayers())
        QObject::connect(channel, &korvane::ChannelPlayer::frameChanged,
                         [&shown, channel] { ++shown[static_cast<size_t>(channel->channel())]; });
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    player.play();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double position = player.currentTime();
    getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const rusage &usage) {
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    std::printf("real time: %.0f%% of one core; pictures shown per channel:",
                100 * (cpu(after) - cpu(before)) / wall);
    for (int count : shown)
        std::printf(" %d", count);
    std::printf(" of %.0f due\n", position * 30);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string path = recording(BENCH_DATA_DIR);
    bench::warm(path);

    std::vector<double> ours, shown, ffmpeg;
    long frames = 0;
    for (int round = 0; round < decodeRounds; ++round) {
        ffmpeg.push_back(
            run({"ffmpeg", "-threads", "2", "-i", path, "-map", "0:v", "-f", "null", "-"}).seconds);
        ours.push_back(decodeEverything(path, false, &frames));
        shown.push_back(decodeEverything(path, true, &frames));
    }
    const double decodeRatio = median(ours) / median(ffmpeg);
    std::printf("decode: korvane %.2f s (%ld frames), ffmpeg %.2f s; every frame also made "
                "into a view frame: %.2f s (ratio %.2f)\n",
                median(ours), frames, median(ffmpeg), median(shown),
                median(shown) / median(ffmpeg));

    std::vector<double> groups;
    for (int round = 0; round < gopRounds; ++round)
        groups.push_back(decodeOneGroup(path));
    const std::vector<double> seeks = seekTimes(path);
    realTimePlayback(path);
    const double seekRatio = median(seeks) / median(groups);
    std::printf("seek: median %.0f ms over %d random points, one group of pictures %.0f ms\n",
                median(seeks) * 1000, seekCount, median(groups) * 1000);
    std::printf("decode ratio %.2f (target <= 1.25); seek ratio %.2f (target <= 2.0)\n",
                decodeRatio, seekRatio);
    return 0;
}
