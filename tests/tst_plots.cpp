// The viewer's plots offscreen: the spectrogram with its colour ramp, tracker and cross-hair,
// and the activity plot fed with the engine's results on simulated recordings.

#include "RuAlarmCalculator.h"
#include "RuAlarmEvents.h"
#include "RuSimulator.h"
#include "SkActivityAlarmMarker.h"
#include "SkActivityCurveData.h"
#include "SkActivityPicker.h"
#include "SkColorMap.h"
#include "SkPlotActivities.h"
#include "SkPlotMetaTypes.h"
#include "SkPlotPicker.h"
#include "SkPlotSpectrogram.h"

#include <qwt_legend.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>
#include <qwt_text.h>

#include <QDir>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

Q_DECLARE_METATYPE(QwtSymbol::Style)

#if defined(__SANITIZE_ADDRESS__)
// Qt 5's offscreen platform never frees its screen objects; full stacks let the suppression
// recognise them by the plugin that made them, and every other leak is still reported.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}
#endif

namespace {

// Results of the engine on a simulated recording with the radar's own detector settings and
// every live value on.
QVector<SkAlarmResultSharedPtr> simulatedResults(RuScenario scenario, int frames)
{
    RuSimulatorOptions options;
    options.scenario = scenario;
    options.frames = frames;
    options.processParams = true;
    RuSimulator simulator(options);
    RuAlarmCalculator calculator;
    calculator.fromProcessParameters(simulator.frame(0).info());
    RuLiveEnables live;
    live.channel0 = live.activity = live.mainVelocity = live.maxVelocity = live.medianVelocity = true;
    calculator.setLiveEnables(live);
    QVector<SkAlarmResultSharedPtr> results;
    for (int n = 0; n < frames; ++n) {
        const RuFrame frame = simulator.frame(n);
        calculator.processFrame(frame, frame.timeMicros());
        results << calculator.lastResult();
    }
    return results;
}

SkActivityMarkerLevels testLevels()
{
    SkActivityMarkerLevels levels;
    levels.rainAlarmOn = 500;
    levels.rainAlarmOff = 400;
    levels.waterlevelIncidentOn = 300;
    levels.waterlevelIncidentOff = 200;
    levels.waterlevelAlarmOn = 700;
    levels.waterlevelAlarmOff = 600;
    return levels;
}

QPoint canvasPixel(const QwtPlot &plot, int xAxis, int yAxis, double x, double y)
{
    return QPoint(qRound(plot.transform(xAxis, x)), qRound(plot.transform(yAxis, y)));
}

void moveMouse(QWidget *canvas, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, canvas->mapToGlobal(pos), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
}

// Where the pictures go: $SK_PLOTS_PNG_DIR when set (to look at them), else a temporary folder.
QString pictureDir(const QTemporaryDir &tmp)
{
    const QString dir = qEnvironmentVariable("SK_PLOTS_PNG_DIR");
    if (dir.isEmpty())
        return tmp.path();
    QDir().mkpath(dir);
    return dir;
}

} // namespace

class TstPlots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void colourMapRampsThroughItsStops_data();
    void colourMapRampsThroughItsStops();
    void spectrogramShowsMatrixWithColourBarOrNothing();
    void trackerNamesCellAndValue_data();
    void trackerNamesCellAndValue();
    void mouseMoveReportsCellOnlyWithData();
    void clickMovesCrossHairOnceSetterIsSilent();

    void curvesCarryNamesUnitsColoursAndAxes_data();
    void curvesCarryNamesUnitsColoursAndAxes();
    void unknownCurveIdThrows();
    void eventMarkersFollowStatus_data();
    void eventMarkersFollowStatus();
    void simulatedRecordingMarksEveryLoggedEvent();
    void liveCurvesShowChosenRangegateOnly();
    void hoverShowsNearestMarkerText_data();
    void hoverShowsNearestMarkerText();
    void clickMovesCursorOnceSetterIsSilent();
    void curveDataTrimsInAmortisedSteps();
    void longStreamKeepsOnlyHeldFrames();
    void clearingEmptiesCurvesAndMarkers();

    void picturesShowAxesColourBarAndMarkers();

private:
    QVector<SkAlarmResultSharedPtr> m_mixed;
};

void TstPlots::initTestCase()
{
    skRegisterPlotMetaTypes();
    m_mixed = simulatedResults(RuScenario::Mixed, 600);
}

