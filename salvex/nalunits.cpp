#include "nalunits.h"

#include <cstring>

namespace salvex {

namespace {

// Where the zero run of the next start code at or after `from` begins, or `size`.
size_t next_start_code(const uint8_t *data, size_t size, size_t from, size_t *unit_begin)
{
    size_t i = from;
    while (i + 2 < size) {
        const void *zero = std::memchr(data + i, 0, size - i);
        if (!zero)
            break;
        const size_t z = static_cast<size_t>(static_cast<const uint8_t *>(zero) - data);
        size_t run = z;
        while (run < size && data[run] == 0)
            ++run;
        if (run - z >= 2 && run < size && data[run] == 1) {
            *unit_begin = run + 1;
            return z;
        }
        i = run;
    }
    *unit_begin = size;
    return size;
}

} // namespace

std::vector<nal_unit> split_nal_units(const uint8_t *data, size_t size)
{
    std::vector<nal_unit> units;
    size_t begin = 0;
    next_start_code(data, size, 0, &begin);
    while (begin < size) {
        // The search for the next start code goes on from the unit's second byte.
        size_t next_begin = size;
        size_t end = next_start_code(data, size, begin + 1, &next_begin);
        if (next_begin == size) {
            end = size;
            while (end > begin && data[end - 1] == 0)
                --end;
        }
        units.push_back({data + begin, end - begin}); // an empty one is the writer's to refuse
        begin = next_begin;
    }
    return units;
}

bool remove_emulation_prevention(const uint8_t *data, size_t size, std::vector<uint8_t> &out)
{
    out.clear();
    if (size == 0)
        return false;
    out.reserve(size);
    size_t i = 0;
    while (i < size) {
        // Copy up to the next pair of zeros in one go: compressed data holds few of them.
        const void *zero = std::memchr(data + i, 0, size - i);
        if (!zero) {
            out.insert(out.end(), data + i, data + size);
            break;
        }
        size_t z = static_cast<size_t>(static_cast<const uint8_t *>(zero) - data);
        if (z + 1 >= size || data[z + 1] != 0) {
            out.insert(out.end(), data + i, data + z + 1);
            i = z + 1;
            continue;
        }
        out.insert(out.end(), data + i, data + z + 2);
        i = z + 2;
        if (i >= size)
            break;
        const uint8_t next = data[i];
        if (next <= 2)
            return false;
        if (next == 3 && i + 1 < size && data[i + 1] <= 3)
            ++i; // the escape byte is dropped and the zero count starts again
    }
    return true;
}

void insert_emulation_prevention(const uint8_t *data, size_t size, std::vector<uint8_t> &out)
{
    out.reserve(out.size() + size + size / 64 + 4);
    size_t i = 0;
    while (i < size) {
        const void *zero = std::memchr(data + i, 0, size - i);
        if (!zero) {
            out.insert(out.end(), data + i, data + size);
            return;
        }
        const size_t z = static_cast<size_t>(static_cast<const uint8_t *>(zero) - data);
        if (z + 1 >= size || data[z + 1] != 0) {
            out.insert(out.end(), data + i, data + z + 1);
            i = z + 1;
            continue;
        }
        out.insert(out.end(), data + i, data + z + 2);
        i = z + 2;
        if (i < size && data[i] <= 3)
            out.push_back(3);
    }
}

} // namespace salvex
