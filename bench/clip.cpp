// Evidence clips as the viewer cuts them (exportClip: the key frame found, ffmpeg, the clip moved
// into place) against ffmpeg alone doing the same span in one command, on a 40 s recording of two
// 1920x1080 cameras at 30 pictures a second with the dashcam's sound and GPS fixes:
// (a) 20 s of the first camera with the caption burned in, against a plain libx264 re-encode of
//     the same span;
// (b) the same span of every camera copied as recorded, against "-map 0 -c copy";
// (c) the same span with both cameras composed side by side into one picture (the grid layout),
//     against ffmpeg's xstack of the same two cameras scaled alike, encoded alike.
// Rounds alternate between ours and ffmpeg alone, and the medians are compared.
#include "base/applog.h"
#include "benchsupport.h"
#include "card/clipexport.h"
#include "card/toolset.h"
#include "records/metadataextraction.h"
#include "services/clipcaptions.h"
#include "services/mediadataviewmodel.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using namespace korvane;
using bench::median;
constexpr int rounds = 5;
// The copies take a fraction of a second each, where the machine's other work weighs more: more
// of them, between the encodes.
constexpr int copiesPerRound = 3;
constexpr double from = 12.4;
constexpr double to = 32.4;

std::string recording(const fs::path &folder)
{
    const fs::path made = folder / "N_20241005_143012.mp4";
    if (fs::exists(made))
        return made.string();
    fs::create_directories(folder);
    std::fprintf(stderr, "bench-clip: writing a 40 s two-camera 1920x1080 recording...\n");
    bench::run({DASHCAM_SAMPLE_PATH, "--channels", "2", "--ch1", "1920x1080@30", "--ch2",
                "1920x1080@30", "--seconds", "40", "--time", "20241005_143012",
                folder.string() + "/"},
               false);
    return made.string();
}

QList<CaptionLine> captions(const QString &path)
{
    MediaDataViewModel placed;
    if (placed.load(QString::fromUtf8(mediaRecordsJson(extractMediaRecords(path))), 40))
        std::fprintf(stderr, "bench-clip: the recording's records do not load\n");
    return clipCaptions(placed.gpsEvents(), QFileInfo(path).fileName(), from, to);
}

double secondsOfClip(const ToolSet &tools, const ClipRequest &request)
{
    QElapsedTimer timer;
    timer.start();
    const ClipResult result = QCoro::waitFor(exportClip(tools, request, {}, ShellCancel()));
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (result.outcome != ClipResult::Outcome::saved) {
        std::fprintf(stderr, "bench-clip: the clip failed: %s\n", qPrintable(result.detail));
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setLogDestination(LogDestination::nowhere);
    const std::string input = recording(BENCH_DATA_DIR);
    const QString source = QString::fromStdString(input);
    bench::warm(input);

    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    ToolSet tools;
    tools.setBundledTools(QStringLiteral(FFMPEG_DIR "/"));
    if (!QCoro::waitFor(tools.prepareTools())) {
        std::fprintf(stderr, "bench-clip: %s\n", qPrintable(tools.setupProblem()));
        return 1;
    }
    const std::string ffmpeg = (tools.helperRoot() + QStringLiteral("ffmpeg")).toStdString();
    const std::string out = home.filePath(QStringLiteral("plain.mp4")).toStdString();
    const std::string start = std::to_string(from);
    const std::string span = std::to_string(to - from);

    ClipRequest captioned;
    captioned.input = source;
    captioned.from = from;
    captioned.to = to;
    captioned.track = 0;
    captioned.captions = captions(source);
    captioned.destination = home.filePath(QStringLiteral("captioned.mp4"));
    ClipRequest copied = captioned;
    copied.track = -1;
    copied.captions.reset();
    copied.destination = home.filePath(QStringLiteral("copied.mp4"));
    ClipRequest composed = copied;
    composed.layout = ClipLayout::grid;
    composed.destination = home.filePath(QStringLiteral("grid.mp4"));

    std::vector<double> caption, encode, copy, remux, grid, xstack;
    for (int round = 0; round < rounds; ++round) {
        caption.push_back(secondsOfClip(tools, captioned));
        encode.push_back(
            bench::run({ffmpeg, "-nostdin", "-y", "-v", "error", "-ss", start, "-t", span, "-i",
                        input, "-c:v", "libx264", "-preset", "veryfast", out})
                .seconds);
        // The dashcam's 8 kHz MP3 goes into MP4 only with "-strict -1", for either.
        for (int k = 0; k < copiesPerRound; ++k) {
            remux.push_back(
                bench::run({ffmpeg, "-nostdin", "-y", "-v", "error", "-ss", start, "-t", span, "-i",
                            input, "-map", "0", "-c", "copy", "-strict", "-1", out})
                    .seconds);
            copy.push_back(secondsOfClip(tools, copied));
        }
        grid.push_back(secondsOfClip(tools, composed));
        xstack.push_back(bench::run({ffmpeg,
                                     "-nostdin",
                                     "-y",
                                     "-v",
                                     "error",
                                     "-ss",
                                     start,
                                     "-t",
                                     span,
                                     "-i",
                                     input,
                                     "-filter_complex",
                                     "[0:v:0]scale=960:540[a];[0:v:1]scale=960:540[b];"
                                     "[a][b]xstack=inputs=2:layout=0_0|w0_0[v]",
                                     "-map",
                                     "[v]",
                                     "-map",
                                     "0:a",
                                     "-c:v",
                                     "libx264",
                                     "-preset",
                                     "veryfast",
                                     "-crf",
                                     "20",
                                     "-pix_fmt",
                                     "yuv420p",
                                     "-c:a",
                                     "aac",
                                     "-movflags",
                                     "+faststart",
                                     out})
                             .seconds);
        std::fprintf(stderr,
                     "bench-clip: round %d: captioned %.3f s, re-encode %.3f s, copied %.3f s, "
                     "-c copy %.3f s, grid %.3f s, xstack %.3f s\n",
                     round + 1, caption.back(), encode.back(), copy.back(), remux.back(),
                     grid.back(), xstack.back());
    }
    std::printf("captioned 20 s of one 1920x1080 camera: %.3f s, plain libx264 re-encode %.3f s\n",
                median(caption), median(encode));
    std::printf("copied 20 s of two 1920x1080 cameras: %.3f s, plain -c copy %.3f s\n",
                median(copy), median(remux));
    std::printf("20 s of two 1920x1080 cameras side by side: grid %.3f s, xstack %.3f s\n",
                median(grid), median(xstack));
    bench::judge("caption ratio", bench::ratios(caption, encode), bench::Side::atMost, 1.2);
    bench::judge("copy ratio", bench::ratios(copy, remux), bench::Side::atMost, 1.2);
    bench::judge("grid ratio", bench::ratios(grid, xstack), bench::Side::atMost, 1.2);
    return 0;
}
