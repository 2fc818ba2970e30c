#pragma once
// What the activity-plot tests share: which of the curves and markers shown a user could
// not see on the plot, whether it stands alone or in the window.

#include "SkActivityCurveData.h"
#include "SkActivityMarker.h"
#include "SkPlotActivities.h"
#include "SkValueRange.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <QString>

inline const SkActivityCurveData *shownSeries(const SkPlotActivities &plot, int id)
{
    return static_cast<const SkActivityCurveData *>(plot.curve(SkActivityPlotId(id))->data());
}

inline SkActivityMarker::Placement placed(const SkPlotActivities &plot,
                                          const SkActivityMarker *marker)
{
    return marker->placement(plot.canvasMap(marker->xAxis()), plot.canvasMap(marker->yAxis()),
                             plot.canvas()->contentsRect());
}

// What of the shown curves and markers a user could not see on `plot` (replotted); empty when
// every curve lies within its axis and every marker stands at its value.
inline QString offScale(const SkPlotActivities &plot)
{
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id) {
        const QwtPlotCurve *curve = plot.curve(SkActivityPlotId(id));
        const SkValueRange values = shownSeries(plot, id)->valueRange();
        if (!curve->isVisible() || values.isEmpty())
            continue;
        const QwtInterval axis = plot.axisInterval(curve->yAxis());
        const bool log = plot.isAxisLogarithmic(curve->yAxis());
        const double low = log ? values.minimumPositive : values.minimum;
        if (low < axis.minValue() || values.maximum > axis.maxValue())
            return QStringLiteral("%1: %2 ... %3 on an axis of %4 ... %5")
                .arg(SkPlotActivities::curveName(id)).arg(low).arg(values.maximum)
                .arg(axis.minValue()).arg(axis.maxValue());
    }
    for (const SkActivityMarker *marker : plot.eventMarkers())
        if (placed(plot, marker).side != SkActivityMarker::OnScale)
            return QStringLiteral("marker at %1 beyond its axis").arg(marker->yValue());
    return QString();
}
