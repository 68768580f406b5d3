#include "nalunits.h"

#include "zeropairs.h"

#include <cstring>

namespace salvex {

namespace {

// Where the zero run of the next start code at or after `from` begins, or `size`.
size_t next_start_code(const uint8_t *data, size_t size, size_t from, size_t *unit_begin)
{
    for (size_t i = from; (i = find_zero_pair(data, size, i)) < size;) {
        size_t run = i + 2;
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

// Copies data[*i ..] up to and including the next pair of zeros (or to the end) to *to, moves both
// past it, and returns where the pair starts (size when there is none). Compressed data holds few
// such pairs, so the copies are long.
static size_t copy_through_zero_pair(const uint8_t *data, size_t size, size_t *i, uint8_t **to)
{
    const size_t z = find_zero_pair(data, size, *i);
    const size_t end = z < size ? z + 2 : size;
    std::memcpy(*to, data + *i, end - *i);
    *to += end - *i;
    *i = end;
    return z;
}

std::optional<size_t> remove_emulation_prevention(const uint8_t *data, size_t size, uint8_t *out)
{
    if (size == 0)
        return std::nullopt;
    uint8_t *to = out;
    size_t i = 0;
    while (i < size) {
        const size_t z = copy_through_zero_pair(data, size, &i, &to);
        if (z >= size || i >= size)
            break;
        const uint8_t next = data[i];
        if (next <= 2)
            return std::nullopt;
        if (next == 3 && i + 1 < size && data[i + 1] <= 3)
            ++i; // the escape byte is dropped and the zero count starts again
    }
    return static_cast<size_t>(to - out);
}

size_t insert_emulation_prevention(const uint8_t *data, size_t size, uint8_t *out)
{
    uint8_t *to = out;
    size_t i = 0;
    while (i < size) {
        const size_t z = copy_through_zero_pair(data, size, &i, &to);
        if (z < size && i < size && data[i] <= 3)
            *to++ = 3;
    }
    return static_cast<size_t>(to - out);
}

escaping check_emulation_prevention(const uint8_t *data, size_t size)
{
    if (size == 0)
        return escaping::malformed;
    escaping result = escaping::canonical;
    for (size_t i = 0; (i = find_zero_pair(data, size, i)) < size;) {
        i += 2;
        if (i >= size)
            break; // a final zero pair stays as it is both ways
        if (data[i] <= 2)
            return escaping::malformed;
        if (data[i] == 3) {
            // Kept when last or before a byte of 4 or more: then it is data, and gets escaped.
            if (i + 1 >= size || data[i + 1] > 3)
                result = escaping::other;
            else
                ++i;
        }
    }
    return result;
}

} // namespace salvex
