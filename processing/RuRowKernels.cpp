// The baseline set of row kernels (SSE, as x86-64 always has it; plain loops elsewhere) and
// the choice of the set the engine uses.

#include "RuRowKernels.h"

#include "rrd.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RU_KERNELS_SSE 1
#endif

namespace {

constexpr int Channels = 1024;
constexpr int Half = Channels / 2;

#ifdef RU_KERNELS_SSE

// SSE converts signed integers only: each value is split into its 16-bit halves, both
// converted exactly, and hi·65536 + lo is rounded once, to the float nearest the unsigned
// value, as a direct conversion rounds it. (The product is exact, so a fused multiply-add
// would round the same.) The records are little-endian, as x86 loads them.
void recordToFloats(const unsigned char *record, float *out)
{
    const __m128i low = _mm_set1_epi32(0xFFFF);
    const __m128 scale = _mm_set1_ps(65536.0f);
    for (int c = 0; c < Channels; c += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(record + 4 * c));
        const __m128 hi = _mm_cvtepi32_ps(_mm_srli_epi32(v, 16));
        const __m128 lo = _mm_cvtepi32_ps(_mm_and_si128(v, low));
        _mm_storeu_ps(out + c, _mm_add_ps(_mm_mul_ps(hi, scale), lo));
    }
}

// MAXPS(1, b) is 1 > b ? 1 : b, so a NaN background stays NaN (as Eigen's max keeps it).
void normalise(const float *filtered, const float *background, float *out)
{
    const __m128 one = _mm_set1_ps(1.0f);
    for (int c = 0; c < Channels; c += 4) {
        const __m128 b = _mm_max_ps(one, _mm_loadu_ps(background + c));
        _mm_storeu_ps(out + c, _mm_div_ps(_mm_loadu_ps(filtered + c), b));
    }
}

// Four channels and their four mirrors, loaded together and reversed.
__m128 mirrorOf(const float *row, int c)
{
    const __m128 m = _mm_loadu_ps(row + Channels - 4 - c);
    return _mm_shuffle_ps(m, m, _MM_SHUFFLE(0, 1, 2, 3));
}

void asymmetry(const float *n, float *out)
{
    const __m128 one = _mm_set1_ps(1.0f);
    for (int c = 0; c < Channels; c += 4)
        _mm_storeu_ps(out + c, _mm_sub_ps(_mm_add_ps(_mm_loadu_ps(n + c), one), mirrorOf(n, c)));
}

void halfSymmetry(const float *v, float *out)
{
    for (int c = 0; c < Half; c += 4)
        _mm_storeu_ps(out + c, _mm_sub_ps(_mm_loadu_ps(v + c), mirrorOf(v, c)));
}

void slide(float *sum, float *oldest, const float *newest)
{
    for (int c = 0; c < Channels; c += 4) {
        const __m128 n = _mm_loadu_ps(newest + c);
        const __m128 s = _mm_sub_ps(_mm_loadu_ps(sum + c), _mm_loadu_ps(oldest + c));
        _mm_storeu_ps(sum + c, _mm_add_ps(s, n));
        _mm_storeu_ps(oldest + c, n);
    }
}

void divide(const float *sum, float divisor, float *out)
{
    const __m128 d = _mm_set1_ps(divisor);
    for (int c = 0; c < Channels; c += 4)
        _mm_storeu_ps(out + c, _mm_div_ps(_mm_loadu_ps(sum + c), d));
}

// Sixteen channels at a time: the four comparisons' all-ones or all-zero lanes narrowed to
// bytes by saturating packs (which keep 0 and -1 and their order), one bit each.
template <typename Compare>
uint32_t bits16(const float *p, __m128 t, Compare compare)
{
    const __m128i a = _mm_castps_si128(compare(_mm_loadu_ps(p), t));
    const __m128i b = _mm_castps_si128(compare(_mm_loadu_ps(p + 4), t));
    const __m128i c = _mm_castps_si128(compare(_mm_loadu_ps(p + 8), t));
    const __m128i d = _mm_castps_si128(compare(_mm_loadu_ps(p + 12), t));
    return uint32_t(_mm_movemask_epi8(_mm_packs_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d))));
}

