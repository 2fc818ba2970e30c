// The viewer's window: its form, the command line, navigation, the views and the plot-update
// scheduling, on simulated recordings.

#include "MainWindowTestSupport.h"

#include "SkAlarmLogModel.h"
#include "SkCallQueue.h"
#include "SkCommandLine.h"
#include "SkDialogOpenFile.h"
#include "SkFrameStore.h"
#include "SkJobScheduler.h"
#include "SkLiveSession.h"
#include "SkPlotActivities.h"
#include "SkPlotSpectrogram.h"
#include "SkUpdateThrottle.h"
#include "SkWindowGrabber.h"

#include <qwt_plot_spectrogram.h>
#include <qwt_raster_data.h>
#include <qwt_slider.h>

#include <QApplication>
#include <QComboBox>
#include <QWheelEvent>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTcpServer>
#include <QThread>
#include <QToolBar>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>
#include <thread>

using namespace mwtest;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void actionsHaveTextToolTipShortcutAndState_data();
    void actionsHaveTextToolTipShortcutAndState();
    void formHasMenusDocksAndStatusBar();
    void parameterDockStartsWithItsInitialValues_data();
    void parameterDockStartsWithItsInitialValues();
    void commandLineIsEvaluated_data();
    void commandLineIsEvaluated();
    void commandLineExpandsWildcardsAndDirectories();
    void streamAddressStartsInStreamModeWithPlay();
    void recentFilesShowOnlyUsedEntries();
    void schedulerRunsTheNewestWaitingJobAfterTheRunningOne();
    void callsPostedFromOtherThreadsRunHereInOrder();
    void throttleDefersToOneTrailingUpdate();
    void quickStepsEndOnTheLastFrameDrawn();
    void viewsReadTheRotatedColumns_data();
    void viewsReadTheRotatedColumns();
    void markerFollowsTheClicksOfEveryView();
    void infoLineShowsTheTimeZone();
    void followModeShowsTheNewestAnalysedFrame();
    void wheelAndActivityClickMoveTheFrame();
    void missingFileIsReportedUntilTheNextMessage();
    void grabWritesThePictureAndTellsTheOutcome_data();
    void grabWritesThePictureAndTellsTheOutcome();
    void grabWritesNoPictureWithoutTheDataAskedFor_data();
    void grabWritesNoPictureWithoutTheDataAskedFor();
    void grabOfASilentStreamFailsAtItsTimeOut();

private:
    QTemporaryDir m_dir;
    QString m_small; // 60 frames, 20 range gates, avalanche with process parameters
};

void TestMainWindow::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
    m_small = writeRecording(m_dir, QStringLiteral("small.rrd0.gz"),
                             scene(RuScenario::Avalanche, 60));
}

void TestMainWindow::actionsHaveTextToolTipShortcutAndState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("enabled");
    const QString none;
    auto row = [](const char *name, const char *text, const QString &tip, const char *sc,
                  bool checkable = false, bool enabled = true) {
        QTest::newRow(name) << name << text << tip << sc << checkable << enabled;
    };
    row("openFilesAction", "Open &Files", "Open Multiple Files", "Ctrl+F");
    row("quitAction", "&Quit", "Quit", "Ctrl+Q");
    row("nextFrameAction", "&Next Frame", "Step to next frame", "Right");
    row("prevFrameAction", "P&revious Frame", "Step to previous frame", "Left");
    row("openStreamAction", "Open Data &Stream", "Open Data Stream", "");
    row("reopenAction", "&Reopen", "Reopen the current files or stream", "Ctrl+R");
    row("playAction", "&Play/Pause", "Play continuosly or pause if cache is full", "Space", true);
    row("prevFrame20Action", "-&20 Frame", "Step backwards 20 frames", "Ctrl+Left");
    row("nextFrame20Action", "+20 &Frame", "Step forward by 20 frames", "Ctrl+Right");
    row("nextBatchAction", "Next &Batch", "Continue with next batch", "Ctrl+Space", false, false);
    row("openFileAction", "&Open File", "Open File", "Ctrl+O");
    row("firstFrameAction", "Go To First Frame", "Go to first frame and stay there ", "Home", true);
    row("snapShotAction", "Take a &Snapshot", "Save current graph", "Ctrl+S");
    row("actionSave_frames", "Save frames", "Save currently frames in memory to a file", "");
    row("actionRecordStart", "Start Record", "Start Record", "", true, false);
    row("exportRowAction", "Export row", "Export the currently selected row to xlxs", "");
    row("actionLoad_Parameters", "Import Parameters..", "Import Parameters..", "");
    row("actionExport_Parameters_to_Clipboard", "Export Params to Clipboard",
        "Export Params to Clipboard", "");
}

