// The window playing a 20 s two-camera recording (1920x1080@30 and 1280x720@30) in the "ALL"
// layout, from a card image, on a virtual screen: how many of the pictures due reach a drawn
// frame of the window per channel, and what it costs, against the player playing the same
// recording in real time without a window, measured in the same run.
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

#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace {

namespace fs = std::filesystem;
constexpr double fps = 30;
const char *const recordingName = "N_20241005_143012.mp4";

// A card holding the one recording, kept in the benchmark's folder for the next run.
fs::path card(const fs::path &folder)
{
    return bench::keptCardImage(folder, [](const fs::path &tree) {
        std::fprintf(stderr, "bench-ui: writing a card with a 20 s two-camera recording...\n");
        bench::fillTwoCameraCard(tree);
        std::ofstream(tree / "mov" / "flist_normal.txt") << recordingName << "\n";
        bench::run({DASHCAM_SAMPLE_PATH, "--channels", "2", "--ch1", "1920x1080@30", "--ch2",
                    "1280x720@30", "--seconds", "20",
                    (tree / "mov" / "normal" / recordingName).string()},
                   false);
    });
}

struct Run
{
    std::vector<double> shownShare; // per channel, of the pictures due
    double cpuShare = 0;            // of all cores
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

// Plays `player` from its start to its end in real time, counting with `count` (which holds the
// pictures shown per channel); the shares are of the pictures due in the time played.
Run playToTheEnd(korvane::MultiTrackPlayer &player, const std::function<std::vector<int>()> &count)
{
    const double before = cpuNow();
    QElapsedTimer timer;
    timer.start();
    player.play();
    waitUntil([&] { return player.currentTime() >= player.duration() - 0.2; },
              player.duration() * 2);
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    Run run;
    run.cpuShare = (cpuNow() - before) / wall / std::max(1, QThread::idealThreadCount());
    // Pictures start every 1/30 s; the first was on screen before playback started.
    const double due = std::ceil(player.currentTime() * fps - 1e-6) - 1;
    for (int shown : count())
        run.shownShare.push_back(shown / due);
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
    return playToTheEnd(player, [&] { return shown; });
}

Run inWindow(const QString &image, const QString &volume)
{
    QQmlApplicationEngine engine;
    korvane::ViewerOptions options;
    options.cardImage = image;
    options.cardVolume = volume;
    korvane::loadMainWindow(engine, options);
    if (engine.rootObjects().isEmpty())
        std::exit(1);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    auto *model = window->findChild<korvane::AppViewModel *>();
    waitUntil(
        [&] { return model->library()->filtered().size() == 1 && !model->library()->isLoading(); },
        60);
    model->opener()->open(0);
    waitUntil(
        [&] {
            return !model->library()->isSelecting() &&
                   !model->nowPlaying()->videoPlayers().isEmpty();
        },
        60);
    korvane::MultiTrackPlayer &player = *model->playerManager();
    if (player.videoPlayers().size() != 2 ||
        model->layout()->videoView() != korvane::ScreenLayout::VideoView::AllChannels) {
        std::fprintf(stderr, "bench-ui: the recording did not open in the \"ALL\" layout\n");
        std::exit(1);
    }
    player.pause();
    player.seek(0);
    waitUntil([&] { return player.videoPlayers().first()->currentFrameTime() == 0.0; }, 10);

    // A picture reaches the screen when a frame is drawn with it: the render thread reads the
    // channels' pictures while the window's thread waits for it to take the scene over.
    std::mutex lock;
    std::vector<int> shown(2, 0);
    std::vector<std::optional<double>> drawn(2);
    QObject::connect(
        window, &QQuickWindow::beforeSynchronizing, window,
        [&] {
            const std::lock_guard guard(lock);
            for (size_t k = 0; k < 2; ++k) {
                const auto time = player.videoPlayers()[static_cast<int>(k)]->currentFrameTime();
                if (time != drawn[k]) {
                    drawn[k] = time;
                    ++shown[k];
                }
            }
        },
        Qt::DirectConnection);
    const Run run = playToTheEnd(player, [&] {
        const std::lock_guard guard(lock);
        return shown;
    });
    player.stop();
    return run;
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
    const fs::path image = card(folder);
    // Working and tools folders of the benchmark's own.
    qputenv("XDG_CACHE_HOME", (folder / "home" / "cache").string().c_str());
    qputenv("XDG_DATA_HOME", (folder / "home" / "data").string().c_str());
    qputenv("XDG_CONFIG_HOME", (folder / "home" / "config").string().c_str());

    const Run window = inWindow(QString::fromStdString(image.string()),
                                QString::fromStdString((folder / "home" / "volume").string()));
    const QString playable = QString::fromStdString(
        (folder / "home" / "cache" / "Korvane" / "work" / "open" / "playing.mp4").string());
    const Run alone = withoutWindow(playable);
    print("without a window", alone);
    print("in the window, \"ALL\" layout", window);
    double ratio = 1;
    for (size_t k = 0; k < alone.shownShare.size() && k < window.shownShare.size(); ++k)
        ratio = std::min(ratio, window.shownShare[k] / alone.shownShare[k]);
    if (window.shownShare.size() != alone.shownShare.size())
        ratio = 0;
    bench::judge("ui shown ratio", {ratio}, bench::Side::atLeast, 0.95);
    return 0;
}
