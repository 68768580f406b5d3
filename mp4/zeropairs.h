#pragma once

#include <cstddef>
#include <cstdint>

namespace mp4 {

// The first i in [from, size - 1) with data[i] == 0 and data[i + 1] == 0, or size when there is
// none. Every marker looked for inside pictures (start codes, escapes, salvex's end marker)
// begins with two zero bytes, and compressed pictures hold very few such pairs, so finding pairs
// 16 or 32 bytes at a time replaces byte-by-byte scanning.
std::size_t find_zero_pair(const std::uint8_t *data, std::size_t size, std::size_t from);

} // namespace mp4