void TstPlots::colourMapRampsThroughItsStops_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("value");
    QTest::addColumn<QColor>("expected");
    const int scaled = QwtLinearColorMap::ScaledColors;
    QTest::newRow("below the interval") << scaled << -5.0 << QColor(Qt::darkBlue);
    QTest::newRow("noise floor is flat") << scaled << 12.0 << QColor(Qt::darkBlue);
    QTest::newRow("0.3 stop") << scaled << 30.0 << QColor(Qt::cyan);
    QTest::newRow("between cyan and green") << scaled << 45.0 << QColor(0, 255, 128);
    QTest::newRow("0.6 stop") << scaled << 60.0 << QColor(Qt::green);
    QTest::newRow("between green and red") << scaled << 80.0 << QColor(128, 128, 0);
    QTest::newRow("top") << scaled << 100.0 << QColor(Qt::red);
    QTest::newRow("above the interval") << scaled << 1000.0 << QColor(Qt::red);
    const int fixed = QwtLinearColorMap::FixedColors;
    QTest::newRow("fixed: stop below") << fixed << 45.0 << QColor(Qt::cyan);
}

void TstPlots::colourMapRampsThroughItsStops()
{
    QFETCH(int, mode);
    QFETCH(double, value);
    QFETCH(QColor, expected);
    const SkColorMap map(static_cast<QwtLinearColorMap::Mode>(mode));
    const QColor c = QColor::fromRgb(map.rgb(QwtInterval(0.0, 100.0), value));
    QVERIFY2(qAbs(c.red() - expected.red()) <= 1 && qAbs(c.green() - expected.green()) <= 1
                 && qAbs(c.blue() - expected.blue()) <= 1,
             qPrintable(QStringLiteral("got %1, expected %2").arg(c.name(), expected.name())));
}

void TstPlots::spectrogramShowsMatrixWithColourBarOrNothing()
{
    SkPlotSpectrogram plot;
    QVERIFY(!plot.hasData());
    QVERIFY(!plot.colorInterval().isValid());
    QCOMPARE(plot.colorMode(), QwtLinearColorMap::ScaledColors);
    QCOMPARE(static_cast<const QwtLinearColorMap *>(plot.spectrogram()->colorMap())->mode(),
             QwtLinearColorMap::ScaledColors);
    plot.setZMax(400.0);
    plot.setColorMode(QwtLinearColorMap::FixedColors);
    plot.setData(QVector<double>(3 * 1024, 1.0), 1024, 1024, 3);
    plot.replot();
    QVERIFY(plot.hasData());
    QCOMPARE(plot.axisInterval(QwtPlot::xBottom), QwtInterval(0, 1024));
    QCOMPARE(plot.axisInterval(QwtPlot::yLeft), QwtInterval(0, 3));
    QCOMPARE(plot.axisInterval(QwtPlot::yRight), QwtInterval(0, 400));
    QCOMPARE(plot.colorInterval(), QwtInterval(0, 400));
    QVERIFY(plot.axisEnabled(QwtPlot::yRight));
    const QwtScaleWidget *bar = plot.axisWidget(QwtPlot::yRight);
    QVERIFY(bar->isColorBarEnabled());
    QCOMPARE(bar->colorBarInterval(), QwtInterval(0, 400));
    QCOMPARE(static_cast<const QwtLinearColorMap *>(bar->colorMap())->mode(),
             QwtLinearColorMap::FixedColors);
    // The image follows the mode as well, so it matches its colour bar.
    QCOMPARE(static_cast<const QwtLinearColorMap *>(plot.spectrogram()->colorMap())->mode(),
             QwtLinearColorMap::FixedColors);
    QCOMPARE(plot.spectrogram()->data()->interval(Qt::ZAxis), QwtInterval(0, 400));

    // No values: no image and no tracker text, the axes stay.
    plot.setData(QVector<double>(), 1024, 1024, 0);
    plot.replot();
    QVERIFY(!plot.hasData());
    QCOMPARE(plot.axisInterval(QwtPlot::yLeft), QwtInterval(0, 3));
    QVERIFY(plot.picker()->trackerText(QPoint(10, 10)).isEmpty());
}

void TstPlots::trackerNamesCellAndValue_data()
{
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<QPoint>("cell");
    QTest::addColumn<QString>("text");
    // A 4 x 2 matrix over x -2 .. 2, y -1 .. 1, value 10 * row + column + 0.3.
    QTest::newRow("first cell, negative coordinates") << QPointF(-1.5, -0.5) << QPoint(-2, -1)
                                                      << QStringLiteral("-2, -1 = 0.3");
    QTest::newRow("last cell of first row") << QPointF(1.5, -0.5) << QPoint(1, -1)
                                            << QStringLiteral("1, -1 = 3.3");
    QTest::newRow("second row") << QPointF(0.5, 0.5) << QPoint(0, 0)
                                << QStringLiteral("0, 0 = 12.3");
}

