#include "RuConditioning.h"

#include "rrd.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RU_CONDITIONING_SSE 1
#endif

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;

// Radii of half a row or more wrap around the row more than once: each channel then counts
// as often as the window covers it. Prefix sums keep that to one pass per row.
RuMatrix wideSpectralAverage(const RuMatrix &m, int radius)
{
    constexpr int C = RuMatrix::ColsAtCompileTime;
    const long long width = 2LL * radius + 1;
    const long long laps = width / C;
    const int rest = static_cast<int>(width % C);
    RuMatrix out(m.rows(), C);
    std::vector<double> prefix(2 * C + 1);
    for (int r = 0; r < m.rows(); ++r) {
        prefix[0] = 0.0;
        for (int i = 0; i < 2 * C; ++i)
            prefix[i + 1] = prefix[i] + m(r, i % C);
        const double total = prefix[C];
        for (int c = 0; c < C; ++c) {
            // After the full laps, `rest` channels remain, starting at c - radius.
            const int start = static_cast<int>(((c - static_cast<long long>(radius)) % C + C) % C);
            const double part = prefix[start + rest] - prefix[start];
            out(r, c) = static_cast<float>((laps * total + part) / static_cast<double>(width));
        }
    }
    return out;
}

} // namespace

// SSE converts signed integers only: each value is split into its 16-bit halves, both
// converted exactly, and hi·65536 + lo is rounded once, to the float nearest the unsigned
// value, as a direct conversion rounds it. (The product is exact, so a fused multiply-add
// would round the same.) The records are little-endian, as x86 loads them.
void ruRecordToFloats(const unsigned char *record, float *out)
{
    int c = 0;
#ifdef RU_CONDITIONING_SSE
    const __m128i low = _mm_set1_epi32(0xFFFF);
    const __m128 scale = _mm_set1_ps(65536.0f);
    for (; c < Channels; c += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(record + 4 * c));
        const __m128 hi = _mm_cvtepi32_ps(_mm_srli_epi32(v, 16));
        const __m128 lo = _mm_cvtepi32_ps(_mm_and_si128(v, low));
        _mm_storeu_ps(out + c, _mm_add_ps(_mm_mul_ps(hi, scale), lo));
    }
#endif
    for (; c < Channels; ++c)
        out[c] = static_cast<float>(rrd_get_u32(record + 4 * c));
}

void ruFrameToMatrix(const RuFrame &frame, RuMatrix &out)
{
    out.resize(frame.rows(), Channels);
    for (int r = 0; r < frame.rows(); ++r)
        ruRecordToFloats(frame.rowData(r), out.row(r).data());
}

RuMatrix ruSpectralAverage(const RuMatrix &m, int radius)
{
    constexpr int C = RuMatrix::ColsAtCompileTime;
    if (radius <= 0)
        return m;
    if (radius >= C / 2)
        return wideSpectralAverage(m, radius);
    const int n = radius;
    const int width = 2 * n + 1;
    RuMatrix out(m.rows(), C);
    Eigen::Array<float, 1, Eigen::Dynamic> padded(C + 2 * n);
    for (int r = 0; r < m.rows(); ++r) {
        // The row with n channels of wrap-around on either side, so every window is one
        // contiguous segment; summing the shifted segments in order keeps the left-to-right
        // order of the plain sum.
        padded.segment(0, n) = m.row(r).segment(C - n, n).array();
        padded.segment(n, C) = m.row(r).array();
        padded.segment(n + C, n) = m.row(r).segment(0, n).array();
        auto dst = out.row(r).array();
        dst = padded.segment(0, C);
        for (int k = 1; k < width; ++k)
            dst += padded.segment(k, C);
        dst /= static_cast<float>(width);
    }
    return out;
}

void ruNormalise(const RuMatrix &filtered, const RuMatrix &background, RuMatrix &out)
{
    out.resize(filtered.rows(), RuMatrix::ColsAtCompileTime);
    out.array() = filtered.array() / background.array().max(1.0f);
}

RuMatrix ruNormalised(const RuMatrix &filtered, const RuMatrix &background)
{
    RuMatrix out;
    ruNormalise(filtered, background, out);
    return out;
}

namespace {

// X(c) = (N(c) + 1) - N(1023 - c) of one row: four channels and their four mirrors, loaded
// together and reversed, at a time.
void asymmetryRow(const float *n, float *x)
{
    int c = 0;
#ifdef RU_CONDITIONING_SSE
    const __m128 one = _mm_set1_ps(1.0f);
    for (; c < Channels; c += 4) {
        const __m128 mirror = _mm_loadu_ps(n + Channels - 4 - c);
        const __m128 reversed = _mm_shuffle_ps(mirror, mirror, _MM_SHUFFLE(0, 1, 2, 3));
        _mm_storeu_ps(x + c, _mm_sub_ps(_mm_add_ps(_mm_loadu_ps(n + c), one), reversed));
    }
#endif
    for (; c < Channels; ++c)
        x[c] = (n[c] + 1.0f) - n[Channels - 1 - c];
}

} // namespace

void ruAsymmetry(const RuMatrix &normalised, RuMatrix &out)
{
    out.resize(normalised.rows(), Channels);
    for (int r = 0; r < normalised.rows(); ++r)
        asymmetryRow(normalised.row(r).data(), out.row(r).data());
}

void ruNormaliseWithAsymmetry(const RuMatrix &filtered, const RuMatrix &background,
                              RuMatrix &normalised, RuMatrix &asymmetry)
{
    normalised.resize(filtered.rows(), Channels);
    asymmetry.resize(filtered.rows(), Channels);
    for (int r = 0; r < filtered.rows(); ++r) {
        // The expression ruNormalise evaluates, one row of it.
        normalised.row(r).array() = filtered.row(r).array() / background.row(r).array().max(1.0f);
        asymmetryRow(normalised.row(r).data(), asymmetry.row(r).data());
    }
}

double ruWindowSum(const RuMatrix &m, int row, int begin, int width)
{
    if (row < 0 || row >= m.rows())
        return 0.0;
    const int b = std::clamp(begin, 0, static_cast<int>(RuMatrix::ColsAtCompileTime));
    const long end = std::clamp(static_cast<long>(begin) + width, static_cast<long>(b),
                                static_cast<long>(RuMatrix::ColsAtCompileTime));
    if (end <= b)
        return 0.0;
    return m.row(row).segment(b, end - b).cast<double>().sum();
}
