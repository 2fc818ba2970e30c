#pragma once
// The activity plot: over the frame number, one curve per detector output (avalanche 0-2,
// water level, rain) and per live value of the chosen range gate, symbols with texts for the
// notable detector events, and a vertical cursor on the frame on display.
//
// The plot owns its ten curves and their points. Live values (ids 5 to 9) are kept for every
// range gate; the curves show the range gate chosen with setLiveRangegate. Only the GUI
// thread touches it; the main window serialises feeding and clearing with its own mutex.

#include "RuAlarmEvent.h"
#include "RuAlarmStatus.h"
#include "SkActivityMarkerLevels.h"
#include "SkActivityPlotId.h"

#include <qwt_plot.h>

#include <QList>
#include <QPointF>
#include <QVector>

#include <array>
#include <memory>
#include <vector>

class QwtPlotCurve;
class QwtPlotMarker;
class SkActivityAlarmMarker;
class SkActivityCurveData;
class SkActivityMarker;
class SkActivityPicker;
struct RuAlarmResult;

class SkPlotActivities : public QwtPlot
{
    Q_OBJECT

public:
    static constexpr int CurveCount = 10;
    static constexpr int FirstLiveId = SkActivityChannel0;

    explicit SkPlotActivities(QWidget *parent = nullptr);
    ~SkPlotActivities() override;

    // Translated name ("Avalanche 0", "Max Velocity", ...), unit ("(a.u.)" or "(m/s)") and
    // curve title ("%1 %2") of curve `id`; any other id throws std::invalid_argument
    // "SkActivityPlotId".
    static QString curveName(int id);
    static QString curveUnit(int id);
    static QString curveTitle(int id);

    // Appends the points of frame `frameNo`'s result (detectors with status 0 add nothing),
    // adds a marker for every notable event and shows the chosen range gate's live values.
    // Returns the result's events (avalanche 0-2, rain 0, water level 0) for the log, also
    // for a frame before the trimmed range, which adds nothing. The caller replots.
    QVector<RuAlarmEvent> appendResult(int frameNo, const RuAlarmResult &result,
                                       const SkActivityMarkerLevels &levels);
    // Attaches the marker of one event (none for events without marker); the plot owns it.
    SkActivityAlarmMarker *addEventMarker(int frameNo, const RuAlarmEvent &event,
                                          const SkActivityMarkerLevels &levels);

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
    // The store's window [startFrame, startFrame + length]: the bottom axis spans it and what
    // lies before it is trimmed. Call it on every change of the store's data range.
    void setFrameRange(int startFrame, int length);

    QwtPlotCurve *curve(SkActivityPlotId id) const;
    // The series of curve `id`: the one series of ids 0 to 4, one per range gate for ids 5
    // to 9 (empty before live values arrived). Owned by the plot.
    QVector<const SkActivityCurveData *> series(SkActivityPlotId id) const;
    // The event markers attached, in the order they were added.
    QList<SkActivityMarker *> eventMarkers() const;

    QwtPlotMarker *cursor() const { return m_cursor; }
    double cursorPos() const;
    SkActivityPicker *picker() const { return m_picker; }

    // A legend at the right; off removes it.
    void setLegendShown(bool shown);
    bool isLegendShown() const;

public slots:
    // Puts the cursor on frame `pos` and replots.
    void setMarkerPos(double pos);
    // Puts the cursor on the frame under canvas pixel `pos.x()` and emits markerPosChanged;
    // the receiver replots.
    void setMarkerScreenPos(const QPoint &pos);

signals:
    // The user clicked: pos is (frame number, 0).
    void markerPosChanged(QPointF pos);

private:
    void moveCursor(double x);
    void setupCurves();
    void setupAxes();
    void appendPoint(int id, int frameNo, RuAlarmStatus status, double value);
    void appendLive(int frameNo, const RuAlarmResult &result);
    void showLiveRangegate();
    SkActivityCurveData *liveSeries(int id, int rangegate);

    QwtPlotMarker *m_cursor;           // deleted in the destructor, before the base class
    // A dark, wider line under the yellow cursor, so it shows on the light canvas too.
    QwtPlotMarker *m_cursorShade;      // likewise
    SkActivityPicker *m_picker;        // child of the canvas
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
};
