#include "markers.h"

#include <array>

namespace sample {

namespace {
using namespace std::string_view_literals;
// A 4-byte start code with anything behind it: readers take many unit kinds for a picture's
// start, and the filler unit for its end.
constexpr std::array markers{
    "\0\0\0\1"sv, "DAT00"sv, "GPS00"sv, "SHO00"sv, "mdat"sv, "moov"sv,
};

bool isLengthCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == '+' || c == '-';
}
} // namespace

std::optional<std::string_view> findFrameMarker(std::string_view bytes)
{
    for (const std::string_view marker : markers) {
        if (bytes.find(marker) != std::string_view::npos)
            return marker;
    }
    return std::nullopt;
}

bool hasMetadataTag(std::string_view bytes)
{
    for (const std::string_view tag : {"DAT"sv, "GPS"sv, "SHO"sv}) {
        for (size_t at = bytes.find(tag); at != std::string_view::npos;
             at = bytes.find(tag, at + 1)) {
            if (at + 8 > bytes.size())
                break;
            bool lengthLike = true;
            for (size_t i = at + 3; i < at + 8; ++i)
                lengthLike = lengthLike && isLengthCharacter(bytes[i]);
            if (lengthLike)
                return true;
        }
    }
    return false;
}

} // namespace sample
