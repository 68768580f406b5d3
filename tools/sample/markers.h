#pragma once

#include <optional>
#include <string_view>

namespace sample {

// The first byte pattern in `bytes` by which a raw-recording reader tells frames apart (picture
// starts and ends, metadata tags, box names), or nothing. Sound bytes must hold none of them.
std::optional<std::string_view> findFrameMarker(std::string_view bytes);

// True when `bytes` holds "DAT", "GPS" or "SHO" followed by five sign or digit characters: a
// metadata reader would take it for a record.
bool hasMetadataTag(std::string_view bytes);

} // namespace sample
