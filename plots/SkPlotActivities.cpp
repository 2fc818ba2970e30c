#include "SkPlotActivities.h"

#include "RuAlarmResult.h"
#include "SkActivityAlarmMarker.h"
#include "SkActivityCurveData.h"
#include "SkActivityPicker.h"
#include "SkAxisFit.h"
#include "SkLogScaleEngine.h"
#include "SkPlotZoomer.h"
#include "SkQwtLayout.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <QCoreApplication>
#include <QFontMetrics>

#include <algorithm>
#include <stdexcept>

namespace {

struct CurveLook
{
    const char *name;
    bool velocity; // unit "(m/s)", values scaled by 0.1
    QColor color;
    int axis;
};

const CurveLook &look(int id)
{
    static const CurveLook looks[SkPlotActivities::CurveCount] = {
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Avalanche 0"), false, QColor(0, 0, 0), QwtPlot::yLeft},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Avalanche 1"), false, QColor(66, 66, 66), QwtPlot::yLeft},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Avalanche 2"), false, QColor(132, 132, 132), QwtPlot::yLeft},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Waterlevel"), false, QColor(Qt::darkBlue), QwtPlot::yRight},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Rain"), false, QColor(0, 200, 200), QwtPlot::yRight},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Channel0"), false, QColor(Qt::darkGreen), QwtPlot::yRight},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "#-Sum"), false, QColor(Qt::green), QwtPlot::yRight},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Mode"), true, QColor(100, 0, 0), QwtPlot::yRight},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Max Velocity"), true, QColor(150, 0, 0), QwtPlot::yRight},
        {QT_TRANSLATE_NOOP("SkPlotActivities", "Median Velocity"), true, QColor(200, 0, 0), QwtPlot::yRight},
    };
    if (id < 0 || id >= SkPlotActivities::CurveCount)
        throw std::invalid_argument("SkActivityPlotId");
    return looks[id];
}

// The per-range-gate values of live curve `id`; empty when not computed for the frame.
const QVector<quint16> &liveValues(const RuLiveValues &live, int id)
{
    switch (id) {
    case SkActivityChannel0: return live.channel0;
    case SkActivitySum: return live.activity;
    case SkActivityMode: return live.mainVelocity;
    case SkActivityMaxVelocity: return live.maxVelocity;
    default: return live.medianVelocity;
    }
}

} // namespace

SkPlotActivities::SkPlotActivities(QWidget *parent)
    : QwtPlot(parent),
      m_cursor(new QwtPlotMarker()),
      m_cursorShade(new QwtPlotMarker()),
      m_picker(nullptr),
      m_zoomer(nullptr)
{
    m_cursorShade->setLineStyle(QwtPlotMarker::VLine);
    m_cursorShade->setLinePen(QPen(QBrush(QColor(0, 0, 0, 120)), 3.0, Qt::SolidLine,
                                   Qt::SquareCap, Qt::BevelJoin));
    m_cursorShade->setZ(m_cursor->z() - 0.5);
    m_cursorShade->setItemAttribute(QwtPlotItem::Legend, false);
    m_cursorShade->setValue(0.0, 0.0);
    m_cursorShade->attach(this);

    m_cursor->setLineStyle(QwtPlotMarker::VLine);
    m_cursor->setLinePen(QPen(QBrush(Qt::yellow), 1.0, Qt::SolidLine, Qt::SquareCap,
                              Qt::BevelJoin));
    m_cursor->setValue(0.0, 0.0);
    m_cursor->attach(this);

    // The picker only names the marker under the mouse; the zoomer takes the left button and
    // passes clicks that were no drag on to the cursor.
    m_picker = new SkActivityPicker(this);
    m_picker->setTrackerPen(QPen(Qt::black));
    m_zoomer = new SkPlotZoomer(this, QwtPlot::xBottom, QwtPlot::yLeft);
    m_zoomer->setOrientations(Qt::Horizontal);
    m_zoomer->setMinimumSpan(QSizeF(MinimumZoomFrames, 0.0));
    connect(m_zoomer, &SkPlotZoomer::clicked, this, &SkPlotActivities::setMarkerScreenPos);

    setupCurves();
    setupAxes();
}

