#pragma once
// The range an activity-plot axis shows for the values of its curves: a little headroom above
// the largest value, widened to whole steps of the axis' scale, so the axis moves when a value
// crosses a step and not on every frame. A logarithmic axis spans the positive values, in whole
// decades.

#include "SkValueRange.h"

#include <qwt_interval.h>

// Invalid when there is nothing to show (no values, or no positive one on a logarithmic axis).
QwtInterval skFitAxisRange(const SkValueRange &values, bool logarithmic, int maxMajorSteps);
