#include "RuFrameAccumulator.h"

#include "RuRowKernels.h"

RuFrameAccumulator::RuFrameAccumulator(int length) : m_length(length) {}

void RuFrameAccumulator::push(const RuMatrix &matrix)
{
    // Matrices of another shape cannot be summed with the window: restart it at this one.
    if (m_count > 0 && slot(0).rows() != matrix.rows()) {
        m_count = 0;
        m_first = 0;
    }
    if (m_count > 0 && m_count >= m_length) {
        if (m_count == 1) {
            // The window empties: the sum restarts from the new matrix below.
            m_count = 0;
            m_first = 0;
        } else {
            replaceOldest(matrix);
            return;
        }
    }
    if (m_count == 0)
        m_sum = matrix;
    else
        m_sum += matrix;
    storeNewest(matrix);
}

// The window is full: sum = (sum - oldest) + new, element by element in that order, and the
// new matrix takes the oldest one's slot (the ring holds exactly the window: it grows to the
// window length, and a new length frees it). One pass per row does both.
void RuFrameAccumulator::replaceOldest(const RuMatrix &matrix)
{
    RuMatrix &oldest = slot(0);
    const RuRowKernels &k = ruRowKernels();
    for (int r = 0; r < matrix.rows(); ++r)
        k.slide(m_sum.row(r).data(), oldest.row(r).data(), matrix.row(r).data());
    m_first = (m_first + 1) % static_cast<int>(m_slots.size());
}

void RuFrameAccumulator::storeNewest(const RuMatrix &matrix)
{
    // The ring grows to the window length on the first pushes (m_first is 0 until then) and
    // afterwards reuses each slot's storage.
    if (m_count == static_cast<int>(m_slots.size()))
        m_slots.push_back(matrix);
    else
        slot(m_count) = matrix;
    ++m_count;
    m_full = m_count == m_length;
}

RuMatrix RuFrameAccumulator::mean() const
{
    if (m_count <= 1) // dividing by 1 changes nothing
        return m_sum;
    RuMatrix mean(m_sum.rows(), RuMatrix::ColsAtCompileTime);
    const RuRowKernels &k = ruRowKernels();
    for (int r = 0; r < m_sum.rows(); ++r)
        k.divide(m_sum.row(r).data(), static_cast<float>(m_count), mean.row(r).data());
    return mean;
}

bool RuFrameAccumulator::ready() const
{
    return m_length > 0 && m_full;
}

void RuFrameAccumulator::reset()
{
    m_full = false;
    m_first = 0;
    m_count = 0;
    m_sum.setZero();
}

void RuFrameAccumulator::setLength(int length)
{
    // The ring keeps its storage while the length stays; a new length frees the old matrices.
    if (length != m_length)
        std::vector<RuMatrix>().swap(m_slots);
    m_length = length;
    reset();
}
