#include "RuRuns.h"

#include "RuMatrix.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RU_RUNS_SSE 1
#endif

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;
constexpr int Words = Channels / 64;

// Bit i of word w is set when channel 64·w + i lies in [begin, end) and is above the threshold.
struct AboveMask
{
    uint64_t word[Words];
};

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

uint64_t windowBits(int w, int begin, int end)
{
    const int lo = std::max(begin - 64 * w, 0);
    const int hi = std::min(end - 64 * w, 64);
    if (hi <= lo)
        return 0;
    const uint64_t upTo = hi == 64 ? ~uint64_t(0) : ((uint64_t(1) << hi) - 1);
    return upTo & ~((uint64_t(1) << lo) - 1);
}

void buildMask(const float *spectrum, float threshold, int begin, int end, AboveMask &mask)
{
    for (int w = 0; w < Words; ++w) {
        const uint64_t window = windowBits(w, begin, end);
        mask.word[w] = window ? aboveWord(spectrum + 64 * w, threshold) & window : 0;
    }
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
int nextBit(const AboveMask &mask, int from, bool set)
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

template <typename OnRun>
int scanRuns(const float *spectrum, float threshold, int begin, int end, int length, OnRun onRun)
{
    begin = std::clamp(begin, 0, Channels);
    end = std::clamp(end, 0, Channels);
    if (end - begin < length || length < 1)
        return 0;
    AboveMask mask;
    buildMask(spectrum, threshold, begin, end, mask);
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

int ruFindRuns(const float *spectrum, float threshold, int begin, int end, int length,
               QVector<int> *starts)
{
    return scanRuns(spectrum, threshold, begin, end, length, [starts](int s) {
        if (starts)
            starts->append(s);
        return true;
    });
}

bool ruHasRun(const float *spectrum, float threshold, int begin, int end, int length)
{
    return scanRuns(spectrum, threshold, begin, end, length, [](int) { return false; }) > 0;
}
