// A day of footage reviewed in the window: recordings opened one after another, unfinished ones
// rebuilt, the card taken out and put back, each many times over on a virtual screen. What the
// viewer holds after a warm-up is the baseline; what it holds at the end must not have grown:
// resident memory in MB per 100 rounds, and open descriptors.
#include "benchsupport.h"
#include "model/appviewmodel.h"
#include "ui/shell/viewerapplication.h"
#include "ui/shell/viewermodules.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

const char *const finished[] = {"N_20241005_143012.mp4", "N_20241005_143112.mp4"};
const char *const unfinished[] = {"N_20241005_143212.mov", "N_20241005_143312.mov"};
constexpr int warmUp = 10;

// Two finished and two unfinished 10 s recordings of two cameras, kept for the next run.
fs::path card(const fs::path &folder)
{
    return bench::keptCardImage(folder, [](const fs::path &tree) {
        std::fprintf(stderr, "bench-soak: writing a card with four 10 s recordings...\n");
        bench::fillTwoCameraCard(tree);
        std::ofstream list(tree / "mov" / "flist_normal.txt");
        for (const char *name : {finished[0], finished[1], unfinished[0], unfinished[1]}) {
            list << name << "\n";
            std::vector<std::string> args{DASHCAM_SAMPLE_PATH, "--seconds", "10", "--time",
                                          std::string(name).substr(2, 15)};
            if (std::strstr(name, ".mov"))
                args.emplace_back("--unfinished");
            args.push_back((tree / "mov" / "normal" / name).string());
            bench::run(args, false);
        }
    });
}

struct Held
{
    double residentMb = 0;
    QStringList descriptors; // what each open descriptor is: "socket", "pipe", a path, ...
};

Held heldNow()
{
    Held held;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                held.residentMb = line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    std::error_code error;
    for (const auto &fd : fs::directory_iterator("/proc/self/fd")) {
        const fs::path target = fs::read_symlink(fd.path(), error);
        if (!error) // the listing's own descriptor is gone once listed
            held.descriptors.append(
                QString::fromStdString(target.string()).section(QLatin1Char(':'), 0, 0));
    }
    held.descriptors.sort();
    return held;
}

// Waits in the event loop until `done`; a state that never comes ends the benchmark.
void waitUntil(const std::function<bool()> &done, const char *what)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 120000) {
            std::fprintf(stderr, "bench-soak: no %s after two minutes\n", what);
            std::exit(1);
        }
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

class Soak
{
public:
    Soak(korvane::AppViewModel &model, fs::path image) : m_model(model), m_image(std::move(image))
    {
    }

    // The viewer at rest: the list shown, every recording copied from the card, nothing opening.
    bool atRest() const
    {
        const QList<korvane::FileListItem> &rows = m_model.library()->filtered();
        return m_model.session()->hasCard() && rows.size() == 4 &&
               !m_model.library()->isLoading() && !m_model.library()->isSelecting() &&
               std::all_of(rows.cbegin(), rows.cend(),
                           [](const korvane::FileListItem &row) { return row.read == row.size; });
    }

    void open(const char *name)
    {
        const QList<korvane::FileListItem> &rows = m_model.library()->filtered();
        for (int row = 0; row < rows.size(); ++row) {
            if (rows[row].name == QLatin1String(name))
                m_model.opener()->open(row);
        }
        waitUntil([&] { return !m_model.library()->isSelecting(); }, "end of the open");
        if (m_model.nowPlaying()->videoPlayers().size() != 2 ||
            m_model.notifications()->alertMessage()) {
            std::fprintf(stderr, "bench-soak: %s did not open\n", name);
            std::exit(1);
        }
        QCoro::waitFor(m_model.opener()->metadataLoaded());
        waitUntil([&] { return atRest(); }, "rest after the open");
    }

    // The card out and in again, and a recording of it opened.
    void reinsert(int round)
    {
        const fs::path away = m_image.string() + ".out";
        fs::rename(m_image, away);
        waitUntil(
            [&] {
                return !m_model.session()->hasCard() &&
                       m_model.nowPlaying()->videoPlayers().isEmpty();
            },
            "card removal");
        fs::rename(away, m_image);
        waitUntil([&] { return atRest(); }, "card after its insertion");
        open(finished[round % 2]);
    }

