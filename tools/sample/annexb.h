#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sample {

struct NalUnit
{
    std::string_view bytes; // header byte first, no start code
    int type() const { return bytes.empty() ? -1 : static_cast<unsigned char>(bytes[0]) & 0x1f; }
};

// The NAL units of an Annex B stream; start codes of three and four bytes are both accepted.
std::vector<NalUnit> splitAnnexB(std::string_view stream);

// The stream's pictures as the dashcam writes them: every unit behind a four-byte start code,
// key frames led by their SPS and PPS, predicted frames led by a slice with header byte 0x41,
// no SEI and no access unit delimiters. Throws std::runtime_error on a stream it cannot shape so.
std::vector<std::string> dashcamAccessUnits(std::string_view stream);

} // namespace sample
