#pragma once

#include "mp4writer.h"

#include <cstdint>
#include <vector>

namespace salvex {

// The boxes of the written file. Each function builds one box (and what it holds).

// ftyp: major brand mp42, minor version 0, compatible brands mp42 and isom; 24 bytes.
std::vector<uint8_t> ftyp_box();

// The 16 bytes at offset 24 that head the media data, for D = end of media data - 24: a free box
// and an mdat with a 32-bit size, or an mdat with a 64-bit size when D does not fit 32 bits.
std::vector<uint8_t> media_data_header(uint64_t d);

// moov: mvhd and one trak per track that has samples.
std::vector<uint8_t> moov_box(const std::vector<track_t> &tracks);

// Sum of a track's sample durations in milliseconds when its clock ticks at least 2000 times
// a second, else in its own ticks: the duration unit of mvhd and tkhd.
uint64_t movie_duration(const track_t &track);

} // namespace salvex
