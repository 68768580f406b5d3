#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mp4 {

using bytes_view = std::span<const std::uint8_t>;

// The unsigned big-endian number of `size` bytes (1 to 8) at `at`, or none when they are not all
// there.
std::optional<std::uint64_t> big_endian(bytes_view bytes, std::size_t at, std::size_t size);

// Where one box lies in what it was read from. Offsets count from the start of that.
struct box
{
    std::string type;              // its four characters, whatever bytes they are
    std::uint64_t offset = 0;      // of its header
    std::uint32_t header_size = 8; // 16 when a 64-bit size follows the type
    std::uint64_t size = 0;        // header included
    std::uint64_t body_offset() const { return offset + header_size; }
    std::uint64_t body_size() const { return size - header_size; }
    std::uint64_t end() const { return offset + size; }
};

// The box whose header begins with `header` (its first 16 bytes, or as many as there are) at
// offset `at`, inside something that ends at `end`. A size of 0 reaches to `end`; a size of 1
// is followed by the 64-bit size. None when fewer than 8 bytes remain before `end`, when the
// 64-bit size is cut off, or when the size is smaller than the header or reaches past `end`.
std::optional<box> read_box_header(bytes_view header, std::uint64_t at, std::uint64_t end);

// Reads the boxes of bytes in memory, or of a file read piece by piece. Every box it gives lies
// inside its parent (inside the data at the top level) and holds at least its header, so the
// boxes inside one are smaller than it and a walk always moves forward: no size, however false,
// makes it loop, and it asks for no byte outside the data.
class box_reader
{
public:
    // Fills `into` with the bytes from offset `at` on; how many it read (fewer only at the end of
    // the data, or when reading fails).
    using read_function =
        std::function<std::size_t(std::uint64_t at, std::span<std::uint8_t> into)>;

    // The bytes stay the caller's: they must outlive the reader.
    explicit box_reader(bytes_view bytes);
    box_reader(std::uint64_t size, read_function read);

    std::uint64_t size() const { return m_size; }

    // The box whose header is at `at`, in something that ends at `end` (read_box_header).
    std::optional<box> box_at(std::uint64_t at, std::uint64_t end) const;
    // The boxes at the top level, or directly inside `parent`, in order, up to the first damaged
    // one: what follows a damaged box cannot be found.
    std::vector<box> children() const;
    std::vector<box> children(const box &parent) const;
    // The first of those of the given type.
    std::optional<box> child(std::string_view type) const;
    std::optional<box> child(std::string_view type, const box &parent) const;
    // A box by its path of types ("moov/trak/mdia"), the first of each type on the way, from the
    // top level or from inside `within`.
    std::optional<box> find(std::string_view path) const;
    std::optional<box> find(std::string_view path, const box &within) const;
    // A copy of the box's contents, at most `most` bytes of them. A file's box may be as large as
    // the file: its readers say how much they want.
    std::vector<std::uint8_t>
    body(const box &b, std::uint64_t most = std::numeric_limits<std::uint64_t>::max()) const;

private:
    std::vector<box> children_in(std::uint64_t from, std::uint64_t end) const;
    std::optional<box> child_in(std::string_view type, std::uint64_t from, std::uint64_t end) const;
    std::optional<box> find_in(std::string_view path, std::uint64_t from, std::uint64_t end) const;
    std::size_t read(std::uint64_t at, std::span<std::uint8_t> into) const;

    std::uint64_t m_size = 0;
    read_function m_read;
};

} // namespace mp4
