// Playback of a 60 s two-camera recording (1920x1080@30 and 1280x720@30): every frame of every
// channel decoded and handed over as fast as possible, against ffmpeg decoding the same video
// streams; an accurate seek of the player against decoding one group of pictures of the first
// channel; and a five-camera 1920x1080@30 recording made by ffmpeg played in real time, against
// ffmpeg decoding it; all measured in the same run.
#include "benchsupport.h"
#include "playback/gstsupport.h"
#include "playback/multitrackplayer.h"
#include "playback/playbackpipeline.h"
#include "playback/timedframe.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>
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
constexpr int fiveRounds = 5;
constexpr double gopSeconds = 1.0; // the sample recordings put a key frame every second

// A recording kept in the benchmark's folder from an earlier run, or written now by `write` (given
// the path to write to) in a folder of its own, and moved to its place only once it is whole.
std::string keptRecording(const fs::path &folder, const std::string &name, const char *what,
                          const std::function<void(const std::string &)> &write)
{
    const fs::path path = folder / name;
    if (fs::exists(path))
        return path.string();
    fs::create_directories(folder);
    std::fprintf(stderr, "bench-playback: writing %s...\n", what);
    const fs::path partial = folder / "partial" / name;
    fs::create_directories(partial.parent_path());
    write(partial.string());
    fs::rename(partial, path);
    return path.string();
}

std::string recording(const fs::path &folder)
{
    return keptRecording(folder, "N_20241005_143012.mp4", "a 60 s two-camera recording",
                         [](const std::string &path) {
                             run({DASHCAM_SAMPLE_PATH, "--channels", "2", "--ch1", "1920x1080@30",
                                  "--ch2", "1280x720@30", "--seconds", "60", path},
                                 false);
                         });
}

