// The window playing recordings of a card image in the "ALL" layout on a virtual screen, round
// after round: how many of the pictures due reach a drawn frame of the window per channel, and
// what it costs. A two-camera recording (1920x1080@30 and 1280x720@30) against the player
// playing it in real time without a window in the same round; a 4K front camera (3840x2160@30)
// beside a 1080p rear one, its ticks in step and its cost against ffmpeg decoding the same file
// in real time; five 1080p cameras while the card is copied in the background all along.
#include "benchsupport.h"
#include "model/appviewmodel.h"
#include "ui/shell/viewerapplication.h"
#include "ui/shell/viewermodules.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace {

namespace fs = std::filesystem;
constexpr double fps = 30;
constexpr int rounds = 5;
constexpr double playedSeconds = 6;
const char *const twoCameras = "N_20241005_143012.mp4";
const char *const fourK = "N_20241005_143112.mp4";
const char *const fiveCameras = "N_20241005_143212.mp4";

// A card holding the three recordings, kept in the benchmark's folder for the next run.
fs::path card(const fs::path &folder)
{
    return bench::keptCardImage(folder, [](const fs::path &tree) {
        std::fprintf(stderr, "bench-ui: writing a card with three 10 s recordings...\n");
        bench::fillTwoCameraCard(tree);
        std::ofstream(tree / "mov" / "flist_normal.txt") << twoCameras << "\n"
                                                         << fourK << "\n"
                                                         << fiveCameras << "\n";
        const auto write = [&](const char *name, std::vector<std::string> cameras) {
            std::vector<std::string> args{DASHCAM_SAMPLE_PATH, "--seconds", "10", "--channels",
                                          std::to_string(cameras.size())};
            for (size_t k = 0; k < cameras.size(); ++k) {
                args.push_back("--ch" + std::to_string(k + 1));
                args.push_back(cameras[k]);
            }
            args.push_back((tree / "mov" / "normal" / name).string());
            bench::run(args, false);
        };
        write(twoCameras, {"1920x1080@30", "1280x720@30"});
        write(fourK, {"3840x2160@30", "1920x1080@30"});
        write(fiveCameras, std::vector<std::string>(5, "1920x1080@30"));
    });
}

struct Run
{
    std::vector<double> shownShare; // per channel, of the pictures due
    double cpuShare = 0;            // of all cores
    int outOfStep = 0;              // clock ticks at which the channels showed different instants
    int copies = 0;                 // card copies made in the background meanwhile
    double worstShare() const
    {
        return shownShare.empty() ? 0 : *std::min_element(shownShare.cbegin(), shownShare.cend());
    }
};

double cpuNow()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return bench::cpuSeconds(usage);
}

// Waits in the event loop until `done`, or `seconds` at most; sleeping, so that the wait costs
// no time of the cores measured.
void waitUntil(const std::function<bool()> &done, double seconds)
{
    if (done())
        return;
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || static_cast<double>(timer.elapsed()) > seconds * 1000)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
}

QCoro::Task<bool> loaded(korvane::MultiTrackPlayer &player, QString path)
{
    try {
        co_await player.load(QUrl::fromLocalFile(path));
        co_return true;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench-ui: %s\n", error.what());
        co_return false;
    }
}

// Plays `player` from its start for `playedSeconds` in real time, counting with `count` (which
// holds the pictures shown per channel); the shares are of the pictures due in the time played.
Run playFromTheStart(korvane::MultiTrackPlayer &player,
                     const std::function<std::vector<int>()> &count)
{
    Run run;
    const QMetaObject::Connection ticks =
        QObject::connect(&player, &korvane::MultiTrackPlayer::currentTimeChanged, [&] {
            std::optional<double> first;
            for (korvane::ChannelPlayer *channel : player.videoPlayers()) {
                const std::optional<double> time = channel->currentFrameTime();
                if (!time)
                    return;
                if (!first)
                    first = time;
                else if (std::abs(*time - *first) > 1 / fps / 2)
                    ++run.outOfStep;
            }
        });
    const double before = cpuNow();
    QElapsedTimer timer;
    timer.start();
    player.play();
    waitUntil([&] { return player.currentTime() >= playedSeconds; }, playedSeconds * 3);
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QObject::disconnect(ticks);
    run.cpuShare = (cpuNow() - before) / wall / std::max(1, QThread::idealThreadCount());
    // Pictures start every 1/30 s; the first was on screen before playback started.
    const double due = std::ceil(player.currentTime() * fps - 1e-6) - 1;
    for (int shown : count())
        run.shownShare.push_back(shown / due);
    player.pause();
    return run;
}

