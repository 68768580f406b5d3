// Opening a recording from a card image as the viewer does (RecordingOpener::select): the seconds
// from the click to every channel's first picture, and the whole open against the same child
// work run alone back to back: durnix read, ffmpeg remux, AAC conversion and a bare player load;
// and reading a card of 2,000 recordings (reloadList) against durnix listing its
// five recording folders. The image stays in the page cache.
#include "benchsupport.h"
#include "card/workingfolder.h"
#include "cardmodel.h"
#include "model/appviewmodel.h"
#include "services/workingcopy.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using namespace korvane;
using bench::median;
constexpr int rounds = 5;
constexpr int folderSize = 2000;
const QString finished = QStringLiteral("N_20241005_143012.mp4");
const QString unfinished = QStringLiteral("N_20241005_144012.mov");

std::string cardImage(const fs::path &folder)
{
    return bench::keptCardImage(folder, [](const fs::path &tree) {
        fs::create_directories(tree / "mov" / "normal");
        std::ofstream(tree / "cfg" / "bbox.ini")
            << "[bbox]\nch1_resol=1920x1080\nch2_resol=1280x720\n";
        std::fprintf(stderr, "bench-open: writing two 60 s two-camera recordings and a card...\n");
        for (const char *shape : {"", "--unfinished"}) {
            std::vector<std::string> args{
                DASHCAM_SAMPLE_PATH, "--channels", "2",  "--ch1", "1920x1080@30", "--ch2",
                "1280x720@30",       "--seconds",  "60", "--time"};
            args.push_back(*shape ? "20241005_144012" : "20241005_143012");
            if (*shape)
                args.push_back(shape);
            args.push_back((tree / "mov" / "normal").string() + "/");
            bench::run(args, false);
        }
        bench::fillWithRecordings(tree / "mov" / "event", "E_20241004_", folderSize);
    });
}

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// The viewer's open of a row not yet copied, from the click: until every channel shows its
// first picture, and until the open has made its files and plays.
struct Open
{
    double firstPicture = 0;
    double whole = 0;
};

Open openInModel(AppViewModel &model, const QString &name)
{
    const auto row =
        *std::find_if(model.library()->filtered().cbegin(), model.library()->filtered().cend(),
                      [&](const FileListItem &r) { return r.name == name; });
    WorkingFolder::deleteDirectory(localCopy(row));
    QElapsedTimer timer;
    std::optional<double> firstPicture;
    MultiTrackPlayer *player = model.playerManager();
    std::vector<QMetaObject::Connection> shown;
    const QMetaObject::Connection loaded =
        QObject::connect(player, &MultiTrackPlayer::videoPlayersChanged, [&] {
            auto waiting = std::make_shared<QSet<ChannelPlayer *>>();
            for (ChannelPlayer *channel : player->videoPlayers()) {
                waiting->insert(channel);
                shown.push_back(QObject::connect(
                    channel, &ChannelPlayer::frameChanged, channel, [&, waiting, channel] {
                        if (waiting->remove(channel) && waiting->isEmpty() && !firstPicture)
                            firstPicture = static_cast<double>(timer.nsecsElapsed()) / 1e9;
                    }));
            }
        });
    timer.start();
    QCoro::waitFor(model.opener()->select(row));
    const double whole = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QObject::disconnect(loaded);
    for (const QMetaObject::Connection &connection : shown)
        QObject::disconnect(connection);
    if (!player->isPlaying() || model.notifications()->alertMessage() || !firstPicture) {
        std::fprintf(stderr, "bench-open: %s did not play\n", qPrintable(name));
        std::exit(1);
    }
    // The metadata scan that follows runs on its own; it must not weigh on what comes next.
    QCoro::waitFor(model.opener()->metadataLoaded());
    player->stop();
    return {*firstPicture, whole};
}