void TstPlots::trackerNamesCellAndValue()
{
    QFETCH(QPointF, at);
    QFETCH(QPoint, cell);
    QFETCH(QString, text);
    SkPlotSpectrogram plot;
    plot.resize(600, 400);
    plot.setZMax(40.0);
    QVector<double> values;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            values << 10 * r + c + 0.3;
    plot.setData(values, 4, 4, 2, -2, -1);
    plot.replot();
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    const QPoint pixel = canvasPixel(plot, QwtPlot::xBottom, QwtPlot::yLeft, at.x(), at.y());
    QCOMPARE(plot.picker()->trackerText(pixel).text(), text);
    QCOMPARE(plot.picker()->trackedCell(), cell);
}

void TstPlots::mouseMoveReportsCellOnlyWithData()
{
    SkPlotSpectrogram plot;
    plot.resize(600, 400);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QSignalSpy spy(&plot, &SkPlotSpectrogram::currentPosChanged);
    moveMouse(plot.canvas(), QPoint(100, 100));
    QCOMPARE(spy.count(), 0);

    plot.setZMax(100.0);
    QVector<double> values(10 * 1024);
    for (int i = 0; i < values.size(); ++i)
        values[i] = i / 1024 * 100 + i % 1024; // row * 100 + channel
    plot.setData(values, 1024, 1024, 10);
    plot.replot();
    const QPoint pixel = canvasPixel(plot, QwtPlot::xBottom, QwtPlot::yLeft, 512.4, 7.5);
    moveMouse(plot.canvas(), pixel);
    QCOMPARE(spy.count(), 1);
    const QPoint cell = spy.at(0).at(0).toPoint();
    QCOMPARE(cell.y(), 7);
    QVERIFY(qAbs(cell.x() - 512) <= 2); // a pixel spans about two channels here
    QCOMPARE(spy.at(0).at(1).toDouble(), 700.0 + cell.x());
}

void TstPlots::clickMovesCrossHairOnceSetterIsSilent()
{
    SkPlotSpectrogram plot;
    plot.resize(600, 400);
    plot.setZMax(10.0);
    plot.setData(QVector<double>(20 * 1024, 1.0), 1024, 1024, 20);
    plot.replot();
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QSignalSpy spy(&plot, &SkPlotSpectrogram::markerPosChanged);
    plot.setMarkerPos(QPointF(3, 4));
    QCOMPARE(plot.markerPos(), QPointF(3, 4));
    QCOMPARE(spy.count(), 0);

    const QPoint pixel = canvasPixel(plot, QwtPlot::xBottom, QwtPlot::yLeft, 300, 12);
    QTest::mouseClick(plot.canvas(), Qt::LeftButton, Qt::NoModifier, pixel);
    QCOMPARE(spy.count(), 1);
    const QPointF pos = spy.at(0).at(0).toPointF();
    QVERIFY(qAbs(pos.x() - 300) < 3 && qAbs(pos.y() - 12) < 0.5);
    QCOMPARE(plot.markerPos(), pos);
    QCOMPARE(plot.marker()->lineStyle(), QwtPlotMarker::Cross);
}

void TstPlots::curvesCarryNamesUnitsColoursAndAxes_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("axis");
    QTest::newRow("0") << 0 << "Avalanche 0 (a.u.)" << QColor(0, 0, 0) << int(QwtPlot::yLeft);
    QTest::newRow("1") << 1 << "Avalanche 1 (a.u.)" << QColor(66, 66, 66) << int(QwtPlot::yLeft);
    QTest::newRow("2") << 2 << "Avalanche 2 (a.u.)" << QColor(132, 132, 132) << int(QwtPlot::yLeft);
    QTest::newRow("3") << 3 << "Waterlevel (a.u.)" << QColor(Qt::darkBlue) << int(QwtPlot::yRight);
    QTest::newRow("4") << 4 << "Rain (a.u.)" << QColor(0, 200, 200) << int(QwtPlot::yRight);
    QTest::newRow("5") << 5 << "Channel0 (a.u.)" << QColor(Qt::darkGreen) << int(QwtPlot::yRight);
    QTest::newRow("6") << 6 << "#-Sum (a.u.)" << QColor(Qt::green) << int(QwtPlot::yRight);
    QTest::newRow("7") << 7 << "Mode (m/s)" << QColor(100, 0, 0) << int(QwtPlot::yRight);
    QTest::newRow("8") << 8 << "Max Velocity (m/s)" << QColor(150, 0, 0) << int(QwtPlot::yRight);
    QTest::newRow("9") << 9 << "Median Velocity (m/s)" << QColor(200, 0, 0) << int(QwtPlot::yRight);
}

