// The activity plot in the real window, on simulated recordings with the radar's settings:
// every curve and marker within the axes without a limit typed, the controls beside the plot
// (limits by hand, "Fit", "Log", hidden curves, all kept for the next start), and the frame
// slider below it in line with the plot's frames whatever the legend and the language.

#include "ActivityPlotTestSupport.h"
#include "MainWindowTestSupport.h"

#include "RuAlarmCalculator.h"
#include "SkActivityMarkerLevels.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"

#include <qwt_scale_map.h>
#include <qwt_slider.h>

#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>

#include <cmath>
#include <memory>

using namespace mwtest;

namespace {

SkPlotActivities *activityPlot(const SkMainWindow &window)
{
    return child<SkPlotActivities>(&window, "plotActivity");
}

// A window on `path` as a user sees it, once every frame has been analysed.
std::unique_ptr<SkMainWindow> analysedWindow(const QStringList &args)
{
    auto window = std::make_unique<SkMainWindow>(args);
    QSignalSpy complete(window->session(), &SkLiveSession::analysisComplete);
    window->resize(1200, 900);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    // The analysis may have completed while the window was being exposed.
    if (complete.isEmpty() && !complete.wait(Long))
        return nullptr;
    window->flushPlotUpdate();
    return window;
}

// The axis range the boxes beside the plot show for `axis`.
QwtInterval shownRange(const SkMainWindow &window, int axis)
{
    if (axis == QwtPlot::yLeft)
        return QwtInterval(0.0, child<QDoubleSpinBox>(&window, "plotThresholdDoubleSpinBoxPALeft")->value());
    return QwtInterval(child<QDoubleSpinBox>(&window, "doubleSpinBoxPARightStart")->value(),
                       child<QDoubleSpinBox>(&window, "plotThresholdDoubleSpinBoxPARight")->value());
}

// The boxes show the axis' range to their decimals.
bool boxesShowTheAxis(const SkMainWindow &window, int axis)
{
    const QwtInterval shown = shownRange(window, axis);
    const QwtInterval range = activityPlot(window)->axisInterval(axis);
    return std::abs(shown.minValue() - range.minValue()) <= 0.005
           && std::abs(shown.maxValue() - range.maxValue()) <= 0.005;
}

// Global x of frame `frame` on the plot's frame axis and on the slider below it.
QPair<double, double> framePositions(const SkMainWindow &window, double frame)
{
    const SkPlotActivities *plot = activityPlot(window);
    const auto *slider = child<QwtSlider>(&window, "progressSlider");
    const double onPlot = plot->canvas()->mapToGlobal(QPoint(0, 0)).x()
                          + plot->canvasMap(QwtPlot::xBottom).transform(frame);
    const double onSlider =
        slider->mapToGlobal(QPoint(0, 0)).x() + slider->scaleMap().transform(frame);
    return {onPlot, onSlider};
}

} // namespace

class TestMainWindowActivity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void everyCurveAndMarkerIsOnScale_data();
    void everyCurveAndMarkerIsOnScale();
    void axisControlsHoldAndAreRemembered();
    void sliderFramesLineUpWithThePlot_data();
    void sliderFramesLineUpWithThePlot();

private:
    QTemporaryDir m_dir;
};

void TestMainWindowActivity::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
}

// Each test starts from an empty program store, as a first start does.
void TestMainWindowActivity::init()
{
    QSettings().clear();
}

void TestMainWindowActivity::everyCurveAndMarkerIsOnScale_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<int>("rangegate");
    QTest::addColumn<QString>("marker");
    QTest::newRow("avalanche") << int(RuScenario::Avalanche) << 17 << "Avalanche0-0 Alarm:";
    QTest::newRow("water level") << int(RuScenario::WaterLevel) << 2 << "Waterlevel0 Alarm On";
    QTest::newRow("mixed") << int(RuScenario::Mixed) << 10 << "Rain0 Alarm On";
}

// Water level near 1.4e5, Channel0 near 6.5e4, rain near 1 and avalanche sums in the
// thousands: all within their axes, with the markers at their values, and the boxes beside the
// plot say which ranges the axes took.
void TestMainWindowActivity::everyCurveAndMarkerIsOnScale()
{
    QFETCH(int, scenario);
    QFETCH(int, rangegate);
    QFETCH(QString, marker);
    const QString path = writeRecording(m_dir, QStringLiteral("scale%1.rrd0.gz").arg(scenario),
                                        scene(RuScenario(scenario), 600));
    const auto window = analysedWindow({"--process-params", path});
    QVERIFY(window);
    child<QSpinBox>(window.get(), "extractRowSpinBox")->setValue(rangegate);
    window->flushPlotUpdate();

    const SkPlotActivities *plot = activityPlot(*window);
    const QString hidden = offScale(*plot);
    QVERIFY2(hidden.isEmpty(), qPrintable(hidden));
    QStringList marked;
    for (const SkActivityMarker *m : plot->eventMarkers())
        marked << m->text();
    QVERIFY2(!marked.filter(marker).isEmpty(), qPrintable(marker));
    QVERIFY(shownSeries(*plot, SkActivityChannel0)->valueRange().maximum > 2000);
    for (int axis : {QwtPlot::yLeft, QwtPlot::yRight}) {
        QVERIFY2(boxesShowTheAxis(*window, axis), qPrintable(QString::number(axis)));
        QVERIFY(child<QToolButton>(window.get(), axis == QwtPlot::yLeft ? "toolButtonPALeftFit"
                                                                        : "toolButtonPARightFit")
                    ->isChecked());
    }
    // The markers stand at the thresholds the radar's settings give.
    RuAlarmCalculator radar;
    radar.fromProcessParameters(window->store()->frameAt(window->store()->startFrame()).frame().info());
    QCOMPARE(plot->markerLevels().waterlevelAlarmOn,
             SkActivityMarkerLevels::fromCalculator(radar).waterlevelAlarmOn);
}