SkPlotActivities::~SkPlotActivities()
{
    // The base class detaches its items as it goes and tells the legend: this part is gone.
    disconnect(this, &QwtPlot::legendDataChanged, this, &SkPlotActivities::updateLegendChecks);
    delete m_cursor;
    delete m_cursorShade;
    // The live curves show series the plot owns; hand each its placeholder to delete with
    // the curve, which the base class destroys after the members.
    for (int i = 0; i < CurveCount - FirstLiveId; ++i)
        m_curves[FirstLiveId + i]->swapData(m_noLive[i].release());
}

QString SkPlotActivities::curveName(int id)
{
    return QCoreApplication::translate("SkPlotActivities", look(id).name);
}

QString SkPlotActivities::curveUnit(int id)
{
    return look(id).velocity ? QCoreApplication::translate("SkPlotActivities", "(m/s)")
                             : QCoreApplication::translate("SkPlotActivities", "(a.u.)");
}

QString SkPlotActivities::curveTitle(int id)
{
    return QStringLiteral("%1 %2").arg(curveName(id), curveUnit(id));
}

void SkPlotActivities::setupCurves()
{
    for (int id = 0; id < CurveCount; ++id) {
        auto *curve = new QwtPlotCurve(curveTitle(id));
        curve->setPen(QPen(QBrush(look(id).color), 0.0, Qt::SolidLine));
        curve->setAxes(QwtPlot::xBottom, look(id).axis);
        if (id < FirstLiveId) {
            m_data[id] = new SkActivityCurveData();
            curve->setData(m_data[id]);
        } else {
            m_noLive[id - FirstLiveId] = std::make_unique<SkActivityCurveData>();
            delete curve->swapData(m_noLive[id - FirstLiveId].get()); // the curve's own empty data
        }
        curve->attach(this);
        m_curves[id] = curve;
    }
}

void SkPlotActivities::setupAxes()
{
    enableAxis(QwtPlot::yLeft);
    enableAxis(QwtPlot::yRight);
    enableAxis(QwtPlot::xBottom, false);
    setAxisTitle(QwtPlot::yLeft, tr("Avalanche (a.u.)"));
    setAxisTitle(QwtPlot::yRight, tr("Water level, rain, live values"));
    // Labels from "0" to "1e+06" keep the canvas where it is while the axes fit themselves.
    for (int axis : {QwtPlot::yLeft, QwtPlot::yRight}) {
        const QFontMetrics metrics(axisWidget(axis)->font());
        axisScaleDraw(axis)->setMinimumExtent(metrics.horizontalAdvance(QStringLiteral("-1e+06"))
                                              + axisScaleDraw(axis)->maxTickLength()
                                              + axisScaleDraw(axis)->spacing());
    }
    // Room for a marker's symbol at the ends of the y axes.
    skSetCanvasMargin(this, 6, QwtPlot::yLeft);
    skSetCanvasMargin(this, 6, QwtPlot::yRight);
    setAxisScale(QwtPlot::yLeft, 0.0, 1000.0);
    setAxisLogarithmic(QwtPlot::yRight, true);
    setAxisScale(QwtPlot::yRight, 1.0, 1e6);
}

void SkPlotActivities::appendPoints(int frameNo, const SkAlarmResultSharedPtr &result)
{
    if (result)
        appendCurvePoints(frameNo, *result);
}