void TestMainWindow::actionsHaveTextToolTipShortcutAndState()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, shortcut);
    QFETCH(bool, checkable);
    QFETCH(bool, enabled);
    SkMainWindow window(QStringList{});
    QAction *a = action(&window, qPrintable(name));
    QCOMPARE(a->text(), text);
    QCOMPARE(a->toolTip(), toolTip); // Qt derives a missing tool tip from the text
    QCOMPARE(a->shortcut().toString(), shortcut);
    QCOMPARE(a->isCheckable(), checkable);
    QVERIFY(!a->isChecked());
    QCOMPARE(a->isEnabled(), enabled);
}

void TestMainWindow::formHasMenusDocksAndStatusBar()
{
    SkMainWindow window(QStringList{});
    QCOMPARE(window.windowTitle(), QStringLiteral("Skarnel"));

    auto texts = [](const QMenu *menu) {
        QStringList out;
        const auto actions = menu->actions();
        for (const QAction *a : actions)
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    QCOMPARE(texts(child<QMenu>(&window, "menuFile")),
             (QStringList{"&Open File", "Open &Files", "-", "Open Data &Stream", "Open Recent ...",
                          "&Reopen", "-", "Save frames", "-", "Export row", "Open CMD Port", "-",
                          "&Quit"}));
    QCOMPARE(texts(child<QMenu>(&window, "menuEdit")),
             (QStringList{"&Play/Pause", "P&revious Frame", "&Next Frame", "Next &Batch",
                          "-&20 Frame", "+20 &Frame", "&Go To...", "Take a &Snapshot", "-",
                          "Start Record"}));
    QStringList display = texts(child<QMenu>(&window, "menuDisplay"));
    QCOMPARE(display.mid(0, 7),
             (QStringList{"Show Legend", "Show Details", "Show Live", "Show Sum of Rangegates",
                          "Show Log", "Show Alarm Parameters", "Show Computed Parameters"}));
    QCOMPARE(display.size(), 11); // and the time-zone entry
    QCOMPARE(display.mid(8), (QStringList{"-", "Channel Axis in m/s", "Time Axes in UTC"}));
    QCOMPARE(texts(child<QMenu>(&window, "menuExtra")),
             (QStringList{"Last Used Parameters", "Import Parameters..", "Export Parameters..",
                          "Export Params to Clipboard", "-", "Options"}));
    QCOMPARE(texts(child<QMenu>(&window, "menuLast_Parameters")),
             (QStringList{"Delete All Entries..", "-"}));
    QVERIFY(action(&window, "showLegendAction")->isChecked());

    const QList<QPair<const char *, QString>> docks = {
        {"dockDetails", "Details"}, {"dockParams", "Parameters"}, {"dockWidgetLive", "Live"},
        {"dockWidgetLog", "Log"},   {"dockWidgetRgSum", "RG Sum"}, {"dockComputed", "Computed"}};
    for (const auto &dock : docks)
        QCOMPARE(child<QDockWidget>(&window, dock.first)->windowTitle(), dock.second);

    auto *table = child<QTableView>(&window, "tableLog");
    QStringList headers;
    for (int c = 0; c < table->model()->columnCount(); ++c)
        headers << table->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{"No", "Time (UTC)", "Event", "Details"}));
    QCOMPARE(table->columnWidth(SkAlarmLogModel::DetailsColumn), 500);
    QCOMPARE(child<QLabel>(&window, "infoLabel")->text(), QStringLiteral("<info>"));
    QVERIFY(child<QProgressBar>(&window, "saveProgressBar")->isHidden());
    QCOMPARE(child<QProgressBar>(&window, "saveProgressBar")->format(), QStringLiteral("Saving: %p%"));
    QCOMPARE(child<QProgressBar>(&window, "alarmProgressBar")->width(), 150);
    QCOMPARE(child<QwtSlider>(&window, "plotThresholdSlider")->value(), 400.0);
    // The activity plot's sliders show the tops of its axes, which fit what is shown.
    const auto *activity = child<QwtPlot>(&window, "plotActivity");
    QCOMPARE(child<QwtSlider>(&window, "plotThresholdSliderPALeft")->value(),
             activity->axisInterval(QwtPlot::yLeft).maxValue());
    QCOMPARE(child<QwtSlider>(&window, "plotThresholdSliderPARight")->value(),
             activity->axisInterval(QwtPlot::yRight).maxValue());
    QCOMPARE(child<QComboBox>(&window, "showWhatComboBox")->itemText(2),
             QStringLiteral("Avalanche Normalized"));
    QCOMPARE(child<QComboBox>(&window, "peakShiftComboBox")->itemData(2).toInt(), 512);
    QCOMPARE(child<QComboBox>(&window, "liveShowWhatComboBox")->itemData(0).toInt(), 6);
    // A label whose buddy has the tool tip shares it.
    QCOMPARE(child<QLabel>(&window, "alarmBackgroundLengthSpinBoxLabel")->toolTip(),
             child<QSpinBox>(&window, "alarmBackgroundLengthSpinBox")->toolTip());
    QVERIFY(!child<QPushButton>(&window, "readPPPushButton")->isEnabled());
}

