#include "mp4/zeropairs.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MP4_X86 1
#endif

namespace mp4 {

namespace {

size_t find_bytewise(const uint8_t *data, size_t size, size_t i)
{
    for (; i + 1 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0)
            return i;
    }
    return size;
}

#ifdef MP4_X86
// A block compares 16 (or 32) positions and the byte after each, so it reads one byte past itself.
size_t find_sse2(const uint8_t *data, size_t size, size_t i)
{
    const __m128i zero = _mm_setzero_si128();
    for (; i + 17 <= size; i += 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + 1));
        const int mask = _mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(first, zero), _mm_cmpeq_epi8(second, zero)));
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
    return find_bytewise(data, size, i);
}

// 64 positions a step, each byte loaded once: the zero masks of two 32-byte blocks are joined, and
// a pair is a zero bit whose neighbour above (or the next step's first byte) is a zero too.
__attribute__((target("avx2"))) size_t find_avx2(const uint8_t *data, size_t size, size_t i)
{
    const __m256i zero = _mm256_setzero_si256();
    for (; i + 65 <= size; i += 64) {
        const auto low = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i)), zero)));
        const auto high = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i + 32)), zero)));
        const uint64_t zeros = uint64_t{low} | uint64_t{high} << 32;
        const uint64_t pairs = zeros & (zeros >> 1 | uint64_t{data[i + 64] == 0} << 63);
        if (pairs != 0)
            return i + static_cast<size_t>(__builtin_ctzll(pairs));
    }
    return find_sse2(data, size, i);
}

using finder = size_t (*)(const uint8_t *, size_t, size_t);

finder best_finder()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? find_avx2 : find_sse2;
}
#endif

} // namespace

size_t find_zero_pair(const uint8_t *data, size_t size, size_t from)
{
    if (from >= size)
        return size;
#ifdef MP4_X86
    static const finder find = best_finder();
    return find(data, size, from);
#else
    return find_bytewise(data, size, from);
#endif
}

} // namespace mp4
