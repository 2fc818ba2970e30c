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
    const QRectF canvasRect = m_plot->canvas()->contentsRect();
    const SkActivityMarker *nearest = nullptr;
    SkActivityMarker::Side nearestSide = SkActivityMarker::OnScale;
    int best = std::numeric_limits<int>::max();
    for (QwtPlotItem *item : items) {
        const auto *marker = dynamic_cast<const SkActivityMarker *>(item);
        if (!marker)
            continue;
        // Measured where the marker is drawn, so markers on either axis, on a logarithmic axis
        // or held at the canvas edge are all reached alike.
        const SkActivityMarker::Placement placed =
            marker->placement(m_plot->canvasMap(marker->xAxis()),
                              m_plot->canvasMap(marker->yAxis()), canvasRect);
        const double distance =
            std::abs(pos.x() - placed.pos.x()) + std::abs(pos.y() - placed.pos.y());
        const int d = static_cast<int>(std::min(distance, 1e9)); // truncated
        if (d < best) {
            best = d;
            nearest = marker;
            nearestSide = placed.side;
        }
    }
    if (!nearest || best >= HoverPixels)
        return QwtText();
    return QwtText(nearest->hoverText(nearestSide));
}
