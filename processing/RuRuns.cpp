#include "RuRuns.h"

#include "RuMatrix.h"

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RU_RUNS_SSE 1
#endif

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;
constexpr int Words = RuAboveMask::Words;
static_assert(Words * 64 == Channels, "one bit per channel");

uint64_t aboveWord(const float *p, float threshold)
{
#ifdef RU_RUNS_SSE
    const __m128 t = _mm_set1_ps(threshold);
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        const __m128 v = _mm_loadu_ps(p + 4 * i);
        bits |= static_cast<uint64_t>(_mm_movemask_ps(_mm_cmpgt_ps(v, t))) << (4 * i);
    }
    return bits;
#else
    uint64_t bits = 0;
    for (int i = 0; i < 64; ++i)
        bits |= static_cast<uint64_t>(p[i] > threshold) << i;
    return bits;
#endif
}

int countTrailingZeros(uint64_t x)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctzll(x);
#else
    int n = 0;
    while (!(x & 1)) {
        x >>= 1;
        ++n;
    }
    return n;
#endif
}

// First channel >= from whose bit equals `set`; Channels when there is none.
int nextBit(const RuAboveMask &mask, int from, bool set)
{
    for (int w = from / 64; w < Words; ++w) {
        uint64_t bits = set ? mask.word[w] : ~mask.word[w];
        if (w == from / 64)
            bits &= ~uint64_t(0) << (from % 64);
        if (bits)
            return 64 * w + countTrailingZeros(bits);
    }
    return Channels;
}

// The channels outside the window are never looked at: a stretch is searched from `begin`
// on and cut at `end`.
template <typename OnRun>
int scanRuns(const RuAboveMask &mask, int begin, int end, int length, OnRun onRun)
{
    begin = std::clamp(begin, 0, Channels);
    end = std::clamp(end, 0, Channels);
    if (end - begin < length || length < 1)
        return 0;
    int found = 0;
    int pos = begin;
    while (pos < end) {
        const int first = nextBit(mask, pos, true);
        if (first >= end)
            break;
        const int stop = std::min(nextBit(mask, first, false), end);
        for (int s = first; s + length <= stop; s += length) {
            ++found;
            if (!onRun(s))
                return found;
        }
        pos = stop;
    }
    return found;
}

} // namespace

void ruAboveMask(const float *spectrum, float threshold, RuAboveMask &mask)
{
    for (int w = 0; w < Words; ++w)
        mask.word[w] = aboveWord(spectrum + 64 * w, threshold);
}

int ruFindRuns(const RuAboveMask &above, int begin, int end, int length, QVector<int> *starts)
{
    return scanRuns(above, begin, end, length, [starts](int s) {
        if (starts)
            starts->append(s);
        return true;
    });
}

bool ruHasRun(const RuAboveMask &above, int begin, int end, int length)
{
    return scanRuns(above, begin, end, length, [](int) { return false; }) > 0;
}

int ruFindRuns(const float *spectrum, float threshold, int begin, int end, int length,
               QVector<int> *starts)
{
    RuAboveMask above;
    ruAboveMask(spectrum, threshold, above);
    return ruFindRuns(above, begin, end, length, starts);
}

bool ruHasRun(const float *spectrum, float threshold, int begin, int end, int length)
{
    RuAboveMask above;
    ruAboveMask(spectrum, threshold, above);
    return ruHasRun(above, begin, end, length);
}
