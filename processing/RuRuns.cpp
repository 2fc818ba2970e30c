#include "RuRuns.h"

#include "RuChannelBits.h"
#include "RuMatrix.h"
#include "RuRowKernels.h"

#include <algorithm>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;
constexpr int Words = RuAboveMask::Words;
static_assert(Words * 64 == Channels, "one bit per channel");

// First channel >= from whose bit equals `set`; Channels when there is none.
int nextBit(const RuAboveMask &mask, int from, bool set)
{
    return ruChannelBits::next(mask.word, Words, from, set);
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
    ruRowKernels().above(spectrum, threshold, mask.word);
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
