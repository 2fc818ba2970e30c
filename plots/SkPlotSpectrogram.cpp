#include "SkPlotSpectrogram.h"

#include "SkChannelScaleDraw.h"
#include "SkChannelScaleEngine.h"
#include "SkColorLevels.h"
#include "SkColorMap.h"
#include "SkPlotPicker.h"
#include "SkPlotZoomer.h"
#include "SkQwtLayout.h"
#include "SkSpectrogramData.h"

#include <qwt_plot_marker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>
#include <qwt_text.h>

#include <QFontMetrics>
#include <QMouseEvent>

#include <cmath>

SkPlotSpectrogram::SkPlotSpectrogram(QWidget *parent)
    : QwtPlot(parent),
      m_spectrogram(new QwtPlotSpectrogram(QString())),
      m_picker(nullptr),
      m_zoomer(nullptr),
      m_marker(new QwtPlotMarker())
{
    m_spectrogram->attach(this);
    m_spectrogram->setCachePolicy(QwtPlotRasterItem::PaintCache);
    m_spectrogram->setDisplayMode(QwtPlotSpectrogram::ImageMode, true);
    m_spectrogram->setAlpha(255);
    skAlignCanvasToScales(this);

    setData(QVector<double>(), 0, 0.0, 0.0);
    m_spectrogram->setColorMap(new SkColorMap(m_colorMode));

    setupMarker();
    setupPicker();
    setupZoomer();
    updateChannelAxis();
    setAxisTitles(tr("Channel"), tr("Range gate"));
    setAxisTitle(QwtPlot::yRight, tr("Level (a.u.)"));
    // Room for six-digit labels from the start, so the image does not jump sideways when a
    // view with more rows (frames) needs wider labels.
    const QFontMetrics metrics(axisWidget(QwtPlot::yLeft)->font());
    axisScaleDraw(QwtPlot::yLeft)->setMinimumExtent(
        metrics.horizontalAdvance(QStringLiteral("100000")));
    // The position signal needs plain mouse moves, which reach the plot from the canvas.
    setMouseTracking(true);
}

SkPlotSpectrogram::~SkPlotSpectrogram()
{
    delete m_spectrogram; // detaches itself before QwtPlot tears down its item list
}

void SkPlotSpectrogram::setupMarker()
{
    m_marker->setLineStyle(QwtPlotMarker::Cross);
    m_marker->setLinePen(QPen(QBrush(Qt::yellow), 1.0, Qt::SolidLine, Qt::SquareCap,
                              Qt::BevelJoin));
    m_marker->setSymbol(new QwtSymbol(QwtSymbol::XCross, QBrush(Qt::white, Qt::NoBrush),
                                      QPen(Qt::white), QSize(10, 10)));
    m_marker->attach(this);
}

void SkPlotSpectrogram::setupPicker()
{
    m_picker = new SkPlotPicker(this);
    m_picker->setTrackerPen(QPen(Qt::white));
}

// The zoomer takes the left button (a drag zooms), so clicks reach the cross-hair through it.
void SkPlotSpectrogram::setupZoomer()
{
    m_zoomer = new SkPlotZoomer(this);
    m_zoomer->setMinimumSpan(QSizeF(MinimumZoomChannels, 1.0));
    connect(m_zoomer, &SkPlotZoomer::clicked, this, &SkPlotSpectrogram::setMarkerScreenPos);
}

void SkPlotSpectrogram::setData(const QVector<double> &values, int columns, double width,
                                double height, double x0, double y0)
{
    if (values.isEmpty() || columns <= 0) {
        m_spectrogram->setData(nullptr);
        return;
    }
    auto *data = new SkSpectrogramData();
    data->setInterval(Qt::XAxis, QwtInterval(x0, x0 + width));
    const int yFirst = static_cast<int>(y0);
    const int yLast = static_cast<int>(y0 + height);
    data->setInterval(Qt::YAxis, QwtInterval(yFirst, yLast));
    m_zoomer->setWholeView(QRectF(x0, yFirst, width, yLast - yFirst));
    data->setValueMatrix(values, columns);
    m_spectrogram->setData(data);
    showColorInterval(colorIntervalFor(values, columns));
}

QwtInterval SkPlotSpectrogram::colorIntervalFor(const QVector<double> &values, int columns)
{
    const QwtInterval fixed(0.0, m_zMax);
    if (!m_autoLevels)
        return fixed;
    const QwtInterval levels = SkColorLevels::of(values, columns);
    if (!levels.isValid())
        return fixed;
    if (levels != m_chosenLevels) {
        m_chosenLevels = levels;
        emit colorLevelsChanged(levels.minValue(), levels.maxValue());
    }
    return levels;
}

// The colour scale of the image and its colour bar on the right axis.
void SkPlotSpectrogram::showColorInterval(const QwtInterval &interval)
{
    m_interval = interval;
    if (QwtRasterData *data = m_spectrogram->data())
        data->setInterval(Qt::ZAxis, interval);
    QwtScaleWidget *bar = axisWidget(QwtPlot::yRight);
    bar->setColorBarEnabled(true);
    bar->setColorMap(interval, new SkColorMap(m_colorMode, m_colorScheme));
    setAxisScale(QwtPlot::yRight, interval.minValue(), interval.maxValue());
    enableAxis(QwtPlot::yRight);
    // The image follows the chosen map too, or it would disagree with its own colour bar.
    const auto *imageMap = static_cast<const SkColorMap *>(m_spectrogram->colorMap());
    if (imageMap->mode() != m_colorMode || imageMap->scheme() != m_colorScheme)
        m_spectrogram->setColorMap(new SkColorMap(m_colorMode, m_colorScheme));
    m_spectrogram->invalidateCache();
}

