#include "SkChannelScaleEngine.h"

#include <qwt_scale_div.h>

#include <algorithm>
#include <cmath>

namespace {

// Distance between the first two ticks of a kind in whole channels, 0 when there are fewer.
double tickStep(const QList<double> &ticks)
{
    return ticks.size() >= 2 ? std::ceil(ticks.at(1) - ticks.at(0)) : 0.0;
}

} // namespace

SkChannelScaleEngine::SkChannelScaleEngine(const SkChannelMapping &mapping)
    : m_mapping(mapping)
{
}

QwtScaleDiv SkChannelScaleEngine::divideScale(double x1, double x2, int maxMajorSteps,
                                              int maxMinorSteps, double stepSize) const
{
    if (m_mapping.shift() == 0)
        return QwtLinearScaleEngine::divideScale(x1, x2, maxMajorSteps, maxMinorSteps, stepSize);
    const double low = std::min(x1, x2);
    const double high = std::max(x1, x2);
    // The steps a plain scale of this width would take, laid on the channel numbers.
    const QwtScaleDiv plain = QwtLinearScaleEngine::divideScale(0.0, high - low, maxMajorSteps,
                                                                maxMinorSteps, stepSize);
    QList<double> ticks[QwtScaleDiv::NTickTypes];
    const double majorStep = tickStep(plain.ticks(QwtScaleDiv::MajorTick));
    for (int type = 0; type < QwtScaleDiv::NTickTypes; ++type) {
        const double step = tickStep(plain.ticks(type));
        if (step < 1.0)
            continue;
        for (double channel = 0.0; channel < SkChannelMapping::Channels; channel += step) {
            const bool major = majorStep > 0.0 && std::fmod(channel, majorStep) == 0.0;
            if (type != QwtScaleDiv::MajorTick && major)
                continue; // drawn as a major tick
            // A label just before the wrap would crowd the label of channel 0.
            if (type == QwtScaleDiv::MajorTick
                && SkChannelMapping::Channels - channel < majorStep / 2.0)
                continue;
            const double column = m_mapping.channelToColumn(int(channel));
            if (column >= low && column <= high)
                ticks[type] << column;
        }
        std::sort(ticks[type].begin(), ticks[type].end());
    }
    QwtScaleDiv div(low, high, ticks);
    if (x1 > x2)
        div.invert();
    return div;
}
