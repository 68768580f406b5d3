#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace salvex {

struct nal_unit
{
    const uint8_t *data;
    size_t size;
};

// The units of Annex B data: a start code is two or more 0x00 bytes and a 0x01; a unit ends
// where the next start code's zeros begin, the last one without its trailing zeros. Bytes before
// the first start code are not a unit.
std::vector<nal_unit> split_nal_units(const uint8_t *data, size_t size);

// Removes emulation prevention bytes (00 00 03 before a byte of 3 or less) into `out`. False for
// a malformed unit: empty, or 00 00 followed by 00, 01 or 02.
bool remove_emulation_prevention(const uint8_t *data, size_t size, std::vector<uint8_t> &out);

// Appends `data` to `out` with emulation prevention: 0x03 after two 0x00 before a byte of 3 or
// less.
void insert_emulation_prevention(const uint8_t *data, size_t size, std::vector<uint8_t> &out);

} // namespace salvex
