// A drive played on across its recordings as the viewer does (RecordingOpener, a card image, the
// background copying on): the wall-clock stall at each cut, the longest a picture stays on screen
// there (from the last picture of a recording to the first of the next one handed to the screen,
// or from that first picture to the second, when the next one shows its first picture before it
// plays), on every channel (the worst channel counts), and the share of the drive's pictures
// shown. The baseline is the same drive
// played one recording after another with the next one opened only when one ends, in the same
// rounds. Seven recordings of 4 s each follow each other, two cameras (1920x1080@30 and
// 1280x720@30) and sound, every third one unfinished.
#include "benchsupport.h"
#include "card/workingfolder.h"
#include "cardmodel.h"
#include "model/appviewmodel.h"
#include "services/workingcopy.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;
using namespace korvane;
using bench::median;
constexpr int rounds = 5;
constexpr int recordings = 7;
constexpr int recordingSeconds = 4;
constexpr double frameRate = 30;

std::string cardImage(const fs::path &folder)
{
    return bench::keptCardImage(folder, [](const fs::path &tree) {
        fs::create_directories(tree / "mov" / "normal");
        std::ofstream(tree / "cfg" / "bbox.ini")
            << "[bbox]\nch1_resol=1920x1080\nch2_resol=1280x720\n";
        std::fprintf(stderr, "bench-drive: writing a drive of %d recordings...\n", recordings);
        for (int k = 0; k < recordings; ++k) {
            char time[32];
            std::snprintf(time, sizeof time, "20241005_1400%02d", k * recordingSeconds);
            std::vector<std::string> args{DASHCAM_SAMPLE_PATH,
                                          "--channels",
                                          "2",
                                          "--ch1",
                                          "1920x1080@30",
                                          "--ch2",
                                          "1280x720@30",
                                          "--seconds",
                                          std::to_string(recordingSeconds),
                                          "--time",
                                          time};
            if (k % 3 == 2)
                args.push_back("--unfinished");
            args.push_back((tree / "mov" / "normal").string() + "/");
            bench::run(args, false);
        }
    });
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct Pass
{
    std::vector<double> stallsMs; // one per cut
    double shownShare = 0;
};

// The drive played from its first recording to the end of its last one.
Pass playDrive(AppViewModel &model, bool seamless)
{
    model.opener()->setSeamless(seamless);
    MultiTrackPlayer *player = model.playerManager();
    QElapsedTimer clock;
    clock.start();
    // Per load, per channel: the wall time of its first and last picture, and how many it showed.
    struct Shown
    {
        double first = -1;
        double second = -1;
        double last = -1;
        int count = 0;
    };
    std::vector<std::map<int, Shown>> loads;
    std::vector<QMetaObject::Connection> watching;
    const QMetaObject::Connection loading =
        QObject::connect(player, &MultiTrackPlayer::videoPlayersChanged, [&] {
            if (player->videoPlayers().isEmpty())
                return;
            loads.emplace_back();
            const size_t load = loads.size() - 1;
            for (ChannelPlayer *channel : player->videoPlayers()) {
                watching.push_back(QObject::connect(
                    channel, &ChannelPlayer::frameChanged, channel, [&, load, channel] {
                        Shown &shown = loads[load][channel->channel()];
                        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                        if (shown.first < 0)
                            shown.first = now;
                        else if (shown.second < 0)
                            shown.second = now;
                        shown.last = now;
                        ++shown.count;
                    }));
            }
        });
    const QList<FileListItem> &rows = model.library()->filtered();
    const QString last = rows.front().name;
    QCoro::waitFor(model.opener()->selectAt(rows.size() - 1));
    if (!waitUntil(
            [&] {
                return player->state() == MultiTrackPlayer::State::Ended &&
                       model.nowPlaying()->openRecording() &&
                       model.nowPlaying()->openRecording()->name == last &&
                       !model.library()->isSelecting();
            },
            120000)) {
        std::fprintf(stderr, "bench-drive: the drive did not play to its end\n");
        std::exit(1);
    }
    QObject::disconnect(loading);
    for (const QMetaObject::Connection &connection : watching)
        QObject::disconnect(connection);
    player->stop();

    Pass pass;
    if (loads.size() != recordings) {
        std::fprintf(stderr, "bench-drive: %zu loads for %d recordings\n", loads.size(),
                     recordings);
        std::exit(1);
    }
    const int due = recordingSeconds * static_cast<int>(frameRate);
    int shown = 0;
    for (size_t k = 0; k < loads.size(); ++k) {
        for (const auto &[channel, seen] : loads[k])
            shown += std::min(seen.count, due);
        if (k == 0)
            continue;
        double stall = 0;
        for (const auto &[channel, seen] : loads[k]) {
            const auto before = loads[k - 1].find(channel);
            if (before != loads[k - 1].end())
                stall =
                    std::max({stall, seen.first - before->second.last, seen.second - seen.first});
        }
        pass.stallsMs.push_back(stall);
    }
    pass.shownShare = static_cast<double>(shown) / (recordings * due * 2);
    return pass;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const fs::path folder = fs::path(BENCH_DATA_DIR);
    fs::create_directories(folder);
    const std::string image = cardImage(folder);
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());

    AppViewModel model(PlaybackOutput{true, "fakesink sync=true"});
    if (!bench::readsCardImage(model, image, "bench-drive"))
        return 1;
    bench::warm(image);
    QCoro::waitFor(model.library()->reloadList());
    if (model.library()->filtered().size() != recordings) {
        std::fprintf(stderr, "bench-drive: the card listed %lld recordings\n",
                     static_cast<long long>(model.library()->filtered().size()));
        return 1;
    }

    std::vector<double> stalls, baselineStalls, roundStalls, shares, baselineShares;
    for (int round = 0; round < rounds; ++round) {
        const Pass seamless = playDrive(model, true);
        const Pass oneByOne = playDrive(model, false);
        stalls.insert(stalls.end(), seamless.stallsMs.begin(), seamless.stallsMs.end());
        baselineStalls.insert(baselineStalls.end(), oneByOne.stallsMs.begin(),
                              oneByOne.stallsMs.end());
        roundStalls.push_back(median(seamless.stallsMs));
        shares.push_back(seamless.shownShare);
        baselineShares.push_back(oneByOne.shownShare);
    }
    std::printf("drive of %d recordings, %zu cuts: stall median %.0f ms, worst %.0f ms; played one "
                "by one: median %.0f ms, worst %.0f ms\n",
                recordings, stalls.size(), median(stalls),
                *std::max_element(stalls.begin(), stalls.end()), median(baselineStalls),
                *std::max_element(baselineStalls.begin(), baselineStalls.end()));
    std::printf("pictures shown: %.3f of the drive's; played one by one %.3f\n", median(shares),
                median(baselineShares));
    bench::judge("drive pictures shown", shares, bench::Side::atLeast, 0.95);
    bench::judge("drive stall", roundStalls, bench::Side::atMost, 67);
    return 0;
}
