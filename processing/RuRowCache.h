#pragma once
// What the avalanche detectors derive from the range gates of one matrix of one frame, each
// computed once however many detectors ask: the channels above a threshold and the sum over a
// channel window. The radar's own settings give detectors the same threshold and borders
// ("Intern" and "Big"), and every detector asks the same rows.
//
// Computed when first asked, so the asymmetry matrix's masks are made only for the range
// gates that have runs. The storage stays from frame to frame.

#include "RuMatrix.h"
#include "RuRuns.h"

#include <vector>

class RuRowCache
{
public:
    // Starts a frame: forgets what was computed for the previous one. `m` must stay unchanged
    // until the next reset.
    void reset(const RuMatrix &m);

    const RuAboveMask &above(int row, float threshold);
    // Sum of the channels [begin, end) of `row`, as Eigen sums a segment of a row; 0 when empty.
    float windowSum(int row, int begin, int end);

private:
    template <typename T>
    struct Slot
    {
        std::vector<T> rows;
        std::vector<char> done;
    };
    struct MaskSlot : Slot<RuAboveMask>
    {
        quint32 thresholdBits = 0; // compared as bits, so that a NaN threshold finds its slot
    };
    struct SumSlot : Slot<float>
    {
        int begin = 0;
        int end = 0;
    };
    template <typename S>
    S &claim(std::vector<S> &slots, int &used);

    const RuMatrix *m_matrix = nullptr;
    int m_rows = 0;
    std::vector<MaskSlot> m_masks; // the first m_masksUsed belong to this frame
    int m_masksUsed = 0;
    std::vector<SumSlot> m_sums;
    int m_sumsUsed = 0;
};
