#include "cardimage.h"
#include "options.h"
#include "recording.h"

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char *const cardUsage =
    "usage: dashcam-sample card [options] IMAGE\n"
    "Writes a dashcam card image: MBR, FAT volume, ext4 at byte 104857600 with cfg/ and mov/.\n"
    "  --channels N     cameras named in cfg/bbox.ini, 1 to 5 (default 2)\n"
    "  --seconds S      length of each recording (default 3)\n"
    "  --volume DIR     also create DIR, standing in for the card's FAT volume\n"
    "  --from DIR       put the card tree in DIR on the ext4 side instead of generated "
    "recordings\n";

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
            options.channels = std::stoi(value());
            if (options.channels < 1 || options.channels > 5)
                throw std::invalid_argument("--channels: 1 to 5");
        } else if (args[i] == "--seconds") {
            options.seconds = std::stod(value());
            if (!(options.seconds >= 0.5 && options.seconds <= 600))
                throw std::invalid_argument("--seconds: 0.5 to 600");
        } else if (args[i] == "--volume") {
            options.volume = value();
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

int writeCard(const std::vector<std::string> &args)
{
    try {
        const sample::CardOptions options = parseCardOptions(args);
        sample::writeCardImage(options);
        std::printf("%s\n", options.image.c_str());
        return 0;
    } catch (const std::invalid_argument &error) {
        std::fprintf(stderr, "dashcam-sample: %s\n%s", error.what(), cardUsage);
        return 2;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "dashcam-sample: %s\n", error.what());
        return 1;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(sample::usageText().c_str(), stdout);
        std::fputs(cardUsage, stdout);
        return 0;
    }
    if (!args.empty() && args[0] == "card")
        return writeCard({args.begin() + 1, args.end()});
    try {
        const sample::SampleOptions options = sample::parseOptions(args);
        const std::string path = sample::recordingPath(options);
        sample::writeRecording(options, path);
        std::printf("%s\n", path.c_str());
        return 0;
    } catch (const std::invalid_argument &error) {
        std::fprintf(stderr, "dashcam-sample: %s\n%s", error.what(), sample::usageText().c_str());
        return 2;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "dashcam-sample: %s\n", error.what());
        return 1;
    }
}
