// The viewer's display as an operator reads it, on simulated recordings and streams from
// `rrdcli serve`: the cursor, the profiles and the readout in every view, channel numbers
// under a peak shift, frames without a time, the frame line across a language switch, the
// colour levels, the alarm log as a way to the frames, and a stream that is followed and
// paused.

#include "MainWindowTestSupport.h"

#include "RuAlarmCalculator.h"
#include "RuParameterSet.h"
#include "SkAlarmLogModel.h"
#include "SkAlarmLogView.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkParameterWidgets.h"
#include "SkPlotPicker.h"
#include "SkPlotSpectrogram.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_raster_data.h>
#include <qwt_scale_draw.h>
#include <qwt_slider.h>

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QWheelEvent>

#include <cmath>

using namespace mwtest;

namespace {

RuMatrix frameMatrix(const RuSimulatorOptions &options, int frame)
{
    return RuSimulator(options).frame(frame).toMatrix();
}

QwtPlotCurve *curveOf(const SkMainWindow &window, const char *plot)
{
    const QwtPlotItemList items =
        child<QwtPlot>(&window, plot)->itemList(QwtPlotItem::Rtti_PlotCurve);
    return items.isEmpty() ? nullptr : static_cast<QwtPlotCurve *>(items.first());
}

QString reading(int x, int y, double z)
{
    return QStringLiteral("x:%1 y:%2 z:%3").arg(x, 4).arg(y, 4).arg(z, 8, 'f', 1);
}

QPoint canvasPixel(const QwtPlot *plot, double x, double y)
{
    return QPoint(qRound(plot->transform(QwtPlot::xBottom, x)),
                  qRound(plot->transform(QwtPlot::yLeft, y)));
}

void moveMouse(QWidget *canvas, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, canvas->mapToGlobal(pos), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
}

QString cell(const SkAlarmLogModel *log, int row, int column)
{
    return log->index(row, column).data().toString();
}

// The first log row whose event starts with `tag`, -1 when none.
int rowOf(const SkAlarmLogModel *log, const QString &tag)
{
    for (int r = 0; r < log->rowCount(); ++r)
        if (cell(log, r, SkAlarmLogModel::EventColumn).startsWith(tag))
            return r;
    return -1;
}

// The detector settings the simulated radar sends, in the window's parameter dock.
void useRadarSettings(SkMainWindow &window)
{
    RuSimulatorOptions options = scene(RuScenario::Avalanche, 1);
    RuAlarmCalculator calculator;
    calculator.fromProcessParameters(RuSimulator(options).frameInfo(0));
    SkParameterWidgets(&window).setParameterSet(RuParameterSet::fromCalculator(calculator));
}

} // namespace

class TestMainWindowDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cursorAndProfilesStandOnThePosition_data();
    void cursorAndProfilesStandOnThePosition();
    void readoutNamesTrueChannelsOfEachFrameDrawn_data();
    void readoutNamesTrueChannelsOfEachFrameDrawn();
    void framesWithoutTimeSaySo_data();
    void framesWithoutTimeSaySo();
    void languageSwitchKeepsTheFrameLine();
    void logRowsLeadToTheirFrames_data();
    void logRowsLeadToTheirFrames();
    void avalancheStandsOutInAutomaticLevels();
    void streamIsFollowedAndPausingFreezesOnlyTheDisplay();

private:
    QTemporaryDir m_dir;
    QString m_small;     // 60 frames, avalanche, with the radar's settings
    QString m_avalanche; // 300 frames, avalanche, with the radar's settings
};

void TestMainWindowDisplay::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
    m_small = writeRecording(m_dir, QStringLiteral("small.rrd0.gz"), scene(RuScenario::Avalanche, 60));
    m_avalanche = writeRecording(m_dir, QStringLiteral("avalanche.rrd0.gz"),
                                 scene(RuScenario::Avalanche, 300));
}