void SkPlotActivities::appendCurvePoints(int frameNo, const RuAlarmResult &result)
{
    // A frame the store has already let go of would break the frame order of the points.
    if (frameNo < m_firstFrame)
        return;
    for (int i = 0; i < RuAlarmResult::Detectors; ++i)
        appendPoint(i, frameNo, result.avalanche[i].status, result.avalanche[i].sumSum);
    appendPoint(SkActivityRain, frameNo, result.rain[0].status, result.rain[0].activity);
    appendPoint(SkActivityWaterlevel, frameNo, result.waterlevel[0].status,
                result.waterlevel[0].value);
    appendLive(frameNo, result);
    refit();
}

void SkPlotActivities::appendPoint(int id, int frameNo, RuAlarmStatus status, double value)
{
    if (status != RuStatusDisabled)
        m_data[id]->appendSample(QPointF(frameNo, value));
}

void SkPlotActivities::addEvent(int frameNo, const RuAlarmEvent &event)
{
    if (frameNo < m_firstFrame)
        return;
    if (SkActivityAlarmMarker *marker = SkActivityAlarmMarker::forEvent(frameNo, event, m_levels))
        marker->attach(this); // the plot deletes attached items
}

SkActivityCurveData *SkPlotActivities::liveSeries(int id, int rangegate)
{
    LiveList &list = m_live[id - FirstLiveId];
    while (static_cast<int>(list.size()) <= rangegate) {
        list.push_back(std::make_unique<SkActivityCurveData>());
        // Only the chosen range gate is drawn and fitted: the others keep just their points.
        list.back()->setRangeKept(false);
    }
    return list[rangegate].get();
}

void SkPlotActivities::appendLive(int frameNo, const RuAlarmResult &result)
{
    for (int id = FirstLiveId; id < CurveCount; ++id) {
        const QVector<quint16> &values = liveValues(result.live, id);
        const double factor = look(id).velocity ? 0.1 : 1.0;
        for (int r = 0; r < values.size(); ++r)
            liveSeries(id, r)->appendSample(QPointF(frameNo, values[r] * factor));
    }
    showLiveRangegate();
}

void SkPlotActivities::setLiveRangegate(int rangegate)
{
    if (rangegate != m_liveRangegate)
        for (const LiveList &list : m_live)
            if (m_liveRangegate >= 0 && m_liveRangegate < static_cast<int>(list.size()))
                list[m_liveRangegate]->setRangeKept(false);
    m_liveRangegate = rangegate;
    showLiveRangegate();
    refit();
}

void SkPlotActivities::showLiveRangegate()
{
    for (int id = FirstLiveId; id < CurveCount; ++id) {
        const LiveList &list = m_live[id - FirstLiveId];
        SkActivityCurveData *shown = m_noLive[id - FirstLiveId].get();
        if (m_liveRangegate >= 0 && m_liveRangegate < static_cast<int>(list.size()))
            shown = list[m_liveRangegate].get();
        // Compared, never read: after a clear it is a series that is gone.
        if (m_curves[id]->data() == shown)
            continue;
        shown->setRangeKept(true);
        // The swapped-out series stays with its owner: the list or the placeholder.
        m_curves[id]->swapData(shown);
        m_curves[id]->itemChanged();
    }
}

void SkPlotActivities::clearActivities()
{
    for (SkActivityCurveData *data : m_data)
        data->clear();
    m_firstFrame = 0;
    for (LiveList &list : m_live)
        list.clear();
    showLiveRangegate(); // before the emptied lists' series could be drawn
    detachItems(SkActivityMarker::Rtti, true);
    updateAxes();
    refit();
}

void SkPlotActivities::setFrameRange(int startFrame, int length)
{
    // The y extent is the zoomer's placeholder: the y axes do not zoom.
    m_zoomer->setWholeView(QRectF(startFrame, 0.0, std::max(length, 1), 1.0));
    trimBefore(startFrame);
}

void SkPlotActivities::setFrameScaleDraw(QwtScaleDraw *draw)
{
    setAxisScaleDraw(QwtPlot::xBottom, draw);
}

