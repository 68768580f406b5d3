#include "mp4/annexbunits.h"

#include "mp4/zeropairs.h"

namespace mp4 {

namespace {

// Where the zero run of the next start code at or after `from` begins, or `size`; *unit_begin
// is set to the byte after its 0x01 (or `size`).
std::size_t next_start_code(const std::uint8_t *data, std::size_t size, std::size_t from,
                            std::size_t *unit_begin)
{
    for (std::size_t i = from; (i = find_zero_pair(data, size, i)) < size;) {
        std::size_t run = i + 2;
        while (run < size && data[run] == 0)
            ++run;
        if (run < size && data[run] == 1) {
            *unit_begin = run + 1;
            return i;
        }
        i = run;
    }
    *unit_begin = size;
    return size;
}

} // namespace

std::vector<std::span<const std::uint8_t>> split_annexb(std::span<const std::uint8_t> stream)
{
    const std::uint8_t *data = stream.data();
    const std::size_t size = stream.size();
    std::vector<std::span<const std::uint8_t>> units;
    std::size_t begin = 0;
    next_start_code(data, size, 0, &begin);
    while (begin < size) {
        std::size_t next_begin = size;
        std::size_t end = next_start_code(data, size, begin + 1, &next_begin);
        if (end == size) {
            while (end > begin && data[end - 1] == 0)
                --end;
        }
        units.push_back(stream.subspan(begin, end - begin));
        begin = next_begin;
    }
    return units;
}

} // namespace mp4
