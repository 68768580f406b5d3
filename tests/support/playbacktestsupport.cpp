#include "playbacktestsupport.h"

#include "qtprinters.h"
#include "samplerecordings.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>

#include <QCoro/QCoroTask>

namespace korvane::test {

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

void deliverPosted()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

bool waitUntilSettled(const MultiTrackPlayer &player, int timeoutMs)
{
    if (!waitUntil([&] { return player.isSettled(); }, timeoutMs))
        return false;
    deliverPosted();
    return true;
}

void TickWatch::check(const MultiTrackPlayer &player, const std::vector<double> &starts)
{
    const double now = player.currentTime();
    if (!times.empty() && (now < times.back() || now > times.back() + largestStep))
        faults << QStringLiteral("clock went from %1 to %2").arg(times.back()).arg(now);
    if (now > player.duration())
        faults << QStringLiteral("clock %1 beyond %2").arg(now).arg(player.duration());
    times.push_back(now);
    std::optional<double> instant;
    for (ChannelPlayer *channel : player.videoPlayers()) {
        const double start = starts.at(static_cast<size_t>(channel->channel()));
        const auto shown = channel->currentFrameTime();
        if (now < start) {
            if (shown && *shown != start)
                faults << QStringLiteral("channel %1 shows %2 at %3 before its start")
                              .arg(channel->channel())
                              .arg(*shown)
                              .arg(now);
            continue;
        }
        const bool lagging = shown && *shown + frameSpan + MultiTrackPlayer::maxHoldBack < now;
        if (!shown || *shown > now + 1e-6 || (lagging && lagIsFault)) {
            faults << QStringLiteral("channel %1 shows %2 at %3")
                          .arg(channel->channel())
                          .arg(shown.value_or(-1))
                          .arg(now);
            continue;
        }
        if (*shown >= start - 1e-6 && instant && std::abs(*instant - *shown) > 1e-6)
            faults << QStringLiteral("channels at %1 and %2").arg(*instant).arg(*shown);
        instant = shown;
    }
}

QByteArray referenceFrames(const QString &path, int track)
{
    const ProgramRun decode =
        run(QStringLiteral("ffmpeg"),
            {"-v", "error", "-i", path, "-map", QStringLiteral("0:v:%1").arg(track), "-f",
             "rawvideo", "-pix_fmt", "yuv420p", "-"});
    EXPECT_EQ(decode.exitCode, 0) << decode.err.constData();
    return decode.out;
}

QByteArray lumaPlane(const QVideoFrame &source)
{
    QVideoFrame frame = source;
    if (!frame.map(QVideoFrame::ReadOnly))
        return {};
    QByteArray luma;
    const int width = frame.width();
    for (int row = 0; row < frame.height(); ++row)
        luma.append(reinterpret_cast<const char *>(frame.bits(0)) + row * frame.bytesPerLine(0),
                    width);
    frame.unmap();
    return luma;
}

QByteArray referenceLuma(const QByteArray &frames, int index, int width, int height)
{
    const qsizetype frameBytes = qsizetype(width) * height * 3 / 2;
    return frames.mid(frameBytes * index, qsizetype(width) * height);
}

// The mean difference per colour value between two pictures of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB888);
    const QImage right = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        const uchar *l = left.constScanLine(y);
        const uchar *r = right.constScanLine(y);
        for (int x = 0; x < left.width() * 3; ++x)
            sum += std::abs(l[x] - r[x]);
    }
    return sum / (left.width() * left.height() * 3.0);
}

int pictureAt(const QString &path, int track, double time)
{
    const ProgramRun probe = run(QStringLiteral("ffprobe"),
                                 {"-v", "error", "-select_streams", "v:" + QString::number(track),
                                  "-show_entries", "frame=pts_time", "-of", "csv=p=0", path});
    int index = -1;
    for (const QByteArray &line : probe.out.split('\n')) {
        if (!line.isEmpty() && line.toDouble() <= time + 1e-6)
            ++index;
    }
    return index;
}

// ffmpeg's own picture of a track at a frame index, in RGB.
QImage referencePicture(const QString &path, int track, int frame, QSize size)
{
    const ProgramRun decode =
        run("ffmpeg", {"-v", "error", "-i", path, "-map", QStringLiteral("0:v:%1").arg(track),
                       "-vf", QStringLiteral("select=eq(n\\,%1)").arg(frame), "-frames:v", "1",
                       "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    EXPECT_EQ(decode.exitCode, 0) << decode.err.constData();
    if (decode.out.size() != size.width() * size.height() * 3)
        return {};
    return QImage(reinterpret_cast<const uchar *>(decode.out.constData()), size.width(),
                  size.height(), size.width() * 3, QImage::Format_RGB888)
        .copy();
}

QCoro::Task<QString> loadError(MultiTrackPlayer &player, const QString &path)
{
    try {
        co_await player.load(QUrl::fromLocalFile(path));
    } catch (const PlaybackError &error) {
        co_return QString::fromUtf8(error.what());
    }
    co_return QString();
}

void PlayerTest::SetUp()
{
    m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", m_settingsFolder.path().toUtf8());
    // QSettings keeps the folder it found first for the whole process: what an earlier test
    // stored would reach this one.
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).clear();
    player = std::make_unique<MultiTrackPlayer>(PlaybackOutput{true, "fakesink sync=true"});
}

void PlayerTest::TearDown()
{
    player.reset();
    qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
}

void PlayerTest::load(const QString &path)
{
    ASSERT_FALSE(path.isEmpty());
    const std::optional<QString> failure =
        QCoro::waitFor(loadFailure(*player, QUrl::fromLocalFile(path)));
    ASSERT_EQ(failure, std::nullopt) << "load failed";
}

} // namespace korvane::test
