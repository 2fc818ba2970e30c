#include "SkChannelScaleEngine.h"

#include <qwt_scale_div.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Half = SkChannelMapping::Channels / 2;

// Distance between the first two ticks of a kind, 0 when there are fewer.
double tickStep(const QList<double> &ticks)
{
    return ticks.size() >= 2 ? ticks.at(1) - ticks.at(0) : 0.0;
}

} // namespace

SkChannelScaleEngine::SkChannelScaleEngine(const SkChannelMapping &mapping,
                                           const SkVelocityScale &velocity)
    : m_mapping(mapping),
      m_velocity(velocity)
{
}

double SkChannelScaleEngine::firstValue() const
{
    return m_velocity.isValid() ? m_velocity.velocityAt(Half) : 0.0;
}

double SkChannelScaleEngine::endValue() const
{
    return m_velocity.isValid() ? Half * m_velocity.perChannel() : SkChannelMapping::Channels;
}

// Velocities step as the plain scale chose; channels in whole channels.
double SkChannelScaleEngine::valueStep(double step) const
{
    return m_velocity.isValid() ? step : std::ceil(step);
}

double SkChannelScaleEngine::positionOf(double value) const
{
    const double channel = m_velocity.isValid() ? m_velocity.channelAt(value) : value;
    return m_mapping.channelToPosition(channel);
}

QwtScaleDiv SkChannelScaleEngine::divideScale(double x1, double x2, int maxMajorSteps,
                                              int maxMinorSteps, double stepSize) const
{
    if (m_mapping.shift() == 0 && !m_velocity.isValid())
        return QwtLinearScaleEngine::divideScale(x1, x2, maxMajorSteps, maxMinorSteps, stepSize);
    const double low = std::min(x1, x2);
    const double high = std::max(x1, x2);
    const double unit = m_velocity.isValid() ? m_velocity.perChannel() : 1.0;
    // The steps a plain scale of this width would take, laid on the axis values.
    const QwtScaleDiv plain = QwtLinearScaleEngine::divideScale(
        0.0, (high - low) * unit, maxMajorSteps, maxMinorSteps, stepSize * unit);
    QList<double> ticks[QwtScaleDiv::NTickTypes];
    const double majorStep = valueStep(tickStep(plain.ticks(QwtScaleDiv::MajorTick)));
    for (int type = 0; type < QwtScaleDiv::NTickTypes; ++type) {
        const double step = valueStep(tickStep(plain.ticks(type)));
        if (step < unit * 1e-3)
            continue;
        for (double k = std::ceil(firstValue() / step); k * step < endValue(); ++k) {
            const double value = k * step;
            const bool major = majorStep > 0.0
                               && std::abs(std::remainder(value, majorStep)) < step * 1e-6;
            if (type != QwtScaleDiv::MajorTick && major)
                continue; // drawn as a major tick
            // A label just before the wrap would crowd the label just after it.
            if (type == QwtScaleDiv::MajorTick && endValue() - value < majorStep / 2.0)
                continue;
            const double position = positionOf(value);
            if (position >= low && position <= high)
                ticks[type] << position;
        }
        std::sort(ticks[type].begin(), ticks[type].end());
    }
    QwtScaleDiv div(low, high, ticks);
    if (x1 > x2)
        div.invert();
    return div;
}
