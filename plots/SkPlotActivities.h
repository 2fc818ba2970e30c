#pragma once
// The activity plot: over the frame number, one curve per detector output (avalanche 0-2,
// water level, rain) and per live value of the chosen range gate, symbols with texts for the
// notable detector events, and a vertical cursor on the frame on display.
//
// The plot owns its ten curves and their points. Live values (ids 5 to 9) are kept for every
// range gate; the curves show the range gate chosen with setLiveRangegate. Only the GUI
// thread touches it.
//
// Each y axis fits itself to the curves shown on it as points arrive and leave (from the value
// ranges the series keep, never by walking the points), until limits are set for it; the left
// axis is linear, the right one logarithmic, because it carries values five orders apart (rain
// activity near 1, velocities in m/s, Channel0 and water level near 1e5). Either axis can be
// switched. Curves hidden from the legend do not count; event markers are always shown, at the
// canvas edge when their value lies beyond the axis.
//
// Zoom and pan on the frame axis (SkPlotZoomer): Ctrl+wheel, a rubber band, middle-button or
// Space drag, double click or Escape for the whole view; a click without a drag places the
// cursor. The y axes do not zoom: they keep their own fitting and limits. The store's window
// (setFrameRange) is the whole view, and a zoom survives new frames within it; a cursor moved
// outside the zoom brings the zoom along.
//
// Feeding, as the live session reports a result with the events it derived from it:
//     plot->appendPoints(frameNo, result);
//     for (const RuAlarmEvent &event : events)
//         plot->addEvent(frameNo, event);
// then replot (throttled by the caller).

#include "RuAlarmEvent.h"
#include "RuAlarmResult.h"
#include "RuAlarmStatus.h"
#include "SkActivityMarkerLevels.h"
#include "SkActivityPlotId.h"

#include <qwt_interval.h>
#include <qwt_plot.h>

#include <QList>
#include <QPointF>
#include <QVector>

#include <array>
#include <memory>
#include <vector>

class QwtPlotCurve;
class QwtPlotMarker;
class QwtScaleDraw;
class SkActivityCurveData;
class SkActivityMarker;
class SkActivityPicker;
class SkPlotZoomer;
struct SkValueRange;

class SkPlotActivities : public QwtPlot
{
    Q_OBJECT

public:
    static constexpr int CurveCount = 10;
    static constexpr int FirstLiveId = SkActivityChannel0;
    // The narrowest zoom, in frames.
    static constexpr double MinimumZoomFrames = 10.0;

    explicit SkPlotActivities(QWidget *parent = nullptr);
    ~SkPlotActivities() override;

    // Translated name ("Avalanche 0", "Max Velocity", ...), unit ("(a.u.)" or "(m/s)") and
    // curve title ("%1 %2") of curve `id`; any other id throws std::invalid_argument
    // "SkActivityPlotId".
    static QString curveName(int id);
    static QString curveUnit(int id);
    static QString curveTitle(int id);

    // ---- Feeding ---------------------------------------------------------------------------

    // Heights of the rain and water-level markers added from now on.
    void setMarkerLevels(const SkActivityMarkerLevels &levels) { m_levels = levels; }
    SkActivityMarkerLevels markerLevels() const { return m_levels; }

    // The range gate whose live values curves 5 to 9 show; one without values shows nothing.
    void setLiveRangegate(int rangegate);
    int liveRangegate() const { return m_liveRangegate; }

    // Empties every curve and deletes every event marker (a restarted alarm computation).
    void clearActivities();
    // Forgets the points and markers of frames before `firstFrame` (frames the store no longer
    // holds), so a stream that runs for days keeps the plot's memory bounded. Results of such
    // frames that arrive later add nothing, until a lower first frame (a reopened store) is
    // given. The caller replots.
    void trimBefore(int firstFrame);
    // The store's window [startFrame, startFrame + length]: the bottom axis spans it (or a
    // zoom inside it) and what lies before it is trimmed. Call it on every change of the
    // store's data range.
    void setFrameRange(int startFrame, int length);
    // Labels of the frame axis (frame numbers or times); the plot owns `draw`.
    void setFrameScaleDraw(QwtScaleDraw *draw);

    // ---- Curves and markers ----------------------------------------------------------------

    QwtPlotCurve *curve(SkActivityPlotId id) const;
    // The series of curve `id`: the one series of ids 0 to 4, one per range gate for ids 5
    // to 9 (empty before live values arrived). Owned by the plot.
    QVector<const SkActivityCurveData *> series(SkActivityPlotId id) const;
    // The event markers attached, in the order they were added.
    QList<SkActivityMarker *> eventMarkers() const;

    // A hidden curve keeps its points and its legend entry (unchecked) and leaves its axis'
    // fit. The legend's check boxes call this too.
    void setCurveShown(SkActivityPlotId id, bool shown);
    bool isCurveShown(SkActivityPlotId id) const;

