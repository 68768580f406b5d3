#include "soundframes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace salvex;

namespace {

using bytes = std::vector<uint8_t>;

// A frame of `size` bytes behind `header`, its body counting up.
bytes frame(std::initializer_list<uint8_t> header, size_t size)
{
    bytes f(header);
    for (size_t i = f.size(); i < size; ++i)
        f.push_back(static_cast<uint8_t>(i * 7 + 1));
    return f;
}

bytes operator+(bytes a, const bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What the gatherer writes for these runs.
bytes gathered(const std::vector<bytes> &runs)
{
    std::FILE *file = std::tmpfile();
    sound_gatherer sound(file);
    for (const bytes &run : runs)
        EXPECT_TRUE(sound.add_run(run.data(), run.size()));
    bytes out(static_cast<size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), file), out.size());
    std::fclose(file);
    return out;
}

const bytes dashcam = frame({0xff, 0xe3, 0x28, 0xc4}, 144);  // MPEG-2.5, 8 kHz, 16 kbit/s, mono
const bytes wideband = frame({0xff, 0xf3, 0x48, 0xc4}, 144); // MPEG-2, 16 kHz, 32 kbit/s, mono

} // namespace

TEST(SoundFrames, LengthsOfLayerThreeFramesOfEveryVersion)
{
    const bytes mpeg1{0xff, 0xfb, 0x90, 0x44}; // 128 kbit/s, 44.1 kHz
    const bytes padded{0xff, 0xfb, 0x92, 0x44};
    EXPECT_EQ(mpeg_audio_frame_length(mpeg1.data()), 417u);
    EXPECT_EQ(mpeg_audio_frame_length(padded.data()), 418u);
    EXPECT_EQ(mpeg_audio_frame_length(wideband.data()), 144u);
    EXPECT_EQ(mpeg_audio_frame_length(dashcam.data()), 144u);
    for (const bytes &bad : {bytes{0xff, 0xeb, 0x28, 0xc4},  // reserved version
                             bytes{0xff, 0xe5, 0x28, 0xc4},  // layer II
                             bytes{0xff, 0xe3, 0x08, 0xc4},  // free bit rate
                             bytes{0xff, 0xe3, 0xf8, 0xc4},  // bad bit rate
                             bytes{0xff, 0xe3, 0x2c, 0xc4},  // reserved sample rate
                             bytes{0xff, 0xe3, 0x28, 0xc6},  // reserved emphasis
                             bytes{0xfe, 0xe3, 0x28, 0xc4}}) // no sync
        EXPECT_EQ(mpeg_audio_frame_length(bad.data()), 0u);
}

TEST(SoundFrames, TheInfoFrameClaimsNothingWhateverByteFollowsItsTag)
{
    for (int value = 0; value < 256; ++value) {
        bytes first = dashcam;
        std::fill(first.begin() + 17, first.begin() + 24, static_cast<uint8_t>(value));
        const bytes out = gathered({first + dashcam});
        ASSERT_EQ(out.size(), 2 * dashcam.size());
        const bytes tag(out.begin() + 13, out.begin() + 21);
        EXPECT_EQ(tag, (bytes{'I', 'n', 'f', 'o', 0, 0, 0, 0})) << value;
        EXPECT_EQ(bytes(out.begin() + 21, out.begin() + 144),
                  bytes(first.begin() + 21, first.end()));
        EXPECT_EQ(bytes(out.begin() + 144, out.end()), dashcam) << "only the first frame";
    }
}

TEST(SoundFrames, OnlyWholeFramesOfTheStreamsKindGoIn)
{
    // Bytes that are no frame, a frame cut by the run's end, a frame of another kind after the
    // stream's first, and wideband sound, which is never patched.
    const bytes cut(wideband.begin(), wideband.begin() + 100);
    EXPECT_EQ(
        gathered({bytes{1, 2, 3} + wideband + bytes{0, 0}, wideband + cut, wideband + dashcam}),
        wideband + wideband + wideband);
    EXPECT_EQ(gathered({}), bytes{}) << "no sound, an empty side file";
}