void TestMainWindow::parameterDockStartsWithItsInitialValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::newRow("bgLength") << "alarmBackgroundLengthSpinBox" << 10.0 << 1.0 << 999.0;
    QTest::newRow("bgDelay") << "alarmBackgroundDelaySpinBox" << 10.0 << 0.0 << 999.0;
    QTest::newRow("avgTime") << "alarmAvgTimeSpinBox" << 1.0 << 1.0 << 10.0;
    QTest::newRow("liveChLast") << "liveChLastSpinBox" << 100.0 << 0.0 << 1023.0;
    QTest::newRow("av01 borderLeft") << "alarmAv01BorderLeftSpinBox" << 10.0 << 0.0 << 512.0;
    QTest::newRow("av02 sumSumMin") << "alarmAv02SumSumMinDoubleSpinBox" << 900.0 << -9999.0 << 9999.0;
    QTest::newRow("av00 threshold") << "alarmAv00ThresholdOnDoubleSpinBox" << 2.4 << -999.0 << 100.0;
    QTest::newRow("rain0 chWidth") << "alarmRain0ChWidthSpinBox" << 1024.0 << 1.0 << 1024.0;
    QTest::newRow("rain0 bgFrameDelay") << "alarmRain0BgFrameDelayspinBox" << 1000.0 << 1.0 << 9999.0;
    QTest::newRow("rain0 on") << "alarmRain0ThresholdAlarmOnSpinBox" << 1.1 << 0.0 << 999999.0;
    QTest::newRow("wl0 rangegate") << "alarmWaterlevel0RangegateSpinBox" << 2.0 << 0.0 << 9999.0;
    QTest::newRow("wl0 alarm on") << "alarmWaterlevel0ThresholdAlarmOnSpinBox" << 0.0 << 0.0 << 999000.0;
}