// The same child work, each step alone after the other.
double openAlone(ProcessManager &card, MultiTrackPlayer &player, const QString &name, bool rebuild)
{
    const QString cardPath = QStringLiteral("mov/normal/") + name;
    const QString local = WorkingFolder::tempRoot() + cardPath;
    const QString folder = WorkingFolder::tempRoot() + QStringLiteral("mov/normal/");
    const QString temp = folder + QStringLiteral("temp.mp4");
    const QString playing = folder + QStringLiteral("playing.mp4");
    WorkingFolder::deleteDirectory(local);
    return secondsOf([&] {
        QCoro::waitFor(card.readCardFile(cardPath));
        if (rebuild) {
            QCoro::waitFor(card.conversions().recoverVideo(local, temp));
            const QString sound = folder + QStringLiteral("temp.mp3");
            QCoro::waitFor(
                card.conversions().mergeAudio(temp, sound, folder + QStringLiteral("temp.mkv")));
            QCoro::waitFor(
                card.conversions().convertAudio(folder + QStringLiteral("temp.mkv"), playing));
        } else {
            QCoro::waitFor(card.conversions().remuxVideo(local, temp));
            QCoro::waitFor(card.conversions().convertAudio(temp, playing));
        }
        if (const std::optional<QString> failure =
                QCoro::waitFor(loadFailure(player, QUrl::fromLocalFile(playing)))) {
            std::fprintf(stderr, "bench-open: %s did not load: %s\n", qPrintable(name),
                         qPrintable(*failure));
            std::exit(1);
        }
    });
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
    model.library()->setIsAutoLoad(false);
    if (!bench::readsCardImage(model, image, "bench-open"))
        return 1;
    ProcessManager &card = model.procManager();
    MultiTrackPlayer player(PlaybackOutput{true, "fakesink sync=true"});

    std::vector<double> listModel, listAlone, openModel, openBare, movModel, movBare;
    std::vector<double> mp4Picture, movPicture;
    for (int round = 0; round < rounds; ++round) {
        bench::warm(image);
        // reloadList ends once the list's rows are published.
        listModel.push_back(secondsOf([&] { QCoro::waitFor(model.library()->reloadList()); }));
        listAlone.push_back(secondsOf([&] {
            for (const QString &type : ProcessManager::recordingTypes)
                QCoro::waitFor(card.listCardFolder(QStringLiteral("mov/") + type));
        }));
        const Open mp4 = openInModel(model, finished);
        openModel.push_back(mp4.whole);
        mp4Picture.push_back(mp4.firstPicture);
        openBare.push_back(openAlone(card, player, finished, false));
        const Open mov = openInModel(model, unfinished);
        movModel.push_back(mov.whole);
        movPicture.push_back(mov.firstPicture);
        movBare.push_back(openAlone(card, player, unfinished, true));
    }
    if (model.library()->fileList().size() != folderSize + 2) {
        std::fprintf(stderr, "bench-open: the card listed %lld recordings\n",
                     static_cast<long long>(model.library()->fileList().size()));
        return 1;
    }
    const double mov = median(movModel) / median(movBare);
    std::printf("open .mp4: select %.3f s, the child work alone %.3f s\n", median(openModel),
                median(openBare));
    std::printf("open .mov: select %.3f s, the child work alone %.3f s (ratio %.2f)\n",
                median(movModel), median(movBare), mov);
    std::printf("list of %d recordings: reloadList %.3f s, durnix ls of the five folders %.3f s\n",
                folderSize + 2, median(listModel), median(listAlone));
    bench::judge("first picture .mp4", mp4Picture, bench::Side::atMost, 0.4);
    bench::judge("first picture .mov", movPicture, bench::Side::atMost, 1.0);
    bench::judge("open ratio", bench::ratios(openModel, openBare), bench::Side::atMost, 1.35);
    bench::judge("list ratio", bench::ratios(listModel, listAlone), bench::Side::atMost, 1.5);
    return 0;
}
