#include "SkAxisFit.h"

#include "SkLogScaleEngine.h"

#include <qwt_scale_engine.h>

#include <algorithm>
#include <cmath>

namespace {

// Beyond the largest and the smallest value, as a share of the span: of the values on a linear
// axis, of the decades on a logarithmic one (where a little goes a long way). A linear axis
// whose values start at or above zero does not reach below zero for it.
constexpr double LinearHeadroom = 0.05;
constexpr double LogHeadroom = 0.02;

QwtInterval fitLinear(double lower, double upper, int maxMajorSteps)
{
    if (upper == lower)
        upper = lower + std::max(1.0, std::abs(lower) * 0.1);
    const double room = (upper - lower) * LinearHeadroom;
    upper += room;
    lower = lower >= 0.0 ? std::max(0.0, lower - room) : lower - room;
    double step = 0.0;
    QwtLinearScaleEngine().autoScale(maxMajorSteps, lower, upper, step);
    return QwtInterval(lower, upper);
}

QwtInterval fitLogarithmic(double lower, double upper, int maxMajorSteps)
{
    if (upper == lower)
        upper = lower * 10.0;
    const double room = std::pow(upper / lower, LogHeadroom);
    upper *= room;
    lower /= room;
    double step = 0.0;
    SkLogScaleEngine().autoScale(maxMajorSteps, lower, upper, step);
    return QwtInterval(lower, upper);
}

} // namespace

QwtInterval skFitAxisRange(const SkValueRange &values, bool logarithmic, int maxMajorSteps)
{
    if (values.isEmpty())
        return QwtInterval();
    if (!logarithmic)
        return fitLinear(values.minimum, values.maximum, maxMajorSteps);
    if (!values.hasPositive())
        return QwtInterval();
    return fitLogarithmic(values.minimumPositive, values.maximum, maxMajorSteps);
}
