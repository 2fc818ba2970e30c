// The viewer's plots offscreen: the spectrogram with its colour ramp and levels, tracker,
// cross-hair and channel labels, the activity plot fed with the engine's results on simulated
// recordings (axes that fit what they carry, markers beyond the axes), and the frame slider
// kept in line with the activity plot.

#include "ActivityPlotTestSupport.h"
#include "RuAlarmCalculator.h"
#include "RuAlarmEvents.h"
#include "RuSimulator.h"
#include "SkActivityAlarmMarker.h"
#include "SkActivityCurveData.h"
#include "SkActivityPicker.h"
#include "SkChannelMapping.h"
#include "SkColorLevels.h"
#include "SkColorMap.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkPlotActivities.h"
#include "SkPlotMetaTypes.h"
#include "SkPlotPicker.h"
#include "SkPlotSpectrogram.h"
#include "SkSliderAligner.h"
#include "SkSlidingExtremes.h"


#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>
#include <qwt_slider.h>
#include <qwt_symbol.h>
#include <qwt_text.h>


#include <QBoxLayout>
#include <QDir>
#include <QMouseEvent>
#include <QRandomGenerator>
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

// The radar's own detector settings of a simulated recording, with every live value on.
RuAlarmCalculator radarCalculator(const RuSimulator &simulator)
{
    RuAlarmCalculator calculator;
    calculator.fromProcessParameters(simulator.frame(0).info());
    RuLiveEnables live;
    live.channel0 = live.activity = live.mainVelocity = live.maxVelocity = live.medianVelocity = true;
    calculator.setLiveEnables(live);
    return calculator;
}

RuSimulatorOptions scene(RuScenario scenario, int frames, int rangegates = 20)
{
    RuSimulatorOptions options;
    options.scenario = scenario;
    options.frames = frames;
    options.rangegates = rangegates;
    options.processParams = true;
    return options;
}

// Results of the engine on a simulated recording with the radar's own settings.
QVector<SkAlarmResultSharedPtr> simulatedResults(RuScenario scenario, int frames)
{
    RuSimulator simulator(scene(scenario, frames));
    RuAlarmCalculator calculator = radarCalculator(simulator);
    QVector<SkAlarmResultSharedPtr> results;
    for (int n = 0; n < frames; ++n) {
        const RuFrame frame = simulator.frame(n);
        calculator.processFrame(frame, frame.timeMicros());
        results << calculator.lastResult();
    }
    return results;
}

// The marker heights the window gives for a simulated recording: its radar's thresholds.
SkActivityMarkerLevels radarLevels(RuScenario scenario)
{
    return SkActivityMarkerLevels::fromCalculator(radarCalculator(RuSimulator(scene(scenario, 1))));
}

// Feeds a result as the live session hands it over: the points, then each event.
void feedOne(SkPlotActivities &plot, int n, const SkAlarmResultSharedPtr &result)
{
    plot.appendPoints(n, result);
    for (const RuAlarmEvent &event : ruAlarmEvents(*result))
        plot.addEvent(n, event);
}

void feed(SkPlotActivities &plot, const QVector<SkAlarmResultSharedPtr> &results, int first = 0,
          int end = -1)
{
    for (int n = first; n < (end < 0 ? results.size() : end); ++n)
        feedOne(plot, n, results[n]);
}

// Share of the image's pixels close to `color`.
double shareOf(const QImage &image, const QColor &color)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += qAbs(c.red() - color.red()) + qAbs(c.green() - color.green())
                     + qAbs(c.blue() - color.blue()) < 60;
        }
    return double(n) / (image.width() * image.height());
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

