#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mp4 {

// The NAL units of an H.264 or H.265 byte stream (Annex B), header byte first, without their
// start codes: views into `stream`. A start code is two or more 0x00 bytes and a 0x01, so both
// the 3-byte and the 4-byte form count, and zeros before a unit's next start code belong to that
// start code. Bytes before the first start code are no unit; the last unit loses its trailing
// zeros, which may leave it empty. A unit holds at least its header byte: the next start code is
// looked for after it. Emulation prevention bytes stay in the units as they are.
std::vector<std::span<const std::uint8_t>> split_annexb(std::span<const std::uint8_t> stream);

} // namespace mp4
