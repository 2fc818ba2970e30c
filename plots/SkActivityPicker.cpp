#include "SkActivityPicker.h"

#include "SkActivityMarker.h"
#include "SkPlotActivities.h"

#include <qwt_plot_canvas.h>
#include <qwt_scale_map.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>
#include <limits>

SkActivityPicker::SkActivityPicker(SkPlotActivities *plot)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::CrossRubberBand,
                    QwtPicker::AlwaysOn, plot->canvas()),
      m_plot(plot)
{
}

QwtText SkActivityPicker::trackerText(const QPoint &pos) const
{
    const QwtPlotItemList items = m_plot->itemList(SkActivityMarker::Rtti);
    const SkActivityMarker *nearest = nullptr;
    int best = std::numeric_limits<int>::max();
    for (QwtPlotItem *item : items) {
        const auto *marker = dynamic_cast<const SkActivityMarker *>(item);
        if (!marker)
            continue;
        // Rain and water-level markers stand on the right axis: measure each marker in the
        // coordinates of its own axes, or their texts could never be reached.
        const QPointF centre = marker->boundingRect().center();
        const double x = m_plot->invTransform(marker->xAxis(), pos.x());
        const double y = m_plot->invTransform(marker->yAxis(), pos.y());
        const double distance = std::abs(x - centre.x()) + std::abs(y - centre.y());
        const int d = static_cast<int>(std::min(distance, 1e9)); // truncated, as shown
        if (d < best) {
            best = d;
            nearest = marker;
        }
    }
    if (!nearest || best >= 10)
        return QwtText();
    return QwtText(nearest->text());
}
