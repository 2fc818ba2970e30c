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
    if (m_rangeKept)
        m_extremes.append(point.x(), point.y());
}

void SkActivityCurveData::trimBefore(double firstFrame)
{
    // Every point is stepped over once in its life: constant time per point.
    const int end = SK_SAMPLES.size();
    while (m_first < end && SK_SAMPLES.at(m_first).x() < firstFrame)
        ++m_first;
    m_extremes.dropBefore(firstFrame);
    if (m_first > 0 && m_first >= SK_SAMPLES.size() - m_first) {
        SK_SAMPLES.remove(0, m_first);
        m_first = 0;
    }
}

void SkActivityCurveData::clear()
{
    SK_SAMPLES.clear();
    m_first = 0;
    m_extremes.clear();
}

size_t SkActivityCurveData::size() const
{
    return static_cast<size_t>(SK_SAMPLES.size() - m_first);
}

QPointF SkActivityCurveData::sample(size_t i) const
{
    return SK_SAMPLES[m_first + static_cast<int>(i)];
}

SkValueRange SkActivityCurveData::valueRange() const
{
    if (m_rangeKept)
        return m_extremes.range();
    SkSlidingExtremes walked;
    for (int i = m_first; i < SK_SAMPLES.size(); ++i)
        walked.append(SK_SAMPLES.at(i).x(), SK_SAMPLES.at(i).y());
    return walked.range();
}

void SkActivityCurveData::setRangeKept(bool kept)
{
    if (kept == m_rangeKept)
        return;
    m_rangeKept = kept;
    m_extremes.clear();
    if (kept)
        for (int i = m_first; i < SK_SAMPLES.size(); ++i)
            m_extremes.append(SK_SAMPLES.at(i).x(), SK_SAMPLES.at(i).y());
}

QRectF SkActivityCurveData::boundingRect() const
{
    const SkValueRange values = valueRange();
    if (size() == 0 || values.isEmpty())
        return QRectF(1.0, 1.0, -2.0, -2.0); // Qwt's invalid rectangle
    const double left = SK_SAMPLES.at(m_first).x();
    const double right = SK_SAMPLES.last().x();
    return QRectF(left, values.minimum, right - left, values.maximum - values.minimum);
}

QVector<QPointF> SkActivityCurveData::points() const
{
    return SK_SAMPLES.mid(m_first);
}

int SkActivityCurveData::storedCount() const
{
    return SK_SAMPLES.size();
}
