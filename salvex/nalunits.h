#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace salvex {

// Removes emulation prevention bytes (00 00 03 before a byte of 3 or less) into `out`, which
// holds at least `size` bytes. The length written, or nothing for a malformed unit: empty, or
// 00 00 followed by 00, 01 or 02.
std::optional<size_t> remove_emulation_prevention(const uint8_t *data, size_t size, uint8_t *out);

// Writes `data` to `out` with emulation prevention: 0x03 after two 0x00 before a byte of 3 or
// less. `out` holds at least escaped_capacity(size) bytes. The length written.
size_t insert_emulation_prevention(const uint8_t *data, size_t size, uint8_t *out);
constexpr size_t escaped_capacity(size_t size)
{
    return size + size / 2 + 1;
}

enum class escaping
{
    malformed,
    canonical,
    other
};

// Whether removing and inserting emulation prevention would give `data` back unchanged
// (canonical), change it (other: an escape before a byte of 4 or more, or a final one), or fail.
escaping check_emulation_prevention(const uint8_t *data, size_t size);

} // namespace salvex
