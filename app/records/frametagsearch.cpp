#include "records/frametagsearch.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KORVANE_X86 1
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

FrameTagHit findBytewise(const char *data, qsizetype size, qsizetype i)
{
    FrameTag tag;
    for (; i + 3 <= size; ++i) {
        if (tagAt(data + i, &tag))
            return {i, tag};
    }
    return {};
}

#ifdef KORVANE_X86
// Each block compares the first two letters of every tag at 16 (or 32) positions at once; the
// few positions that pass are checked in full. A block reads one byte past itself and a hit
// needs one more, hence the two spare bytes at the end.
FrameTagHit findSse2(const char *data, qsizetype size, qsizetype i)
{
    const __m128i d = _mm_set1_epi8('D'), a = _mm_set1_epi8('A');
    const __m128i g = _mm_set1_epi8('G'), p = _mm_set1_epi8('P');
    const __m128i s = _mm_set1_epi8('S'), h = _mm_set1_epi8('H');
    FrameTag tag;
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
    return findBytewise(data, size, i);
}

__attribute__((target("avx2"))) FrameTagHit findAvx2(const char *data, qsizetype size, qsizetype i)
{
    const __m256i d = _mm256_set1_epi8('D'), a = _mm256_set1_epi8('A');
    const __m256i g = _mm256_set1_epi8('G'), p = _mm256_set1_epi8('P');
    const __m256i s = _mm256_set1_epi8('S'), h = _mm256_set1_epi8('H');
    FrameTag tag;
    for (; i + 34 <= size; i += 32) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i));
        const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i + 1));
        const __m256i hits = _mm256_or_si256(
            _mm256_or_si256(
                _mm256_and_si256(_mm256_cmpeq_epi8(first, d), _mm256_cmpeq_epi8(second, a)),
                _mm256_and_si256(_mm256_cmpeq_epi8(first, g), _mm256_cmpeq_epi8(second, p))),
            _mm256_and_si256(_mm256_cmpeq_epi8(first, s), _mm256_cmpeq_epi8(second, h)));
        for (unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(hits)); mask != 0;
             mask &= mask - 1) {
            const qsizetype at = i + __builtin_ctz(mask);
            if (tagAt(data + at, &tag))
                return {at, tag};
        }
    }
    return findSse2(data, size, i);
}

using Finder = FrameTagHit (*)(const char *, qsizetype, qsizetype);

Finder bestFinder()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? findAvx2 : findSse2;
}
#endif

} // namespace

FrameTagHit findNextFrameTag(const char *data, qsizetype size, qsizetype from)
{
    const qsizetype start = from < 0 ? 0 : from;
#ifdef KORVANE_X86
    static const Finder find = bestFinder();
    return find(data, size, start);
#else
    return findBytewise(data, size, start);
#endif
}

} // namespace korvane
