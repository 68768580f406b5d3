// salvex rebuilding a ~500 MB unfinished two-camera recording from the page cache, against
// ffmpeg's stream copy of the equivalent finished recording, measured in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;
constexpr int rounds = 5;

struct Measurement
{
    double seconds = 0;
    long peak_kib = 0;
};

// Runs a program and waits for it; its output goes nowhere (`quiet`) or to the terminal.
Measurement run(const std::vector<std::string> &args, bool quiet = true)
{
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", 0, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "bench-salvex: cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench-salvex: %s failed\n", argv[0]);
        std::exit(1);
    }
    return {seconds, usage.ru_maxrss};
}

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

void warm(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
        const Measurement s = run({SALVEX_PATH, broken, (out / "salvex.mp4").string(), "--ch1",
                                   "1920x1080@30", "--ch2", "1280x720@30"});
        salvex_times.push_back(s.seconds);
        peak_kib = std::max(peak_kib, s.peak_kib);
        fs::remove(out / "salvex.mp4");
        fs::remove(out / "salvex.mp3");

        warm(finished);
        // ffmpeg muxes 8 kHz MP3 into MP4 only when told to be lenient ("-strict -1").
        const Measurement f =
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
