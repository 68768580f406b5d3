// The G-sensor graph's cost per clock tick that adds a point (the point appended, the lines
// handed to the scene graph, uploaded and drawn up to the picture on screen) at the end of a 600 s
// recording against the same at the end of a 60 s one, measured in the same run; and a redraw from
// 0 of the 600 s recording (a drag of the seek bar ending there) against one frame at 60 Hz.
#include "benchsupport.h"
#include "model/gsensorgraph.h"
#include "playback/multitrackplayer.h"
#include "services/mediadataviewmodel.h"
#include "ui/graph/glinegraph.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace korvane;

namespace {

constexpr double tickSeconds = 1.0 / 30;
constexpr int timedTicks = 300;
constexpr int rounds = 12;
constexpr double frameBudgetMs = 16.0;
// The graph's place in the side panel of the 1100 x 720 window.
const QSize barSize(264, 300);

// A recording's G-sensor log as the dashcam writes it: ten samples a second of road noise of a
// few steps, and a knock in the middle.
QString gSensorLog(double seconds)
{
    unsigned state = 2024;
    const auto noise = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % 7) - 3;
    };
    const int count = static_cast<int>(seconds * 10) + 1;
    QJsonArray records;
    for (int i = 0; i < count; ++i) {
        int x = noise();
        int y = noise();
        int z = noise() / 2;
        if (i == count / 2) {
            x = 96;
            y = -61;
            z = 42;
        }
        records.append(
            QJsonObject{{QStringLiteral("type"), QStringLiteral("gsensor_info")},
                        {QStringLiteral("timestamp"), QStringLiteral("20241005143012")},
                        {QStringLiteral("elapse"), i / 10.0},
                        {QStringLiteral("accel"), QJsonObject{{QStringLiteral("x"), x},
                                                              {QStringLiteral("y"), y},
                                                              {QStringLiteral("z"), z}}}});
    }
    return QString::fromUtf8(QJsonDocument(records).toJson(QJsonDocument::Compact));
}

// The bar's three lines in a window of the bar's size, drawn frame by frame.
class GraphWindow
{
public:
    GraphWindow(GSensorGraph &graph, double duration)
    {
        m_window.resize(barSize);
        for (GGraphBuffer *buffer : {graph.bufferX(), graph.bufferY(), graph.bufferZ()}) {
            auto *line = new GLineGraph(m_window.contentItem());
            line->setBuffer(buffer);
            line->setDuration(duration);
            line->setSize(barSize);
        }
        QObject::connect(
            &m_window, &QQuickWindow::beforeSynchronizing, &m_window,
            [this] { m_syncStart = now(); }, Qt::DirectConnection);
        // Up to the picture on screen: the points handed over, uploaded and drawn.
        QObject::connect(
            &m_window, &QQuickWindow::frameSwapped, &m_window,
            [this] { m_drawNs = now() - m_syncStart; }, Qt::DirectConnection);
        m_window.show();
        nextFrame();
    }

    // Waits for the next frame and says how long it took from its synchronisation to the picture
    // on screen, in nanoseconds.
    long long nextFrame()
    {
        QEventLoop loop;
        QObject::connect(&m_window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        m_window.update();
        loop.exec();
        return m_drawNs.load();
    }

private:
    static long long now()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    QQuickWindow m_window;
    std::atomic<long long> m_syncStart{0};
    std::atomic<long long> m_drawNs{0};
};

// One recording's graph in its window, played up to 10 s before its end.
class Recording
{
public:
    explicit Recording(double seconds) : m_seconds(seconds)
    {
        if (const auto problem = m_media.load(gSensorLog(seconds), seconds)) {
            std::fprintf(stderr, "bench-graph: the log did not load: %s\n", qPrintable(*problem));
            std::exit(1);
        }
        // A frame now and then as the window would draw them.
        int ticks = 0;
        for (double t = tickSeconds; t < timedFrom(); t += tickSeconds) {
            m_graph.timeChanged(t);
            if (++ticks % 150 == 0)
                m_window.nextFrame();
        }
        m_window.nextFrame();
    }

    // The last 10 s played again, tick by tick: what each tick that added a point cost, in
    // microseconds (the others leave the graph as it was).
    void playTheEnd(std::vector<double> &tickUs)
    {
        m_graph.timeChanged(timedFrom());
        m_window.nextFrame();
        for (int i = 1; i <= timedTicks; ++i) {
            const int before = m_graph.bufferX()->count();
            QElapsedTimer append;
            append.start();
            m_graph.timeChanged(timedFrom() + i * tickSeconds);
            const auto appendNs = static_cast<double>(append.nsecsElapsed());
            const auto drawNs = static_cast<double>(m_window.nextFrame());
            if (m_graph.bufferX()->count() != before)
                tickUs.push_back((appendNs + drawNs) / 1000);
        }
    }

    // Drawn anew from 0 to the end: the points, and the frame that shows them; in milliseconds.
    double rebuildMs()
    {
        QElapsedTimer rebuild;
        rebuild.start();
        m_graph.rebuildUntil(m_seconds);
        const auto modelNs = static_cast<double>(rebuild.nsecsElapsed());
        return (modelNs + static_cast<double>(m_window.nextFrame())) / 1e6;
    }

private:
    double timedFrom() const { return m_seconds - timedTicks * tickSeconds; }

    double m_seconds;
    MediaDataViewModel m_media;
    MultiTrackPlayer m_player;
    GSensorGraph m_graph{&m_player, &m_media};
    GraphWindow m_window{m_graph, m_seconds};
};

} // namespace

int main(int argc, char **argv)
{
    // The lines are drawn by the scene graph, on a screen.
    if (!bench::onAScreen(argv, "bench-graph"))
        return 1;
    QGuiApplication app(argc, argv);

    // Both recordings in turn, several times over, so that what the machine does meanwhile falls
    // on both alike.
    Recording shortOne(60);
    Recording longOne(600);
    std::vector<double> shortTicks;
    std::vector<double> longTicks;
    std::vector<double> shortRebuilds;
    std::vector<double> longRebuilds;
    for (int round = 0; round < rounds; ++round) {
        // Which one goes first changes too: the second of two runs alike comes out a little
        // cheaper or dearer depending on the machine.
        if (round % 2 == 0) {
            shortOne.playTheEnd(shortTicks);
            longOne.playTheEnd(longTicks);
        } else {
            longOne.playTheEnd(longTicks);
            shortOne.playTheEnd(shortTicks);
        }
        shortRebuilds.push_back(shortOne.rebuildMs());
        longRebuilds.push_back(longOne.rebuildMs());
    }
    const double shortTick = bench::median(shortTicks);
    const double longTick = bench::median(longTicks);
    const double longRebuild = bench::median(longRebuilds);
    std::printf("per tick that adds a point (append, hand-over, upload and drawing; median of "
                "%zu):\n",
                shortTicks.size());
    std::printf("  60 s recording:  %.2f us\n  600 s recording: %.2f us\n", shortTick, longTick);
    std::printf("redraw from 0 (median of %d): 600 s recording %.2f ms, 60 s recording %.2f ms\n",
                rounds, longRebuild, bench::median(shortRebuilds));
    bench::judge("graph ratio", bench::ratios(longTicks, shortTick), bench::Side::atMost, 1.2);
    bench::judge("rebuild ratio", bench::ratios(longRebuilds, frameBudgetMs), bench::Side::atMost,
                 1.0);
    return 0;
}
