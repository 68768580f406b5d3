#pragma once

#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace sample {

struct ChannelSpec
{
    int width = 0;
    int height = 0;
    int fps = 0;
};

// The dashcam's recording folders and the letter its file names begin with.
enum class RecordingType
{
    normal,
    event,
    park,
    manual
};

struct SampleOptions
{
    int channelCount = 2;
    std::array<ChannelSpec, 5> channels{
        {{640, 360, 30}, {480, 270, 30}, {320, 180, 30}, {320, 180, 30}, {320, 180, 30}}};
    double seconds = 10;
    bool sound = true;
    bool gps = true;
    bool shock = false;
    RecordingType type = RecordingType::normal;
    std::string time = "20241005_143012"; // the dashcam's clock at the first frame
    int routeOffset = 0;                  // seconds into the drive through Seoul at the first frame
    bool unfinished = false;
    int crf = 23;
    bool highProfile = false; // CABAC high profile instead of the fastest baseline-like encode
    std::string output;

    std::vector<ChannelSpec> usedChannels() const
    {
        return {channels.begin(), channels.begin() + channelCount};
    }
};

// Throws std::invalid_argument with a message fit for the user.
SampleOptions parseOptions(const std::vector<std::string> &args);

std::string usageText();

// The number of a --seconds option, all of its text; throws std::invalid_argument otherwise.
double readSeconds(const std::string &text);

// The dashcam's clock at the first frame (the wall time in the file name).
std::chrono::sys_seconds startTime(const SampleOptions &options);

// The file to write: OUTPUT itself, or a dashcam-style name inside OUTPUT when it is a folder.
std::string recordingPath(const SampleOptions &options);

} // namespace sample