Run withoutWindow(const QString &path)
{
    korvane::MultiTrackPlayer player(korvane::PlaybackOutput{true, "autoaudiosink"});
    if (!QCoro::waitFor(loaded(player, path)))
        std::exit(1);
    std::vector<int> shown(static_cast<size_t>(player.videoPlayers().size()), 0);
    for (korvane::ChannelPlayer *channel : player.videoPlayers())
        QObject::connect(channel, &korvane::ChannelPlayer::frameChanged,
                         [&shown, channel] { ++shown[static_cast<size_t>(channel->channel())]; });
    return playFromTheStart(player, [&] { return shown; });
}

// The viewer's window on the card image, its recordings listed.
struct Viewer
{
    QQmlApplicationEngine engine;
    QQuickWindow *window = nullptr;
    korvane::AppViewModel *model = nullptr;

    Viewer(const QString &image, const QString &volume)
    {
        korvane::ViewerOptions options;
        options.cardImage = image;
        options.cardVolume = volume;
        korvane::loadMainWindow(engine, options);
        if (engine.rootObjects().isEmpty())
            std::exit(1);
        window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        model = window->findChild<korvane::AppViewModel *>();
        model->library()->setIsAutoLoad(false);
        waitUntil(
            [&] {
                return model->library()->filtered().size() == 3 && !model->library()->isLoading();
            },
            60);
    }
};

// The recording `name` opened by a click in the window and played from its start; `during`
// runs in the meanwhile (its own event loop turns), and says how often it ran.
Run inWindow(Viewer &viewer, const char *name, int channels,
             const std::function<QCoro::Task<int>(const bool &)> &during = {})
{
    korvane::AppViewModel &model = *viewer.model;
    const auto rows = model.library()->filtered();
    const auto row = std::find_if(rows.cbegin(), rows.cend(),
                                  [&](const korvane::FileListItem &r) { return r.name == name; });
    const auto index = static_cast<int>(row - rows.cbegin());
    model.opener()->open(index);
    waitUntil(
        [&] {
            return !model.library()->isSelecting() && model.playerManager()->isPlaying() &&
                   model.library()->selectedIndex() == index;
        },
        60);
    korvane::MultiTrackPlayer &player = *model.playerManager();
    if (player.videoPlayers().size() != channels ||
        model.layout()->videoView() != korvane::ScreenLayout::VideoView::AllChannels) {
        std::fprintf(stderr, "bench-ui: %s did not open in the \"ALL\" layout\n", name);
        std::exit(1);
    }
    player.pause();
    player.seek(0);
    waitUntil(
        [&] {
            return player.isSettled() && player.videoPlayers().first()->currentFrameTime() == 0.0;
        },
        10);

    // A picture reaches the screen when a frame is drawn with it: the render thread reads the
    // channels' pictures while the window's thread waits for it to take the scene over.
    std::mutex lock;
    std::vector<int> shown(static_cast<size_t>(channels), 0);
    std::vector<std::optional<double>> drawn(static_cast<size_t>(channels));
    const QMetaObject::Connection frames = QObject::connect(
        viewer.window, &QQuickWindow::beforeSynchronizing, viewer.window,
        [&] {
            const std::lock_guard guard(lock);
            for (size_t k = 0; k < shown.size(); ++k) {
                const auto time = player.videoPlayers()[static_cast<int>(k)]->currentFrameTime();
                if (time != drawn[k]) {
                    drawn[k] = time;
                    ++shown[k];
                }
            }
        },
        Qt::DirectConnection);
    bool playing = true;
    std::optional<QCoro::Task<int>> background;
    if (during)
        background = during(playing);
    Run run = playFromTheStart(player, [&] {
        const std::lock_guard guard(lock);
        return shown;
    });
    playing = false;
    if (background)
        run.copies = QCoro::waitFor(std::move(*background));
    QObject::disconnect(frames);
    return run;
}

