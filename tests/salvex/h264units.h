#pragma once

#include "mp4writer.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace salvex::test {

using bytes = std::vector<uint8_t>;

// H.264 units built field by field (without start code, header byte first).
bytes sps_unit(uint32_t id, uint32_t log2_max_frame_num_minus4 = 0);
bytes pps_unit(uint32_t pps_id, uint32_t sps_id);
bytes slice_unit(bool idr, uint32_t first_mb, uint32_t pps_id, uint8_t body_byte = 0x5a);
inline bytes operator+(bytes a, const bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Units behind 4-byte start codes.
bytes annex_b(std::initializer_list<bytes> units);

// An MP4 writer whose file is a vector in memory.
struct memory_mp4
{
    bytes file;
    std::unique_ptr<MP4E_mux_t> mux;
    memory_mp4();
};

} // namespace salvex::test
