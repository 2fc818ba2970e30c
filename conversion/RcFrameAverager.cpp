#include "RcFrameAverager.h"

#include "RuFrame.h"
#include "rrd.h"

#include <QtEndian>

#include <cstring>
#include <type_traits>

namespace {

constexpr int Channels = RRD_CHANNELS;

// The loops below are written so that the compiler turns them into vector code: no calls,
// no early exits, selects instead of branches.

// One row of counts in host order. Records of stamped frames are not 4-byte aligned, so the
// row is copied out whole rather than read through a cast.
struct Row
{
    uint32_t counts[Channels];

    explicit Row(const unsigned char *bytes)
    {
        std::memcpy(counts, bytes, sizeof counts);
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
        for (uint32_t &count : counts)
            count = qFromLittleEndian(count);
#endif
    }
};

// The exact value rounded once to float, as a plain conversion does: both halves are exact
// in float and their sum is rounded once. Unlike the plain conversion of an unsigned value it
// vectorises without 64-bit integers.
inline float toFloat(uint32_t v)
{
    return float(int32_t(v >> 16)) * 65536.0f + float(int32_t(v & 0xffffu));
}

// The mean of unsigned counts is never negative, but a running float sum can drift a hair
// below zero once large values have left the window; values past the 32-bit range cannot be
// converted at all. Both ends are clamped, everything between is truncated. Values from 2^31
// on are truncated after taking 2^31 off, which is exact there; what is converted to a signed
// count is kept within its range, so that no lane of the vector code converts out of range.
inline uint32_t truncateToCount(float value)
{
    const float half = 2147483648.0f;
    const float belowHalf = 2147483520.0f; // the largest float below 2^31
    const bool high = value >= half;
    float low = high ? value - half : value;
    low = low > 0.0f ? low : 0.0f;
    low = low < belowHalf ? low : belowHalf;
    const uint32_t truncated = uint32_t(int32_t(low)) + (high ? 0x80000000u : 0u);
    const uint32_t clamped = value >= 4294967296.0f ? UINT32_MAX : truncated;
    return value > 0.0f ? clamped : 0u;
}

void startRow(const unsigned char *in, float *__restrict sum, float *__restrict slot)
{
    const Row row(in);
    for (int c = 0; c < Channels; ++c) {
        const float x = toFloat(row.counts[c]);
        sum[c] = x;
        slot[c] = x;
    }
}

void growRow(const unsigned char *in, float *__restrict sum, float *__restrict slot)
{
    const Row row(in);
    for (int c = 0; c < Channels; ++c) {
        const float x = toFloat(row.counts[c]);
        sum[c] += x;
        slot[c] = x;
    }
}

// `slot` holds the oldest frame's row and receives the newest's.
void slideRow(const unsigned char *in, float *__restrict sum, float *__restrict slot)
{
    const Row row(in);
    for (int c = 0; c < Channels; ++c) {
        const float x = toFloat(row.counts[c]);
        sum[c] = (sum[c] - slot[c]) + x;
        slot[c] = x;
    }
}

void meanRow(const float *__restrict sum, float count, unsigned char *out)
{
    uint32_t mean[Channels];
    for (int c = 0; c < Channels; ++c)
        mean[c] = qToLittleEndian(truncateToCount(sum[c] / count));
    std::memcpy(out, mean, sizeof mean);
}

} // namespace

RcFrameAverager::RcFrameAverager(int length) : m_length(length < 1 ? 1 : length) {}

void RcFrameAverager::add(const RuFrame &frame)
{
    addRows(frame);
}

void RcFrameAverager::addAndAverage(RuFrame &frame)
{
    addRows(frame);
}

void RcFrameAverager::prepareFor(int rows)
{
    // Another geometry empties the window; so does the next frame of a window of one.
    if (rows != m_rows || (m_count == m_length && m_length == 1)) {
        m_rows = rows;
        m_count = 0;
        m_oldest = 0;
    }
    const size_t matrix = size_t(rows) * Channels;
    if (m_sum.size() != matrix)
        m_sum.resize(matrix);
    // The ring grows with the window, so a long window over a short input stays small.
    const size_t needed = matrix * size_t(m_count < m_length ? m_count + 1 : m_length);
    if (m_ring.size() < needed)
        m_ring.resize(needed);
}

// Through a non-const frame each row is read and then overwritten by the mean (the first
// non-const access detaches a record shared with other handles).
template <typename Frame>
void RcFrameAverager::addRows(Frame &frame)
{
    constexpr bool Average = !std::is_const<Frame>::value;
    const int rows = frame.rows();
    prepareFor(rows);
    const bool full = m_count == m_length;
    const int slot = full ? m_oldest : m_count;
    float *slotData = m_ring.data() + size_t(slot) * size_t(rows) * Channels;
    const float count = float(full ? m_count : m_count + 1);
    for (int r = 0; r < rows; ++r) {
        auto *values = frame.rowData(r);
        float *sum = m_sum.data() + size_t(r) * Channels;
        float *ring = slotData + size_t(r) * Channels;
        if (m_count == 0)
            startRow(values, sum, ring);
        else if (!full)
            growRow(values, sum, ring);
        else
            slideRow(values, sum, ring);
        if constexpr (Average)
            meanRow(sum, count, values);
    }
    if (full)
        m_oldest = (m_oldest + 1) % m_length;
    else
        ++m_count;
}