// A limit slid or typed holds (fitting off), "Log" switches the right axis, a curve hidden from
// the legend stays hidden; all of it comes back at the next start, and "Fit" returns to the
// fitted ranges.
void TestMainWindowActivity::axisControlsHoldAndAreRemembered()
{
    const QString path = writeRecording(m_dir, QStringLiteral("controls.rrd0.gz"),
                                        scene(RuScenario::WaterLevel, 400));
    QwtInterval fittedLeft;
    {
        const auto window = analysedWindow({"--process-params", path});
        QVERIFY(window);
        SkPlotActivities *plot = activityPlot(*window);
        fittedLeft = plot->axisInterval(QwtPlot::yLeft);
        child<QDoubleSpinBox>(window.get(), "plotThresholdDoubleSpinBoxPALeft")->setValue(500);
        QCOMPARE(plot->axisInterval(QwtPlot::yLeft), QwtInterval(0, 500));
        QVERIFY(!child<QToolButton>(window.get(), "toolButtonPALeftFit")->isChecked());
        QCOMPARE(child<QwtSlider>(window.get(), "plotThresholdSliderPALeft")->value(), 500.0);

        child<QToolButton>(window.get(), "toolButtonPARightLog")->click();
        QVERIFY(!plot->isAxisLogarithmic(QwtPlot::yRight));
        QVERIFY(child<QToolButton>(window.get(), "toolButtonPARightFit")->isChecked());
        QVERIFY(boxesShowTheAxis(*window, QwtPlot::yRight));
        QVERIFY2(offScale(*plot).isEmpty(), qPrintable(offScale(*plot)));
        child<QwtSlider>(window.get(), "plotThresholdSliderPARight")->setValue(300000);
        child<QDoubleSpinBox>(window.get(), "doubleSpinBoxPARightStart")->setValue(-1000);
        QCOMPARE(plot->axisInterval(QwtPlot::yRight), QwtInterval(-1000, 300000));
        QVERIFY(!child<QToolButton>(window.get(), "toolButtonPARightFit")->isChecked());
        plot->setCurveShown(SkActivityRain, false); // as its legend entry's check box does
        window->close();
    }

    const auto window = analysedWindow({"--process-params", path});
    QVERIFY(window);
    SkPlotActivities *plot = activityPlot(*window);
    QCOMPARE(plot->axisInterval(QwtPlot::yLeft), QwtInterval(0, 500));
    QCOMPARE(plot->axisInterval(QwtPlot::yRight), QwtInterval(-1000, 300000));
    QVERIFY(!plot->isAxisLogarithmic(QwtPlot::yRight));
    QVERIFY(!child<QToolButton>(window.get(), "toolButtonPARightLog")->isChecked());
    QVERIFY(!plot->isCurveShown(SkActivityRain));
    QVERIFY(boxesShowTheAxis(*window, QwtPlot::yLeft));
    QVERIFY(boxesShowTheAxis(*window, QwtPlot::yRight));

    child<QToolButton>(window.get(), "toolButtonPALeftFit")->click();
    child<QToolButton>(window.get(), "toolButtonPARightFit")->click();
    QCOMPARE(plot->axisInterval(QwtPlot::yLeft), fittedLeft);
    QVERIFY(boxesShowTheAxis(*window, QwtPlot::yLeft));
    QVERIFY(boxesShowTheAxis(*window, QwtPlot::yRight));
    QVERIFY2(offScale(*plot).isEmpty(), qPrintable(offScale(*plot)));
}

void TestMainWindowActivity::sliderFramesLineUpWithThePlot_data()
{
    QTest::addColumn<bool>("legend");
    QTest::addColumn<QString>("language");
    QTest::newRow("legend, English") << true << "English";
    QTest::newRow("no legend, English") << false << "English";
    QTest::newRow("legend, German") << true << "Deutsch";
    QTest::newRow("no legend, German") << false << "Deutsch";
}

// The same frame at the same x on the plot and on the slider below it, at both ends and in
// between, as the legend and the language change the widths around the plot.
void TestMainWindowActivity::sliderFramesLineUpWithThePlot()
{
    QFETCH(bool, legend);
    QFETCH(QString, language);
    const QString path = writeRecording(m_dir, QStringLiteral("long.rrd0.gz"),
                                        scene(RuScenario::Quiet, 3000, 3));
    // The frames need not be analysed: the slider and the frame axis both span --n.
    const auto window = std::make_unique<SkMainWindow>(QStringList{"--n", "3000", path});
    window->resize(1200, 900);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(window->store()->endFrame() > 2640, Long);
    action(window.get(), "showLegendAction")->setChecked(legend);
    window->onLanguageChanged(language);
    window->showFrame(2640);
    QVERIFY(waitSettled(*window));
    for (double frame : {0.0, 1000.0, 2640.0, 3000.0}) {
        QTRY_VERIFY2_WITH_TIMEOUT(std::abs(framePositions(*window, frame).first
                                           - framePositions(*window, frame).second) <= 1.0,
                                  qPrintable(QStringLiteral("frame %1: plot x %2, slider x %3")
                                                 .arg(frame)
                                                 .arg(framePositions(*window, frame).first)
                                                 .arg(framePositions(*window, frame).second)),
                                  Long);
    }
    window->onLanguageChanged(QStringLiteral("English"));
}

QTEST_MAIN(TestMainWindowActivity)
#include "tst_mainwindow_activity.moc"
