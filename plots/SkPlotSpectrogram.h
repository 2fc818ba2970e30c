#pragma once
// The central view: one matrix (a frame, a range gate over time or a channel over time) as a
// colour image with a colour bar on the right, a cross-hair the user places by clicking, and
// a tracker that names the cell under the mouse.
//
// Colour levels: [0, zMax] as set, or with automatic levels on, the 2nd and 99.5th percentiles
// of each matrix shown (colorLevelsChanged tells them). Channels: while the bottom axis shows
// Doppler channels, a peak shift given with setPeakShift labels the axis, the tracker and the
// position signal with the true channel of each screen column; with the channel unit set to
// velocity and a frame that carries a parameter block, they name the radial velocity in m/s.
//
// Zoom and pan (SkPlotZoomer): Ctrl+wheel, rubber band, middle-button or Space drag, double
// click or Escape for the whole view. A click without a drag places the cross-hair. The zoom
// survives new data: setData makes the data's extent the whole view and keeps the zoom in it.

#include "SkChannelMapping.h"
#include "SkColorScheme.h"
#include "SkVelocityScale.h"

#include <qwt_color_map.h>
#include <qwt_interval.h>
#include <qwt_plot.h>

#include <QPoint>
#include <QPointF>
#include <QVector>

class QwtPlotMarker;
class QwtPlotSpectrogram;
class SkPlotPicker;
class SkPlotZoomer;

class SkPlotSpectrogram : public QwtPlot
{
    Q_OBJECT

public:
    // The narrowest zoom, in channels (or frames); one row is the lowest.
    static constexpr double MinimumZoomChannels = 4.0;

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

    // The colour map of the image and its colour bar, at once; the caller replots.
    void setColorScheme(SkColorScheme::Id scheme);
    SkColorScheme::Id colorScheme() const { return m_colorScheme; }

    // Titles of the bottom and left axes, which change with what the view shows. While the
    // channel axis shows velocities its title says so instead.
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

    // What the channel axis, the tracker and readingText() count: channels, or the radial
    // velocity of the channels when the frame shown has a velocity scale (a parameter block).
    enum ChannelUnit { Channels, Velocity };
    void setChannelUnit(ChannelUnit unit);
    ChannelUnit channelUnit() const { return m_channelUnit; }
    // The scale of the frame shown (SkVelocityScale::of its parameter block); the caller replots.
    void setVelocityScale(const SkVelocityScale &scale);
    SkVelocityScale velocityScale() const { return m_velocity; }
    // Whether the axis shows velocities now: the unit is Velocity, the scale valid and the axis
    // a channel axis.
    bool showsVelocity() const;
    // A reading's x as a user reads it: "-12.34 m/s" while velocities are shown, else the
    // number as given (channel or frame). `readingX` is readingCell().x().
    QString readingText(int readingX) const;

    // Zoom and pan; the window sets the whole view here when it sets the axes itself.
    SkPlotZoomer *zoomer() const { return m_zoomer; }

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
    void setupZoomer();
    void updateChannelAxis();
    void showXTitle();
    QwtInterval colorIntervalFor(const QVector<double> &values, int columns);
    void showColorInterval(const QwtInterval &interval);

    QwtPlotSpectrogram *m_spectrogram; // attached; deleted first in the destructor
    QwtInterval m_interval;
    double m_zMax = 0.0;
    bool m_autoLevels = false;
    QwtInterval m_chosenLevels; // last reported by colorLevelsChanged
    SkChannelMapping m_channels;
    bool m_channelAxis = true;
    ChannelUnit m_channelUnit = Channels;
    SkVelocityScale m_velocity;
    QString m_xTitle;
    SkColorScheme::Id m_colorScheme = SkColorScheme::Ramp;
    SkPlotPicker *m_picker;            // child of the canvas
    SkPlotZoomer *m_zoomer;            // child of the plot
    QwtPlotMarker *m_marker;           // attached; deleted by the plot
    QwtLinearColorMap::Mode m_colorMode = QwtLinearColorMap::ScaledColors;
};

Q_DECLARE_METATYPE(QwtLinearColorMap::Mode)
