#include "mp3frames.h"

#include <stdexcept>
#include <string>

namespace sample {

namespace {

// kbit/s by bitrate index, layer III.
constexpr int mpeg1Bitrates[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                   112, 128, 160, 192, 224, 256, 320, -1};
constexpr int mpeg2Bitrates[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                   64, 80, 96, 112, 128, 144, 160, -1};

Mp3Frame readHeader(std::string_view stream, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(stream[at + i]); };
    if (at + 4 > stream.size() || byte(0) != 0xff || (byte(1) & 0xe0) != 0xe0)
        throw std::runtime_error("no MPEG audio frame header at byte " + std::to_string(at));
    const int version = (byte(1) >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = (byte(1) >> 1) & 3;   // 1: layer III
    const int bitrateIndex = byte(2) >> 4;
    const int rateIndex = (byte(2) >> 2) & 3;
    const int padding = (byte(2) >> 1) & 1;
    if (version == 1 || layer != 1 || rateIndex == 3 || bitrateIndex == 0 || bitrateIndex == 15)
        throw std::runtime_error("unsupported MPEG audio frame at byte " + std::to_string(at));

    static constexpr int baseRates[3] = {44100, 48000, 32000};
    const int divisor = version == 3 ? 1 : version == 2 ? 2 : 4;
    const int sampleRate = baseRates[rateIndex] / divisor;
    const int kbps = (version == 3 ? mpeg1Bitrates : mpeg2Bitrates)[bitrateIndex];
    const int samples = version == 3 ? 1152 : 576;
    const size_t length = static_cast<size_t>(samples / 8 * kbps * 1000 / sampleRate + padding);
    if (at + length > stream.size())
        throw std::runtime_error("the last MPEG audio frame is cut short");
    return {stream.substr(at, length), sampleRate, samples, (byte(3) >> 6) == 3};
}

} // namespace

std::vector<Mp3Frame> splitMp3Frames(std::string_view stream)
{
    std::vector<Mp3Frame> frames;
    for (size_t at = 0; at < stream.size();) {
        frames.push_back(readHeader(stream, at));
        at += frames.back().bytes.size();
    }
    return frames;
}

} // namespace sample