void TestMainWindowDisplay::cursorAndProfilesStandOnThePosition_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("shift");
    // Where the value of the position lies in the profiles: the left one's point and the
    // bottom one's (-1: the channel's column).
    QTest::addColumn<int>("leftPoint");
    QTest::addColumn<int>("bottomPoint");
    QTest::newRow("frame") << 0 << 0 << 3 << -1;
    QTest::newRow("rangegates") << 1 << 0 << 21 << -1;
    QTest::newRow("velocities") << 2 << 0 << 3 << 21;
    QTest::newRow("frame, to middle") << 0 << 512 << 3 << -1;
    QTest::newRow("rangegates, to right") << 1 << 200 << 21 << -1;
    QTest::newRow("velocities, to middle") << 2 << 512 << 3 << 21;
}

// Frame 21, range gate 3, channel 265: every view puts its cross-hair on that cell, and both
// profiles run through it.
void TestMainWindowDisplay::cursorAndProfilesStandOnThePosition()
{
    QFETCH(int, view);
    QFETCH(int, shift);
    QFETCH(int, leftPoint);
    QFETCH(int, bottomPoint);
    const int frame = 21, rangegate = 3, channel = 265;
    SkMainWindow window({m_small});
    QVERIFY(analysed(window));
    window.showFrame(frame);
    window.setMarkerRangegate(rangegate);
    window.setMarkerChannel(channel);
    window.setPeakShift(shift);
    window.setShowHow(view);
    QVERIFY(drawnAt(window, frame));

    if (bottomPoint < 0)
        bottomPoint = (channel + shift) % 1024;
    const double value = frameMatrix(scene(RuScenario::Avalanche, 60), frame)(rangegate, channel);
    QCOMPARE(child<SkPlotSpectrogram>(&window, "plotCenter")->markerPos(),
             QPointF(bottomPoint + 0.5, leftPoint + 0.5));
    QCOMPARE(curveOf(window, "plotLeft")->sample(leftPoint), QPointF(value, leftPoint));
    QCOMPARE(curveOf(window, "plotBottom")->sample(bottomPoint), QPointF(bottomPoint, value));
}

void TestMainWindowDisplay::readoutNamesTrueChannelsOfEachFrameDrawn_data()
{
    QTest::addColumn<int>("shift");
    QTest::newRow("no shift") << 0;
    QTest::newRow("to middle") << 512;
}

// The mouse rests on a cell while the frames are stepped: the readout follows each frame
// drawn, and it, the axes and a click name the channel the cell shows.
void TestMainWindowDisplay::readoutNamesTrueChannelsOfEachFrameDrawn()
{
    QFETCH(int, shift);
    SkMainWindow window({m_small});
    window.resize(1600, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(analysed(window));
    window.setPeakShift(shift);
    window.showFrame(10);
    QVERIFY(drawnAt(window, 10));

    auto *plot = child<SkPlotSpectrogram>(&window, "plotCenter");
    const QPoint pixel = canvasPixel(plot, 226.5, 7.5);
    moveMouse(plot->canvas(), pixel);
    const QPoint shown = plot->picker()->trackedCell();
    const int channel = (shown.x() - shift + 1024) % 1024;
    auto *readout = child<QLabel>(&window, "cursorLabel");
    const RuSimulatorOptions options = scene(RuScenario::Avalanche, 60);
    QCOMPARE(readout->text(), reading(channel, shown.y(), frameMatrix(options, 10)(shown.y(), channel)));
    action(&window, "nextFrameAction")->trigger();
    QVERIFY(drawnAt(window, 11));
    QCOMPARE(readout->text(), reading(channel, shown.y(), frameMatrix(options, 11)(shown.y(), channel)));

    const QString label = QString::number(channel);
    QCOMPARE(plot->axisScaleDraw(QwtPlot::xBottom)->label(shown.x()).text(), label);
    QCOMPARE(child<QwtPlot>(&window, "plotBottom")->axisScaleDraw(QwtPlot::xBottom)->label(shown.x()).text(),
             label);
    QTest::mouseClick(plot->canvas(), Qt::LeftButton, Qt::NoModifier, pixel);
    QCOMPARE(child<QSpinBox>(&window, "extractColumnSpinBox")->value(), channel);
    QCOMPARE(child<QSpinBox>(&window, "extractRowSpinBox")->value(), shown.y());
}

void TestMainWindowDisplay::framesWithoutTimeSaySo_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("stamped");
    QTest::newRow("raw") << int(RRD_FORMAT_RAW) << false;
    QTest::newRow("stamped") << int(RRD_FORMAT_STAMPED) << true;
}