// ffmpeg decoding the video tracks of `path` at their own pace for the seconds played: its share
// of all cores.
double ffmpegDecodeShare(const std::string &path)
{
    const bench::Measurement decode =
        bench::run({"ffmpeg", "-v", "error", "-re", "-t", std::to_string(playedSeconds), "-i", path,
                    "-map", "0:v", "-f", "null", "-"});
    return decode.cpuSeconds / decode.seconds / std::max(1, QThread::idealThreadCount());
}

void print(const char *what, const Run &run)
{
    std::printf("%s: pictures shown per channel", what);
    for (double share : run.shownShare)
        std::printf(" %.1f%%", 100 * share);
    std::printf("; %.0f%% of %d cores\n", 100 * run.cpuShare, QThread::idealThreadCount());
}

} // namespace

int main(int argc, char **argv)
{
    if (!bench::onAScreen(argv, "bench-ui"))
        return 1;
    korvane::prepareViewerApplication();
    QGuiApplication app(argc, argv);
    korvane::styleViewer(app);

    const fs::path folder = BENCH_DATA_DIR;
    fs::create_directories(folder / "home" / "volume");
    fs::create_directories(folder / "three-recordings");
    const fs::path image = card(folder / "three-recordings");
    // Working and tools folders of the benchmark's own.
    qputenv("XDG_CACHE_HOME", (folder / "home" / "cache").string().c_str());
    qputenv("XDG_DATA_HOME", (folder / "home" / "data").string().c_str());
    qputenv("XDG_CONFIG_HOME", (folder / "home" / "config").string().c_str());

    Viewer viewer(QString::fromStdString(image.string()),
                  QString::fromStdString((folder / "home" / "volume").string()));
    korvane::ProcessManager &cardReader = viewer.model->procManager();
    const std::string copies = (folder / "home" / "cache" / "Korvane" / "mov" / "normal").string();
    // The card copied over and over at the priority of a copy made ahead of need, for as long as
    // the recording plays.
    const auto copying = [&](const bool &playing) -> QCoro::Task<int> {
        int copied = 0;
        while (playing) {
            co_await cardReader.readCardFile(QStringLiteral("mov/normal/") + twoCameras,
                                             korvane::Shell::Priority::background);
            ++copied;
        }
        co_return copied;
    };

    std::vector<double> uiRatios, fourKShown, fourKOutOfStep, fourKCpu, ffmpegCpu, fiveShown,
        copiesMade;
    for (int round = 0; round < rounds; ++round) {
        const Run window = inWindow(viewer, twoCameras, 2);
        const Run alone = withoutWindow(QString::fromStdString(copies + "/" + twoCameras));
        print("two cameras without a window", alone);
        print("two cameras in the window, \"ALL\" layout", window);
        double ratio = 1;
        for (size_t k = 0; k < alone.shownShare.size() && k < window.shownShare.size(); ++k)
            ratio = std::min(ratio, window.shownShare[k] / alone.shownShare[k]);
        uiRatios.push_back(window.shownShare.size() == alone.shownShare.size() ? ratio : 0);

        const Run fourKRun = inWindow(viewer, fourK, 2);
        print("4K and 1080p in the window", fourKRun);
        fourKShown.push_back(fourKRun.worstShare());
        fourKOutOfStep.push_back(fourKRun.outOfStep);
        fourKCpu.push_back(fourKRun.cpuShare);
        ffmpegCpu.push_back(ffmpegDecodeShare(copies + "/" + fourK));

        const Run five = inWindow(viewer, fiveCameras, 5, copying);
        print("five cameras in the window while the card copies", five);
        fiveShown.push_back(five.worstShare());
        copiesMade.push_back(five.copies);
    }
    std::printf("4K and 1080p: the window's cores %.0f%%, ffmpeg decoding the file in real time "
                "%.0f%% (ratio %.2f); card copies during five cameras %.0f a round\n",
                100 * bench::median(fourKCpu), 100 * bench::median(ffmpegCpu),
                bench::median(bench::ratios(fourKCpu, ffmpegCpu)), bench::median(copiesMade));
    bench::judge("ui shown ratio", uiRatios, bench::Side::atLeast, 0.95);
    bench::judge("4K and 1080p shown", fourKShown, bench::Side::atLeast, 0.95);
    bench::judge("4K and 1080p ticks out of step", fourKOutOfStep, bench::Side::atMost, 0);
    bench::judge("five cameras while copying shown", fiveShown, bench::Side::atLeast, 0.95);
    return 0;
}