// Keeps a picture of the running test row in $SK_PLOTS_PNG_DIR, when set, to look at.
void keepPicture(const QImage &picture, const QString &name)
{
    const QString dir = qEnvironmentVariable("SK_PLOTS_PNG_DIR");
    const QString row = QString::fromLatin1(QTest::currentDataTag()).replace(
        QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
    if (!dir.isEmpty() && QDir().mkpath(dir))
        picture.save(dir + QLatin1Char('/') + name + (row.isEmpty() ? QString() : QLatin1Char('-') + row)
                     + QStringLiteral(".png"));
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
    void readingsNameTrueChannels_data();
    void readingsNameTrueChannels();
    void colourLevelsAreQuantilesOfTheMatrix_data();
    void colourLevelsAreQuantilesOfTheMatrix();
    void autoColourLevelsShowTheNoiseFloorAndThePeak();

    void curvesCarryNamesUnitsColoursAndAxes_data();
    void curvesCarryNamesUnitsColoursAndAxes();
    void unknownCurveIdThrows();
    void eventMarkersFollowStatus_data();
    void eventMarkersFollowStatus();
    void simulatedRecordingMarksEveryLoggedEvent();
    void liveCurvesShowChosenRangegateOnly();
    void liveRangesStayExactAcrossRangegates();
    void hoverShowsNearestMarkerText_data();
    void hoverShowsNearestMarkerText();
    void clickMovesCursorOnceSetterIsSilent();
    void curveDataTrimsInAmortisedSteps();
    void longStreamKeepsOnlyHeldFrames();
    void clearingEmptiesCurvesAndMarkers();

    void slidingExtremesMatchTheSeries_data();
    void slidingExtremesMatchTheSeries();
    void axesFitEveryShownCurveAndMarker_data();
    void axesFitEveryShownCurveAndMarker();
    void hiddenCurvesLeaveTheFit();
    void userLimitsHoldUntilFittingIsBack_data();
    void userLimitsHoldUntilFittingIsBack();
    void markersBeyondTheAxisStandAtItsEdge_data();
    void markersBeyondTheAxisStandAtItsEdge();
    void sessionEventsMarkTheirFrames();
    void sliderFramesLineUpWithThePlot_data();
    void sliderFramesLineUpWithThePlot();

    void picturesShowAxesColourBarAndMarkers();

private:
    QVector<SkAlarmResultSharedPtr> m_mixed;
    QMap<int, QVector<SkAlarmResultSharedPtr>> m_scenarios; // by RuScenario
};

void TstPlots::initTestCase()
{
    skRegisterPlotMetaTypes();
    m_mixed = simulatedResults(RuScenario::Mixed, 600);
    m_scenarios[int(RuScenario::Mixed)] = m_mixed;
    m_scenarios[int(RuScenario::Avalanche)] = simulatedResults(RuScenario::Avalanche, 600);
    m_scenarios[int(RuScenario::WaterLevel)] = simulatedResults(RuScenario::WaterLevel, 600);
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

void TstPlots::readingsNameTrueChannels_data()
{
    QTest::addColumn<int>("shift");
    QTest::addColumn<QList<int>>("columns");
    QTest::newRow("no shift") << 0 << QList<int>{0, 300, 1023};
    QTest::newRow("to right") << 200 << QList<int>{0, 199, 200, 700, 1023};
    QTest::newRow("to middle") << 512 << QList<int>{0, 226, 511, 512, 1023};
    QTest::newRow("to middle, given as a negative shift") << -512 << QList<int>{226, 511, 512};
}

// The store rotates the frame for display; the plot told the same shift names every column by
// the channel whose value it shows: tracker, position signal and axis labels.
void TstPlots::readingsNameTrueChannels()
{
    QFETCH(int, shift);
    QFETCH(QList<int>, columns);
    RuSimulator simulator(scene(RuScenario::Avalanche, 1));
    const RuFrame frame = simulator.frame(0);
    const RuMatrix matrix = frame.toMatrix();
    SkFrameStore store;
    QVERIFY(store.appendFrame(SkPacket(frame, -1), 0));
    QSignalSpy extracted(&store, &SkFrameStore::valueExtracted);
    store.extractFrame(0, SkPacketTypeEnum::Original, shift);
    QCOMPARE(extracted.count(), 1);
    const QVector<double> values = extracted.at(0).at(0).value<QVector<double>>();
    const int rows = values.size() / 1024;

    SkPlotSpectrogram plot;
    plot.resize(1400, 500);
    plot.setPeakShift(shift);
    plot.setZMax(4000);
    plot.setData(values, 1024, 1024, rows);
    plot.setAxisScale(QwtPlot::yLeft, 0, rows - 0.2);
    plot.setAxisScale(QwtPlot::xBottom, 0, 1024 - 0.1);
    plot.replot();
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QSignalSpy position(&plot, &SkPlotSpectrogram::currentPosChanged);
    const int row = 7;
    for (int column : columns) {
        const QPoint pixel = canvasPixel(plot, QwtPlot::xBottom, QwtPlot::yLeft, column + 0.5, row + 0.5);
        QCOMPARE(int(std::floor(plot.invTransform(QwtPlot::xBottom, pixel.x()))), column);
        const int channel = plot.columnToChannel(column); // 226 to middle: 738
        QCOMPARE(plot.channelToColumn(channel), column);
        QCOMPARE(channel, ((column - shift) % 1024 + 1024) % 1024);
        QCOMPARE(plot.picker()->trackerText(pixel).text(),
                 QStringLiteral("%1, %2 = %3").arg(channel).arg(row).arg(matrix(row, channel), 0, 'f', 1));
        moveMouse(plot.canvas(), pixel);
        QCOMPARE(position.last().at(0).toPoint(), QPoint(channel, row));
        QCOMPARE(position.last().at(1).toDouble(), double(matrix(row, channel)));
    }
    // Every label names the channel of its column, at round channel numbers; channel 0 stands
    // where the shift put it.
    const QList<double> ticks = plot.axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick);
    QVERIFY(ticks.size() >= 4);
    for (double tick : ticks) {
        const int channel = plot.columnToChannel(int(tick));
        QCOMPARE(plot.axisScaleDraw(QwtPlot::xBottom)->label(tick).text(), QString::number(channel));
        QCOMPARE(channel % 100, 0);
    }
    QVERIFY(ticks.contains(double(plot.channelToColumn(0))));
    keepPicture(plot.grab().toImage(), QStringLiteral("spectrogram-shift"));

    // A channel over time: the axis shows frames, which are not mapped.
    plot.setChannelAxis(false);
    plot.setAxisScale(QwtPlot::xBottom, 0, 1000);
    plot.replot();
    QCOMPARE(plot.readingCell(QPoint(226, 3)), QPoint(226, 3));
    QCOMPARE(plot.axisScaleDraw(QwtPlot::xBottom)->label(200).text(), QStringLiteral("200"));
    QCOMPARE(plot.columnToChannel(226), SkChannelMapping(shift).columnToChannel(226));
}

void TstPlots::colourLevelsAreQuantilesOfTheMatrix_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("tolerance"); // relative, for a sampled matrix
    QTest::newRow("original frame of 20 range gates") << 20 << "original" << 0.0;
    QTest::newRow("original frame of 128 range gates, sampled") << 128 << "original" << 0.02;
    QTest::newRow("range gate over 1000 frames, sampled") << 1000 << "original" << 0.02;
    QTest::newRow("normalised frame") << 20 << "normalised" << 0.0;
    QTest::newRow("one value everywhere") << 20 << "constant" << 0.0;
    QTest::newRow("cells that are not numbers") << 20 << "holes" << 0.0;
}