    // `rounds` rounds after a warm-up; what the viewer held after the warm-up and at the end.
    std::pair<Held, Held> measure(const char *what, int rounds,
                                  const std::function<void(int)> &round)
    {
        for (int i = 0; i < warmUp; ++i)
            round(i);
        const Held start = heldNow();
        for (int i = 0; i < rounds; ++i)
            round(warmUp + i);
        const Held end = heldNow();
        std::printf("%s: resident %.1f MB -> %.1f MB, descriptors %d -> %d over %d rounds\n", what,
                    start.residentMb, end.residentMb, static_cast<int>(start.descriptors.size()),
                    static_cast<int>(end.descriptors.size()), rounds);
        QStringList added = end.descriptors;
        for (const QString &held : start.descriptors)
            added.removeOne(held);
        if (!added.isEmpty())
            std::printf("  added: %s\n", qPrintable(added.join(QStringLiteral(", "))));
        std::fflush(stdout);
        return {start, end};
    }

private:
    korvane::AppViewModel &m_model;
    fs::path m_image;
};

int roundsFrom(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    }
    return 200;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::printf(
            "usage: bench-soak [--rounds N]\n\nThe window on a sample card: N opens (default "
            "200) alternating two recordings,\nN rebuilds of unfinished recordings and N "
            "card removals and insertions, each after\n%d rounds of warm-up.\n",
            warmUp);
        return 0;
    }
    const int rounds = roundsFrom(argc, argv);
    if (!bench::onAScreen(argv, "bench-soak"))
        return 1;
    korvane::prepareViewerApplication();
    QGuiApplication app(argc, argv);
    korvane::styleViewer(app);

    const fs::path folder = BENCH_DATA_DIR;
    const fs::path kept = card(folder);
    // The card is taken out and put back: a folder of its own, so that nothing else there stirs
    // the card monitor.
    const fs::path slot = folder / "slot";
    fs::create_directories(slot);
    const fs::path image = slot / "card.img";
    fs::copy_file(kept, image, fs::copy_options::overwrite_existing);
    fs::create_directories(folder / "home" / "volume");
    qputenv("XDG_CACHE_HOME", (folder / "home" / "cache").string().c_str());
    qputenv("XDG_DATA_HOME", (folder / "home" / "data").string().c_str());
    qputenv("XDG_CONFIG_HOME", (folder / "home" / "config").string().c_str());

    QQmlApplicationEngine engine;
    korvane::ViewerOptions options;
    options.cardImage = QString::fromStdString(image.string());
    options.cardVolume = QString::fromStdString((folder / "home" / "volume").string());
    korvane::loadMainWindow(engine, options);
    if (engine.rootObjects().isEmpty())
        return 1;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    auto *model = window->findChild<korvane::AppViewModel *>();
    // The shared worker threads hold a descriptor each and would come and go with the work: they
    // are all started now, and kept.
    QThreadPool &pool = *QThreadPool::globalInstance();
    pool.setExpiryTimeout(-1);
    QSemaphore started;
    QSemaphore release;
    for (int i = 0; i < pool.maxThreadCount(); ++i) {
        pool.start([&] {
            started.release();
            release.acquire();
        });
    }
    started.acquire(pool.maxThreadCount());
    release.release(pool.maxThreadCount());
    Soak soak(*model, image);
    waitUntil([&] { return soak.atRest(); }, "card list");

    const std::pair<Held, Held> results[] = {
        soak.measure("opens", rounds, [&](int i) { soak.open(finished[i % 2]); }),
        soak.measure("rebuilds", rounds, [&](int i) { soak.open(unfinished[i % 2]); }),
        soak.measure("card insertions", rounds, [&](int i) { soak.reinsert(i); }),
    };
    double growth = 0;
    int added = 0;
    for (const auto &[start, end] : results) {
        growth = std::max(growth, (end.residentMb - start.residentMb) * 100 / rounds);
        added =
            std::max(added, static_cast<int>(end.descriptors.size() - start.descriptors.size()));
    }
    bench::judge("soak growth", {growth}, bench::Side::atMost, 5);
    bench::judge("soak descriptors", {static_cast<double>(added)}, bench::Side::atMost, 0);
    fs::remove(image);
    return 0;
}
