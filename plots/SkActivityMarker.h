#pragma once
// A marker of the activity plot that carries a text: the detector event it marks, shown when
// the mouse hovers near it.

#include <qwt_plot_marker.h>

#include <QString>

class SkActivityMarker : public QwtPlotMarker
{
public:
    // The item type by which the picker and the plot find markers among the plot items.
    static constexpr int Rtti = QwtPlotItem::Rtti_PlotUserItem;

    SkActivityMarker() = default;

    QString text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }

    int rtti() const override { return Rtti; }

private:
    QString m_text;
};