    QwtPlotMarker *cursor() const { return m_cursor; }
    double cursorPos() const;
    SkActivityPicker *picker() const { return m_picker; }
    SkPlotZoomer *zoomer() const { return m_zoomer; }

    // A legend above the canvas, one check box per curve (checked: shown), in as many columns
    // as the width takes; off removes it. Above, not beside: the canvas keeps its width
    // whatever the legend's texts (and language), so the frames stay where they were.
    void setLegendShown(bool shown);
    bool isLegendShown() const;

    // ---- Y axes (QwtPlot::yLeft or QwtPlot::yRight) -----------------------------------------
    // After each of the setters below, axisInterval() gives the range the axis took.

    // Fitting on: the axis follows its shown curves (at once and as points come and go).
    // Off: the axis keeps its range until limits are set.
    void setAxisAutoFit(int axis, bool on);
    bool isAxisAutoFit(int axis) const;
    // Limits chosen by the user (in either order): fitting goes off for that axis. On a
    // logarithmic axis a lower limit at or below zero becomes six decades below the upper one.
    void setAxisLimits(int axis, double lower, double upper);
    void setAxisLogarithmic(int axis, bool on);
    bool isAxisLogarithmic(int axis) const;

public slots:
    // Appends the curve points of frame `frameNo`'s result (detectors with status 0 add
    // nothing) and shows the chosen range gate's live values; a null result or a frame before
    // the trimmed range adds nothing. The caller replots.
    void appendPoints(int frameNo, const SkAlarmResultSharedPtr &result);
    // Attaches the marker of one event of frame `frameNo` (none for events without marker or
    // frames before the trimmed range). The caller replots.
    void addEvent(int frameNo, const RuAlarmEvent &event);

    // Puts the cursor on frame `pos` (a zoom that does not show it is centred on it) and
    // replots.
    void setMarkerPos(double pos);
    // Puts the cursor on the frame under canvas pixel `pos.x()` and emits markerPosChanged;
    // the receiver replots.
    void setMarkerScreenPos(const QPoint &pos);

signals:
    // The user clicked: pos is (frame number, 0).
    void markerPosChanged(QPointF pos);
    // Fitting gave `axis` a new range (not sent for limits set by setAxisLimits).
    void axisRangeFitted(int axis, double lower, double upper);
    // Fitting of `axis` went on or off (off also when limits were set).
    void axisAutoFitChanged(int axis, bool on);
    // A curve was shown or hidden (also from the legend).
    void curveShownChanged(SkActivityPlotId id, bool shown);

private:
    struct AxisState
    {
        bool autoFit = true;
        bool logarithmic = false;
        QwtInterval fitted; // the range last given by fitting; invalid: give the next one
    };

    void moveCursor(double x);
    void keepInView(double x);
    void setupCurves();
    void setupAxes();
    void appendCurvePoints(int frameNo, const RuAlarmResult &result);
    void appendPoint(int id, int frameNo, RuAlarmStatus status, double value);
    void appendLive(int frameNo, const RuAlarmResult &result);
    void showLiveRangegate();
    SkActivityCurveData *liveSeries(int id, int rangegate);
    const SkActivityCurveData *shownSeries(int id) const;
    AxisState &axisState(int axis);
    const AxisState &axisState(int axis) const;
    SkValueRange shownRange(int axis) const;
    void refit();
    void refitAxis(int axis);
    void onLegendChecked(const QVariant &itemInfo, bool on);
    void updateLegendChecks();

    QwtPlotMarker *m_cursor;           // deleted in the destructor, before the base class
    // A dark, wider line under the yellow cursor, so it shows on the light canvas too.
    QwtPlotMarker *m_cursorShade;      // likewise
    SkActivityPicker *m_picker;        // child of the canvas
    SkPlotZoomer *m_zoomer;            // child of the plot
    std::array<QwtPlotCurve *, CurveCount> m_curves{}; // attached; deleted by the plot
    // Ids 0 to 4: the curve's own data (the curve deletes it).
    std::array<SkActivityCurveData *, FirstLiveId> m_data{};
    // Ids 5 to 9: one series per range gate, swapped into the curve; never owned by it.
    using LiveList = std::vector<std::unique_ptr<SkActivityCurveData>>;
    std::array<LiveList, CurveCount - FirstLiveId> m_live;
    // Shown by a live curve whose range gate has no series.
    std::array<std::unique_ptr<SkActivityCurveData>, CurveCount - FirstLiveId> m_noLive;
    int m_liveRangegate = 0;
    int m_firstFrame = 0; // frames before it have been trimmed
    SkActivityMarkerLevels m_levels;
    AxisState m_left;
    AxisState m_right;
};
