#include "RuRowCache.h"

#include <cstring>

namespace {

quint32 bitsOf(float x)
{
    quint32 bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

} // namespace

void RuRowCache::reset(const RuMatrix &m)
{
    m_matrix = &m;
    m_rows = static_cast<int>(m.rows());
    m_masksUsed = 0;
    m_sumsUsed = 0;
}

// A slot for one more key this frame, its rows marked as not yet computed; slots of earlier
// frames are reused with their storage.
template <typename S>
S &RuRowCache::claim(std::vector<S> &slots, int &used)
{
    if (used == static_cast<int>(slots.size()))
        slots.emplace_back();
    S &slot = slots[size_t(used++)];
    slot.rows.resize(size_t(m_rows));
    slot.done.assign(size_t(m_rows), 0);
    return slot;
}

const RuAboveMask &RuRowCache::above(int row, float threshold)
{
    const quint32 key = bitsOf(threshold);
    MaskSlot *slot = nullptr;
    for (int i = 0; i < m_masksUsed && !slot; ++i) {
        if (m_masks[size_t(i)].thresholdBits == key)
            slot = &m_masks[size_t(i)];
    }
    if (!slot) {
        slot = &claim(m_masks, m_masksUsed);
        slot->thresholdBits = key;
    }
    RuAboveMask &mask = slot->rows[size_t(row)];
    if (!slot->done[size_t(row)]) {
        ruAboveMask(m_matrix->row(row).data(), threshold, mask);
        slot->done[size_t(row)] = 1;
    }
    return mask;
}

float RuRowCache::windowSum(int row, int begin, int end)
{
    SumSlot *slot = nullptr;
    for (int i = 0; i < m_sumsUsed && !slot; ++i) {
        const SumSlot &s = m_sums[size_t(i)];
        if (s.begin == begin && s.end == end)
            slot = &m_sums[size_t(i)];
    }
    if (!slot) {
        slot = &claim(m_sums, m_sumsUsed);
        slot->begin = begin;
        slot->end = end;
    }
    float &sum = slot->rows[size_t(row)];
    if (!slot->done[size_t(row)]) {
        // The segment of the matrix itself, not a copy: Eigen's order of summation depends on
        // where the segment lies in memory, and the detectors have always summed it there.
        sum = end > begin ? m_matrix->row(row).segment(begin, end - begin).sum() : 0.0f;
        slot->done[size_t(row)] = 1;
    }
    return sum;
}
