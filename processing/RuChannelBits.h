#pragma once
// Comparisons of 64 consecutive channels with a threshold as one 64-bit word (bit i for
// channel i), and the search for the next set bit in a row of such words: the detectors
// compare a spectrum once and then walk its stretches a word at a time.

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RU_CHANNEL_BITS_SSE 1
#endif

namespace ruChannelBits {

#ifdef RU_CHANNEL_BITS_SSE
// Sixteen channels at a time: the four comparisons' all-ones or all-zero lanes narrowed to
// bytes by saturating packs (which keep 0 and -1 and their order), one bit each.
template <typename Compare>
uint64_t word(const float *p, float threshold, Compare compare)
{
    const __m128 t = _mm_set1_ps(threshold);
    uint64_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        const float *q = p + 16 * i;
        const __m128i a = _mm_castps_si128(compare(_mm_loadu_ps(q), t));
        const __m128i b = _mm_castps_si128(compare(_mm_loadu_ps(q + 4), t));
        const __m128i c = _mm_castps_si128(compare(_mm_loadu_ps(q + 8), t));
        const __m128i d = _mm_castps_si128(compare(_mm_loadu_ps(q + 12), t));
        const __m128i bytes = _mm_packs_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
        bits |= uint64_t(uint32_t(_mm_movemask_epi8(bytes))) << (16 * i);
    }
    return bits;
}
#endif

// Channels strictly above the threshold; NaN never is.
inline uint64_t above(const float *p, float threshold)
{
#ifdef RU_CHANNEL_BITS_SSE
    return word(p, threshold, [](__m128 v, __m128 t) { return _mm_cmpgt_ps(v, t); });
#else
    uint64_t bits = 0;
    for (int i = 0; i < 64; ++i)
        bits |= uint64_t(p[i] > threshold) << i;
    return bits;
#endif
}

// Channels strictly below the threshold; NaN never is.
inline uint64_t below(const float *p, float threshold)
{
#ifdef RU_CHANNEL_BITS_SSE
    return word(p, threshold, [](__m128 v, __m128 t) { return _mm_cmplt_ps(v, t); });
#else
    uint64_t bits = 0;
    for (int i = 0; i < 64; ++i)
        bits |= uint64_t(p[i] < threshold) << i;
    return bits;
#endif
}

// First bit at or after `from` that is set in words[0..count) (or clear, with `set` false);
// 64·count when there is none.
inline int next(const uint64_t *words, int count, int from, bool set = true)
{
    for (int w = from / 64; w < count; ++w) {
        uint64_t bits = set ? words[w] : ~words[w];
        if (w == from / 64)
            bits &= ~uint64_t(0) << (from % 64);
        if (bits)
            return 64 * w + __builtin_ctzll(bits);
    }
    return 64 * count;
}

} // namespace ruChannelBits
