#pragma once
// The central view: one matrix (a frame, a range gate over time or a channel over time) as a
// colour image with a colour bar on the right, a cross-hair the user places by clicking, and
// a tracker that names the cell under the mouse.

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

    // Top of the colour scale used by the next setData.
    void setZMax(double zMax);
    double zMax() const { return m_zMax; }
    // The colour-scale interval of the data on display (invalid before the first data).
    QwtInterval colorInterval() const { return m_interval; }
    QwtLinearColorMap::Mode colorMode() const { return m_colorMode; }

    // Titles of the bottom and left axes, which change with what the view shows.
    void setAxisTitles(const QString &xTitle, const QString &yTitle);

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
    // The mouse is over cell `pos` (x channel or frame, y row) holding `value`.
    void currentPosChanged(QPoint pos, double value);
    // The user clicked: the cross-hair now stands at `pos`.
    void markerPosChanged(QPointF pos);

protected:
    bool eventFilter(QObject *object, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void setupMarker();
    void setupPicker();

    QwtPlotSpectrogram *m_spectrogram; // attached; deleted first in the destructor
    QwtInterval m_interval;
    double m_zMax = 0.0;
    SkPlotPicker *m_picker;            // child of the canvas
    QwtPlotMarker *m_marker;           // attached; deleted by the plot
    QwtLinearColorMap::Mode m_colorMode = QwtLinearColorMap::ScaledColors;
};

Q_DECLARE_METATYPE(QwtLinearColorMap::Mode)
