#pragma once
// The central view: one matrix (a frame, a range gate over time or a channel over time) as a
// colour image with a colour bar on the right, a cross-hair the user places by clicking, and
// a tracker that names the cell under the mouse.
//
// Colour levels: [0, zMax] as set, or with automatic levels on, the 2nd and 99.5th percentiles
// of each matrix shown (colorLevelsChanged tells them). Channels: while the bottom axis shows
// Doppler channels, a peak shift given with setPeakShift labels the axis, the tracker and the
// position signal with the true channel of each screen column.

#include "SkChannelMapping.h"

#include <qwt_color_map.h>
#include <qwt_interval.h>
#include <qwt_plot.h>

#include <QPoint>
#include <QPointF>
#include <QVector>

class QwtPlotMarker;
class QwtPlotSpectrogram;
class SkPlotPicker;

class SkPlotSpectrogram : public QwtPlot
{
    Q_OBJECT

public:
    explicit SkPlotSpectrogram(QWidget *parent = nullptr);
    ~SkPlotSpectrogram() override;

    // Shows `values` (row-major, `columns` per row) over [x0, x0 + width] x [y0, y0 + height]
    // with the colour scale [0, zMax()]. An empty list removes the image and keeps the axes.
    // The caller replots.
    void setData(const QVector<double> &values, int columns, double width, double height,
                 double x0 = 0.0, double y0 = 0.0);
    bool hasData() const;

    // Top of the colour scale used by the next setData (while automatic levels are off).
    void setZMax(double zMax);
    double zMax() const { return m_zMax; }
    // On: the colour scale of every matrix shown (the one on display at once) spans its own
    // percentiles, and colorLevelsChanged reports them. Off: [0, zMax] again. The caller
    // replots.
    void setAutoColorLevels(bool on);
    bool autoColorLevels() const { return m_autoLevels; }
    // The colour-scale interval of the data on display (invalid before the first data).
    QwtInterval colorInterval() const { return m_interval; }
    QwtLinearColorMap::Mode colorMode() const { return m_colorMode; }

    // Titles of the bottom and left axes, which change with what the view shows.
    void setAxisTitles(const QString &xTitle, const QString &yTitle);

    // The peak shift the shown spectra were rotated by (columns, as given to the store's
    // extraction jobs), and whether the bottom axis shows channels (a frame or a range gate
    // over time) or not (a channel over time: frames). The caller replots.
    void setPeakShift(int shift);
    void setChannelAxis(bool xShowsChannels);
    bool hasChannelAxis() const { return m_channelAxis; }
    // Screen column to channel and back under the current peak shift (whatever the axis shows).
    const SkChannelMapping &channelMapping() const { return m_channels; }
    int columnToChannel(int column) const { return m_channels.columnToChannel(column); }
    int channelToColumn(int channel) const { return m_channels.channelToColumn(channel); }
    // A cell as readings name it: x the true channel while the axis shows channels and x lies
    // on the image (0 ... 1023), else the plot cell unchanged.
    QPoint readingCell(const QPoint &cell) const;

    QwtPlotMarker *marker() const { return m_marker; }
    QPointF markerPos() const;
    QwtPlotSpectrogram *spectrogram() const { return m_spectrogram; }
    SkPlotPicker *picker() const { return m_picker; }

public slots:
    // Moves the cross-hair to `pos` in plot coordinates; emits nothing.
    void setMarkerPos(const QPointF &pos);
    // Moves the cross-hair to a canvas pixel and emits markerPosChanged; the receiver replots.
    void setMarkerScreenPos(const QPoint &pos);
    // The mode of the image and its colour bar from the next setData on.
    void setColorMode(QwtLinearColorMap::Mode mode);

signals:
    // The mouse is over cell `pos` holding `value`: y the row, x as readingCell() names it
    // (the true channel, or the frame in a channel-over-time view).
    void currentPosChanged(QPoint pos, double value);
    // Automatic levels chose the colour scale [low, high] for the matrix shown.
    void colorLevelsChanged(double low, double high);
    // The user clicked: the cross-hair now stands at `pos`.
    void markerPosChanged(QPointF pos);

protected:
    bool eventFilter(QObject *object, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void setupMarker();
    void setupPicker();
    void updateChannelAxis();
    QwtInterval colorIntervalFor(const QVector<double> &values, int columns);
    void showColorInterval(const QwtInterval &interval);

    QwtPlotSpectrogram *m_spectrogram; // attached; deleted first in the destructor
    QwtInterval m_interval;
    double m_zMax = 0.0;
    bool m_autoLevels = false;
    QwtInterval m_chosenLevels; // last reported by colorLevelsChanged
    SkChannelMapping m_channels;
    bool m_channelAxis = true;
    SkPlotPicker *m_picker;            // child of the canvas
    QwtPlotMarker *m_marker;           // attached; deleted by the plot
    QwtLinearColorMap::Mode m_colorMode = QwtLinearColorMap::ScaledColors;
};

Q_DECLARE_METATYPE(QwtLinearColorMap::Mode)
