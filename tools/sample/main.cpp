#include "options.h"
#include "recording.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char *argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(sample::usageText().c_str(), stdout);
        return 0;
    }
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
