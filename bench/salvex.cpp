// salvex rebuilding ~500 MB unfinished two-camera recordings from the page cache (the fastest
// x264 encode, and CABAC high profile), against ffmpeg's stream copy of the equivalent finished
// recordings, measured in the same run.
#include "benchsupport.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using bench::median;
using bench::run;
using bench::warm;
constexpr int rounds = 5;

std::string recording(const fs::path &folder, bool unfinished, bool high_profile)
{
    const fs::path path =
        folder / ((high_profile ? "high-" : "") +
                  std::string(unfinished ? "N_20241005_143012.mov" : "N_20241005_143012.mp4"));
    if (fs::exists(path))
        return path.string();
    fs::create_directories(folder);
    std::fprintf(stderr, "bench-salvex: writing a ~500 MB two-camera %s%s recording...\n",
                 high_profile ? "high-profile " : "", unfinished ? "unfinished" : "finished");
    std::vector<std::string> args{
        DASHCAM_SAMPLE_PATH, "--channels", "2",   "--ch1", "1920x1080@30", "--ch2",
        "1280x720@30",       "--seconds",  "110", "--crf", "14",           path.string()};
    if (unfinished)
        args.insert(args.end() - 1, "--unfinished");
    if (high_profile)
        args.insert(args.end() - 1, "--high-profile");
    run(args, false);
    return path.string();
}

struct Comparison
{
    double salvex = 0;
    double ffmpeg = 0;
    long peak_kib = 0;
    double input_bytes = 0;
    std::vector<double> ratios; // salvex against ffmpeg, round by round
};

Comparison compare(const fs::path &folder, bool high_profile)
{
    const std::string broken = recording(folder, true, high_profile);
    const std::string finished = recording(folder, false, high_profile);
    const fs::path out = folder / "bench-out";
    fs::create_directories(out);
    Comparison c;
    c.input_bytes = static_cast<double>(fs::file_size(broken));
    std::vector<double> salvex_times, ffmpeg_times;
    for (int round = 0; round < rounds; ++round) {
        // Each program starts with the input in the page cache and no earlier output still
        // waiting to be written back.
        warm(broken);
        sync();
        const bench::Measurement s = run({SALVEX_PATH, broken, (out / "salvex.mp4").string(),
                                          "--ch1", "1920x1080@30", "--ch2", "1280x720@30"});
        salvex_times.push_back(s.seconds);
        c.peak_kib = std::max(c.peak_kib, s.peakKib);
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
    c.salvex = median(salvex_times);
    c.ffmpeg = median(ffmpeg_times);
    c.ratios = bench::ratios(salvex_times, ffmpeg_times);
    return c;
}

} // namespace

int main()
{
    const fs::path folder = BENCH_DATA_DIR;
    const Comparison fast = compare(folder, false);
    const Comparison high = compare(folder, true);
    for (const auto &[name, c] : {std::pair{"fastest", fast}, std::pair{"high profile", high}}) {
        std::printf("%s: input %.0f MB; salvex %.2f s, ffmpeg stream copy %.2f s (medians of %d); "
                    "salvex peak %.0f MiB\n",
                    name, c.input_bytes / 1e6, c.salvex, c.ffmpeg, rounds,
                    static_cast<double>(c.peak_kib) / 1024);
    }
    const double over_input =
        (static_cast<double>(fast.peak_kib) * 1024 - fast.input_bytes) / (1 << 20);
    std::printf("peak memory %.0f MiB over input\n", over_input);
    bench::judge("salvex ratio", fast.ratios, bench::Side::atMost, 1.0);
    bench::judge("salvex high-profile ratio", high.ratios, bench::Side::atMost, 1.0);
    return 0;
}