void TestMainWindow::parameterDockStartsWithItsInitialValues()
{
    QFETCH(QString, name);
    QFETCH(double, value);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    SkMainWindow window(QStringList{});
    QObject *w = window.findChild<QObject *>(name);
    QVERIFY(w);
    QCOMPARE(w->property("value").toDouble(), value);
    QCOMPARE(w->property("minimum").toDouble(), minimum);
    QCOMPARE(w->property("maximum").toDouble(), maximum);
}

void TestMainWindow::commandLineIsEvaluated_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("maxFrames");
    QTest::addColumn<int>("batch");
    QTest::addColumn<int>("sources");
    QTest::newRow("nothing") << QStringList{} << 1000 << 500 << 0;
    QTest::newRow("--n 200 file") << QStringList{"--n", "200", "@small"} << 200 << 500 << 1;
    QTest::newRow("--batch 7") << QStringList{"--batch", "7", "@small"} << 1000 << 7 << 1;
    QTest::newRow("--batch x") << QStringList{"--batch", "x", "@small"} << 1000 << 500 << 1;
    QTest::newRow("--batch last") << QStringList{"@small", "--batch"} << 1000 << 500 << 1;
    QTest::newRow("--n -5") << QStringList{"--n", "-5"} << 1000 << 500 << 0;
    QTest::newRow("wildcard without match") << QStringList{"@dir/*.nothing"} << 1000 << 500 << 0;
}

void TestMainWindow::commandLineIsEvaluated()
{
    QFETCH(QStringList, args);
    QFETCH(int, maxFrames);
    QFETCH(int, batch);
    QFETCH(int, sources);
    args.replaceInStrings(QStringLiteral("@small"), m_small);
    args.replaceInStrings(QStringLiteral("@dir"), m_dir.path());
    SkMainWindow window(args);
    QCOMPARE(window.maxFrames(), maxFrames);
    QCOMPARE(window.batchSizeFiles(), batch);
    QCOMPARE(window.sources().size(), sources);
    QVERIFY(!window.isStreamMode());
    QCOMPARE(window.session()->sources().size(), sources); // loading started at once
    if (sources > 0) {
        QVERIFY(QTest::qWaitFor([&] { return window.store()->endFrame() > 0; }, Long));
        QCOMPARE(window.store()->maxSize(), maxFrames);
    }
}

void TestMainWindow::commandLineExpandsWildcardsAndDirectories()
{
    QTemporaryDir dir;
    for (const char *name : {"b.rrd0.gz", "a.rrd", "c.txt", "d.zip"})
        QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    const SkCommandLine wildcard = SkCommandLine::parse({dir.filePath(QStringLiteral("*.rrd*"))});
    QCOMPARE(wildcard.sources,
             (QStringList{dir.filePath(QStringLiteral("a.rrd")), dir.filePath(QStringLiteral("b.rrd0.gz"))}));
    const SkCommandLine folder = SkCommandLine::parse({dir.path()});
    QCOMPARE(folder.sources,
             (QStringList{dir.filePath(QStringLiteral("a.rrd")), dir.filePath(QStringLiteral("b.rrd0.gz")),
                          dir.filePath(QStringLiteral("d.zip"))}));
    QVERIFY(!folder.streamMode);

    const SkCommandLine grab = SkCommandLine::parse(
        {"--grab", "x.png", "--frame", "12", "--view", "velocities", "--dock", "log", "a.rrd"});
    QCOMPARE(grab.grabFile, QStringLiteral("x.png"));
    QCOMPARE(grab.grabFrame, 12);
    QCOMPARE(grab.grabView, 2);
    QCOMPARE(grab.grabDocks, QStringList{"log"});
    QVERIFY(grab.errors.isEmpty());
    const SkCommandLine bad = SkCommandLine::parse({"--frame", "-1", "--view", "sideways", "--grab"});
    QCOMPARE(bad.errors.size(), 3);
    QCOMPARE(bad.grabFrame, -1);
}

