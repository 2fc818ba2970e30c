#include "SkSlidingExtremes.h"

#include <cmath>

void SkSlidingExtremes::append(double x, double y)
{
    if (!std::isfinite(y))
        return;
    while (!m_min.empty() && m_min.back().y >= y)
        m_min.pop_back();
    m_min.push_back({x, y});
    while (!m_max.empty() && m_max.back().y <= y)
        m_max.pop_back();
    m_max.push_back({x, y});
    if (y > 0.0) {
        while (!m_minPositive.empty() && m_minPositive.back().y >= y)
            m_minPositive.pop_back();
        m_minPositive.push_back({x, y});
    }
}

void SkSlidingExtremes::dropBefore(double x)
{
    for (std::deque<Point> *queue : {&m_min, &m_max, &m_minPositive})
        while (!queue->empty() && queue->front().x < x)
            queue->pop_front();
}

void SkSlidingExtremes::clear()
{
    m_min.clear();
    m_max.clear();
    m_minPositive.clear();
}

SkValueRange SkSlidingExtremes::range() const
{
    SkValueRange range;
    if (!m_min.empty()) {
        range.minimum = m_min.front().y;
        range.maximum = m_max.front().y;
    }
    if (!m_minPositive.empty())
        range.minimumPositive = m_minPositive.front().y;
    return range;
}
