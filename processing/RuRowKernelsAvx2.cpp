// The row kernels eight channels at a time, for processors with AVX2. This file alone is
// compiled for AVX2, and only after the processor has been asked is any of it called: it
// includes nothing with inline code the rest of the program could share (the linker might
// otherwise keep the AVX2 copy of such code for everyone).

#include "RuRowKernels.h"

#include <immintrin.h>

namespace {

constexpr int Channels = 1024;
constexpr int Half = Channels / 2;

// As in the baseline: hi·65536 + lo, rounded once, is the float nearest the unsigned value.
void recordToFloats(const unsigned char *record, float *out)
{
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    const __m256 scale = _mm256_set1_ps(65536.0f);
    for (int c = 0; c < Channels; c += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(record + 4 * c));
        const __m256 hi = _mm256_cvtepi32_ps(_mm256_srli_epi32(v, 16));
        const __m256 lo = _mm256_cvtepi32_ps(_mm256_and_si256(v, low));
        _mm256_storeu_ps(out + c, _mm256_add_ps(_mm256_mul_ps(hi, scale), lo));
    }
}

// VMAXPS(1, b) is 1 > b ? 1 : b, so a NaN background stays NaN, as in the baseline.
void normalise(const float *filtered, const float *background, float *out)
{
    const __m256 one = _mm256_set1_ps(1.0f);
    for (int c = 0; c < Channels; c += 8) {
        const __m256 b = _mm256_max_ps(one, _mm256_loadu_ps(background + c));
        _mm256_storeu_ps(out + c, _mm256_div_ps(_mm256_loadu_ps(filtered + c), b));
    }
}

// Eight channels' mirrors, loaded together and reversed across the whole register.
__m256 mirrorOf(const float *row, int c)
{
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    return _mm256_permutevar8x32_ps(_mm256_loadu_ps(row + Channels - 8 - c), reverse);
}

void asymmetry(const float *n, float *out)
{
    const __m256 one = _mm256_set1_ps(1.0f);
    for (int c = 0; c < Channels; c += 8) {
        const __m256 x = _mm256_sub_ps(_mm256_add_ps(_mm256_loadu_ps(n + c), one), mirrorOf(n, c));
        _mm256_storeu_ps(out + c, x);
    }
}

void halfSymmetry(const float *v, float *out)
{
    for (int c = 0; c < Half; c += 8)
        _mm256_storeu_ps(out + c, _mm256_sub_ps(_mm256_loadu_ps(v + c), mirrorOf(v, c)));
}

void slide(float *sum, float *oldest, const float *newest)
{
    for (int c = 0; c < Channels; c += 8) {
        const __m256 n = _mm256_loadu_ps(newest + c);
        const __m256 s = _mm256_sub_ps(_mm256_loadu_ps(sum + c), _mm256_loadu_ps(oldest + c));
        _mm256_storeu_ps(sum + c, _mm256_add_ps(s, n));
        _mm256_storeu_ps(oldest + c, n);
    }
}

void divide(const float *sum, float divisor, float *out)
{
    const __m256 d = _mm256_set1_ps(divisor);
    for (int c = 0; c < Channels; c += 8)
        _mm256_storeu_ps(out + c, _mm256_div_ps(_mm256_loadu_ps(sum + c), d));
}

// Thirty-two channels at a time. The packs narrow within each 128-bit half, leaving the
// dwords of bytes in the order a0-3 b0-3 c0-3 d0-3 a4-7 b4-7 c4-7 d4-7; the permutation puts
// them back in channel order before their top bits are gathered. The ordered quiet
// predicates give false for NaN, as the baseline's comparisons do.
template <int Predicate>
uint32_t bits32(const float *p, __m256 t)
{
    const __m256i a = _mm256_castps_si256(_mm256_cmp_ps(_mm256_loadu_ps(p), t, Predicate));
    const __m256i b = _mm256_castps_si256(_mm256_cmp_ps(_mm256_loadu_ps(p + 8), t, Predicate));
    const __m256i c = _mm256_castps_si256(_mm256_cmp_ps(_mm256_loadu_ps(p + 16), t, Predicate));
    const __m256i d = _mm256_castps_si256(_mm256_cmp_ps(_mm256_loadu_ps(p + 24), t, Predicate));
    const __m256i bytes = _mm256_packs_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(c, d));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    return uint32_t(_mm256_movemask_epi8(_mm256_permutevar8x32_epi32(bytes, order)));
}

template <int Predicate>
void words(const float *p, int count, float threshold, uint64_t *out)
{
    const __m256 t = _mm256_set1_ps(threshold);
    for (int w = 0; w < count; ++w) {
        const uint64_t low = bits32<Predicate>(p + 64 * w, t);
        const uint64_t high = bits32<Predicate>(p + 64 * w + 32, t);
        out[w] = low | high << 32;
    }
}

void above(const float *spectrum, float threshold, uint64_t *out)
{
    words<_CMP_GT_OQ>(spectrum, Channels / 64, threshold, out);
}

void aboveAndBelowHalf(const float *d, float threshold, uint64_t *up, uint64_t *down)
{
    words<_CMP_GT_OQ>(d, Half / 64, threshold, up);
    words<_CMP_LT_OQ>(d, Half / 64, threshold, down);
}

} // namespace

extern const RuRowKernels ruRowKernelsAvx2Set;
const RuRowKernels ruRowKernelsAvx2Set = {recordToFloats, normalise, asymmetry, halfSymmetry,
                                          slide,          divide,    above,     aboveAndBelowHalf};
