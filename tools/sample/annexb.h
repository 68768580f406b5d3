#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sample {

// The stream's pictures as the dashcam writes them: every unit behind a four-byte start code,
// key frames led by their SPS and PPS, predicted frames led by a slice with header byte 0x41,
// no SEI and no access unit delimiters. Throws std::runtime_error on a stream it cannot shape so.
std::vector<std::string> dashcamAccessUnits(std::string_view stream);

} // namespace sample