void TstPlots::colourLevelsAreQuantilesOfTheMatrix()
{
    QFETCH(int, rows);
    QFETCH(QString, kind);
    QFETCH(double, tolerance);
    // Frame 205 of the avalanche: the clutter peak at channel 0 and the avalanche in the air.
    RuSimulator simulator(scene(RuScenario::Avalanche, 600, std::min(rows, 128)));
    const RuMatrix m = simulator.frame(205).toMatrix();
    const int size = int(m.size());
    QRandomGenerator random(5);
    QVector<double> values(rows * 1024);
    for (int i = 0; i < values.size(); ++i) {
        if (kind == QLatin1String("constant"))
            values[i] = 5.0;
        else if (kind == QLatin1String("normalised")) // noise near 1, an avalanche of 3 %
            values[i] = i % 1024 < 30 ? 8.0 + i % 7 : 0.5 + random.bounded(1.0);
        else
            values[i] = m.data()[i % size] + i / size;
    }
    if (kind == QLatin1String("holes"))
        for (int i = 0; i < values.size(); i += 7)
            values[i] = i % 2 ? qQNaN() : qInf();
    const QwtInterval levels = SkColorLevels::of(values, 1024);
    if (kind == QLatin1String("constant")) {
        QCOMPARE(levels, QwtInterval(5.0, 6.0));
        return;
    }
    std::vector<double> sorted;
    for (double v : values)
        if (std::isfinite(v))
            sorted.push_back(v);
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double q) { return sorted[std::size_t(std::lround(q * (sorted.size() - 1)))]; };
    const double low = at(0.02);
    const double high = std::min(at(0.995), at(0.5) + 30 * (at(0.5) - low));
    QVERIFY2(qAbs(levels.minValue() - low) <= tolerance * low
                 && qAbs(levels.maxValue() - high) <= tolerance * high,
             qPrintable(QStringLiteral("%1 ... %2, expected %3 ... %4")
                            .arg(levels.minValue()).arg(levels.maxValue()).arg(low).arg(high)));
    if (kind == QLatin1String("normalised"))
        QCOMPARE(levels.maxValue(), at(0.995)); // no clutter: the percentile is the top
    if (kind == QLatin1String("original")) {
        // The clutter peak does not take the scale: the avalanche reaches its upper half.
        QVERIFY(at(1.0) > 100 * levels.maxValue());
        double avalanche = 0;
        for (int r = 0; r < m.rows(); ++r)
            for (int c = 100; c < 900; ++c)
                avalanche = std::max<double>(avalanche, m(r, c));
        QVERIFY(avalanche > levels.minValue() + 0.6 * levels.width());
    }
}

// The simulated Original frames lie at 600 to 1000, above the default colour top of 400:
// fixed levels paint one red block, automatic ones the noise in the calm colours and the
// avalanche in red.
void TstPlots::autoColourLevelsShowTheNoiseFloorAndThePeak()
{
    RuSimulator simulator(scene(RuScenario::Avalanche, 600));
    const RuMatrix m = simulator.frame(205).toMatrix(); // the avalanche in the air
    QVector<double> values(int(m.size()));
    for (int i = 0; i < values.size(); ++i)
        values[i] = m.data()[i];
    SkPlotSpectrogram plot;
    plot.resize(800, 450);
    plot.setZMax(400);
    QSignalSpy chosen(&plot, &SkPlotSpectrogram::colorLevelsChanged);
    const auto show = [&] {
        plot.setData(values, 1024, 1024, int(m.rows()));
        plot.setAxisScale(QwtPlot::yLeft, 0, m.rows() - 0.2);
        plot.setAxisScale(QwtPlot::xBottom, 0, 1024 - 0.1);
        plot.replot();
        return plot.canvas()->grab().toImage();
    };
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    const QImage fixed = show();
    QVERIFY(shareOf(fixed, Qt::red) > 0.9);
    QCOMPARE(chosen.count(), 0);

    plot.setAutoColorLevels(true); // the frame on display gets its levels at once
    QCOMPARE(chosen.count(), 1);
    const QwtInterval levels = SkColorLevels::of(values, 1024);
    QCOMPARE(chosen.at(0).at(0).toDouble(), levels.minValue());
    QCOMPARE(chosen.at(0).at(1).toDouble(), levels.maxValue());
    QVERIFY(levels.minValue() > 500 && levels.maxValue() > 2000);
    const QImage automatic = show();
    QCOMPARE(chosen.count(), 1); // the same matrix again: the same levels, nothing to tell
    QCOMPARE(plot.colorInterval(), levels);
    QCOMPARE(plot.axisWidget(QwtPlot::yRight)->colorBarInterval(), levels);
    QCOMPARE(plot.axisInterval(QwtPlot::yRight), levels);
    const double red = shareOf(automatic, Qt::red);
    QVERIFY2(red > 0.001 && red < 0.05, qPrintable(QString::number(red)));
    QVERIFY(shareOf(automatic, Qt::darkBlue) > 0.5);
    keepPicture(fixed, QStringLiteral("spectrogram-fixed-400"));
    keepPicture(plot.grab().toImage(), QStringLiteral("spectrogram-auto-levels"));

    plot.setAutoColorLevels(false);
    QCOMPARE(plot.colorInterval(), QwtInterval(0, 400));
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
    QTest::addColumn<bool>("hollow");
    const int av = RuAlarmEvent::Avalanche, rain = RuAlarmEvent::Rain, wl = RuAlarmEvent::Waterlevel;
    const int left = QwtPlot::yLeft, right = QwtPlot::yRight;
    const double none = qQNaN();
    const QColor no;
    const auto S = QwtSymbol::NoSymbol;
    QTest::newRow("av disabled") << av << 0 << false << none << no << S << left << false;
    QTest::newRow("av quiet") << av << 2 << true << none << no << S << left << false;
    QTest::newRow("av alarm continues") << av << 9 << true << none << no << S << left << false;
    QTest::newRow("av prealarm") << av << 3 << true << 1.0 << QColor(Qt::green) << QwtSymbol::Rect << left << false;
    QTest::newRow("av prealarm same") << av << 4 << true << 2.0 << QColor(Qt::darkGreen) << QwtSymbol::Ellipse << left << false;
    QTest::newRow("av prealarm coming") << av << 5 << true << 3.0 << QColor(Qt::darkGreen) << QwtSymbol::Star2 << left << false;
    QTest::newRow("av incident") << av << 6 << true << 0.9 << QColor(Qt::green) << QwtSymbol::Diamond << left << false;
    QTest::newRow("av alarm on") << av << 10 << true << 10.0 << QColor(Qt::red) << QwtSymbol::UTriangle << left << false;
    QTest::newRow("av special") << av << 11 << true << 5.0 << QColor(Qt::blue) << QwtSymbol::Hexagon << left << false;
    QTest::newRow("av alarm off") << av << 12 << true << 10.0 << QColor(Qt::red) << QwtSymbol::DTriangle << left << false;
    QTest::newRow("av symmetric") << av << 13 << true << 0.5 << QColor(Qt::red) << QwtSymbol::XCross << left << false;
    QTest::newRow("av unknown 7") << av << 7 << true << 0.5 << QColor(Qt::red) << QwtSymbol::XCross << left << false;
    QTest::newRow("rain disabled") << rain << 0 << false << none << no << S << right << false;
    QTest::newRow("rain quiet") << rain << 2 << true << none << no << S << right << false;
    QTest::newRow("rain on") << rain << 10 << true << 500.0 << QColor(Qt::blue) << QwtSymbol::RTriangle << right << false;
    QTest::newRow("rain off") << rain << 12 << true << 400.0 << QColor(Qt::blue) << QwtSymbol::LTriangle << right << false;
    QTest::newRow("wl disabled") << wl << 0 << false << none << no << S << right << false;
    QTest::newRow("wl incident (no marker)") << wl << 6 << true << none << no << S << right << false;
    QTest::newRow("wl incident on") << wl << 7 << true << 300.0 << QColor(Qt::green) << QwtSymbol::RTriangle << right << true;
    QTest::newRow("wl incident off") << wl << 8 << true << 200.0 << QColor(Qt::green) << QwtSymbol::LTriangle << right << true;
    QTest::newRow("wl alarm on") << wl << 10 << true << 700.0 << QColor(Qt::yellow) << QwtSymbol::UTriangle << right << true;
    QTest::newRow("wl alarm off") << wl << 12 << true << 600.0 << QColor(Qt::yellow) << QwtSymbol::DTriangle << right << true;
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
    QFETCH(bool, hollow);

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
    plot.setMarkerLevels(testLevels());
    feedOne(plot, 42, SkAlarmResultSharedPtr::create(result));
    const QVector<RuAlarmEvent> events = ruAlarmEvents(result);
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
    QCOMPARE(marker->symbol()->brush().style(), hollow ? Qt::NoBrush : Qt::SolidPattern);
    QCOMPARE(marker->rtti(), 1000);
}

