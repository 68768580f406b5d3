#pragma once

// What the benchmarks that time whole programs share: running a program as the user would, and
// reading the results.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

struct Measurement
{
    double seconds = 0;
    long peakKib = 0;
    double cpuSeconds = 0; // user and system time of the program
};

// User and system time in seconds.
inline double cpuSeconds(const rusage &usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs a program and waits for it; its output goes nowhere (`quiet`) or to the terminal, and a
// failure ends the benchmark.
inline Measurement run(const std::vector<std::string> &args, bool quiet = true)
{
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "bench: cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench: %s failed\n", argv[0]);
        std::exit(1);
    }
    return {seconds, usage.ru_maxrss, cpuSeconds(usage)};
}

// Brings a file into the page cache.
inline void warm(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    }
}

// A card image kept in `folder` from an earlier run, or made now by dashcam-sample from a card
// tree that `fill` writes (its cfg/ and mov/ folders are there when it is called).
inline std::string keptCardImage(const std::filesystem::path &folder,
                                 const std::function<void(const std::filesystem::path &)> &fill)
{
    const std::filesystem::path image = folder / "card.img";
    if (std::filesystem::exists(image))
        return image.string();
    const std::filesystem::path tree = folder / "tree";
    std::filesystem::remove_all(tree);
    std::filesystem::create_directories(tree / "cfg");
    std::filesystem::create_directories(tree / "mov");
    fill(tree);
    run({DASHCAM_SAMPLE_PATH, "card", "--from", tree.string(), image.string()}, false);
    std::filesystem::remove_all(tree);
    return image.string();
}

// The folders and settings of a two-camera card (the recording folders, cfg/bbox.ini and
// cfg/bbox.cfg), in a card tree made for keptCardImage.
inline void fillTwoCameraCard(const std::filesystem::path &tree)
{
    for (const char *type : {"normal", "event", "park", "manual", "saved"})
        std::filesystem::create_directories(tree / "mov" / type);
    const std::string settings = "[bbox]\nch1_resol=3\nch2_resol=1\nch3_resol=0\n"
                                 "ch4_resol=0\nch5_resol=0\n";
    std::ofstream(tree / "cfg" / "bbox.ini") << settings;
    std::ofstream(tree / "cfg" / "bbox.cfg") << settings;
}

// `count` small files standing in for recordings, named with `prefix` and a running number.
inline void fillWithRecordings(const std::filesystem::path &folder, const char *prefix, int count)
{
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s%06d.mp4", prefix, 100000 + i);
        std::ofstream(folder / name) << "recording " << i;
    }
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The ratio of each of `ours` to the baseline measured beside it in the same round.
inline std::vector<double> ratios(const std::vector<double> &ours,
                                  const std::vector<double> &baseline)
{
    std::vector<double> result;
    for (size_t i = 0; i < ours.size() && i < baseline.size(); ++i)
        result.push_back(ours[i] / baseline[i]);
    return result;
}

// The ratio of each of `ours` to one baseline figure.
inline std::vector<double> ratios(const std::vector<double> &ours, double baseline)
{
    std::vector<double> result;
    for (const double value : ours)
        result.push_back(value / baseline);
    return result;
}

// A figure judged on its median over the rounds, printed with its spread as the line that
// `make bench` gathers into its summary:
// "decode ratio 1.120 (target <= 1.25; spread 1.050-1.300 over 5 rounds): pass".
// `side` says which side of the target passes. True when it holds.
enum class Side
{
    atMost,
    atLeast
};
inline bool judge(const char *name, const std::vector<double> &values, Side side, double target)
{
    const bool atMost = side == Side::atMost;
    if (values.empty()) {
        std::printf("%s none (target %s %g; spread none over 0 rounds): FAIL\n", name,
                    atMost ? "<=" : ">=", target);
        return false;
    }
    const double middle = median(values);
    const auto [low, high] = std::minmax_element(values.cbegin(), values.cend());
    const bool holds = atMost ? middle <= target : middle >= target;
    std::printf("%s %.3f (target %s %g; spread %.3f-%.3f over %zu rounds): %s\n", name, middle,
                atMost ? "<=" : ">=", target, *low, *high, values.size(), holds ? "pass" : "FAIL");
    return holds;
}

// Benchmarks that draw need a screen: without one, the program runs itself again on a virtual one
// with the same arguments (and does not come back). False when there is neither.
inline bool onAScreen(char **argv, const char *name)
{
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        return true;
    }
    std::vector<char *> again{const_cast<char *>("xvfb-run"), const_cast<char *>("-a"),
                              const_cast<char *>("-s"),
                              const_cast<char *>("-screen 0 1280x1024x24")};
    for (char **arg = argv; *arg; ++arg)
        again.push_back(*arg);
    again.push_back(nullptr);
    execvp("xvfb-run", again.data());
    std::fprintf(stderr, "%s: needs a display, or xvfb-run to make one\n", name);
    return false;
}

} // namespace bench
