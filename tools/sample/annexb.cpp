#include "annexb.h"

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

// first_mb_in_slice is the first Exp-Golomb code after the header: a leading 1 bit means 0.
bool startsPicture(const NalUnit &unit)
{
    return unit.bytes.size() > 1 && (static_cast<unsigned char>(unit.bytes[1]) & 0x80) != 0;
}

} // namespace

std::vector<NalUnit> splitAnnexB(std::string_view stream)
{
    std::vector<NalUnit> units;
    size_t begin = std::string_view::npos;
    size_t i = 0;
    const auto finish = [&](size_t end) {
        if (begin == std::string_view::npos)
            return;
        while (end > begin && stream[end - 1] == '\0')
            --end; // trailing zeros belong to the next start code
        if (end > begin)
            units.push_back({stream.substr(begin, end - begin)});
    };
    while (i + 3 <= stream.size()) {
        if (stream[i] == '\0' && stream[i + 1] == '\0' && stream[i + 2] == '\1') {
            finish(i);
            begin = i + 3;
            i += 3;
        } else {
            ++i;
        }
    }
    finish(stream.size());
    return units;
}

std::vector<std::string> dashcamAccessUnits(std::string_view stream)
{
    std::vector<std::string> pictures;
    std::string currentSps;
    std::string currentPps;
    for (const NalUnit &unit : splitAnnexB(stream)) {
        const int type = unit.type();
        if (type == sps) {
            currentSps = unit.bytes;
            continue;
        }
        if (type == pps) {
            currentPps = unit.bytes;
            continue;
        }
        if (!isSlice(type))
            continue; // SEI, access unit delimiters, filler: the dashcam writes none of them

        std::string slice(unit.bytes);
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