void TstPlots::curvesCarryNamesUnitsColoursAndAxes()
{
    QFETCH(int, id);
    QFETCH(QString, title);
    QFETCH(QColor, color);
    QFETCH(int, axis);
    SkPlotActivities plot;
    QCOMPARE(SkPlotActivities::curveTitle(id), title);
    const QwtPlotCurve *curve = plot.curve(static_cast<SkActivityPlotId>(id));
    QCOMPARE(curve->title().text(), title);
    QCOMPARE(curve->pen().color(), color);
    QCOMPARE(curve->pen().widthF(), 0.0);
    QCOMPARE(curve->yAxis(), axis);
    QCOMPARE(curve->xAxis(), int(QwtPlot::xBottom));
    QCOMPARE(curve->plot(), &plot);
    QVERIFY(plot.axisEnabled(QwtPlot::yLeft) && plot.axisEnabled(QwtPlot::yRight));
    QVERIFY(!plot.axisEnabled(QwtPlot::xBottom));
}

void TstPlots::unknownCurveIdThrows()
{
    for (int id : {-1, 10}) {
        try {
            SkPlotActivities::curveName(id);
            QFAIL("no exception");
        } catch (const std::invalid_argument &e) {
            QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("SkActivityPlotId"));
        }
    }
}

void TstPlots::eventMarkersFollowStatus_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("point");
    QTest::addColumn<double>("y");  // NaN: no marker
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QwtSymbol::Style>("style");
    QTest::addColumn<int>("axis");
    const int av = RuAlarmEvent::Avalanche, rain = RuAlarmEvent::Rain, wl = RuAlarmEvent::Waterlevel;
    const int left = QwtPlot::yLeft, right = QwtPlot::yRight;
    const double none = qQNaN();
    const QColor no;
    const auto S = QwtSymbol::NoSymbol;
    QTest::newRow("av disabled") << av << 0 << false << none << no << S << left;
    QTest::newRow("av quiet") << av << 2 << true << none << no << S << left;
    QTest::newRow("av alarm continues") << av << 9 << true << none << no << S << left;
    QTest::newRow("av prealarm") << av << 3 << true << 1.0 << QColor(Qt::green) << QwtSymbol::Rect << left;
    QTest::newRow("av prealarm same") << av << 4 << true << 2.0 << QColor(Qt::darkGreen) << QwtSymbol::Rect << left;
    QTest::newRow("av prealarm coming") << av << 5 << true << 3.0 << QColor(Qt::darkGreen) << QwtSymbol::Rect << left;
    QTest::newRow("av incident") << av << 6 << true << 0.9 << QColor(Qt::green) << QwtSymbol::Diamond << left;
    QTest::newRow("av alarm on") << av << 10 << true << 10.0 << QColor(Qt::red) << QwtSymbol::UTriangle << left;
    QTest::newRow("av special") << av << 11 << true << 5.0 << QColor(Qt::blue) << QwtSymbol::Hexagon << left;
    QTest::newRow("av alarm off") << av << 12 << true << 10.0 << QColor(Qt::red) << QwtSymbol::DTriangle << left;
    QTest::newRow("av symmetric") << av << 13 << true << 0.5 << QColor(Qt::red) << QwtSymbol::XCross << left;
    QTest::newRow("av unknown 7") << av << 7 << true << 0.5 << QColor(Qt::red) << QwtSymbol::XCross << left;
    QTest::newRow("rain disabled") << rain << 0 << false << none << no << S << right;
    QTest::newRow("rain quiet") << rain << 2 << true << none << no << S << right;
    QTest::newRow("rain on") << rain << 10 << true << 500.0 << QColor(Qt::blue) << QwtSymbol::UTriangle << right;
    QTest::newRow("rain off") << rain << 12 << true << 400.0 << QColor(Qt::blue) << QwtSymbol::DTriangle << right;
    QTest::newRow("wl disabled") << wl << 0 << false << none << no << S << right;
    QTest::newRow("wl incident (no marker)") << wl << 6 << true << none << no << S << right;
    QTest::newRow("wl incident on") << wl << 7 << true << 300.0 << QColor(Qt::green) << QwtSymbol::UTriangle << right;
    QTest::newRow("wl incident off") << wl << 8 << true << 200.0 << QColor(Qt::green) << QwtSymbol::DTriangle << right;
    QTest::newRow("wl alarm on") << wl << 10 << true << 700.0 << QColor(Qt::yellow) << QwtSymbol::UTriangle << right;
    QTest::newRow("wl alarm off") << wl << 12 << true << 600.0 << QColor(Qt::yellow) << QwtSymbol::DTriangle << right;
}