void SkPlotActivities::trimBefore(int firstFrame)
{
    // The last range reported wins: after a reopen the frame numbers start again at 0.
    const bool advanced = firstFrame > m_firstFrame;
    m_firstFrame = firstFrame;
    if (!advanced)
        return;
    for (int id = 0; id < FirstLiveId; ++id)
        m_data[id]->trimBefore(firstFrame);
    for (LiveList &list : m_live)
        for (const std::unique_ptr<SkActivityCurveData> &series : list)
            series->trimBefore(firstFrame);
    const QwtPlotItemList markers = itemList(SkActivityMarker::Rtti);
    for (QwtPlotItem *item : markers) {
        const auto *marker = dynamic_cast<const SkActivityMarker *>(item);
        if (marker && marker->xValue() < firstFrame)
            delete item; // detaches itself
    }
    for (QwtPlotCurve *curve : m_curves)
        curve->itemChanged();
    refit();
}

QwtPlotCurve *SkPlotActivities::curve(SkActivityPlotId id) const
{
    look(id); // throws for an unknown id
    return m_curves[id];
}

QVector<const SkActivityCurveData *> SkPlotActivities::series(SkActivityPlotId id) const
{
    look(id);
    QVector<const SkActivityCurveData *> result;
    if (id < FirstLiveId) {
        result << m_data[id];
        return result;
    }
    for (const std::unique_ptr<SkActivityCurveData> &s : m_live[id - FirstLiveId])
        result << s.get();
    return result;
}

QList<SkActivityMarker *> SkPlotActivities::eventMarkers() const
{
    QList<SkActivityMarker *> markers;
    const QwtPlotItemList items = itemList(SkActivityMarker::Rtti);
    for (QwtPlotItem *item : items)
        if (auto *marker = dynamic_cast<SkActivityMarker *>(item))
            markers << marker;
    return markers;
}

double SkPlotActivities::cursorPos() const
{
    return m_cursor->xValue();
}

void SkPlotActivities::setLegendShown(bool shown)
{
    if (shown && !legend()) {
        auto *legendWidget = new QwtLegend();
        legendWidget->setDefaultItemMode(QwtLegendData::Checkable);
        insertLegend(legendWidget, QwtPlot::TopLegend);
        connect(legendWidget, &QwtLegend::checked, this,
                [this](const QVariant &itemInfo, bool on, int) { onLegendChecked(itemInfo, on); });
        // Entries are made again when titles change (a language switch): keep their checks.
        connect(this, &QwtPlot::legendDataChanged, this, &SkPlotActivities::updateLegendChecks);
        updateLegendChecks();
    } else if (!shown && legend()) {
        disconnect(this, &QwtPlot::legendDataChanged, this, &SkPlotActivities::updateLegendChecks);
        insertLegend(nullptr);
    }
}

bool SkPlotActivities::isLegendShown() const
{
    return legend() != nullptr;
}

void SkPlotActivities::updateLegendChecks()
{
    const auto *legendWidget = qobject_cast<const QwtLegend *>(legend());
    if (!legendWidget)
        return;
    for (QwtPlotCurve *curve : m_curves)
        if (auto *label = qobject_cast<QwtLegendLabel *>(
                legendWidget->legendWidget(itemToInfo(curve))))
            label->setChecked(curve->isVisible());
}

void SkPlotActivities::onLegendChecked(const QVariant &itemInfo, bool on)
{
    const QwtPlotItem *item = infoToItem(itemInfo);
    for (int id = 0; id < CurveCount; ++id)
        if (m_curves[id] == item)
            setCurveShown(static_cast<SkActivityPlotId>(id), on);
    replot();
}

void SkPlotActivities::setCurveShown(SkActivityPlotId id, bool shown)
{
    QwtPlotCurve *c = curve(id);
    if (c->isVisible() == shown)
        return;
    c->setVisible(shown);
    updateLegendChecks();
    refit();
    emit curveShownChanged(id, shown);
}

bool SkPlotActivities::isCurveShown(SkActivityPlotId id) const
{
    return curve(id)->isVisible();
}