void TestMainWindow::streamAddressStartsInStreamModeWithPlay()
{
    // Nothing listens on the port; the window still starts in stream mode.
    SkMainWindow window({"--batch", "3", "127.0.0.1:1"});
    QVERIFY(window.isStreamMode());
    QVERIFY(action(&window, "playAction")->isChecked());
    QCOMPARE(window.batchSizeStream(), 3);
    QCOMPARE(window.sources(), QStringList{"127.0.0.1:1"});
    QVERIFY(window.session()->isPlaying());
}

void TestMainWindow::recentFilesShowOnlyUsedEntries()
{
    SkMainWindow window(QStringList{});
    auto *dialog = window.findChild<SkDialogOpenFile *>();
    QVERIFY(dialog);
    dialog->setRecentFiles({"/data/a.rrd", "/data/b.rrd", "/data/c.rrd"});
    const auto actions = window.findChildren<QAction *>(QStringLiteral("recentFileAction"));
    QCOMPARE(actions.size(), 10);
    int visible = 0;
    for (const QAction *a : actions)
        visible += a->isVisible() ? 1 : 0;
    QCOMPARE(visible, 3);
    QCOMPARE(actions.first()->data().toString(), QStringLiteral("/data/a.rrd"));
}

// What a job delivers has arrived when its kind is seen idle: the window takes "idle" for
// "drawn", and a grab for a picture of the frame asked for.
void TestMainWindow::schedulerRunsTheNewestWaitingJobAfterTheRunningOne()
{
    SkJobScheduler scheduler;
    std::atomic_bool release{false};
    QVector<int> delivered;
    auto job = [&](int n, bool block) {
        return [&, n, block] {
            while (block && !release.load())
                std::this_thread::yield();
            scheduler.deliver([&, n] { delivered.append(n); });
        };
    };
    int idleWithResultsMissing = 0;
    int expected = 0;
    connect(&scheduler, &SkJobScheduler::idle, this,
            [&] { idleWithResultsMissing += delivered.size() != expected; });
    expected = 3;
    scheduler.schedule(SkJobScheduler::Frame, job(1, true));
    scheduler.schedule(SkJobScheduler::Frame, job(2, false));
    scheduler.schedule(SkJobScheduler::Frame, job(3, false));
    scheduler.schedule(SkJobScheduler::Row, job(10, false)); // another kind runs at once
    QVERIFY(scheduler.hasWaiting(SkJobScheduler::Frame));
    QVERIFY(!scheduler.isIdle());
    release = true;
    QVERIFY(QTest::qWaitFor([&] { return scheduler.isIdle(); }, Long));
    QVERIFY(delivered.removeOne(10));
    QCOMPARE(delivered, (QVector<int>{1, 3}));
    // Every kind at once, round after round: results of several threads on their way together.
    for (int round = 0; round < 50; ++round) {
        delivered.clear();
        expected = SkJobScheduler::KindCount;
        for (int kind = 0; kind < SkJobScheduler::KindCount; ++kind)
            scheduler.schedule(SkJobScheduler::Kind(kind), job(kind, false));
        QVERIFY(QTest::qWaitFor([&] { return scheduler.isIdle(); }, Long));
    }
    QCOMPARE(idleWithResultsMissing, 0);
}

// Each poster's calls arrive in its order, on the queue's thread, and none is lost.
void TestMainWindow::callsPostedFromOtherThreadsRunHereInOrder()
{
    SkCallQueue queue;
    constexpr int Posters = 3;
    constexpr int Calls = 200;
    QVector<QVector<int>> received(Posters);
    bool elsewhere = false;
    std::vector<std::thread> posters;
    for (int p = 0; p < Posters; ++p) {
        posters.emplace_back([&, p] {
            for (int n = 0; n < Calls; ++n)
                queue.post([&, p, n] {
                    elsewhere |= QThread::currentThread() != qApp->thread();
                    received[p].append(n);
                });
        });
    }
    for (std::thread &poster : posters)
        poster.join();
    QVERIFY(QTest::qWaitFor([&] {
        return std::all_of(received.cbegin(), received.cend(),
                           [](const QVector<int> &calls) { return calls.size() == Calls; });
    }, Long));
    QVERIFY(!elsewhere);
    QVector<int> inOrder(Calls);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    for (const QVector<int> &calls : qAsConst(received))
        QCOMPARE(calls, inOrder);
}