void TstPlots::eventMarkersFollowStatus()
{
    QFETCH(int, source);
    QFETCH(int, status);
    QFETCH(bool, point);
    QFETCH(double, y);
    QFETCH(QColor, color);
    QFETCH(QwtSymbol::Style, style);
    QFETCH(int, axis);

    RuAlarmResult result(20);
    int curveId = SkActivityAvalanche1;
    if (source == RuAlarmEvent::Avalanche) {
        RuAvalancheResult &a = result.avalanche[1];
        a.status = static_cast<RuAlarmStatus>(status);
        a.sumSum = 1234.5f;
        a.bestGroup.first = 4;
        a.bestGroup.last = 7;
        a.bestGroup.peakRangegate = 5;
        a.alarmOffGroup.first = 2;
        a.alarmOffGroup.last = 3;
        a.alarmOffGroup.peakRangegate = 2;
        a.alarmOffGroup.frame = 17;
    } else if (source == RuAlarmEvent::Rain) {
        result.rain[0].status = static_cast<RuAlarmStatus>(status);
        result.rain[0].activity = 1.5f;
        curveId = SkActivityRain;
    } else {
        result.waterlevel[0].status = static_cast<RuAlarmStatus>(status);
        result.waterlevel[0].value = 250.0f;
        curveId = SkActivityWaterlevel;
    }
    SkPlotActivities plot;
    const QVector<RuAlarmEvent> events = plot.appendResult(42, result, testLevels());
    const QVector<const SkActivityCurveData *> series = plot.series(static_cast<SkActivityPlotId>(curveId));
    QCOMPARE(int(series.at(0)->size()), point ? 1 : 0);
    if (point)
        QCOMPARE(series.at(0)->sample(0).x(), 42.0);
    const QList<SkActivityMarker *> markers = plot.eventMarkers();
    if (qIsNaN(y)) {
        QVERIFY(markers.isEmpty());
        QVERIFY(events.isEmpty());
        return;
    }
    QCOMPARE(markers.size(), 1);
    QCOMPARE(events.size(), 1);
    const auto *marker = dynamic_cast<const SkActivityAlarmMarker *>(markers.at(0));
    QVERIFY(marker);
    QCOMPARE(marker->value(), QPointF(42, y));
    QCOMPARE(marker->text(), ruAlarmEvents(result).at(0).marker); // with its line break
    QCOMPARE(marker->yAxis(), axis);
    QCOMPARE(marker->lineStyle(), QwtPlotMarker::NoLine);
    QCOMPARE(marker->symbol()->style(), style);
    QCOMPARE(marker->symbol()->size(), QSize(10, 10));
    QCOMPARE(marker->symbol()->brush().color(), color);
    QCOMPARE(marker->rtti(), 1000);
}

void TstPlots::simulatedRecordingMarksEveryLoggedEvent()
{
    SkPlotActivities plot;
    QStringList logged;
    QStringList expected;
    int avalanchePoints = 0;
    for (int n = 0; n < m_mixed.size(); ++n) {
        for (const RuAlarmEvent &e : plot.appendResult(n, *m_mixed[n], testLevels()))
            logged << QStringLiteral("%1 %2").arg(n).arg(e.tag);
        for (const RuAlarmEvent &e : ruAlarmEvents(*m_mixed[n]))
            expected << QStringLiteral("%1 %2").arg(n).arg(e.tag);
        avalanchePoints += m_mixed[n]->avalanche[0].status != RuStatusDisabled;
    }
    QCOMPARE(logged, expected);
    // The mixed recording has rain, an avalanche in all three detectors and a water level.
    QVERIFY(expected.contains(QStringLiteral("79 RAIN0 ALARM ON")));
    QVERIFY(expected.filter(QStringLiteral("AV0-2 ALARM ON")).size() == 1);
    QVERIFY(expected.filter(QStringLiteral("WL0 ALARM ON")).size() == 1);
    QCOMPARE(plot.eventMarkers().size(), expected.size());
    QCOMPARE(int(plot.series(SkActivityAvalanche0).at(0)->size()), avalanchePoints);
    QVERIFY(avalanchePoints > 500);
    QCOMPARE(plot.series(SkActivityMaxVelocity).size(), 20);
}