void TstPlots::simulatedRecordingMarksEveryLoggedEvent()
{
    SkPlotActivities plot;
    plot.setMarkerLevels(testLevels());
    feed(plot, m_mixed);
    QStringList tags;
    QStringList expected;
    int avalanchePoints = 0;
    for (int n = 0; n < m_mixed.size(); ++n) {
        for (const RuAlarmEvent &e : ruAlarmEvents(*m_mixed[n])) {
            tags << QStringLiteral("%1 %2").arg(n).arg(e.tag);
            expected << QStringLiteral("%1 %2").arg(n).arg(e.marker);
        }
        avalanchePoints += m_mixed[n]->avalanche[0].status != RuStatusDisabled;
    }
    // The mixed recording has rain, an avalanche in all three detectors and a water level.
    QVERIFY(tags.contains(QStringLiteral("79 RAIN0 ALARM ON")));
    QVERIFY(tags.filter(QStringLiteral("AV0-2 ALARM ON")).size() == 1);
    QVERIFY(tags.filter(QStringLiteral("WL0 ALARM ON")).size() == 1);
    QStringList marked;
    for (const SkActivityMarker *m : plot.eventMarkers())
        marked << QStringLiteral("%1 %2").arg(m->xValue()).arg(m->text());
    QCOMPARE(marked, expected);
    QCOMPARE(int(plot.series(SkActivityAvalanche0).at(0)->size()), avalanchePoints);
    QVERIFY(avalanchePoints > 500);
    QCOMPARE(plot.series(SkActivityMaxVelocity).size(), 20);
}

