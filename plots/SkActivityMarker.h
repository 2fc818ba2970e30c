#pragma once
// A marker of the activity plot that carries a text: the detector event it marks, shown when
// the mouse hovers near it. A marker whose value lies beyond its axis' range is drawn at the
// canvas edge it points to, with an arrow across the edge, so no event drops out of sight
// whatever range the axis shows; its hover text then also says where its value lies.

#include <qwt_plot_marker.h>

#include <QPointF>
#include <QString>

class SkActivityMarker : public QwtPlotMarker
{
public:
    // The item type by which the picker and the plot find markers among the plot items.
    static constexpr int Rtti = QwtPlotItem::Rtti_PlotUserItem;

    enum Side { OnScale, Above, Below };
    struct Placement
    {
        QPointF pos; // canvas pixel of the symbol's centre
        Side side = OnScale;
    };

    SkActivityMarker() = default;

    QString text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    // The text to show on hover for a marker placed on `side`.
    QString hoverText(Side side) const;

    // Where the marker is drawn on a canvas of `canvasRect` with these maps: at its value, or
    // inside the edge beyond which its value lies.
    Placement placement(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                        const QRectF &canvasRect) const;

    int rtti() const override { return Rtti; }
    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override;

private:
    void drawArrow(QPainter *painter, const Placement &placement, const QRectF &canvasRect) const;

    QString m_text;
};
