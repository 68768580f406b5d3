#pragma once

#include <cstddef>
#include <cstdint>

namespace salvex {

// The first i in [from, size - 1) with data[i] == 0 and data[i + 1] == 0, or size when there is
// none. Every marker the tool looks for inside pictures (start codes, escapes, the end marker)
// begins with two zero bytes, and compressed pictures hold very few such pairs, so finding pairs
// 16 or 32 bytes at a time replaces byte-by-byte scanning.
size_t find_zero_pair(const uint8_t *data, size_t size, size_t from);

} // namespace salvex