void TstPlots::liveCurvesShowChosenRangegateOnly()
{
    SkPlotActivities plot;
    feed(plot, m_mixed, 0, 300);
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

// Only the chosen range gate's series keeps its value range as points come and go; the range
// of every series must still be the one of its points, before and after each is chosen.
void TstPlots::liveRangesStayExactAcrossRangegates()
{
    const auto walked = [](const SkActivityCurveData *s) {
        SkValueRange range;
        for (const QPointF &p : s->points())
            if (std::isfinite(p.y()))
                range.include({p.y(), p.y(), p.y() > 0 ? p.y() : range.minimumPositive});
        return range;
    };
    const auto verifyAll = [&](const SkPlotActivities &plot) {
        for (int id = SkActivityChannel0; id <= SkActivityMedianVelocity; ++id)
            for (const SkActivityCurveData *s : plot.series(static_cast<SkActivityPlotId>(id))) {
                const SkValueRange expected = walked(s);
                const SkValueRange range = s->valueRange();
                QCOMPARE(range.minimum, expected.minimum);
                QCOMPARE(range.maximum, expected.maximum);
                QCOMPARE(range.minimumPositive, expected.minimumPositive);
            }
    };
    SkPlotActivities plot;
    plot.setLiveRangegate(7);
    feed(plot, m_mixed, 0, 150);
    verifyAll(plot);
    plot.setLiveRangegate(3);
    plot.setFrameRange(100, 1000); // points before frame 100 go
    feed(plot, m_mixed, 150, 300);
    verifyAll(plot);
    plot.setLiveRangegate(7);
    verifyAll(plot);
    QCOMPARE(plot.curve(SkActivityMode)->dataSize(), plot.series(SkActivityMode).at(7)->size());
    plot.clearActivities();
    feed(plot, m_mixed, 0, 50);
    verifyAll(plot);
    QCOMPARE(plot.curve(SkActivityMode)->dataSize(), plot.series(SkActivityMode).at(7)->size());
}

void TstPlots::hoverShowsNearestMarkerText_data()
{
    QTest::addColumn<QString>("near");  // the marker the mouse is measured from
    QTest::addColumn<QPoint>("offset"); // pixels from it
    QTest::addColumn<QString>("text");
    // Markers: alarm on "A" at (50, 10) left; pre-alarms "P1" and "P1b" both at (30, 1), "P2"
    // at (35, 1) left; rain on "R" at (70, 500) right. Distances are pixels, across plus up.
    QTest::newRow("on the marker") << "A" << QPoint(0, 0) << "A";
    QTest::newRow("9 pixels away") << "A" << QPoint(5, -4) << "A";
    QTest::newRow("11 pixels away") << "A" << QPoint(6, 5) << "";
    QTest::newRow("same place: the first attached") << "P1" << QPoint(1, 1) << "P1";
    QTest::newRow("nearer the second") << "P2" << QPoint(-2, 0) << "P2";
    QTest::newRow("right-axis marker") << "R" << QPoint(0, 3) << "R";
    QTest::newRow("right axis, far") << "R" << QPoint(0, 30) << "";
}

void TstPlots::hoverShowsNearestMarkerText()
{
    QFETCH(QString, near);
    QFETCH(QPoint, offset);
    QFETCH(QString, text);
    SkPlotActivities plot;
    plot.resize(1000, 500);
    plot.setAxisScale(QwtPlot::xBottom, 0, 100);
    plot.setAxisLimits(QwtPlot::yLeft, 0, 100);
    plot.setAxisLimits(QwtPlot::yRight, 1, 1000);
    const struct { double x, y; int axis; const char *text; } marks[] = {
        {50, 10, QwtPlot::yLeft, "A"}, {30, 1, QwtPlot::yLeft, "P1"}, {30, 1, QwtPlot::yLeft, "P1b"},
        {35, 1, QwtPlot::yLeft, "P2"}, {70, 500, QwtPlot::yRight, "R"}};
    QPoint at;
    for (const auto &m : marks) {
        auto *marker = new SkActivityAlarmMarker(m.x, m.y, Qt::red, QwtSymbol::Rect);
        marker->setAxes(QwtPlot::xBottom, m.axis);
        marker->setText(QString::fromLatin1(m.text));
        marker->attach(&plot);
        if (near == QLatin1String(m.text))
            at = canvasPixel(plot, QwtPlot::xBottom, m.axis, m.x, m.y);
    }
    plot.replot();
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    for (const SkActivityMarker *m : plot.eventMarkers())
        if (m->text() == near)
            at = placed(plot, m).pos.toPoint();
    QCOMPARE(plot.picker()->trackerText(at + offset).text(), text);
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
        feedOne(plot, n, m_mixed[n % m_mixed.size()]);
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

    // A late result of a frame already let go of is not plotted, its events not marked.
    const int alarmOn = 226; // the mixed recording's first avalanche alarm
    QVERIFY(!ruAlarmEvents(*m_mixed[alarmOn]).isEmpty());
    feedOne(plot, alarmOn, m_mixed[alarmOn]);
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
    feedOne(plot, 0, m_mixed[0]);
    QCOMPARE(int(plot.curve(SkActivityAvalanche0)->dataSize()), 1);
}

void TstPlots::clearingEmptiesCurvesAndMarkers()
{
    SkPlotActivities plot;
    plot.setLiveRangegate(3);
    feed(plot, m_mixed, 0, 300);
    QVERIFY(!plot.eventMarkers().isEmpty());
    QVERIFY(plot.curve(SkActivityChannel0)->dataSize() > 0);
    plot.clearActivities();
    QVERIFY(plot.eventMarkers().isEmpty());
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id)
        QCOMPARE(plot.curve(static_cast<SkActivityPlotId>(id))->dataSize(), size_t(0));
    QVERIFY(plot.series(SkActivityChannel0).isEmpty());
    QCOMPARE(plot.series(SkActivityRain).size(), 1);
    // Feeding goes on after a restart.
    feedOne(plot, 0, m_mixed[0]);
    QCOMPARE(plot.curve(SkActivityAvalanche0)->dataSize(), size_t(1));
    QVERIFY(plot.itemList(QwtPlotItem::Rtti_PlotMarker).contains(plot.cursor()));
}

void TstPlots::slidingExtremesMatchTheSeries_data()
{
    QTest::addColumn<int>("shape"); // 0 rising, 1 falling, 2 random with zeros, negatives, NaN
    QTest::newRow("rising") << 0;
    QTest::newRow("falling") << 1;
    QTest::newRow("random") << 2;
}

// Against the range of the points held, recomputed after every step of a moving window.
void TstPlots::slidingExtremesMatchTheSeries()
{
    QFETCH(int, shape);
    QRandomGenerator random(17);
    SkSlidingExtremes extremes;
    QVector<QPointF> held;
    for (int x = 0; x < 3000; ++x) {
        const double y = shape == 0 ? x : shape == 1 ? -x
                       : x % 97 == 0 ? qQNaN() : x % 89 == 0 ? 0.0 : random.bounded(2000) - 500.0;
        extremes.append(x, y);
        held << QPointF(x, y);
        if (x % 7 == 0) {
            const double first = x - 300 + random.bounded(40);
            extremes.dropBefore(first);
            while (held.first().x() < first)
                held.removeFirst();
        }
        SkValueRange expected;
        for (const QPointF &p : qAsConst(held))
            if (std::isfinite(p.y()))
                expected.include({p.y(), p.y(), p.y() > 0 ? p.y() : qInf()});
        QCOMPARE(extremes.range().minimum, expected.minimum);
        QCOMPARE(extremes.range().maximum, expected.maximum);
        QCOMPARE(extremes.range().minimumPositive, expected.minimumPositive);
    }
    extremes.clear();
    QVERIFY(extremes.range().isEmpty());
}