template <typename Compare>
void words(const float *p, int count, float threshold, Compare compare, uint64_t *out)
{
    const __m128 t = _mm_set1_ps(threshold);
    for (int w = 0; w < count; ++w) {
        uint64_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits |= uint64_t(bits16(p + 64 * w + 16 * i, t, compare)) << (16 * i);
        out[w] = bits;
    }
}

const auto greater = [](__m128 v, __m128 t) { return _mm_cmpgt_ps(v, t); };
const auto less = [](__m128 v, __m128 t) { return _mm_cmplt_ps(v, t); };

void above(const float *spectrum, float threshold, uint64_t *out)
{
    words(spectrum, Channels / 64, threshold, greater, out);
}

void aboveAndBelowHalf(const float *d, float threshold, uint64_t *up, uint64_t *down)
{
    words(d, Half / 64, threshold, greater, up);
    words(d, Half / 64, threshold, less, down);
}

#else

void recordToFloats(const unsigned char *record, float *out)
{
    for (int c = 0; c < Channels; ++c)
        out[c] = static_cast<float>(rrd_get_u32(record + 4 * c));
}

void normalise(const float *filtered, const float *background, float *out)
{
    for (int c = 0; c < Channels; ++c)
        out[c] = filtered[c] / (1.0f > background[c] ? 1.0f : background[c]);
}

void asymmetry(const float *n, float *out)
{
    for (int c = 0; c < Channels; ++c)
        out[c] = (n[c] + 1.0f) - n[Channels - 1 - c];
}

void halfSymmetry(const float *v, float *out)
{
    for (int c = 0; c < Half; ++c)
        out[c] = v[c] - v[Channels - 1 - c];
}

void slide(float *sum, float *oldest, const float *newest)
{
    for (int c = 0; c < Channels; ++c) {
        sum[c] = (sum[c] - oldest[c]) + newest[c];
        oldest[c] = newest[c];
    }
}

void divide(const float *sum, float divisor, float *out)
{
    for (int c = 0; c < Channels; ++c)
        out[c] = sum[c] / divisor;
}

void above(const float *spectrum, float threshold, uint64_t *out)
{
    for (int w = 0; w < Channels / 64; ++w) {
        out[w] = 0;
        for (int i = 0; i < 64; ++i)
            out[w] |= uint64_t(spectrum[64 * w + i] > threshold) << i;
    }
}

void aboveAndBelowHalf(const float *d, float threshold, uint64_t *up, uint64_t *down)
{
    for (int w = 0; w < Half / 64; ++w) {
        up[w] = 0;
        down[w] = 0;
        for (int i = 0; i < 64; ++i) {
            up[w] |= uint64_t(d[64 * w + i] > threshold) << i;
            down[w] |= uint64_t(d[64 * w + i] < threshold) << i;
        }
    }
}

#endif

const RuRowKernels Baseline = {recordToFloats, normalise, asymmetry, halfSymmetry,
                               slide,          divide,    above,     aboveAndBelowHalf};

} // namespace

#ifdef RU_ROW_KERNELS_AVX2
extern const RuRowKernels ruRowKernelsAvx2Set; // RuRowKernelsAvx2.cpp
#endif

const RuRowKernels &ruRowKernelsBaseline()
{
    return Baseline;
}

const RuRowKernels *ruRowKernelsAvx2()
{
#ifdef RU_ROW_KERNELS_AVX2
    if (__builtin_cpu_supports("avx2"))
        return &ruRowKernelsAvx2Set;
#endif
    return nullptr;
}

namespace {

// SK_ROW_KERNELS=baseline keeps the engine on the baseline set on any processor, so that the
// tests (and anyone doubting a result) can run it both ways.
const RuRowKernels &chooseRowKernels()
{
    const char *forced = std::getenv("SK_ROW_KERNELS");
    if (forced && std::strcmp(forced, "baseline") == 0)
        return ruRowKernelsBaseline();
    return ruRowKernelsAvx2() ? *ruRowKernelsAvx2() : ruRowKernelsBaseline();
}

} // namespace

const RuRowKernels &ruRowKernels()
{
    static const RuRowKernels &chosen = chooseRowKernels();
    return chosen;
}
