#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace salvex::test {

// Finds boxes in MP4 bytes by path ("moov/trak/mdia/mdhd", the first of each type on the way),
// in the whole file or inside `within`.
struct box
{
    size_t offset = 0;      // of the box header
    size_t header_size = 8; // 16 for a 64-bit size
    uint64_t size = 0;
    std::string type;
    size_t payload() const { return offset + header_size; }
};

std::vector<box> children(const std::vector<uint8_t> &file, size_t from, size_t to);
std::optional<box> find_box(const std::vector<uint8_t> &file, const std::string &path,
                            const std::optional<box> &within = std::nullopt);
// All the boxes of `type` directly inside moov, in order.
std::vector<box> moov_children(const std::vector<uint8_t> &file, const std::string &type);

uint32_t be32(const std::vector<uint8_t> &file, size_t at);
uint64_t be64(const std::vector<uint8_t> &file, size_t at);

} // namespace salvex::test