void TstPlots::axesFitEveryShownCurveAndMarker_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<bool>("logRight");
    QTest::addColumn<int>("rangegate"); // of the live curves
    QTest::newRow("avalanche") << int(RuScenario::Avalanche) << true << 16;
    QTest::newRow("water level") << int(RuScenario::WaterLevel) << true << 2;
    QTest::newRow("mixed") << int(RuScenario::Mixed) << true << 2;
    QTest::newRow("mixed, linear right axis") << int(RuScenario::Mixed) << false << 2;
    QTest::newRow("water level, linear right axis") << int(RuScenario::WaterLevel) << false << 2;
}

// Fed as the frames come, with the radar's thresholds: every curve and marker stands within
// its axis, and the axes change in steps, not with every frame.
void TstPlots::axesFitEveryShownCurveAndMarker()
{
    QFETCH(int, scenario);
    QFETCH(bool, logRight);
    QFETCH(int, rangegate);
    const QVector<SkAlarmResultSharedPtr> &results = m_scenarios.value(scenario);
    SkPlotActivities plot;
    plot.resize(900, 300);
    plot.setLegendShown(true);
    plot.setAxisLogarithmic(QwtPlot::yRight, logRight);
    plot.setMarkerLevels(radarLevels(RuScenario(scenario)));
    plot.setLiveRangegate(rangegate);
    plot.setFrameRange(0, results.size());
    QSignalSpy fitted(&plot, &SkPlotActivities::axisRangeFitted);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    for (int n = 0; n < results.size(); n += 50) {
        feed(plot, results, n, n + 50);
        plot.replot();
        const QString hidden = offScale(plot);
        QVERIFY2(hidden.isEmpty(), qPrintable(QStringLiteral("frame %1: %2").arg(n + 49).arg(hidden)));
    }
    QVERIFY(!plot.eventMarkers().isEmpty());
    QVERIFY2(fitted.count() < 40, qPrintable(QString::number(fitted.count())));
    for (int axis : {int(QwtPlot::yLeft), int(QwtPlot::yRight)}) {
        QList<QVariant> last;
        for (const QList<QVariant> &args : fitted)
            if (args.at(0).toInt() == axis)
                last = args;
        QVERIFY(!last.isEmpty());
        QCOMPARE(plot.axisInterval(axis), QwtInterval(last.at(1).toDouble(), last.at(2).toDouble()));
    }
    // Sums above the old fixed 1000 are not cut; the right axis reaches the water level.
    double avalancheTop = 0.0;
    for (const SkAlarmResultSharedPtr &r : results)
        avalancheTop = std::max<double>(avalancheTop, r->avalanche[0].sumSum);
    QVERIFY(plot.axisInterval(QwtPlot::yLeft).maxValue() >= avalancheTop);
    QVERIFY(plot.axisInterval(QwtPlot::yRight).maxValue() >= results.last()->waterlevel[0].value);
    keepPicture(plot.grab().toImage(), QStringLiteral("activity"));
}

// The legend's check boxes hide curves; a hidden curve leaves its axis' fit and comes back.
void TstPlots::hiddenCurvesLeaveTheFit()
{
    SkPlotActivities plot;
    plot.resize(900, 300);
    plot.setLegendShown(true);
    plot.setLiveRangegate(2);
    feed(plot, m_mixed);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.replot();
    const double waterTop = shownSeries(plot, SkActivityWaterlevel)->valueRange().maximum;
    QVERIFY(plot.axisInterval(QwtPlot::yRight).maxValue() >= waterTop);

    QSignalSpy shown(&plot, &SkPlotActivities::curveShownChanged);
    auto *legendWidget = qobject_cast<QwtLegend *>(plot.legend());
    auto *label = qobject_cast<QwtLegendLabel *>(
        legendWidget->legendWidget(plot.itemToInfo(plot.curve(SkActivityWaterlevel))));
    QVERIFY(label->isChecked());
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(shown.at(0).at(1).toBool(), false);
    QVERIFY(!plot.isCurveShown(SkActivityWaterlevel));
    plot.replot();
    QVERIFY2(plot.axisInterval(QwtPlot::yRight).maxValue() < waterTop,
             qPrintable(QStringLiteral("%1 %2").arg(plot.axisInterval(QwtPlot::yRight).maxValue()).arg(waterTop)));
    QVERIFY2(offScale(plot).isEmpty() || offScale(plot).startsWith(QStringLiteral("marker")),
             qPrintable(offScale(plot)));

    // A new title (a language switch) keeps the entry unchecked.
    plot.curve(SkActivityWaterlevel)->setTitle(QStringLiteral("Pegel (w. E.)"));
    label = qobject_cast<QwtLegendLabel *>(
        legendWidget->legendWidget(plot.itemToInfo(plot.curve(SkActivityWaterlevel))));
    QVERIFY(!label->isChecked());

    plot.setCurveShown(SkActivityWaterlevel, true);
    QVERIFY(label->isChecked());
    plot.replot();
    QVERIFY(plot.axisInterval(QwtPlot::yRight).maxValue() >= waterTop);
    QCOMPARE(shown.count(), 2);
}

void TstPlots::userLimitsHoldUntilFittingIsBack_data()
{
    QTest::addColumn<int>("axis");
    QTest::addColumn<bool>("log");
    QTest::addColumn<QPointF>("limits");   // as typed: lower, upper
    QTest::addColumn<QPointF>("expected"); // the range shown
    const int left = QwtPlot::yLeft, right = QwtPlot::yRight;
    QTest::newRow("left 0 to 500") << left << false << QPointF(0, 500) << QPointF(0, 500);
    QTest::newRow("right, typed the other way round") << right << false << QPointF(2000, 0) << QPointF(0, 2000);
    QTest::newRow("right logarithmic from 0") << right << true << QPointF(0, 2000) << QPointF(0.002, 2000);
    QTest::newRow("right logarithmic") << right << true << QPointF(10, 1e5) << QPointF(10, 1e5);
}