// RAW frames carry no time: the frame line and the log say so instead of showing 1970.
void TestMainWindowDisplay::framesWithoutTimeSaySo()
{
    QFETCH(int, format);
    QFETCH(bool, stamped);
    RuSimulatorOptions options = scene(RuScenario::Avalanche, 300);
    options.format = format;
    options.processParams = false;
    const QString path = writeRecording(m_dir, QStringLiteral("format%1.rrd").arg(format), options);
    SkMainWindow window({path});
    QVERIFY(analysed(window));
    useRadarSettings(window);
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    child<QPushButton>(&window, "recalcPushButton")->click();
    QVERIFY(complete.wait(Long));

    const SkAlarmLogModel *log = window.alarmLog();
    QVERIFY(log->rowCount() > 0);
    const RuSimulator simulator(options);
    auto utc = [&](int frame) {
        return QDateTime::fromMSecsSinceEpoch(simulator.frameTimeMicros(frame) / 1000, Qt::UTC)
            .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    };
    for (int r = 0; r < log->rowCount(); ++r) {
        const int frame = cell(log, r, SkAlarmLogModel::FrameColumn).toInt();
        QCOMPARE(cell(log, r, SkAlarmLogModel::TimeColumn), stamped ? utc(frame) : QStringLiteral("no time"));
    }
    window.showFrame(2);
    QVERIFY(drawnAt(window, 2));
    const QString line = stamped ? QStringLiteral("Fr: 0002 (%1 UTC, dt: 1.00 s) Source: %2").arg(utc(2), path)
                                 : QStringLiteral("Fr: 0002 (no time) Source: %1").arg(path);
    QCOMPARE(child<QLabel>(&window, "infoLabel")->text(), line);
}

// The form's texts come back in the new language; the frame line keeps showing the frame.
void TestMainWindowDisplay::languageSwitchKeepsTheFrameLine()
{
    SkMainWindow window({m_small});
    QVERIFY(analysed(window));
    window.showFrame(2);
    QVERIFY(drawnAt(window, 2));
    auto *info = child<QLabel>(&window, "infoLabel");
    const QString english = info->text();
    QVERIFY(english.contains(QStringLiteral(") Source: ")));

    window.onLanguageChanged(QStringLiteral("Deutsch"));
    QTRY_VERIFY_WITH_TIMEOUT(child<QMenu>(&window, "menuFile")->title() != QStringLiteral("&File"), Long);
    QCOMPARE(info->text(), QString(english).replace(QStringLiteral(") Source: "), QStringLiteral(") Quelle: ")));
    QCOMPARE(window.alarmLog()->headerData(SkAlarmLogModel::TimeColumn, Qt::Horizontal).toString(),
             QCoreApplication::translate("SkAlarmLogModel", "Time (UTC)"));
    window.onLanguageChanged(QStringLiteral("English"));
    QTRY_COMPARE_WITH_TIMEOUT(info->text(), english, Long);
}

void TestMainWindowDisplay::logRowsLeadToTheirFrames_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("moves");
    QTest::newRow("double-click") << "double-click" << true;
    QTest::newRow("Enter") << "Enter" << true;
    QTest::newRow("wheel at the end of the log") << "wheel" << false;
    QTest::newRow("row of a frame gone") << "gone" << false;
}

