#include "RuVelocityScan.h"

#include "RuChannelBits.h"
#include "RuRowKernels.h"

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RU_SCAN_SSE 1
#endif

namespace {

constexpr int Half = 512;
constexpr int Words = Half / 64;

// One bit per channel of the half: bit c % 64 of word c / 64.
struct HalfMask
{
    uint64_t word[Words];
};

// First channel at or after `from` whose bit is set; Half when there is none.
int nextSet(const HalfMask &mask, int from)
{
    return ruChannelBits::next(mask.word, Words, from);
}

// The first channel of [from, to) with the largest value above `best`, if any: what a walk
// updating on every value strictly greater than the best so far finds. Long stretches take
// the maximum four channels at a time first; MAXPS(x, m) is x > m ? x : m, the walk's own
// rule, so NaN never counts, and the channel is then the first holding that maximum.
void takeBest(const float *d, int from, int to, float &best, int &bestChannel)
{
    int c = from;
    float top = best;
#ifdef RU_SCAN_SSE
    if (to - from >= 16) {
        __m128 lanes = _mm_set1_ps(best);
        for (; c + 4 <= to; c += 4)
            lanes = _mm_max_ps(_mm_loadu_ps(d + c), lanes);
        float lane[4];
        _mm_storeu_ps(lane, lanes);
        for (float x : lane) {
            if (x > top)
                top = x;
        }
    }
#endif
    for (; c < to; ++c) {
        if (d[c] > top)
            top = d[c];
    }
    if (!(top > best))
        return;
    for (c = from; d[c] != top; ++c) {
    }
    best = d[c];
    bestChannel = c;
}

// The first channel c of [c0, m] at which the running sum of d from c0 exceeds half of the
// sum over [c0, m]; 0 when there is none. Sums in double, four channels at a time: a block
// is walked channel by channel only when one of its partial sums can cross the half.
int medianChannel(const float *d, int c0, int m)
{
    double lanes[4] = {0.0, 0.0, 0.0, 0.0};
    int c = c0;
    for (; c + 3 <= m; c += 4) {
        for (int k = 0; k < 4; ++k)
            lanes[k] += d[c + k];
    }
    for (; c <= m; ++c)
        lanes[0] += d[c];
    const double half = ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) / 2.0;
    double running = 0.0;
    for (c = c0; c + 3 <= m; c += 4) {
        const double p1 = d[c];
        const double p2 = p1 + d[c + 1];
        const double p3 = p2 + d[c + 2];
        const double p4 = p3 + d[c + 3];
        if (running + std::max(std::max(p1, p2), std::max(p3, p4)) > half)
            break;
        running += p4;
    }
    for (; c <= m; ++c) {
        running += d[c];
        if (running > half)
            return c;
    }
    return 0;
}

} // namespace

// Walked as stretches found in the masks, so the channels skipped after a drop are not read
// and the channels below the threshold while waiting are compared once.
RuVelocityChannels ruScanVelocities(const float *d, int c0, float threshold, bool withMedian)
{
    // NaN is neither above nor below, as in the comparisons the scan is defined by.
    HalfMask above;
    HalfMask below;
    ruRowKernels().aboveAndBelowHalf(d, threshold, above.word, below.word);
    float best = 0.0f;
    int bestChannel = -1;
    int rise = nextSet(above, c0);
    takeBest(d, c0, std::min(rise + 1, Half), best, bestChannel);
    int dropped = -1;
    while (rise < Half) {
        const int fall = nextSet(below, rise + 1);
        takeBest(d, rise + 1, fall, best, bestChannel);
        if (fall >= Half) {
            dropped = -1;
            break;
        }
        dropped = fall;
        rise = nextSet(above, fall + c0 + 1);
        takeBest(d, rise, std::min(rise + 1, Half), best, bestChannel);
    }
    RuVelocityChannels v;
    v.mode = best >= threshold ? bestChannel : 0;
    v.max = dropped >= 0 ? dropped : 0;
    if (withMedian && v.max >= c0)
        v.median = medianChannel(d, c0, v.max);
    return v;
}
