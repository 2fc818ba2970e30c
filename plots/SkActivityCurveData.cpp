#include "SkActivityCurveData.h"

// The sample array of the Qwt base changed its name in Qwt 6.2.
#if QWT_VERSION < 0x060200
#define SK_SAMPLES d_samples
#else
#define SK_SAMPLES m_samples
#endif

void SkActivityCurveData::appendSample(const QPointF &point)
{
    SK_SAMPLES.append(point);
}

void SkActivityCurveData::trimBefore(double firstFrame)
{
    // Every point is stepped over once in its life: constant time per point.
    const int end = SK_SAMPLES.size();
    while (m_first < end && SK_SAMPLES.at(m_first).x() < firstFrame)
        ++m_first;
    if (m_first > 0 && m_first >= SK_SAMPLES.size() - m_first) {
        SK_SAMPLES.remove(0, m_first);
        m_first = 0;
    }
}

void SkActivityCurveData::clear()
{
    SK_SAMPLES.clear();
    m_first = 0;
}

size_t SkActivityCurveData::size() const
{
    return static_cast<size_t>(SK_SAMPLES.size() - m_first);
}

QPointF SkActivityCurveData::sample(size_t i) const
{
    return SK_SAMPLES[m_first + static_cast<int>(i)];
}

QRectF SkActivityCurveData::boundingRect() const
{
    return qwtBoundingRect(*this, 0, -1);
}

QVector<QPointF> SkActivityCurveData::points() const
{
    return SK_SAMPLES.mid(m_first);
}

int SkActivityCurveData::storedCount() const
{
    return SK_SAMPLES.size();
}