void SkPlotSpectrogram::setAutoColorLevels(bool on)
{
    if (on == m_autoLevels)
        return;
    m_autoLevels = on;
    m_chosenLevels = QwtInterval(); // report the levels of the matrix on display
    const auto *data = static_cast<const SkSpectrogramData *>(m_spectrogram->data());
    if (data)
        showColorInterval(colorIntervalFor(data->valueMatrix(), data->numColumns()));
}

bool SkPlotSpectrogram::hasData() const
{
    return m_spectrogram->data() != nullptr;
}

void SkPlotSpectrogram::setZMax(double zMax)
{
    m_zMax = zMax;
}

void SkPlotSpectrogram::setColorScheme(SkColorScheme::Id scheme)
{
    if (scheme == m_colorScheme)
        return;
    m_colorScheme = scheme;
    if (m_interval.isValid())
        showColorInterval(m_interval);
}

void SkPlotSpectrogram::setAxisTitles(const QString &xTitle, const QString &yTitle)
{
    m_xTitle = xTitle;
    showXTitle();
    setAxisTitle(QwtPlot::yLeft, yTitle);
}

// The title the bottom axis needs now, in the font it was given.
void SkPlotSpectrogram::showXTitle()
{
    QwtText title = axisTitle(QwtPlot::xBottom);
    title.setText(showsVelocity() ? tr("Radial velocity (m/s)") : m_xTitle);
    setAxisTitle(QwtPlot::xBottom, title);
}

void SkPlotSpectrogram::setPeakShift(int shift)
{
    const SkChannelMapping mapping(shift);
    if (mapping == m_channels)
        return;
    m_channels = mapping;
    updateChannelAxis();
}

void SkPlotSpectrogram::setChannelAxis(bool xShowsChannels)
{
    if (xShowsChannels == m_channelAxis)
        return;
    m_channelAxis = xShowsChannels;
    updateChannelAxis();
}

void SkPlotSpectrogram::setChannelUnit(ChannelUnit unit)
{
    if (unit == m_channelUnit)
        return;
    m_channelUnit = unit;
    updateChannelAxis();
}

void SkPlotSpectrogram::setVelocityScale(const SkVelocityScale &scale)
{
    if (scale == m_velocity)
        return;
    m_velocity = scale;
    if (m_channelUnit == Velocity)
        updateChannelAxis();
}

bool SkPlotSpectrogram::showsVelocity() const
{
    return m_channelAxis && m_channelUnit == Velocity && m_velocity.isValid();
}

QString SkPlotSpectrogram::readingText(int readingX) const
{
    if (!showsVelocity() || readingX < 0 || readingX >= SkChannelMapping::Channels)
        return QString::number(readingX);
    return tr("%1 m/s").arg(m_velocity.velocityAt(readingX), 0, 'f', 2);
}

// The bottom axis divides and labels by channel or velocity, or plainly when it shows frames.
void SkPlotSpectrogram::updateChannelAxis()
{
    if (m_channelAxis) {
        const SkVelocityScale velocity = showsVelocity() ? m_velocity : SkVelocityScale();
        setAxisScaleEngine(QwtPlot::xBottom, new SkChannelScaleEngine(m_channels, velocity));
        setAxisScaleDraw(QwtPlot::xBottom, new SkChannelScaleDraw(m_channels, velocity));
    } else {
        setAxisScaleEngine(QwtPlot::xBottom, new QwtLinearScaleEngine());
        setAxisScaleDraw(QwtPlot::xBottom, new QwtScaleDraw());
    }
    showXTitle();
}

QPoint SkPlotSpectrogram::readingCell(const QPoint &cell) const
{
    if (!m_channelAxis || cell.x() < 0 || cell.x() >= SkChannelMapping::Channels)
        return cell;
    return QPoint(m_channels.columnToChannel(cell.x()), cell.y());
}

QPointF SkPlotSpectrogram::markerPos() const
{
    return m_marker->value();
}

void SkPlotSpectrogram::setMarkerPos(const QPointF &pos)
{
    m_marker->setValue(pos);
}

void SkPlotSpectrogram::setMarkerScreenPos(const QPoint &pos)
{
    const QPointF value(invTransform(QwtPlot::xBottom, pos.x()),
                        invTransform(QwtPlot::yLeft, pos.y()));
    m_marker->setValue(value);
    emit markerPosChanged(value);
}

void SkPlotSpectrogram::setColorMode(QwtLinearColorMap::Mode mode)
{
    m_colorMode = mode;
}

bool SkPlotSpectrogram::eventFilter(QObject *, QEvent *)
{
    // The canvas' events pass untouched; mouse moves bubble up to mouseMoveEvent.
    return false;
}

void SkPlotSpectrogram::mouseMoveEvent(QMouseEvent *event)
{
    QwtPlot::mouseMoveEvent(event);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QPoint pos = event->position().toPoint();
#else
    const QPoint pos = event->pos();
#endif
    if (!hasData() || !canvas()->geometry().contains(pos))
        return;
    // Evaluate the tracker at this very position, so the signal never lags the text.
    m_picker->trackerText(canvas()->mapFrom(this, pos));
    emit currentPosChanged(readingCell(m_picker->trackedCell()), m_picker->trackedValue());
}
