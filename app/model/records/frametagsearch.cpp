#include "frametagsearch.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvane {

namespace {

bool tagAt(const char *p, FrameTag *tag)
{
    if (p[0] == 'D' && p[1] == 'A' && p[2] == 'T')
        *tag = FrameTag::dat;
    else if (p[0] == 'G' && p[1] == 'P' && p[2] == 'S')
        *tag = FrameTag::gps;
    else if (p[0] == 'S' && p[1] == 'H' && p[2] == 'O')
        *tag = FrameTag::sho;
    else
        return false;
    return true;
}

} // namespace

FrameTagHit findNextFrameTag(const char *data, qsizetype size, qsizetype from)
{
    qsizetype i = from < 0 ? 0 : from;
    FrameTag tag;
#if defined(__SSE2__)
    // Each block compares the first two letters of every tag at 16 positions; the few positions
    // that pass are checked in full. A block reads 17 bytes and a hit needs one more.
    const __m128i d = _mm_set1_epi8('D'), a = _mm_set1_epi8('A');
    const __m128i g = _mm_set1_epi8('G'), p = _mm_set1_epi8('P');
    const __m128i s = _mm_set1_epi8('S'), h = _mm_set1_epi8('H');
    for (; i + 18 <= size; i += 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + 1));
        const __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(first, d), _mm_cmpeq_epi8(second, a)),
                         _mm_and_si128(_mm_cmpeq_epi8(first, g), _mm_cmpeq_epi8(second, p))),
            _mm_and_si128(_mm_cmpeq_epi8(first, s), _mm_cmpeq_epi8(second, h)));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0;
             mask &= mask - 1) {
            const qsizetype at = i + __builtin_ctz(mask);
            if (tagAt(data + at, &tag))
                return {at, tag};
        }
    }
#endif
    for (; i + 3 <= size; ++i) {
        if (tagAt(data + i, &tag))
            return {i, tag};
    }
    return {};
}

} // namespace korvane