void TstPlots::userLimitsHoldUntilFittingIsBack()
{
    QFETCH(int, axis);
    QFETCH(bool, log);
    QFETCH(QPointF, limits);
    QFETCH(QPointF, expected);
    SkPlotActivities plot;
    plot.setAxisLogarithmic(axis, log);
    plot.setMarkerLevels(radarLevels(RuScenario::Mixed));
    feed(plot, m_mixed, 0, 300);
    QSignalSpy autoFit(&plot, &SkPlotActivities::axisAutoFitChanged);
    QSignalSpy fitted(&plot, &SkPlotActivities::axisRangeFitted);
    plot.setAxisLimits(axis, limits.x(), limits.y());
    QCOMPARE(autoFit.count(), 1);
    QCOMPARE(autoFit.at(0), (QList<QVariant>{axis, false}));
    QVERIFY(!plot.isAxisAutoFit(axis));
    feed(plot, m_mixed, 300, 600);
    plot.replot();
    const QwtInterval shown = plot.axisInterval(axis);
    QVERIFY2(qAbs(shown.minValue() - expected.x()) <= 1e-9 * qMax(1.0, expected.x())
                 && qAbs(shown.maxValue() - expected.y()) <= 1e-9 * expected.y(),
             qPrintable(QStringLiteral("%1 ... %2").arg(shown.minValue()).arg(shown.maxValue())));
    for (const QList<QVariant> &args : fitted)
        QVERIFY(args.at(0).toInt() != axis);

    plot.setAxisAutoFit(axis, true);
    QCOMPARE(autoFit.last(), (QList<QVariant>{axis, true}));
    QVERIFY(!fitted.isEmpty() && fitted.last().at(0).toInt() == axis);
    plot.replot();
    QCOMPARE(plot.axisInterval(axis), QwtInterval(fitted.last().at(1).toDouble(), fitted.last().at(2).toDouble()));
    QVERIFY2(offScale(plot).isEmpty(), qPrintable(offScale(plot)));
}

void TstPlots::markersBeyondTheAxisStandAtItsEdge_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("axis");
    QTest::addColumn<bool>("log");
    QTest::addColumn<QPointF>("limits");
    QTest::addColumn<int>("side");
    QTest::addColumn<QString>("where"); // the hover text's second line
    const int left = QwtPlot::yLeft, right = QwtPlot::yRight;
    QTest::newRow("water-level alarm above a low right axis")
        << int(RuAlarmEvent::Waterlevel) << right << false << QPointF(0, 1000)
        << int(SkActivityMarker::Above) << "(above the axis: 348553)";
    QTest::newRow("avalanche alarm below a raised left axis")
        << int(RuAlarmEvent::Avalanche) << left << false << QPointF(100, 4000)
        << int(SkActivityMarker::Below) << "(below the axis: 10)";
    QTest::newRow("rain alarm at 0 on a logarithmic axis")
        << int(RuAlarmEvent::Rain) << right << true << QPointF(1, 1e6)
        << int(SkActivityMarker::Below) << "(below the axis: 0)";
    QTest::newRow("water-level alarm within the axis")
        << int(RuAlarmEvent::Waterlevel) << right << true << QPointF(1, 1e6)
        << int(SkActivityMarker::OnScale) << "";
}

void TstPlots::markersBeyondTheAxisStandAtItsEdge()
{
    QFETCH(int, source);
    QFETCH(int, axis);
    QFETCH(bool, log);
    QFETCH(QPointF, limits);
    QFETCH(int, side);
    QFETCH(QString, where);
    SkActivityMarkerLevels levels = radarLevels(RuScenario::Mixed);
    levels.rainAlarmOn = 0.0;
    RuAlarmEvent event;
    event.source = RuAlarmEvent::Source(source);
    event.status = RuStatusAlarmOn;
    event.marker = QStringLiteral("the event");
    SkPlotActivities plot;
    plot.resize(900, 300);
    plot.setMarkerLevels(levels);
    plot.setAxisLogarithmic(axis, log);
    plot.setFrameRange(0, 100);
    plot.addEvent(50, event);
    plot.setAxisLimits(axis, limits.x(), limits.y());
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.replot();
    const SkActivityMarker *marker = plot.eventMarkers().value(0);
    QVERIFY(marker);
    const SkActivityMarker::Placement p = placed(plot, marker);
    QCOMPARE(int(p.side), side);
    const QRect canvas = plot.canvas()->contentsRect();
    QVERIFY(canvas.contains(p.pos.toPoint()));
    const QString text = plot.picker()->trackerText(p.pos.toPoint()).text();
    QCOMPARE(text, where.isEmpty() ? QStringLiteral("the event") : QStringLiteral("the event\n") + where);
    // What the user sees: beyond the axis an arrow from the symbol reaches the canvas edge.
    const QImage picture = plot.canvas()->grab().toImage();
    if (side != SkActivityMarker::OnScale) {
        const int edge = side == SkActivityMarker::Above ? canvas.top() + 3 : canvas.bottom() - 3;
        const QColor arrow = picture.pixelColor(qRound(p.pos.x()), edge);
        QVERIFY2(arrow.lightness() < 150, qPrintable(arrow.name()));
    }
    keepPicture(picture, QStringLiteral("marker"));
}

