#include "mp3frames.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace sample;

namespace {
// An MPEG-2.5 layer III frame at 8 kHz mono, 16 kbit/s: 144 bytes, 145 with padding.
std::string frame(bool padded, char fill)
{
    std::string bytes("\xff\xe3\x28\xc4", 4);
    if (padded)
        bytes[2] = '\x2a';
    bytes.resize(padded ? 145 : 144, fill);
    return bytes;
}
} // namespace

TEST(Mp3Frames, SplitsByHeaderLengthIncludingPadding)
{
    const std::string stream = frame(false, 'a') + frame(true, 'b') + frame(false, 'c');
    const auto frames = splitMp3Frames(stream);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].bytes.size(), 144u);
    EXPECT_EQ(frames[1].bytes.size(), 145u);
    EXPECT_EQ(frames[2].bytes.back(), 'c');
    EXPECT_EQ(frames[0].sampleRate, 8000);
    EXPECT_EQ(frames[0].samples, 576);
    EXPECT_TRUE(frames[0].mono);
}

TEST(Mp3Frames, StrayBytesAndCutFramesAreRefused)
{
    EXPECT_THROW(splitMp3Frames(frame(false, 'a') + "ID3"), std::runtime_error);
    EXPECT_THROW(splitMp3Frames(frame(false, 'a').substr(0, 100)), std::runtime_error);
    EXPECT_TRUE(splitMp3Frames("").empty());
}
