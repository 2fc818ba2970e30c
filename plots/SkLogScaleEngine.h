#pragma once
// A base-10 logarithmic scale that copes with values at or below zero, which a logarithmic
// axis cannot show:
// - its transformation takes them (a rain activity of 0, a velocity of 0 m/s) to far below the
//   axis instead of to minus infinity, so curves through them are clipped at the canvas' lower
//   edge like any value below the axis;
// - a range asked for with a lower limit at or below zero (an axis set to "0 to 2000") spans six
//   decades below its upper limit instead of some hundred decades down to the smallest double.

#include <qwt_scale_engine.h>

class SkLogScaleEngine : public QwtLogScaleEngine
{
public:
    static constexpr double Decades = 6.0; // shown below the upper limit when the lower is <= 0

    SkLogScaleEngine();

    QwtScaleDiv divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps,
                            double stepSize = 0.0) const override;

    // [x1, x2] with a lower limit at or below zero raised as described above (x1 <= x2).
    static void makeShowable(double &x1, double &x2);
};