void TestMainWindow::throttleDefersToOneTrailingUpdate()
{
    SkUpdateThrottle throttle(200);
    QSignalSpy due(&throttle, &SkUpdateThrottle::due);
    throttle.request();
    QCOMPARE(due.count(), 1); // the first is served at once
    for (int i = 0; i < 5; ++i)
        throttle.request();
    QCOMPARE(due.count(), 1);
    QVERIFY(throttle.isPending());
    QVERIFY(due.wait(Long));
    QCOMPARE(due.count(), 2); // one trailing update for the five
    QVERIFY(!throttle.isPending());
}

void TestMainWindow::quickStepsEndOnTheLastFrameDrawn()
{
    SkMainWindow window({"--process-params", m_small});
    SkLiveSession *session = window.session();
    QSignalSpy complete(session, &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    window.showFrame(10);
    QVERIFY(waitSettled(window));
    QCOMPARE(window.drawnFrame(), 10);
    // Five steps well inside one throttle interval.
    QAction *next = action(&window, "nextFrameAction");
    for (int i = 0; i < 5; ++i)
        next->trigger();
    QCOMPARE(window.shownFrame(), 15);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == 15; },
                            Long));
    QVERIFY(child<QLabel>(&window, "infoLabel")->text().startsWith(QStringLiteral("Fr: 0015 ")));
}

void TestMainWindow::viewsReadTheRotatedColumns_data()
{
    QTest::addColumn<int>("showHow");
    QTest::addColumn<int>("shiftIndex");
    QTest::newRow("frame, no shift") << 0 << 0;
    QTest::newRow("frame, to right") << 0 << 1;
    QTest::newRow("frame, to middle") << 0 << 2;
    QTest::newRow("rangegates, to middle") << 1 << 2;
    QTest::newRow("velocities, to middle") << 2 << 2;
}

void TestMainWindow::viewsReadTheRotatedColumns()
{
    QFETCH(int, showHow);
    QFETCH(int, shiftIndex);
    SkMainWindow window({m_small});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    const int frame = 7, rangegate = 3, channel = 100;
    window.showFrame(frame);
    child<QSpinBox>(&window, "extractRowSpinBox")->setValue(rangegate);
    child<QSpinBox>(&window, "extractColumnSpinBox")->setValue(channel);
    child<QComboBox>(&window, "peakShiftComboBox")->setCurrentIndex(shiftIndex);
    const int shift = child<QComboBox>(&window, "peakShiftComboBox")->currentData().toInt();
    window.setShowHow(showHow);
    QVERIFY(waitSettled(window));

    RuSimulator simulator(scene(RuScenario::Avalanche, 60));
    const RuMatrix m = simulator.frame(frame).toMatrix();
    const QwtRasterData *data = child<SkPlotSpectrogram>(&window, "plotCenter")->spectrogram()->data();
    QVERIFY(data);
    const int column = (channel + shift) % 1024;
    // Cell centres: x is the displayed column (or the frame), y the range gate (or the frame).
    double shown = 0.0;
    if (showHow == 0)
        shown = data->value(column + 0.5, rangegate + 0.5);
    else if (showHow == 1)
        shown = data->value(column + 0.5, frame + 0.5);
    else
        shown = data->value(frame + 0.5, rangegate + 0.5);
    QCOMPARE(shown, double(m(rangegate, channel)));
}

