#include "RuFrameAccumulator.h"

RuFrameAccumulator::RuFrameAccumulator(int length) : m_length(length) {}

void RuFrameAccumulator::push(const RuMatrix &matrix)
{
    // Matrices of another shape cannot be summed with the window: restart it at this one.
    if (!m_window.empty() && m_window.front().rows() != matrix.rows())
        m_window.clear();
    if (!m_window.empty() && static_cast<int>(m_window.size()) >= m_length) {
        m_sum -= m_window.front();
        m_window.pop_front();
    }
    if (m_window.empty())
        m_sum = matrix;
    else
        m_sum += matrix;
    m_window.push_back(matrix);
    m_full = static_cast<int>(m_window.size()) == m_length;
}

RuMatrix RuFrameAccumulator::mean() const
{
    if (m_window.empty())
        return m_sum;
    return m_sum / static_cast<float>(m_window.size());
}

bool RuFrameAccumulator::ready() const
{
    return m_length > 0 && m_full;
}

void RuFrameAccumulator::reset()
{
    m_full = false;
    m_window.clear();
    m_sum.setZero();
}

void RuFrameAccumulator::setLength(int length)
{
    m_length = length;
    reset();
}
