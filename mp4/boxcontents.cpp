#include "mp4/boxcontents.h"

#include <algorithm>

namespace mp4 {

namespace {

std::optional<std::uint32_t> u32(bytes_view body, std::size_t at)
{
    const std::optional<std::uint64_t> value = big_endian(body, at, 4);
    return value ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*value)) : std::nullopt;
}

// A field whose width the version sets: 64 bits in version 1, else 32.
std::optional<std::uint64_t> versioned(bytes_view body, bool wide, std::size_t at)
{
    return big_endian(body, at, wide ? 8 : 4);
}

// An entry's field that the table's bounds already vouch for.
std::uint64_t field(bytes_view entry, std::size_t at, std::size_t size)
{
    return *big_endian(entry, at, size);
}

// The entries after the version, flags and count (and `extra` bytes before the count), each
// `entry_size` bytes, as many as the contents hold up to the count.
template <typename Entry, typename Read>
std::optional<table<Entry>> read_table(bytes_view body, std::size_t entry_size, Read read_entry)
{
    const std::optional<std::uint32_t> declared = u32(body, 4);
    if (!declared)
        return std::nullopt;
    table<Entry> t;
    t.version = body[0];
    t.declared = *declared;
    const std::size_t present = static_cast<std::size_t>(
        std::min<std::uint64_t>(*declared, (body.size() - 8) / entry_size));
    t.entries.reserve(present);
    for (std::size_t i = 0; i < present; ++i)
        t.entries.push_back(
            read_entry(body.subspan(8 + i * entry_size, entry_size), t.version == 1));
    return t;
}

} // namespace

std::optional<movie_header> read_movie_header(bytes_view body)
{
    if (body.empty())
        return std::nullopt;
    movie_header h;
    h.version = body[0];
    const bool wide = h.version == 1;
    h.timescale = u32(body, wide ? 20 : 12);
    h.duration = versioned(body, wide, wide ? 24 : 16);
    h.next_track_id = u32(body, wide ? 108 : 96);
    return h;
}

std::optional<track_header> read_track_header(bytes_view body)
{
    if (body.empty())
        return std::nullopt;
    track_header h;
    h.version = body[0];
    const bool wide = h.version == 1;
    h.track_id = u32(body, wide ? 20 : 12);
    h.duration = versioned(body, wide, wide ? 28 : 20);
    h.width = u32(body, wide ? 88 : 76);
    h.height = u32(body, wide ? 92 : 80);
    return h;
}

std::optional<media_header> read_media_header(bytes_view body)
{
    if (body.empty())
        return std::nullopt;
    media_header h;
    h.version = body[0];
    const bool wide = h.version == 1;
    h.timescale = u32(body, wide ? 20 : 12);
    h.duration = versioned(body, wide, wide ? 24 : 16);
    return h;
}

std::optional<std::string> read_handler_type(bytes_view body)
{
    if (body.size() < 12)
        return std::nullopt;
    return std::string(reinterpret_cast<const char *>(body.data()) + 8, 4);
}

std::optional<table<time_run>> read_decoding_times(bytes_view body)
{
    return read_table<time_run>(body, 8, [](bytes_view e, bool) {
        return time_run{static_cast<std::uint32_t>(field(e, 0, 4)),
                        static_cast<std::uint32_t>(field(e, 4, 4))};
    });
}

std::optional<table<offset_run>> read_composition_offsets(bytes_view body)
{
    return read_table<offset_run>(body, 8, [](bytes_view e, bool signed_offsets) {
        const auto raw = static_cast<std::uint32_t>(field(e, 4, 4));
        return offset_run{static_cast<std::uint32_t>(field(e, 0, 4)),
                          signed_offsets ? std::int64_t{static_cast<std::int32_t>(raw)}
                                         : std::int64_t{raw}};
    });
}

std::optional<table<edit>> read_edit_list(bytes_view body)
{
    const bool wide = !body.empty() && body[0] == 1;
    return read_table<edit>(body, wide ? 20 : 12, [](bytes_view e, bool wide_entry) {
        const std::size_t time = wide_entry ? 8 : 4;
        const std::uint64_t raw_time = field(e, time, time);
        return edit{field(e, 0, time),
                    wide_entry ? static_cast<std::int64_t>(raw_time)
                               : std::int64_t{static_cast<std::int32_t>(raw_time)},
                    static_cast<std::int32_t>(field(e, 2 * time, 4))};
    });
}

std::optional<table<std::uint32_t>> read_sync_samples(bytes_view body)
{
    return read_table<std::uint32_t>(
        body, 4, [](bytes_view e, bool) { return static_cast<std::uint32_t>(field(e, 0, 4)); });
}

std::optional<sample_sizes> read_sample_sizes(bytes_view body)
{
    const std::optional<std::uint32_t> uniform = u32(body, 4);
    const std::optional<std::uint32_t> count = u32(body, 8);
    if (!uniform || !count)
        return std::nullopt;
    sample_sizes s;
    s.version = body[0];
    s.uniform_size = *uniform;
    s.count = *count;
    if (s.uniform_size == 0) {
        const std::size_t present =
            static_cast<std::size_t>(std::min<std::uint64_t>(s.count, (body.size() - 12) / 4));
        s.sizes.reserve(present);
        for (std::size_t i = 0; i < present; ++i)
            s.sizes.push_back(*u32(body, 12 + 4 * i));
    }
    return s;
}

std::optional<table<std::uint64_t>> read_chunk_offsets(bytes_view body, bool wide)
{
    return read_table<std::uint64_t>(
        body, wide ? 8 : 4, [wide](bytes_view e, bool) { return field(e, 0, wide ? 8 : 4); });
}

} // namespace mp4
