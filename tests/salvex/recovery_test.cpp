#include "recovery.h"

#include <gtest/gtest.h>

#include <vector>

using namespace salvex;

namespace {
channel_table read(std::vector<const char *> args)
{
    channel_table channels;
    read_channel_options(static_cast<int>(args.size()), args.data(), channels);
    return channels;
}

bool is_default(const channel_spec &spec)
{
    return spec.width == 1920 && spec.height == 1080 && spec.fps == 30;
}
} // namespace

TEST(SideFile, ExtensionReplacedOrAppended)
{
    EXPECT_EQ(change_extension("out.mp4"), "out.mp3");
    EXPECT_EQ(change_extension("out"), "out.mp3");
    EXPECT_EQ(change_extension("cam.old/out"), "cam.old/out.mp3");
    EXPECT_EQ(change_extension("cam.old\\out"), "cam.old\\out.mp3");
    EXPECT_EQ(change_extension("/tmp/a.b.mov"), "/tmp/a.b.mp3");
    const std::string deep = "/tmp/" + std::string(600, 'x') + "/N_20241005_143012.mov";
    EXPECT_EQ(change_extension(deep), deep.substr(0, deep.size() - 4) + ".mp3")
        << "no length limit";
}

TEST(ChannelOptions, ValidOptionsSetTheirChannel)
{
    const channel_table channels =
        read({"salvex", "in.mp4", "out.mp4", "--ch1", "1920x1080@30", "--ch2", "1280x720@15"});
    EXPECT_EQ(channels[1].width, 1280);
    EXPECT_EQ(channels[1].height, 720);
    EXPECT_EQ(channels[1].fps, 15);
    for (size_t ch : {0u, 2u, 3u, 4u})
        EXPECT_TRUE(is_default(channels[ch]));
    const channel_table later =
        read({"salvex", "in", "out", "--ch3", "640x480@10", "--ch3", "320x240@5"});
    EXPECT_EQ(later[2].width, 320) << "a later option wins";
}

TEST(ChannelOptions, BadOptionsAreSkippedSilently)
{
    for (const std::vector<const char *> &args : {
             std::vector<const char *>{"salvex", "in", "out", "--ch0", "640x480@30"},
             {"salvex", "in", "out", "--ch6", "640x480@30"},
             {"salvex", "in", "out", "--ch2", "640x480"},
             {"salvex", "in", "out", "--ch2", "640@30x480"},
             {"salvex", "in", "out", "--ch3", "0x480@30"},
             {"salvex", "in", "out", "640x480@30", "800x600@30"},
             {"salvex", "in", "out", "--ch1"},
         }) {
        const channel_table channels = read(args);
        for (const channel_spec &spec : channels)
            EXPECT_TRUE(is_default(spec)) << args[3];
    }
}

TEST(ChannelOptions, ScanningResumesRightAfterARejectedName)
{
    // "--ch9" is no option, so its value is looked at as a name, and the next pair is read.
    const channel_table channels = read({"salvex", "in", "out", "--ch9", "--ch4", "352x288@25"});
    EXPECT_EQ(channels[3].width, 352);
    EXPECT_EQ(channels[3].fps, 25);
    const channel_table atoi_rules = read({"salvex", "in", "out", "--ch 2", "640x480@30fps"});
    EXPECT_EQ(atoi_rules[1].width, 640)
        << "blanks before the number and text after it, as atoi reads";
    EXPECT_EQ(atoi_rules[1].fps, 30);
}
