#include "SkLogScaleEngine.h"

#include <qwt_scale_div.h>
#include <qwt_transform.h>

#include <algorithm>
#include <cmath>

namespace {

class BoundedLogTransform : public QwtLogTransform
{
public:
    double transform(double value) const override
    {
        return QwtLogTransform::transform(std::max(value, LogMin));
    }
    QwtTransform *copy() const override { return new BoundedLogTransform(); }
};

} // namespace

SkLogScaleEngine::SkLogScaleEngine()
    : QwtLogScaleEngine(10)
{
    setTransformation(new BoundedLogTransform());
}

void SkLogScaleEngine::makeShowable(double &x1, double &x2)
{
    if (!(x2 > 0.0))
        x2 = 1.0;
    if (!(x1 > 0.0))
        x1 = x2 / std::pow(10.0, Decades);
}

QwtScaleDiv SkLogScaleEngine::divideScale(double x1, double x2, int maxMajorSteps,
                                          int maxMinorSteps, double stepSize) const
{
    const bool inverted = x1 > x2;
    double low = std::min(x1, x2);
    double high = std::max(x1, x2);
    makeShowable(low, high);
    QwtScaleDiv div = QwtLogScaleEngine::divideScale(low, high, maxMajorSteps, maxMinorSteps,
                                                     stepSize);
    if (inverted)
        div.invert();
    return div;
}
