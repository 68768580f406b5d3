#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace salvex {

struct channel_spec
{
    int32_t width = 1920;
    int32_t height = 1080;
    int32_t fps = 30;
};

using channel_table = std::array<channel_spec, 5>;

// The side file for the sound: the output path with its extension replaced by ".mp3", or with
// ".mp3" appended when its last dot belongs to a folder name or there is none. Any length.
std::string change_extension(const std::string &path);

// Reads the "--ch<N> <W>x<H>@<fps>" options after the two paths into `channels`; anything else
// is skipped without a word.
void read_channel_options(int argc, const char *const *argv, channel_table &channels);

// One whole run of the recovery tool: its exit status.
int salvex_main(int argc, const char *const *argv);

} // namespace salvex