void TstPlots::liveCurvesShowChosenRangegateOnly()
{
    SkPlotActivities plot;
    for (int n = 0; n < 300; ++n)
        plot.appendResult(n, *m_mixed[n], testLevels());
    plot.setLiveRangegate(7);
    for (int id = SkActivityChannel0; id <= SkActivityMedianVelocity; ++id) {
        const auto pid = static_cast<SkActivityPlotId>(id);
        const SkActivityCurveData *rg7 = plot.series(pid).at(7);
        QVERIFY(rg7->size() > 200);
        QCOMPARE(plot.curve(pid)->dataSize(), rg7->size());
        QCOMPARE(plot.curve(pid)->sample(5), rg7->sample(5));
    }
    // Velocities are shown in m/s: the engine's 0.1 m/s steps scaled by 0.1.
    const SkActivityCurveData *mode7 = plot.series(SkActivityMode).at(7);
    int k = 0;
    for (int n = 0; n < 300; ++n) {
        const QVector<quint16> &v = m_mixed[n]->live.mainVelocity;
        if (v.isEmpty())
            continue;
        QCOMPARE(mode7->sample(k).x(), double(n));
        QCOMPARE(mode7->sample(k).y(), v[7] * 0.1);
        ++k;
    }
    plot.setLiveRangegate(25); // delivered: 20 range gates
    for (int id = SkActivityChannel0; id <= SkActivityMedianVelocity; ++id)
        QCOMPARE(plot.curve(static_cast<SkActivityPlotId>(id))->dataSize(), size_t(0));
    plot.setLiveRangegate(7);
    QCOMPARE(plot.curve(SkActivityMode)->dataSize(), mode7->size());
}

void TstPlots::hoverShowsNearestMarkerText_data()
{
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<int>("axis");
    QTest::addColumn<QString>("text");
    // Markers: alarm on at (50, 10) left; pre-alarms at (30, 1) and (35, 1) left; rain on at
    // (70, 500) right. Distances are truncated, so 2.4 and 2.6 tie.
    const int left = QwtPlot::yLeft, right = QwtPlot::yRight;
    QTest::newRow("on the marker") << QPointF(50, 10) << left << "A";
    QTest::newRow("7 units away") << QPointF(54, 13) << left << "A";
    QTest::newRow("15 units away") << QPointF(60, 15) << left << "";
    QTest::newRow("tie goes to the first") << QPointF(32.5, 1) << left << "P1";
    QTest::newRow("nearer the second") << QPointF(34.5, 1) << left << "P2";
    QTest::newRow("right-axis marker") << QPointF(70, 500) << right << "R";
    QTest::newRow("right axis, far") << QPointF(70, 300) << right << "";
}

void TstPlots::hoverShowsNearestMarkerText()
{
    QFETCH(QPointF, at);
    QFETCH(int, axis);
    QFETCH(QString, text);
    SkPlotActivities plot;
    plot.resize(1000, 500);
    plot.setAxisScale(QwtPlot::xBottom, 0, 100);
    plot.setAxisScale(QwtPlot::yLeft, 0, 100);
    plot.setAxisScale(QwtPlot::yRight, 0, 1000);
    const struct { double x, y; int axis; const char *text; } marks[] = {
        {50, 10, QwtPlot::yLeft, "A"}, {30, 1, QwtPlot::yLeft, "P1"},
        {35, 1, QwtPlot::yLeft, "P2"}, {70, 500, QwtPlot::yRight, "R"}};
    for (const auto &m : marks) {
        auto *marker = new SkActivityAlarmMarker(m.x, m.y, Qt::red, QwtSymbol::Rect);
        marker->setAxes(QwtPlot::xBottom, m.axis);
        marker->setText(QString::fromLatin1(m.text));
        marker->attach(&plot);
    }
    plot.replot();
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    const QPoint pixel = canvasPixel(plot, QwtPlot::xBottom, axis, at.x(), at.y());
    QCOMPARE(plot.picker()->trackerText(pixel).text(), text);
}

void TstPlots::clickMovesCursorOnceSetterIsSilent()
{
    SkPlotActivities plot;
    plot.resize(800, 300);
    plot.setAxisScale(QwtPlot::xBottom, 100, 200);
    plot.replot();
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QSignalSpy spy(&plot, &SkPlotActivities::markerPosChanged);
    plot.setMarkerPos(120);
    QCOMPARE(plot.cursorPos(), 120.0);
    QCOMPARE(spy.count(), 0);
    const QPoint pixel = canvasPixel(plot, QwtPlot::xBottom, QwtPlot::yLeft, 150, 0);
    QTest::mouseClick(plot.canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(pixel.x(), 50));
    QCOMPARE(spy.count(), 1);
    const QPointF pos = spy.at(0).at(0).toPointF();
    QVERIFY(qAbs(pos.x() - 150) < 0.5);
    QCOMPARE(pos.y(), 0.0);
    QCOMPARE(plot.cursorPos(), pos.x());
    QCOMPARE(plot.cursor()->lineStyle(), QwtPlotMarker::VLine);
}

