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

    // The text of the nearest marker when it is less than 10 plot units (x plus y, each on the
    // marker's own axes) away, else an empty text.
    QwtText trackerText(const QPoint &pos) const override;

private:
    SkPlotActivities *m_plot;
};
