#include "cardimage.h"
#include "destination.h"
#include "options.h"
#include "process.h"
#include "recording.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char *const cardUsage =
    "usage: dashcam-sample card [options] IMAGE\n"
    "\n"
    "Writes a dashcam card image: an MBR, a FAT volume and, at byte 104857600, an ext4 file\n"
    "system with cfg/ (bbox.ini, bbox.cfg) and mov/ (the flist files and recordings in normal,\n"
    "event, park, manual and saved). No root rights are needed.\n"
    "  --channels N     cameras named in cfg/bbox.ini, 1 to 5 (default 2)\n"
    "  --seconds S      length of each recording, 0.5 to 600 (default 3)\n"
    "  --trips          also two trips of recordings that follow each other on 2024-10-06:\n"
    "                   three continuous ones from 09:00:00 (the last unfinished) with an\n"
    "                   event recording inside the second, and two from 09:30:00\n"
    "  --volume DIR     also make the folder DIR, standing in for the card's FAT volume\n"
    "  --from DIR       put the card tree in DIR (cfg/, mov/) on the ext4 side instead of\n"
    "                   generated recordings\n";

// The usage lines alone, and where the rest is: what a usage error shows after its problem.
std::string synopsis(const std::string &usage, const std::string &help)
{
    return usage.substr(0, usage.find("\n\n") + 1) + "Run '" + help + "' for every option.\n";
}

int usageError(const std::string &problem, const std::string &usage, const std::string &help)
{
    std::fprintf(stderr, "dashcam-sample: %s\n%s", problem.c_str(), synopsis(usage, help).c_str());
    return 2;
}

int failure(const std::string &problem)
{
    std::fprintf(stderr, "dashcam-sample: %s\n", problem.c_str());
    return 1;
}

// The library's own words ("filesystem error: cannot rename: ... [a] [b]") said as ours.
int failure(const std::exception &error)
{
    if (const auto *file = dynamic_cast<const std::filesystem::filesystem_error *>(&error))
        return failure("cannot write " +
                       (file->path2().empty() ? file->path1() : file->path2()).string() + ": " +
                       file->code().message());
    return failure(error.what());
}

sample::CardOptions parseCardOptions(const std::vector<std::string> &args)
{
    sample::CardOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw std::invalid_argument(args[i] + " needs a value");
            return args[++i];
        };
        if (args[i] == "--channels") {
            const std::string &text = value();
            if (text.size() != 1 || text[0] < '1' || text[0] > '5')
                throw std::invalid_argument("--channels: 1 to 5, got " + text);
            options.channels = text[0] - '0';
        } else if (args[i] == "--seconds") {
            options.seconds = sample::readSeconds(value());
            if (!(options.seconds >= 0.5 && options.seconds <= 600))
                throw std::invalid_argument("--seconds: 0.5 to 600");
        } else if (args[i] == "--volume") {
            options.volume = value();
        } else if (args[i] == "--trips") {
            options.trips = true;
        } else if (args[i] == "--from") {
            options.from = value();
        } else if (args[i].starts_with("-")) {
            throw std::invalid_argument("unknown option " + args[i]);
        } else if (options.image.empty()) {
            options.image = args[i];
        } else {
            throw std::invalid_argument("more than one IMAGE given");
        }
    }
    if (options.image.empty())
        throw std::invalid_argument("no IMAGE given");
    return options;
}

// Every place the run writes, checked before minutes of encoding.
std::string cardDestinationProblem(const sample::CardOptions &options)
{
    std::string problem = sample::fileDestinationProblem(options.image);
    if (problem.empty() && !options.volume.empty() &&
        sample::samePlace(options.volume, options.image))
        problem = "--volume " + options.volume + " is IMAGE itself";
    if (problem.empty() && !options.volume.empty())
        problem = sample::folderDestinationProblem(options.volume);
    std::error_code error;
    if (problem.empty() && !options.from.empty() &&
        !std::filesystem::is_directory(options.from, error))
        problem = "--from " + options.from + ": no such folder";
    if (problem.empty() && !options.from.empty() && sample::isInside(options.image, options.from))
        problem = "cannot write " + options.image + " inside the --from folder it is made of";
    return problem;
}

int writeCard(const std::vector<std::string> &args)
{
    sample::CardOptions options;
    try {
        options = parseCardOptions(args);
    } catch (const std::invalid_argument &error) {
        return usageError(error.what(), cardUsage, "dashcam-sample card --help");
    }
    if (const std::string problem = cardDestinationProblem(options); !problem.empty())
        return failure(problem);
    try {
        sample::writeCardImage(options);
    } catch (const std::exception &error) {
        return failure(error);
    }
    std::printf("%s\n", options.image.c_str());
    return 0;
}

int writeRecording(const std::vector<std::string> &args)
{
    sample::SampleOptions options;
    try {
        options = sample::parseOptions(args);
    } catch (const std::invalid_argument &error) {
        return usageError(error.what(), sample::usageText(), "dashcam-sample --help");
    }
    const std::string path = sample::recordingPath(options);
    if (const std::string problem = sample::fileDestinationProblem(path); !problem.empty())
        return failure(problem);
    try {
        sample::writeRecording(options, path);
    } catch (const std::exception &error) {
        return failure(error);
    }
    std::printf("%s\n", path.c_str());
    return 0;
}

bool holds(const std::vector<std::string> &args, std::initializer_list<const char *> any)
{
    return std::any_of(args.begin(), args.end(), [&](const std::string &arg) {
        return std::any_of(any.begin(), any.end(), [&](const char *a) { return arg == a; });
    });
}

// The exit status of a run, or death by the signal that interrupted it, once its scratch files
// are gone.
int finish(int status)
{
    if (const int signalNumber = sample::interruption()) {
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
    if (std::fflush(stdout) != 0)
        return failure(std::string("cannot write to standard output: ") + std::strerror(errno));
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool card = !args.empty() && args[0] == "card";
    if (holds(args, {"--help", "-h"})) {
        std::fputs(card ? cardUsage : (sample::usageText() + "\n" + cardUsage).c_str(), stdout);
        return 0;
    }
    if (holds(args, {"--version"})) {
        std::printf("dashcam-sample (%s) %s, build %s\n", KORVANE_APP_NAME, KORVANE_APP_VERSION,
                    KORVANE_APP_BUILD);
        return 0;
    }
    sample::catchInterruptions();
    if (card)
        return finish(writeCard({args.begin() + 1, args.end()}));
    return finish(writeRecording(args));
}
