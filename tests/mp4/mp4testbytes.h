#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace mp4::test {

using bytes = std::vector<std::uint8_t>;

inline bytes operator+(bytes a, const bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// `value` in `size` bytes, most significant first.
inline bytes be(std::uint64_t value, int size)
{
    bytes out;
    for (int i = size - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return out;
}

inline bytes text(std::string_view s)
{
    return bytes(s.begin(), s.end());
}

// A box with a 32-bit size.
inline bytes box_bytes(std::string_view type, const bytes &body)
{
    return be(body.size() + 8, 4) + text(type) + body;
}

// A box with its size in 64 bits after the type.
inline bytes large_box_bytes(std::string_view type, const bytes &body)
{
    return be(1, 4) + text(type) + be(body.size() + 16, 8) + body;
}

// The version byte and flags that begin a full box's contents.
inline bytes full(std::uint8_t version, std::uint32_t flags = 0)
{
    return be(version, 1) + be(flags, 3);
}

} // namespace mp4::test
