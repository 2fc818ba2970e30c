#pragma once
// The activity plot's picker: a click moves the frame cursor, and hovering near an event
// marker shows the marker's text.

#include <qwt_plot_picker.h>

class SkPlotActivities;

class SkActivityPicker : public QwtPlotPicker
{
    Q_OBJECT

public:
    // A child of the plot's canvas, on the bottom and left axes.
    explicit SkActivityPicker(SkPlotActivities *plot);

    // Pixels (across plus up or down) within which the mouse reaches a marker.
    static constexpr int HoverPixels = 10;

    // The hover text of the nearest marker, measured in pixels from where it is drawn, when it
    // is less than HoverPixels away; else an empty text. Of markers equally near, the first
    // attached wins.
    QwtText trackerText(const QPoint &pos) const override;

private:
    SkPlotActivities *m_plot;
};
