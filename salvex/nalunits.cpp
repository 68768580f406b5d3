#include "nalunits.h"

#include "mp4/zeropairs.h"

#include <cstring>

namespace salvex {

using mp4::find_zero_pair;

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