void TstPlots::curveDataTrimsInAmortisedSteps()
{
    SkActivityCurveData data;
    for (int x = 0; x < 10; ++x)
        data.appendSample(QPointF(x, 100 - x));
    data.trimBefore(3);
    QCOMPARE(int(data.size()), 7);
    QCOMPARE(data.sample(0), QPointF(3, 97));
    QCOMPARE(data.storedCount(), 10); // 3 dropped, 7 kept: not compacted yet
    QCOMPARE(data.boundingRect(), QRectF(3, 91, 6, 6));
    data.trimBefore(5);
    QCOMPARE(data.storedCount(), 5);  // 5 dropped >= 5 kept: compacted
    QCOMPARE(data.points().first(), QPointF(5, 95));
    data.appendSample(QPointF(10, 0));
    QCOMPARE(data.boundingRect(), QRectF(5, 0, 5, 95));
    data.trimBefore(2);               // nothing older left
    QCOMPARE(int(data.size()), 6);
    data.trimBefore(100);
    QCOMPARE(int(data.size()), 0);
    QCOMPARE(data.storedCount(), 0);
    data.appendSample(QPointF(200, 1));
    data.clear();
    QCOMPARE(int(data.size()), 0);
}

void TstPlots::longStreamKeepsOnlyHeldFrames()
{
    // A stream of 6000 frames through a store of 1000: the plot keeps what the store holds.
    const int held = 1000;
    const int frames = 6000;
    SkPlotActivities plot;
    int first = 0;
    for (int n = 0; n < frames; ++n) {
        plot.appendResult(n, *m_mixed[n % m_mixed.size()], testLevels());
        first = qMax(0, n - held + 1);
        plot.trimBefore(first);
    }
    int expectedMarkers = 0;
    for (int n = first; n < frames; ++n)
        expectedMarkers += ruAlarmEvents(*m_mixed[n % m_mixed.size()]).size();
    const QList<SkActivityMarker *> markers = plot.eventMarkers();
    QCOMPARE(markers.size(), expectedMarkers);
    for (const SkActivityMarker *m : markers)
        QVERIFY(m->xValue() >= first);
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id) {
        const auto pid = static_cast<SkActivityPlotId>(id);
        for (const SkActivityCurveData *s : plot.series(pid)) {
            QVERIFY(s->size() <= size_t(held));
            QVERIFY2(s->storedCount() <= 2 * held + 1, qPrintable(SkPlotActivities::curveName(id)));
            if (s->size() > 0)
                QVERIFY(s->boundingRect().left() >= first);
        }
    }
    QCOMPARE(int(plot.series(SkActivityAvalanche0).at(0)->size()), held);
    QCOMPARE(plot.curve(SkActivityAvalanche0)->dataRect().left(), double(first));

    // A late result of a frame already let go of is logged but not plotted.
    const int alarmOn = 226; // the mixed recording's first avalanche alarm
    QVERIFY(!plot.appendResult(alarmOn, *m_mixed[alarmOn], testLevels()).isEmpty());
    QCOMPARE(plot.eventMarkers().size(), expectedMarkers);
    QCOMPARE(int(plot.series(SkActivityAvalanche0).at(0)->size()), held);

    // The window's range moves the axis and trims with it.
    plot.setFrameRange(frames - 100, 1000);
    plot.replot();
    QCOMPARE(plot.axisInterval(QwtPlot::xBottom), QwtInterval(frames - 100, frames + 900));
    QCOMPARE(int(plot.series(SkActivityRain).at(0)->size()), 100);
    QCOMPARE(int(plot.curve(SkActivityMode)->dataSize()), 100);

    // A reopened store numbers from 0 again: its results are plotted.
    plot.clearActivities();
    plot.setFrameRange(frames, 1000); // a late report of the old store's window
    plot.setFrameRange(0, 1);
    plot.appendResult(0, *m_mixed[0], testLevels());
    QCOMPARE(int(plot.curve(SkActivityAvalanche0)->dataSize()), 1);
}

