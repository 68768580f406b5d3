#pragma once

#include "mp4/boxreader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mp4 {

// What the boxes of a movie's index hold, read from their contents (box_reader::body). Every one
// of them begins with a version byte and 24 bits of flags. Version 1 of mvhd, tkhd, mdhd, ctts
// and elst widens or signs some fields; any other version is read as version 0, as players do.

// The fields of a header box that its contents hold: one cut short still gives the fields
// before the cut. None at all for empty contents, which have no version.

// mvhd
struct movie_header
{
    std::uint8_t version = 0;
    std::optional<std::uint32_t> timescale; // ticks a second of the durations below
    std::optional<std::uint64_t> duration;
    std::optional<std::uint32_t> next_track_id;
};
std::optional<movie_header> read_movie_header(bytes_view body);

// tkhd
struct track_header
{
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::optional<std::uint32_t> track_id;
    std::optional<std::uint64_t> duration; // in the movie's ticks, edits included
    std::optional<std::uint32_t> width;    // 16.16 fixed point
    std::optional<std::uint32_t> height;
};
std::optional<track_header> read_track_header(bytes_view body);

// mdhd
struct media_header
{
    std::uint8_t version = 0;
    std::optional<std::uint32_t> timescale; // ticks a second of the track's sample times
    std::optional<std::uint64_t> duration;
};
std::optional<media_header> read_media_header(bytes_view body);

// hdlr: the handler type ("vide", "soun", ...); none when the contents end before it.
std::optional<std::string> read_handler_type(bytes_view body);

// A table box: the entries it says it holds, and those of them its contents do hold whole.
// A table whose contents cannot even hold the count is none.
template <typename Entry> struct table
{
    std::uint8_t version = 0;
    std::uint32_t declared = 0;
    std::vector<Entry> entries;
    bool whole() const { return entries.size() == declared; }
};

// stts: runs of samples of equal decoding duration.
struct time_run
{
    std::uint32_t count = 0;
    std::uint32_t delta = 0;
};
std::optional<table<time_run>> read_decoding_times(bytes_view body);

// ctts: runs of samples whose presentation time is their decoding time plus an offset (signed
// in version 1).
struct offset_run
{
    std::uint32_t count = 0;
    std::int64_t offset = 0;
};
std::optional<table<offset_run>> read_composition_offsets(bytes_view body);

// elst: the track's edits. A media time of -1 is an empty edit, a delay of `duration` movie
// ticks; 64-bit fields in version 1.
struct edit
{
    std::uint64_t duration = 0;
    std::int64_t media_time = 0;
    std::int32_t rate = 0; // 16.16 fixed point
};
std::optional<table<edit>> read_edit_list(bytes_view body);

// stss: the numbers (from 1) of the key samples.
std::optional<table<std::uint32_t>> read_sync_samples(bytes_view body);

// stsz: a size shared by every sample, or, when that is 0, a table of each sample's size.
struct sample_sizes
{
    std::uint8_t version = 0;
    std::uint32_t uniform_size = 0;
    std::uint32_t count = 0;
    std::vector<std::uint32_t> sizes; // only without a uniform size
    bool whole() const { return uniform_size != 0 || sizes.size() == count; }
};
std::optional<sample_sizes> read_sample_sizes(bytes_view body);

// stco (32-bit offsets) and co64 (64-bit): where each chunk begins in the file.
std::optional<table<std::uint64_t>> read_chunk_offsets(bytes_view body, bool wide);

} // namespace mp4