// Follow mode is on; a row activated shows its frame and ends it. The wheel turned over the
// log never steps frames, and a row whose frame has left memory says so.
void TestMainWindowDisplay::logRowsLeadToTheirFrames()
{
    QFETCH(QString, how);
    QFETCH(bool, moves);
    const bool gone = how == QLatin1String("gone");
    QStringList args{"--process-params", m_avalanche};
    if (gone)
        args = QStringList{"--n", "100", "--batch", "50"} + args;
    SkMainWindow window(args);
    window.resize(1600, 1000);
    window.raiseDock(QStringLiteral("log"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (gone)
        action(&window, "playAction")->trigger();
    QVERIFY(analysed(window));
    QAction *follow = action(&window, "firstFrameAction");
    follow->setChecked(true);
    follow->trigger(); // off and on again: on the newest analysed frame
    follow->trigger();
    const int newest = window.shownFrame();

    const SkAlarmLogModel *log = window.alarmLog();
    const int row = rowOf(log, QStringLiteral("AV0-0 ALARM ON"));
    QVERIFY(row >= 0);
    const int frame = cell(log, row, SkAlarmLogModel::FrameColumn).toInt();
    QVERIFY(frame != newest);
    auto *view = child<SkAlarmLogView>(&window, "tableLog");
    // The table shows the log through its filter, which hides nothing here.
    const QModelIndex index = view->model()->index(row, SkAlarmLogModel::EventColumn);
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    if (how == QLatin1String("double-click") || gone) {
        // A double click starts with a click, as the mouse sends it.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    } else if (how == QLatin1String("Enter")) {
        view->setCurrentIndex(index);
        QTest::keyClick(view, Qt::Key_Return);
    } else {
        view->scrollToBottom();
        QVERIFY(view->isAtEnd());
        const QPoint pos = view->viewport()->mapTo(&window, at);
        QWheelEvent wheel(pos, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&window, &wheel);
    }
    // The frames the position slider offers.
    auto *slider = child<QwtSlider>(&window, "progressSlider");
    QCOMPARE(window.shownFrame(), moves ? frame : newest);
    QCOMPARE(follow->isChecked(), !moves);
    if (gone)
        QCOMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("Frame %1 is no longer in memory (it holds frames %2 to %3)")
                     .arg(frame)
                     .arg(slider->lowerBound())
                     .arg(slider->upperBound() - 1));
}

// With the default levels the avalanche at its alarm frame stands out of the noise: its
// range gates reach the upper colours, the noise floor stays in the lower ones. A move of the
// scale fixes the levels of that kind only, and each kind's scale outlives the window.
void TestMainWindowDisplay::avalancheStandsOutInAutomaticLevels()
{
    auto window = std::make_unique<SkMainWindow>(QStringList{"--process-params", m_avalanche});
    QVERIFY(analysed(*window));
    const SkAlarmLogModel *log = window->alarmLog();
    const int row = rowOf(log, QStringLiteral("AV0-0 ALARM ON"));
    QVERIFY(row >= 0);
    const int frame = cell(log, row, SkAlarmLogModel::FrameColumn).toInt();
    const QRegularExpressionMatch gates = QRegularExpression(QStringLiteral("RG=(\\d+)-(\\d+)"))
                                              .match(cell(log, row, SkAlarmLogModel::DetailsColumn));
    QVERIFY(gates.hasMatch());
    window->showFrame(frame);
    QVERIFY(drawnAt(*window, frame));

    auto *plot = child<SkPlotSpectrogram>(window.get(), "plotCenter");
    auto *automatic = child<QCheckBox>(window.get(), "plotThresholdAutoCheckBox");
    auto *slider = child<QwtSlider>(window.get(), "plotThresholdSlider");
    QVERIFY(automatic->isChecked());
    const QwtInterval levels = plot->colorInterval();
    QCOMPARE(slider->value(), levels.maxValue());
    // Share of the colour scale a cell reaches (green from 0.6 up, the ramp of the colour map).
    const QwtRasterData *data = plot->spectrogram()->data();
    auto share = [&](int rg, int column) {
        return (data->value(column + 0.5, rg + 0.5) - levels.minValue()) / levels.width();
    };
    double avalanche = 0.0;
    for (int rg = gates.captured(1).toInt(); rg <= gates.captured(2).toInt(); ++rg)
        for (int column = 0; column < 1024; ++column)
            avalanche = std::max(avalanche, share(rg, column));
    int upper = 0;
    for (int rg = 0; rg < 20; ++rg)
        for (int column = 0; column < 1024; ++column)
            upper += share(rg, column) >= 0.6 ? 1 : 0;
    QVERIFY2(avalanche >= 0.6, qPrintable(QString::number(avalanche)));
    QVERIFY2(upper < 20 * 1024 / 20, qPrintable(QString::number(upper))); // no red block

    slider->setValue(5000);
    QVERIFY(!automatic->isChecked());
    QVERIFY(drawnAt(*window, frame));
    QCOMPARE(plot->colorInterval(), QwtInterval(0, 5000));
    window->setShowWhat(int(SkPacketTypeEnum::AvalancheNormalized));
    QVERIFY(automatic->isChecked());
    window->setShowWhat(int(SkPacketTypeEnum::Original));
    QVERIFY(!automatic->isChecked());
    QCOMPARE(slider->value(), 5000.0);

    window->close();
    window = std::make_unique<SkMainWindow>(QStringList{});
    automatic = child<QCheckBox>(window.get(), "plotThresholdAutoCheckBox");
    QVERIFY(!automatic->isChecked());
    QCOMPARE(child<QwtSlider>(window.get(), "plotThresholdSlider")->value(), 5000.0);
    window->setShowWhat(int(SkPacketTypeEnum::AvalancheNormalized));
    QVERIFY(automatic->isChecked());
    QSettings().clear();
}

// A stream is watched from its newest analysed frame on, and its log keeps to its end.
// Paused, the display holds its frame (drawable after memory has let it go) while the stream
// is read and analysed on; a reader scrolled up in the log stays where they are.
void TestMainWindowDisplay::streamIsFollowedAndPausingFreezesOnlyTheDisplay()
{
    ServeProcess serve({"--scenario", "mixed", "--frames", "600", "--process-params", "--rate",
                        "300", "--loop"});
    QVERIFY(serve.port() != 0);
    SkMainWindow window({"--process-params", "--n", "40", serve.address()});
    window.resize(1600, 1000);
    window.raiseDock(QStringLiteral("log"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(action(&window, "firstFrameAction")->isChecked());
    QScrollBar *bar = child<SkAlarmLogView>(&window, "tableLog")->verticalScrollBar();
    const SkAlarmLogModel *log = window.alarmLog();
    QVERIFY(QTest::qWaitFor([&] { return window.drawnFrame() > 20 && bar->maximum() > 0; }, Long));
    QVERIFY(QTest::qWaitFor([&] { return bar->value() == bar->maximum(); }, Long));

    action(&window, "playAction")->trigger();
    bar->setValue(0);
    QVERIFY(drawnAt(window, window.shownFrame()));
    const int frozen = window.drawnFrame();
    auto *info = child<QLabel>(&window, "infoLabel");
    const QString line = info->text();
    QVERIFY2(line.startsWith(QStringLiteral("Fr: %1 ").arg(frozen, 4, 10, QLatin1Char('0'))), qPrintable(line));
    const int rows = log->rowCount();
    QVERIFY(QTest::qWaitFor(
        [&] { return window.store()->startFrame() > frozen + 10 && log->rowCount() > rows + 5; }, Long));
    QCOMPARE(window.drawnFrame(), frozen);
    QCOMPARE(bar->value(), 0);
    window.setShowWhat(int(SkPacketTypeEnum::OriginalFiltered));
    QVERIFY(drawnAt(window, frozen));
    window.setShowHow(1);
    window.setShowHow(0);
    QVERIFY(drawnAt(window, frozen));
    QVERIFY(child<SkPlotSpectrogram>(&window, "plotCenter")->hasData());
    QCOMPARE(info->text(), line);

    bar->setValue(bar->maximum());
    action(&window, "playAction")->trigger();
    const int more = log->rowCount();
    QVERIFY(QTest::qWaitFor(
        [&] { return window.drawnFrame() > frozen + 10 && log->rowCount() > more + 5; }, Long));
    QVERIFY(QTest::qWaitFor([&] { return bar->value() == bar->maximum(); }, Long));
    QVERIFY(serve.stop());
}

QTEST_MAIN(TestMainWindowDisplay)
#include "tst_mainwindow_display.moc"