// The plot fed by a real live session: points from each result, markers from the events the
// session derived, the same as deriving them from the results again.
void TstPlots::sessionEventsMarkTheirFrames()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mixed.rrd0"));
    RuSimulator simulator(scene(RuScenario::Mixed, 400));
    QVERIFY(simulator.writeRecording(path));
    SkLiveSession session;
    session.setCalculator(radarCalculator(simulator));
    SkPlotActivities plot;
    plot.setMarkerLevels(SkActivityMarkerLevels::fromCalculator(session.calculator()));
    connect(&session, &SkLiveSession::alarmCalculated, &plot, &SkPlotActivities::appendPoints);
    connect(&session, &SkLiveSession::alarmCalculated, &plot,
            [&plot](int n, const SkAlarmResultSharedPtr &, const QVector<RuAlarmEvent> &events) {
                for (const RuAlarmEvent &event : events)
                    plot.addEvent(n, event);
            });
    QVector<SkAlarmResultSharedPtr> results;
    connect(&session, &SkLiveSession::alarmCalculated, &plot,
            [&](int n, const SkAlarmResultSharedPtr &r) { results.resize(n + 1); results[n] = r; });
    QSignalSpy complete(&session, &SkLiveSession::analysisComplete);
    session.open({path}, 1000, 500);
    QVERIFY(complete.wait(60000));
    QCOMPARE(results.size(), 400);

    SkPlotActivities derived;
    derived.setMarkerLevels(plot.markerLevels());
    feed(derived, results);
    const auto describe = [](const SkPlotActivities &p) {
        QStringList markers;
        for (const SkActivityMarker *m : p.eventMarkers())
            markers << QStringLiteral("%1 %2 %3").arg(m->xValue()).arg(m->yValue()).arg(m->text());
        return markers;
    };
    QVERIFY(describe(plot).size() > 10);
    QCOMPARE(describe(plot), describe(derived));
    QCOMPARE(plot.curve(SkActivityWaterlevel)->dataSize(), size_t(400));

    // Nothing of a frame the store has let go of, nor of an empty result.
    plot.setFrameRange(300, 100);
    const int markers = plot.eventMarkers().size();
    plot.addEvent(250, ruAlarmEvents(*results[226]).value(0));
    plot.appendPoints(250, results[250]);
    plot.appendPoints(399, SkAlarmResultSharedPtr());
    QCOMPARE(plot.eventMarkers().size(), markers);
    QCOMPARE(plot.curve(SkActivityWaterlevel)->dataSize(), size_t(100));
}

void TstPlots::sliderFramesLineUpWithThePlot_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("longTitles");
    QTest::newRow("900 px, short legend") << 900 << false;
    QTest::newRow("900 px, long legend") << 900 << true;
    QTest::newRow("1500 px, short legend") << 1500 << false;
    QTest::newRow("1500 px, long legend") << 1500 << true;
}

// The window's arrangement: limit controls beside the activity plot, the frame slider below
// across the whole width. The same frame stands at the same x on both, with and without the
// legend, whatever its texts, after resizing and when the range moves on.
void TstPlots::sliderFramesLineUpWithThePlot()
{
    QFETCH(int, width);
    QFETCH(bool, longTitles);
    QWidget window;
    auto *column = new QVBoxLayout(&window);
    auto *row = new QHBoxLayout();
    auto *leftControls = new QWidget();
    leftControls->setFixedWidth(70);
    auto *rightControls = new QWidget();
    rightControls->setFixedWidth(90);
    auto *plot = new SkPlotActivities();
    row->addWidget(leftControls);
    row->addWidget(plot);
    row->addWidget(rightControls);
    column->addLayout(row);
    auto *slider = new QwtSlider(Qt::Horizontal);
    slider->setScalePosition(QwtSlider::LeadingScale);
    column->addWidget(slider);
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id)
        if (longTitles)
            plot->curve(SkActivityPlotId(id))->setTitle(QStringLiteral("Mediangeschwindigkeit des Range-Gates %1 (m/s)").arg(id));
    feed(*plot, m_mixed, 0, 600);
    const auto setRange = [&](int start, int length) {
        plot->setFrameRange(start, length);
        slider->setScale(start, start + length);
        plot->replot();
    };
    setRange(2000, 1000);
    new SkSliderAligner(plot, slider);
    window.resize(width, 420);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const auto offsets = [&] {
        QList<double> off;
        const QwtScaleMap map = plot->canvasMap(QwtPlot::xBottom);
        const int canvasX = plot->canvas()->mapToGlobal(QPoint(0, 0)).x();
        const int sliderX = slider->mapToGlobal(QPoint(0, 0)).x();
        const double first = slider->lowerBound();
        const double span = slider->upperBound() - first;
        for (double share : {0.0, 0.1, 0.37, 0.64, 0.9, 1.0}) {
            const double frame = std::round(first + share * span);
            off << (canvasX + map.transform(frame)) - (sliderX + slider->transform(frame));
        }
        return off;
    };
    const auto lined = [&] {
        for (double d : offsets())
            if (qAbs(d) > 1.0)
                return false;
        return true;
    };
    const auto check = [&](const char *when) {
        if (!QTest::qWaitFor(lined, 30000))
            QFAIL(qPrintable(QStringLiteral("%1: frames apart by %2 px").arg(QLatin1String(when))
                                 .arg(QString::number(offsets().value(3)))));
    };
    check("without legend");
    plot->setLegendShown(true);
    plot->replot();
    check("with legend");
    keepPicture(window.grab().toImage(), QStringLiteral("slider"));
    setRange(2640, 1000);
    check("after the range moved on");
    window.resize(width + 237, 420);
    check("after a resize");
    plot->setLegendShown(false);
    plot->replot();
    check("legend removed");
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

    // The activity plot of the mixed recording, its axes fitted.
    SkPlotActivities activities;
    activities.resize(900, 300);
    activities.setLegendShown(true);
    activities.setMarkerLevels(testLevels());
    feed(activities, m_mixed);
    activities.setLiveRangegate(10);
    activities.setFrameRange(0, m_mixed.size());
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
