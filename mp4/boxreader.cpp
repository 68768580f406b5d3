#include "mp4/boxreader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace mp4 {

std::optional<std::uint64_t> big_endian(bytes_view bytes, std::size_t at, std::size_t size)
{
    if (size == 0 || size > 8 || at > bytes.size() || bytes.size() - at < size)
        return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value = value << 8 | bytes[at + i];
    return value;
}

std::optional<box> read_box_header(bytes_view header, std::uint64_t at, std::uint64_t end)
{
    if (at > end || end - at < 8 || header.size() < 8)
        return std::nullopt;
    const std::uint64_t room = end - at;
    box b;
    b.offset = at;
    b.type.assign(reinterpret_cast<const char *>(header.data()) + 4, 4);
    std::uint64_t size = *big_endian(header, 0, 4);
    if (size == 1) {
        const std::optional<std::uint64_t> large = big_endian(header, 8, 8);
        if (!large)
            return std::nullopt;
        size = *large;
        b.header_size = 16;
    } else if (size == 0) {
        size = room;
    }
    if (size < b.header_size || size > room)
        return std::nullopt;
    b.size = size;
    return b;
}

box_reader::box_reader(bytes_view bytes)
    : m_size(bytes.size()), m_read([bytes](std::uint64_t at, std::span<std::uint8_t> into) {
          // read() keeps every request inside the bytes.
          std::memcpy(into.data(), bytes.data() + at, into.size());
          return into.size();
      })
{
}

box_reader::box_reader(std::uint64_t size, read_function read)
    : m_size(size), m_read(std::move(read))
{
}

std::size_t box_reader::read(std::uint64_t at, std::span<std::uint8_t> into) const
{
    if (at >= m_size || into.empty())
        return 0;
    into = into.first(static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), m_size - at)));
    return std::min(m_read(at, into), into.size());
}

std::optional<box> box_reader::box_at(std::uint64_t at, std::uint64_t end) const
{
    end = std::min(end, m_size);
    if (at > end || end - at < 8)
        return std::nullopt;
    std::array<std::uint8_t, 16> header{};
    const std::size_t got = read(at, std::span(header).first(static_cast<std::size_t>(
                                         std::min<std::uint64_t>(16, end - at))));
    return read_box_header(bytes_view(header).first(got), at, end);
}

std::vector<box> box_reader::children_in(std::uint64_t from, std::uint64_t end) const
{
    std::vector<box> boxes;
    for (auto b = box_at(from, end); b; b = box_at(b->end(), end))
        boxes.push_back(*b);
    return boxes;
}

std::optional<box> box_reader::child_in(std::string_view type, std::uint64_t from,
                                        std::uint64_t end) const
{
    for (auto b = box_at(from, end); b; b = box_at(b->end(), end)) {
        if (b->type == type)
            return b;
    }
    return std::nullopt;
}

std::optional<box> box_reader::find_in(std::string_view path, std::uint64_t from,
                                       std::uint64_t end) const
{
    for (;;) {
        const std::size_t slash = path.find('/');
        const std::optional<box> found = child_in(path.substr(0, slash), from, end);
        if (!found || slash == std::string_view::npos)
            return found;
        path.remove_prefix(slash + 1);
        from = found->body_offset();
        end = found->end();
    }
}

std::vector<box> box_reader::children() const
{
    return children_in(0, m_size);
}

std::vector<box> box_reader::children(const box &parent) const
{
    return children_in(parent.body_offset(), parent.end());
}

std::optional<box> box_reader::child(std::string_view type) const
{
    return child_in(type, 0, m_size);
}

std::optional<box> box_reader::child(std::string_view type, const box &parent) const
{
    return child_in(type, parent.body_offset(), parent.end());
}

std::optional<box> box_reader::find(std::string_view path) const
{
    return find_in(path, 0, m_size);
}

std::optional<box> box_reader::find(std::string_view path, const box &within) const
{
    return find_in(path, within.body_offset(), within.end());
}

std::vector<std::uint8_t> box_reader::body(const box &b, std::uint64_t most) const
{
    if (b.body_offset() >= m_size)
        return {};
    const std::uint64_t wanted = std::min({most, b.body_size(), m_size - b.body_offset(),
                                           std::uint64_t{std::numeric_limits<std::size_t>::max()}});
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(wanted));
    bytes.resize(read(b.body_offset(), bytes));
    return bytes;
}

} // namespace mp4
