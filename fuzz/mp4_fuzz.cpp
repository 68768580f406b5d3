// The box reader on arbitrary bytes: every box, at every depth, lies inside its parent and the
// data and holds its header; the bytes read as a file piece by piece give the same boxes as in
// memory, and that file is never asked for a byte outside it; every box's contents go through
// every contents reader, whose tables hold no more than their contents. The Annex B splitter on
// the same bytes: its units lie inside them, in order. No crash, no read out of bounds.
#include "mp4/annexbunits.h"
#include "mp4/boxcontents.h"
#include "mp4/boxreader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Enough for any real file's index; a walk through more boxes says nothing new.
constexpr std::size_t most_boxes = 4096;
// The contents handed to the contents readers: past this they only read more entries.
constexpr std::uint64_t most_contents = 1 << 16;

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

template <typename Table>
void check_table(const std::optional<Table> &table, std::size_t contents, std::size_t entry)
{
    if (!table)
        return;
    check(table->entries.size() <= table->declared);
    check(8 + table->entries.size() * entry <= contents);
    check(table->whole() == (table->entries.size() == table->declared));
}

void read_contents(const std::vector<std::uint8_t> &body)
{
    mp4::read_movie_header(body);
    mp4::read_track_header(body);
    mp4::read_media_header(body);
    mp4::read_handler_type(body);
    check_table(mp4::read_decoding_times(body), body.size(), 8);
    check_table(mp4::read_composition_offsets(body), body.size(), 8);
    const bool wide_edits = !body.empty() && body[0] == 1;
    check_table(mp4::read_edit_list(body), body.size(), wide_edits ? 20 : 12);
    check_table(mp4::read_sync_samples(body), body.size(), 4);
    check_table(mp4::read_chunk_offsets(body, false), body.size(), 4);
    check_table(mp4::read_chunk_offsets(body, true), body.size(), 8);
    if (const auto sizes = mp4::read_sample_sizes(body)) {
        check(sizes->sizes.size() <= sizes->count);
        check(12 + sizes->sizes.size() * 4 <= body.size());
    }
}

bool same(const mp4::box &a, const mp4::box &b)
{
    return a.type == b.type && a.offset == b.offset && a.header_size == b.header_size &&
           a.size == b.size;
}

void walk_boxes(const std::uint8_t *data, std::size_t size)
{
    const mp4::box_reader memory(mp4::bytes_view(data, size));
    const mp4::box_reader file(size, [data, size](std::uint64_t at, std::span<std::uint8_t> into) {
        check(at < size && into.size() <= size - at);
        std::memcpy(into.data(), data + at, into.size());
        return into.size();
    });

    // Breadth first, without recursion: a box of zeros nests about size / 8 deep.
    std::vector<mp4::box> pending = memory.children();
    check(pending.size() == file.children().size());
    for (std::size_t i = 0; i < pending.size() && i < most_boxes; ++i) {
        const mp4::box parent = pending[i];
        check(parent.size >= parent.header_size && parent.end() <= size);
        const std::vector<std::uint8_t> body = memory.body(parent, most_contents);
        check(body.size() == std::min(parent.body_size(), most_contents));
        check(body.empty() ||
              std::memcmp(body.data(), data + parent.body_offset(), body.size()) == 0);
        read_contents(body);

        const std::vector<mp4::box> inside = memory.children(parent);
        const std::vector<mp4::box> inside_file = file.children(parent);
        check(inside.size() == inside_file.size());
        std::uint64_t next = parent.body_offset();
        for (std::size_t k = 0; k < inside.size(); ++k) {
            const mp4::box &b = inside[k];
            check(same(b, inside_file[k]));
            check(b.offset == next && b.size >= b.header_size && b.end() <= parent.end());
            check(b.size < parent.size);
            next = b.end();
            pending.push_back(b);
        }
    }
}

void split_units(const std::uint8_t *data, std::size_t size)
{
    const std::uint8_t *after_last = data;
    for (const auto unit : mp4::split_annexb({data, size})) {
        check(unit.data() >= after_last && unit.data() + unit.size() <= data + size);
        after_last = unit.data() + unit.size();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    walk_boxes(data, size);
    split_units(data, size);
    return 0;
}