// A click in one view chooses what that view draws; the other views put their marker there.
void TestMainWindow::markerFollowsTheClicksOfEveryView()
{
    SkMainWindow window(QStringList{});
    auto *plot = child<SkPlotSpectrogram>(&window, "plotCenter");
    auto *how = child<QComboBox>(&window, "showHowComboBox");
    plot->setMarkerPos(QPointF(300, 5));
    emit plot->markerPosChanged(QPointF(300, 5));
    QCOMPARE(plot->markerPos(), QPointF(300.5, 5.5));
    how->setCurrentIndex(1);
    QCOMPARE(plot->markerPos(), QPointF(300.5, 0.5));
    emit plot->markerPosChanged(QPointF(40, 0));
    how->setCurrentIndex(0);
    QCOMPARE(plot->markerPos(), QPointF(40.5, 5.5));
    QCOMPARE(child<QSpinBox>(&window, "extractColumnSpinBox")->value(), 40);
    how->setCurrentIndex(1);
    QCOMPARE(plot->markerPos(), QPointF(40.5, 0.5));
    QVERIFY(child<QSpinBox>(&window, "extractRowSpinBox")->isEnabled());
    QVERIFY(!child<QSpinBox>(&window, "extractColumnSpinBox")->isEnabled());
}

void TestMainWindow::infoLineShowsTheTimeZone()
{
    SkMainWindow window({m_small});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    window.findChild<QSpinBox *>(QStringLiteral("timezoneSpinBox"))->setValue(-3);
    window.showFrame(2);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == 2; }, Long));
    // Frame 2 was taken at 06:00:02 UTC.
    QCOMPARE(child<QLabel>(&window, "infoLabel")->text(),
             QStringLiteral("Fr: 0002 (2024-02-01 03:00:02.000 UTC -3, dt: 1.00 s) Source: %1")
                 .arg(m_small));
    QVERIFY(child<QPushButton>(&window, "readPPPushButton")->isEnabled());
}

void TestMainWindow::followModeShowsTheNewestAnalysedFrame()
{
    SkMainWindow window({m_small});
    action(&window, "firstFrameAction")->setChecked(true);
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    QVERIFY(QTest::qWaitFor([&] { return window.shownFrame() == 59; }, Long));
    action(&window, "prevFrameAction")->trigger();
    QVERIFY(!action(&window, "firstFrameAction")->isChecked());
    QCOMPARE(window.shownFrame(), 58);
}

void TestMainWindow::wheelAndActivityClickMoveTheFrame()
{
    SkMainWindow window({m_small});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    window.showFrame(20);
    action(&window, "firstFrameAction")->setChecked(true);
    // Two notches down step two frames back and leave follow mode.
    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&window, &wheel);
    QCOMPARE(window.shownFrame(), 18);
    QVERIFY(!action(&window, "firstFrameAction")->isChecked());
    // Clicking the activity plot names a frame.
    auto *activity = child<SkPlotActivities>(&window, "plotActivity");
    emit activity->markerPosChanged(QPointF(42.4, 0));
    QCOMPARE(window.shownFrame(), 42);
    QCOMPARE(activity->cursorPos(), 42.0);
}

void TestMainWindow::missingFileIsReportedUntilTheNextMessage()
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.rrd"));
    SkMainWindow window({missing});
    QVERIFY(QTest::qWaitFor(
        [&] { return window.statusBar()->currentMessage().contains(QStringLiteral("finished with error")); },
        Long));
    const QString message = window.statusBar()->currentMessage();
    QVERIFY2(message.startsWith(QStringLiteral("Task Loader(%1) finished with error 'File open error! Reason: ").arg(missing)),
             qPrintable(message));
    // However long, the whole text can be read: in the tool tip and in a box.
    QCOMPARE(window.statusBar()->toolTip(), message);
    auto *box = window.findChild<QMessageBox *>(QStringLiteral("failureBox"));
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->text(), message);
    // Other messages go after four seconds; this one has no time-out that would clear it.
    const auto timers = window.statusBar()->findChildren<QTimer *>();
    QVERIFY(std::none_of(timers.cbegin(), timers.cend(), [](const QTimer *t) { return t->isActive(); }));
    QCOMPARE(window.statusBar()->currentMessage(), message);
}