// Five 1920x1080@30 cameras and their sound, 10 s, straight from ffmpeg's encoders, with some
// grain so that the pictures cost what a camera's do to decode.
void writeFiveCameras(const std::string &path)
{
    std::vector<std::string> args{"ffmpeg", "-v", "error", "-y"};
    for (int camera = 0; camera < 5; ++camera)
        args.insert(args.end(), {"-f", "lavfi", "-i",
                                 "testsrc2=size=1920x1080:rate=30:duration=10,noise=alls=" +
                                     std::to_string(6 + 2 * camera) + ":allf=t"});
    args.insert(args.end(), {"-f", "lavfi", "-i", "sine=frequency=440:duration=10"});
    for (int camera = 0; camera < 5; ++camera)
        args.insert(args.end(), {"-map", std::to_string(camera) + ":v"});
    args.insert(args.end(), {"-map", "5:a", "-c:v", "libx264", "-preset", "veryfast", "-g", "30",
                             "-b:v", "8M", "-pix_fmt", "yuv420p", "-c:a", "aac", path});
    run(args, false);
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
    korvane::PlaybackPipeline pipeline(QString::fromStdString(path), {}, {false, "fakesink"});
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

// A player opened on a recording, playing in real time into null sinks that keep time.
std::unique_ptr<korvane::MultiTrackPlayer> realTimePlayer(const std::string &path)
{
    auto player = std::make_unique<korvane::MultiTrackPlayer>(
        korvane::PlaybackOutput{true, "fakesink sync=true"});
    if (!QCoro::waitFor(loaded(*player, path)))
        std::exit(1);
    return player;
}

// Counts, per channel, the pictures that reach the screen from now on.
struct ShownPictures
{
    explicit ShownPictures(const korvane::MultiTrackPlayer &player)
        : perChannel(static_cast<size_t>(player.videoPlayers().size()), 0)
    {
        for (korvane::ChannelPlayer *channel : player.videoPlayers())
            QObject::connect(channel, &korvane::ChannelPlayer::frameChanged, [this, channel] {
                ++perChannel[static_cast<size_t>(channel->channel())];
            });
    }
    std::vector<int> perChannel;
};

// Plays ten seconds in real time and reports how much of one core that took and how many of the
// pictures due were shown on each channel.
void realTimePlayback(const std::string &path)
{
    constexpr int seconds = 10;
    const auto opened = realTimePlayer(path);
    korvane::MultiTrackPlayer &player = *opened;
    const ShownPictures shown(player);
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
    std::printf("real time: %.0f%% of one core; pictures shown per channel:",
                100 * (bench::cpuSeconds(after) - bench::cpuSeconds(before)) / wall);
    for (int count : shown.perChannel)
        std::printf(" %d", count);
    std::printf(" of %.0f due\n", position * 30);
}

struct FiveCameraRun
{
    double shownShare = 1;     // the lowest share of due pictures shown on one channel
    double cpuShare = 0;       // of both cores
    double ffmpegCpuShare = 0; // what ffmpeg's decode of the same pictures costs, per second played
};

// Plays the five-camera recording to its end in real time; at every clock tick checks that all
// channels show one instant and counts the ticks at which a lagging channel held the others back.
FiveCameraRun fiveCameraPlayback(const std::string &path)
{
    constexpr double seconds = 10;
    const bench::Measurement ffmpeg =
        run({"ffmpeg", "-threads", "2", "-i", path, "-map", "0:v", "-f", "null", "-"});
    const auto opened = realTimePlayer(path);
    korvane::MultiTrackPlayer &player = *opened;
    const ShownPictures shown(player);
    int ticks = 0, apart = 0;
    QObject::connect(&player, &korvane::MultiTrackPlayer::currentTimeChanged, [&] {
        ++ticks;
        const auto first = player.videoPlayers().first()->currentFrameTime();
        for (korvane::ChannelPlayer *channel : player.videoPlayers())
            if (channel->currentFrameTime() != first) {
                ++apart;
                break;
            }
    });
    QEventLoop loop;
    QObject::connect(&player, &korvane::MultiTrackPlayer::ended, &loop, &QEventLoop::quit);
    QTimer::singleShot(static_cast<int>(seconds * 3000), &loop, &QEventLoop::quit);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    player.play();
    loop.exec();
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    getrusage(RUSAGE_SELF, &after);
    const int cores = std::max(1, QThread::idealThreadCount());
    FiveCameraRun result;
    result.cpuShare = (bench::cpuSeconds(after) - bench::cpuSeconds(before)) / wall / cores;
    result.ffmpegCpuShare = ffmpeg.cpuSeconds / seconds / cores;
    // Pictures start every 1/30 s; the first was on screen before playback started.
    const double due = std::ceil(player.currentTime() * 30 - 1e-6) - 1;
    std::printf("five cameras 1920x1080@30, %.1f s in %.1f s: pictures shown per channel",
                player.currentTime(), wall);
    for (int count : shown.perChannel) {
        std::printf(" %.1f%%", 100 * count / due);
        result.shownShare = std::min(result.shownShare, count / due);
    }
    std::printf(" of %.0f due; %d of %d ticks held back by a lagging channel, %d at different "
                "instants; %.0f%% of %d cores (ffmpeg's decode of the same pictures: %.0f%%)\n",
                due, player.ticksHeldBack(), ticks, apart, 100 * result.cpuShare, cores,
                100 * result.ffmpegCpuShare);
    if (apart > 0)
        result.shownShare = 0; // channels out of step count as a failed run
    return result;
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
    std::printf("decode: korvane %.2f s (%ld frames), ffmpeg %.2f s; every frame also made "
                "into a view frame: %.2f s (ratio %.2f)\n",
                median(ours), frames, median(ffmpeg), median(shown),
                median(shown) / median(ffmpeg));

    std::vector<double> groups;
    for (int round = 0; round < gopRounds; ++round)
        groups.push_back(decodeOneGroup(path));
    const std::vector<double> seeks = seekTimes(path);
    realTimePlayback(path);
    const std::string fiveCameras = keptRecording(
        BENCH_DATA_DIR, "five-1080p.mp4", "a 10 s five-camera 1080p recording", writeFiveCameras);
    std::vector<double> fiveShown, fiveCpu;
    for (int round = 0; round < fiveRounds; ++round) {
        const FiveCameraRun five = fiveCameraPlayback(fiveCameras);
        fiveShown.push_back(five.shownShare);
        fiveCpu.push_back(five.cpuShare / five.ffmpegCpuShare);
    }
    std::printf("seek: median %.0f ms over %d random points, one group of pictures %.0f ms\n",
                median(seeks) * 1000, seekCount, median(groups) * 1000);
    std::printf("five-camera CPU ratio %.2f\n", median(fiveCpu));
    bench::judge("decode ratio", bench::ratios(ours, ffmpeg), bench::Side::atMost, 1.25);
    bench::judge("seek ratio", bench::ratios(seeks, median(groups)), bench::Side::atMost, 2.0);
    // Channels out of step count as a failed run (0).
    bench::judge("five real-time", fiveShown, bench::Side::atLeast, 0.99);
    return 0;
}
