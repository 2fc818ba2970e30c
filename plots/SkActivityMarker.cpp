#include "SkActivityMarker.h"

#include <qwt_scale_map.h>
#include <qwt_symbol.h>
#include <qwt_transform.h>

#include <QCoreApplication>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

constexpr double ArrowHead = 6.0;      // pixels from the arrow's tip to its base
constexpr double ArrowHalfWidth = 5.0; // pixels from the arrow's axis to a corner of its base
constexpr double ArrowStem = 6.0;      // pixels between the arrow's base and the symbol
constexpr double EdgeGap = 1.0;        // pixels between the canvas edge and the arrow's tip

double symbolHalfHeight(const QwtSymbol *symbol)
{
    return symbol ? symbol->size().height() / 2.0 : 0.0;
}

} // namespace

QString SkActivityMarker::hoverText(Side side) const
{
    if (side == OnScale)
        return m_text;
    const char *where = side == Above ? QT_TRANSLATE_NOOP("SkActivityMarker", "(above the axis: %1)")
                                      : QT_TRANSLATE_NOOP("SkActivityMarker", "(below the axis: %1)");
    return m_text + QLatin1Char('\n')
           + QCoreApplication::translate("SkActivityMarker", where)
                 .arg(QString::number(yValue(), 'g', 7));
}

SkActivityMarker::Placement SkActivityMarker::placement(const QwtScaleMap &xMap,
                                                        const QwtScaleMap &yMap,
                                                        const QRectF &canvasRect) const
{
    Placement p;
    p.pos = QPointF(xMap.transform(xValue()), yMap.transform(yValue()));
    const double low = std::min(yMap.s1(), yMap.s2());
    const double high = std::max(yMap.s1(), yMap.s2());
    const double y = yValue();
    // A logarithmic axis shows no value at or below zero: such a marker lies below it.
    const bool belowLog = dynamic_cast<const QwtLogTransform *>(yMap.transformation()) && y <= 0.0;
    if (!(y >= low) || belowLog)
        p.side = Below;
    else if (y > high)
        p.side = Above;
    else
        return p;
    // Above and below the axis' range; on screen that is the top and bottom edge unless the
    // axis runs downwards.
    const bool highOnTop = yMap.transform(high) < yMap.transform(low);
    const bool top = (p.side == Above) == highOnTop;
    const double inset = EdgeGap + ArrowHead + ArrowStem + symbolHalfHeight(symbol());
    p.pos.setY(top ? canvasRect.top() + inset : canvasRect.bottom() - inset);
    return p;
}

void SkActivityMarker::draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                            const QRectF &canvasRect) const
{
    const Placement p = placement(xMap, yMap, canvasRect);
    if (p.side == OnScale) {
        QwtPlotMarker::draw(painter, xMap, yMap, canvasRect);
        return;
    }
    if (symbol())
        symbol()->drawSymbol(painter, p.pos);
    drawArrow(painter, p, canvasRect);
}

void SkActivityMarker::drawArrow(QPainter *painter, const Placement &p,
                                 const QRectF &canvasRect) const
{
    const bool top = p.pos.y() < canvasRect.center().y();
    const double outward = top ? -1.0 : 1.0;
    const double tip = top ? canvasRect.top() + EdgeGap : canvasRect.bottom() - EdgeGap;
    const double base = tip - outward * ArrowHead;
    const double x = p.pos.x();
    const QColor color = symbol() ? symbol()->pen().color() : QColor(Qt::black);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(color, 1.5));
    painter->drawLine(QPointF(x, base), QPointF(x, p.pos.y() + outward * symbolHalfHeight(symbol())));
    painter->setBrush(color);
    painter->setPen(QPen(color, 1.0));
    painter->drawPolygon(QPolygonF({QPointF(x, tip), QPointF(x - ArrowHalfWidth, base),
                                    QPointF(x + ArrowHalfWidth, base)}));
    painter->restore();
}