void TstPlots::clearingEmptiesCurvesAndMarkers()
{
    SkPlotActivities plot;
    plot.setLiveRangegate(3);
    for (int n = 0; n < 300; ++n)
        plot.appendResult(n, *m_mixed[n], testLevels());
    QVERIFY(!plot.eventMarkers().isEmpty());
    QVERIFY(plot.curve(SkActivityChannel0)->dataSize() > 0);
    plot.clearActivities();
    QVERIFY(plot.eventMarkers().isEmpty());
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id)
        QCOMPARE(plot.curve(static_cast<SkActivityPlotId>(id))->dataSize(), size_t(0));
    QVERIFY(plot.series(SkActivityChannel0).isEmpty());
    QCOMPARE(plot.series(SkActivityRain).size(), 1);
    // Feeding goes on after a restart.
    plot.appendResult(0, *m_mixed[0], testLevels());
    QCOMPARE(plot.curve(SkActivityAvalanche0)->dataSize(), size_t(1));
    QVERIFY(plot.itemList(QwtPlotItem::Rtti_PlotMarker).contains(plot.cursor()));
}

void TstPlots::picturesShowAxesColourBarAndMarkers()
{
    QTemporaryDir tmp;
    const QString dir = pictureDir(tmp);

    // The spectrogram of an avalanche frame as the main window draws it.
    RuSimulatorOptions options;
    options.scenario = RuScenario::Avalanche;
    RuSimulator simulator(options);
    const RuMatrix m = simulator.frame(230).toMatrix();
    QVector<double> values(int(m.size()));
    for (int i = 0; i < values.size(); ++i)
        values[i] = m.data()[i];
    SkPlotSpectrogram spectrogram;
    spectrogram.resize(800, 450);
    spectrogram.setZMax(4000); // the simulated noise floor lies near 800
    spectrogram.setData(values, 1024, 1024, int(m.rows()));
    spectrogram.setAxisScale(QwtPlot::yLeft, 0, m.rows() - 0.2);
    spectrogram.setAxisScale(QwtPlot::xBottom, 0, 1024 - 0.1);
    spectrogram.setMarkerPos(QPointF(100, 12));
    spectrogram.replot();
    spectrogram.show();
    QVERIFY(QTest::qWaitForWindowExposed(&spectrogram));
    const QImage picture = spectrogram.grab().toImage();
    QVERIFY(picture.save(dir + QStringLiteral("/spectrogram.png")));
    const QPoint cross = spectrogram.canvas()->mapTo(
        &spectrogram, canvasPixel(spectrogram, QwtPlot::xBottom, QwtPlot::yLeft, 300, 12));
    QCOMPARE(QColor(picture.pixel(cross)), QColor(Qt::yellow)); // the cross-hair's line

    // One range gate over 1000 frames in fixed colours: the labels grow, the image stays put.
    const int canvasLeft = spectrogram.canvas()->geometry().left();
    QVector<double> rows;
    for (int f = 0; f < 1000; ++f) {
        const RuMatrix fm = simulator.frame(f).toMatrix();
        for (int c = 0; c < 1024; ++c)
            rows << fm(10, c);
    }
    spectrogram.setColorMode(QwtLinearColorMap::FixedColors);
    spectrogram.setAxisTitles(QStringLiteral("Channel"), QStringLiteral("Frame"));
    spectrogram.setData(rows, 1024, 1024, 1000);
    spectrogram.setAxisScale(QwtPlot::yLeft, 0, 1000 - 0.2);
    spectrogram.replot();
    QVERIFY(spectrogram.grab().save(dir + QStringLiteral("/spectrogram-rangegate.png")));
    QCOMPARE(spectrogram.canvas()->geometry().left(), canvasLeft);

    // The activity plot of the mixed recording with the main window's axis ranges.
    SkPlotActivities activities;
    activities.resize(900, 300);
    activities.setLegendShown(true);
    for (int n = 0; n < m_mixed.size(); ++n)
        activities.appendResult(n, *m_mixed[n], testLevels());
    activities.setLiveRangegate(10);
    activities.setAxisScale(QwtPlot::xBottom, 0, m_mixed.size());
    activities.setAxisScale(QwtPlot::yLeft, 0, 4000);
    activities.setAxisScale(QwtPlot::yRight, 0, 1000);
    activities.setMarkerPos(226);
    activities.show();
    QVERIFY(QTest::qWaitForWindowExposed(&activities));
    const QImage act = activities.grab().toImage();
    QVERIFY(act.save(dir + QStringLiteral("/activities.png")));
    const QPoint cursor = activities.canvas()->mapTo(
        &activities, canvasPixel(activities, QwtPlot::xBottom, QwtPlot::yLeft, 226, 3000));
    QCOMPARE(QColor(act.pixel(cursor)), QColor(Qt::yellow));
}

QTEST_MAIN(TstPlots)
#include "tst_plots.moc"
