// salvex rebuilding a ~500 MB unfinished two-camera recording from the page cache, against
// ffmpeg's stream copy of the equivalent finished recording, measured in the same run.
#include "benchsupport.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using bench::median;
using bench::run;
using bench::warm;
constexpr int rounds = 5;

std::string recording(const fs::path &folder, bool unfinished)
{
    const fs::path path = folder / (unfinished ? "N_20241005_143012.mov" : "N_20241005_143012.mp4");
    if (fs::exists(path))
        return path.string();
    fs::create_directories(folder);
    std::fprintf(stderr, "bench-salvex: writing a ~500 MB two-camera %s recording...\n",
                 unfinished ? "unfinished" : "finished");
    std::vector<std::string> args{
        DASHCAM_SAMPLE_PATH, "--channels", "2",   "--ch1", "1920x1080@30", "--ch2",
        "1280x720@30",       "--seconds",  "110", "--crf", "14",           path.string()};
    if (unfinished)
        args.insert(args.end() - 1, "--unfinished");
    run(args, false);
    return path.string();
}

} // namespace

int main()
{
    const fs::path folder = BENCH_DATA_DIR;
    const std::string broken = recording(folder, true);
    const std::string finished = recording(folder, false);
    const fs::path out = folder / "bench-out";
    fs::create_directories(out);
    const auto input_bytes = static_cast<double>(fs::file_size(broken));

    std::vector<double> salvex_times, ffmpeg_times;
    long peak_kib = 0;
    for (int round = 0; round < rounds; ++round) {
        // Each program starts with the input in the page cache and no earlier output still
        // waiting to be written back.
        warm(broken);
        sync();
        const bench::Measurement s = run({SALVEX_PATH, broken, (out / "salvex.mp4").string(),
                                          "--ch1", "1920x1080@30", "--ch2", "1280x720@30"});
        salvex_times.push_back(s.seconds);
        peak_kib = std::max(peak_kib, s.peakKib);
        fs::remove(out / "salvex.mp4");
        fs::remove(out / "salvex.mp3");

        warm(finished);
        // ffmpeg muxes 8 kHz MP3 into MP4 only when told to be lenient ("-strict -1").
        const bench::Measurement f =
            run({"ffmpeg", "-v", "error", "-y", "-i", finished, "-map", "0", "-c", "copy",
                 "-strict", "-1", "-f", "mp4", (out / "ffmpeg.mp4").string()});
        ffmpeg_times.push_back(f.seconds);
        fs::remove(out / "ffmpeg.mp4");
    }

    const double s = median(salvex_times), f = median(ffmpeg_times);
    const double over_input = (static_cast<double>(peak_kib) * 1024 - input_bytes) / (1 << 20);
    std::printf("input %.0f MB; salvex %.2f s, ffmpeg stream copy %.2f s (medians of %d); salvex "
                "peak %.0f MiB\n",
                input_bytes / 1e6, s, f, rounds, static_cast<double>(peak_kib) / 1024);
    std::printf("salvex ratio %.2f (target <= 1.0); peak memory %.0f MiB over input\n", s / f,
                over_input);
    return 0;
}
