#pragma once
// The spectrogram's tracker: it shows "channel, row = value" of the cell under the mouse (the
// true channel under a peak shift, or its velocity "v m/s"). The last tracked plot cell is kept
// for the plot's position signal. Clicks reach the cross-hair through the plot's zoomer.

#include <qwt_plot_picker.h>

#include <QPoint>
#include <QPointF>

class SkPlotSpectrogram;

class SkPlotPicker : public QwtPlotPicker
{
    Q_OBJECT

public:
    // A child of the plot's canvas, on the bottom and left axes.
    explicit SkPlotPicker(SkPlotSpectrogram *plot);

    QwtText trackerText(const QPoint &pos) const override;

    QPointF trackedPos() const { return m_pos; }
    QPoint trackedCell() const { return m_cell; }
    double trackedValue() const { return m_value; }

private:
    SkPlotSpectrogram *m_plot;
    // Tracker texts are computed in a const function; these remember the last one.
    mutable QPointF m_pos;
    mutable QPoint m_cell;
    mutable double m_value = 0.0;
};
