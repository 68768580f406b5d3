#pragma once

#include <string_view>
#include <vector>

namespace sample {

struct Mp3Frame
{
    std::string_view bytes;
    int sampleRate = 0;
    int samples = 0; // samples per channel in the frame
    bool mono = false;
};

// The MPEG audio layer III frames of a stream, front to back. Throws std::runtime_error at bytes
// that are not a frame header, so a stray tag or a cut frame never slips into a recording.
std::vector<Mp3Frame> splitMp3Frames(std::string_view stream);

} // namespace sample
