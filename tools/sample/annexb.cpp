#include "annexb.h"

#include "mp4/annexbunits.h"

#include <cstdint>
#include <stdexcept>

namespace sample {

namespace {

constexpr int nonIdrSlice = 1;
constexpr int idrSlice = 5;
constexpr int sps = 7;
constexpr int pps = 8;
constexpr std::string_view startCode("\0\0\0\1", 4);

bool isSlice(int type)
{
    return type == nonIdrSlice || type == idrSlice;
}

int unitType(std::string_view unit)
{
    return unit.empty() ? -1 : static_cast<unsigned char>(unit[0]) & 0x1f;
}

// first_mb_in_slice is the first Exp-Golomb code after the header: a leading 1 bit means 0.
bool startsPicture(std::string_view unit)
{
    return unit.size() > 1 && (static_cast<unsigned char>(unit[1]) & 0x80) != 0;
}

// The stream's NAL units, header byte first, without start codes.
std::vector<std::string_view> nalUnits(std::string_view stream)
{
    std::vector<std::string_view> units;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(stream.data());
    for (const auto unit : mp4::split_annexb({bytes, stream.size()}))
        units.push_back(stream.substr(static_cast<std::size_t>(unit.data() - bytes), unit.size()));
    return units;
}

} // namespace

std::vector<std::string> dashcamAccessUnits(std::string_view stream)
{
    std::vector<std::string> pictures;
    std::string currentSps;
    std::string currentPps;
    for (const std::string_view unit : nalUnits(stream)) {
        const int type = unitType(unit);
        if (type == sps) {
            currentSps = unit;
            continue;
        }
        if (type == pps) {
            currentPps = unit;
            continue;
        }
        if (!isSlice(type))
            continue; // SEI, access unit delimiters, filler: the dashcam writes none of them

        std::string slice(unit);
        if (type == nonIdrSlice) {
            // Only the reference flag's value may change: a non-reference slice has a
            // different header layout, so it cannot be relabelled.
            if ((slice[0] & 0x60) == 0)
                throw std::runtime_error("the encoder wrote a non-reference picture (B frames?)");
            slice[0] = 0x41;
        }
        if (!startsPicture(unit)) {
            if (pictures.empty())
                throw std::runtime_error("the stream begins inside a picture");
            pictures.back() += startCode;
            pictures.back() += slice;
            continue;
        }
        std::string picture;
        if (type == idrSlice) {
            if (currentSps.empty() || currentPps.empty())
                throw std::runtime_error("a key frame without SPS or PPS");
            picture.append(startCode).append(currentSps).append(startCode).append(currentPps);
        }
        picture.append(startCode).append(slice);
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

} // namespace sample