void TestMainWindow::grabWritesThePictureAndTellsTheOutcome_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("written");
    QTest::newRow("file, frame and view")
        << QStringList{"--process-params", "--frame", "30", "--view", "velocities", "--dock", "log", "@small"}
        << 0 << true;
    QTest::newRow("no sources") << QStringList{} << 0 << true;
    QTest::newRow("missing file") << QStringList{"@dir/missing.rrd"} << 1 << true;
    QTest::newRow("bad view") << QStringList{"--view", "sideways", "@small"} << 2 << false;
}

void TestMainWindow::grabWritesThePictureAndTellsTheOutcome()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(bool, written);
    args.replaceInStrings(QStringLiteral("@small"), m_small);
    args.replaceInStrings(QStringLiteral("@dir"), m_dir.path());
    QTemporaryDir out;
    const QString picture = out.filePath(QStringLiteral("window.png"));
    QProcess skarnel;
    skarnel.start(QString::fromLocal8Bit(qgetenv("SK_BIN_DIR")) + QStringLiteral("/skarnel"),
                  QStringList{"--grab", picture} + args);
    QVERIFY(skarnel.waitForFinished(Long));
    QCOMPARE(skarnel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(skarnel.exitCode(), exitCode);
    QCOMPARE(QFile::exists(picture), written);
    if (written) {
        QCOMPARE(QImage(picture).size(), QSize(1600, 1000));
        QCOMPARE(skarnel.readAllStandardOutput().trimmed(), picture.toLocal8Bit());
    } else {
        QVERIFY(skarnel.readAllStandardError().contains("--view: 'sideways'"));
    }
}

// A picture of an empty window or of another frame than asked for would pass for the real
// one: nothing is written, and the status says so.
void TestMainWindow::grabWritesNoPictureWithoutTheDataAskedFor_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("wildcard matching nothing")
        << QStringList{"@dir/none-*.rrd0"} << "skarnel: @dir/none-*.rrd0 names no data file; ";
    QTest::newRow("frame past the end")
        << QStringList{"--frame", "999", "@small"} << "skarnel: --frame 999: the sources hold frames 0 to 59; ";
}

void TestMainWindow::grabWritesNoPictureWithoutTheDataAskedFor()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    args.replaceInStrings(QStringLiteral("@small"), m_small);
    args.replaceInStrings(QStringLiteral("@dir"), m_dir.path());
    message.replace(QStringLiteral("@dir"), m_dir.path());
    QTemporaryDir out;
    const QString picture = out.filePath(QStringLiteral("window.png"));
    QProcess skarnel;
    skarnel.start(QString::fromLocal8Bit(qgetenv("SK_BIN_DIR")) + QStringLiteral("/skarnel"),
                  QStringList{"--grab", picture} + args);
    QVERIFY(skarnel.waitForFinished(Long));
    const QByteArray err = skarnel.readAllStandardError();
    QCOMPARE(skarnel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(skarnel.exitCode(), 1);
    QVERIFY2(err.contains(message.toLocal8Bit()), err.constData());
    QVERIFY(!QFile::exists(picture));
}

// A radar that takes the connection and sends nothing until the grab's time-out.
void TestMainWindow::grabOfASilentStreamFailsAtItsTimeOut()
{
    QTcpServer radar;
    QVERIFY(radar.listen(QHostAddress::LocalHost));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(radar.serverPort());
    QTemporaryDir out;
    const QString picture = out.filePath(QStringLiteral("window.png"));
    SkMainWindow window({address});
    SkWindowGrabber grabber(&window, SkCommandLine::parse({"--grab", picture, address}));
    grabber.setTimeout(1000);
    QSignalSpy finished(&grabber, &SkWindowGrabber::finished);
    grabber.start();
    QVERIFY(finished.wait(Long));
    QCOMPARE(finished.first().first().toInt(), 1);
    QVERIFY(!QFile::exists(picture));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