// ---- Y axes ---------------------------------------------------------------------------------

SkPlotActivities::AxisState &SkPlotActivities::axisState(int axis)
{
    if (axis != QwtPlot::yLeft && axis != QwtPlot::yRight)
        throw std::invalid_argument("SkPlotActivities: not a y axis");
    return axis == QwtPlot::yLeft ? m_left : m_right;
}

const SkPlotActivities::AxisState &SkPlotActivities::axisState(int axis) const
{
    return const_cast<SkPlotActivities *>(this)->axisState(axis);
}

void SkPlotActivities::setAxisAutoFit(int axis, bool on)
{
    AxisState &state = axisState(axis);
    if (state.autoFit == on)
        return;
    state.autoFit = on;
    state.fitted = QwtInterval(); // the axis may show limits: give it the fit again
    emit axisAutoFitChanged(axis, on);
    refitAxis(axis);
    updateAxes();
}

bool SkPlotActivities::isAxisAutoFit(int axis) const
{
    return axisState(axis).autoFit;
}

void SkPlotActivities::setAxisLimits(int axis, double lower, double upper)
{
    setAxisAutoFit(axis, false);
    setAxisScale(axis, std::min(lower, upper), std::max(lower, upper));
    // The range the axis took (a logarithmic one starts above zero) is readable at once.
    updateAxes();
}

void SkPlotActivities::setAxisLogarithmic(int axis, bool on)
{
    AxisState &state = axisState(axis);
    if (state.logarithmic == on)
        return;
    state.logarithmic = on;
    state.fitted = QwtInterval();
    // The new engine divides the range the axis had; fitting replaces it if on.
    if (on)
        setAxisScaleEngine(axis, new SkLogScaleEngine());
    else
        setAxisScaleEngine(axis, new QwtLinearScaleEngine());
    refitAxis(axis);
    updateAxes();
}

bool SkPlotActivities::isAxisLogarithmic(int axis) const
{
    return axisState(axis).logarithmic;
}

const SkActivityCurveData *SkPlotActivities::shownSeries(int id) const
{
    return static_cast<const SkActivityCurveData *>(m_curves[id]->data());
}

SkValueRange SkPlotActivities::shownRange(int axis) const
{
    SkValueRange range;
    for (int id = 0; id < CurveCount; ++id)
        if (m_curves[id]->yAxis() == axis && m_curves[id]->isVisible())
            range.include(shownSeries(id)->valueRange());
    return range;
}

void SkPlotActivities::refit()
{
    refitAxis(QwtPlot::yLeft);
    refitAxis(QwtPlot::yRight);
}

void SkPlotActivities::refitAxis(int axis)
{
    AxisState &state = axisState(axis);
    if (!state.autoFit)
        return;
    const QwtInterval range =
        skFitAxisRange(shownRange(axis), state.logarithmic, axisMaxMajor(axis));
    if (!range.isValid() || range == state.fitted)
        return;
    state.fitted = range;
    setAxisScale(axis, range.minValue(), range.maxValue());
    emit axisRangeFitted(axis, range.minValue(), range.maxValue());
}

void SkPlotActivities::moveCursor(double x)
{
    m_cursor->setValue(x, 0.0);
    m_cursorShade->setValue(x, 0.0);
}

void SkPlotActivities::setMarkerPos(double pos)
{
    moveCursor(pos);
    keepInView(pos);
    replot();
}

void SkPlotActivities::keepInView(double x)
{
    const QRectF visible = m_zoomer->visibleRect();
    if (m_zoomer->isZoomed() && (x < visible.left() || x > visible.right()))
        m_zoomer->panBy(x - visible.center().x(), 0.0);
}

void SkPlotActivities::setMarkerScreenPos(const QPoint &pos)
{
    const double x = invTransform(QwtPlot::xBottom, pos.x());
    moveCursor(x);
    emit markerPosChanged(QPointF(x, 0.0));
}
