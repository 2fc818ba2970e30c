// The viewer's window with the alarm computation running: the log and markers against the
// engine, the batch logic, trimming of the activity curves, "PP" and "Recalculate", a live
// stream from `rrdcli serve`, and closing while tasks still run.

#include "MainWindowTestSupport.h"
#include "RrdcliTestSupport.h"

#include "RuAlarmCalculator.h"
#include "RuAlarmEvents.h"
#include "RuFile.h"
#include "SkActivityCurveData.h"
#include "SkAlarmLogModel.h"
#include "SkActivityMarker.h"
#include "SkFrameStore.h"
#include "SkFrameTaskLoad.h"
#include "SkLiveSession.h"
#include "SkParameterWidgets.h"
#include "SkPlotActivities.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTcpServer>

#include <atomic>
#include <memory>

using namespace mwtest;

namespace {

struct Row
{
    int frame;
    QString tag;
    QString detail;
    bool operator==(const Row &o) const { return frame == o.frame && tag == o.tag && detail == o.detail; }
};

QVector<Row> logRows(const SkMainWindow &window)
{
    const SkAlarmLogModel *log = window.alarmLog();
    auto text = [log](int row, int column, int role = Qt::DisplayRole) {
        return log->index(row, column).data(role).toString();
    };
    QVector<Row> rows;
    for (int r = 0; r < log->rowCount(); ++r) {
        const QString detail = text(r, SkAlarmLogModel::DetailsColumn);
        if (text(r, SkAlarmLogModel::DetailsColumn, Qt::ToolTipRole) != detail)
            qWarning("row %d: tool tip differs from the detail", r);
        rows.append({text(r, SkAlarmLogModel::FrameColumn).toInt(),
                     text(r, SkAlarmLogModel::EventColumn), detail});
    }
    return rows;
}

// What the engine reports for the frames of `path` with the settings the dock shows.
void expectedEvents(const QString &path, const RuParameterSet &set, QVector<Row> *rows,
                    QStringList *markers)
{
    RuAlarmCalculator calculator;
    set.applyTo(calculator);
    RuFile file;
    file.open(path, 'r', 0);
    int n = 0;
    for (RuFrame frame; file.isOpen() && file.readFrame(frame); frame = RuFrame(), ++n) {
        calculator.processFrame(frame, frame.timeMicros());
        for (const RuAlarmEvent &e : ruAlarmEvents(*calculator.lastResult())) {
            rows->append({n, e.tag, e.detail});
            markers->append(e.marker);
        }
    }
}

// The load task notes in the debug log that it has opened a source and reads it now.
std::atomic_bool loadReading{false};
QtMessageHandler previousHandler = nullptr;

void watchLoadReading(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.startsWith(QLatin1String("tsk: Loader(")) && text.contains(QLatin1String(" Loading ")))
        loadReading = true;
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

class TestMainWindowAlarms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void logAndMarkersFollowTheEngine_data();
    void logAndMarkersFollowTheEngine();
    void pausedWindowOffersTheNextBatchOnceAnalysed();
    void progressCountsTheWholeFile_data();
    void progressCountsTheWholeFile();
    void activityCurvesKeepOnlyFramesHeld();
    void processParametersFillTheDockAndRestart();
    void processParametersMissingAreReported();
    void streamPlaysAndClosesWithinASecond();
    void closingWhileTheLoadSleepsEndsPromptly();
    void closingWhileAStreamReadBlocksEndsPromptly();

private:
    QTemporaryDir m_dir;
};

void TestMainWindowAlarms::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
}

void TestMainWindowAlarms::logAndMarkersFollowTheEngine_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<QString>("tag");
    QTest::newRow("avalanche") << int(RuScenario::Avalanche) << "AV0-0 ALARM ON";
    QTest::newRow("rain") << int(RuScenario::Rain) << "RAIN0 ALARM ON";
    QTest::newRow("water level") << int(RuScenario::WaterLevel) << "WL0 ALARM ON";
}

void TestMainWindowAlarms::logAndMarkersFollowTheEngine()
{
    QFETCH(int, scenario);
    QFETCH(QString, tag);
    const QString path = writeRecording(m_dir, QStringLiteral("scene%1.rrd0.gz").arg(scenario),
                                        scene(RuScenario(scenario), 600));
    SkMainWindow window({"--process-params", path});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));

    QVector<Row> rows;
    QStringList markers;
    expectedEvents(path, SkParameterWidgets(&window).parameterSet(), &rows, &markers);
    const QVector<Row> logged = logRows(window);
    QCOMPARE(logged, rows);
    QVERIFY2(std::any_of(rows.cbegin(), rows.cend(), [&](const Row &r) { return r.tag == tag; }),
             qPrintable(tag));

    QStringList shown;
    const auto eventMarkers = child<SkPlotActivities>(&window, "plotActivity")->eventMarkers();
    for (const SkActivityMarker *m : eventMarkers)
        shown << m->text();
    QCOMPARE(shown, markers);
}

void TestMainWindowAlarms::pausedWindowOffersTheNextBatchOnceAnalysed()
{
    const QString path = writeRecording(m_dir, QStringLiteral("long.rrd0.gz"),
                                        scene(RuScenario::Quiet, 3000, 3));
    SkMainWindow window({"--n", "1000", path});
    QAction *nextBatch = action(&window, "nextBatchAction");
    QVERIFY(!action(&window, "playAction")->isChecked());
    QVERIFY(QTest::qWaitFor([&] { return nextBatch->isEnabled(); }, Long));
    // Offered only once frame 999's result is in.
    QCOMPARE(window.session()->nextAlarmFrame(), 1000);
    QCOMPARE(window.store()->startFrame(), 0);
    QCOMPARE(window.store()->endFrame(), 1000);

    nextBatch->trigger();
    QVERIFY(!nextBatch->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return nextBatch->isEnabled(); }, Long));
    QCOMPARE(window.store()->startFrame(), 500);
    QCOMPARE(window.store()->endFrame(), 1500);
    QCOMPARE(window.session()->nextAlarmFrame(), 1500);
}

void TestMainWindowAlarms::progressCountsTheWholeFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("compressed") << "progress.rrd0.gz";
    QTest::newRow("plain") << "progress.rrd0";
}

// A window of 400 frames analysed is a third of a file of 1200: the bar says 100 % only when
// the whole file is.
void TestMainWindowAlarms::progressCountsTheWholeFile()
{
    QFETCH(QString, name);
    const QString path = writeRecording(m_dir, name, scene(RuScenario::Quiet, 1200, 3));
    SkMainWindow window({"--n", "400", path});
    auto *bar = child<QProgressBar>(&window, "alarmProgressBar");
    QVERIFY(QTest::qWaitFor([&] { return action(&window, "nextBatchAction")->isEnabled(); }, Long));
    QCOMPARE(bar->value(), 33);
    QSignalSpy shown(bar, &QProgressBar::valueChanged);
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    action(&window, "playAction")->trigger();
    QVERIFY(complete.wait(Long));
    QCOMPARE(bar->value(), 100);
    QVERIFY(!shown.isEmpty());
    for (int i = 0; i + 1 < shown.size(); ++i)
        QVERIFY2(shown.at(i).at(0).toInt() < 100, qPrintable(QString::number(i)));
}

void TestMainWindowAlarms::activityCurvesKeepOnlyFramesHeld()
{
    const QString path = writeRecording(m_dir, QStringLiteral("trim.rrd0.gz"),
                                        scene(RuScenario::Avalanche, 600));
    SkMainWindow window({"--process-params", "--n", "100", "--batch", "50", path});
    action(&window, "playAction")->trigger();
    QVERIFY(action(&window, "playAction")->isChecked());
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    const int start = window.store()->startFrame();
    QVERIFY(start >= 450);

    auto *plot = child<SkPlotActivities>(&window, "plotActivity");
    for (int id = 0; id < SkPlotActivities::CurveCount; ++id) {
        const auto series = plot->series(SkActivityPlotId(id));
        for (const SkActivityCurveData *data : series) {
            const QVector<QPointF> points = data->points();
            QVERIFY(points.size() <= 100);
            QVERIFY2(points.isEmpty() || points.first().x() >= start, qPrintable(QString::number(id)));
            QVERIFY(data->storedCount() <= 2 * 100 + 1);
        }
    }
    QVERIFY(!plot->series(SkActivityAvalanche0).first()->points().isEmpty());
    const auto markers = plot->eventMarkers();
    for (const SkActivityMarker *m : markers)
        QVERIFY(m->xValue() >= start);
    // The log keeps every row, also of frames long gone.
    const QVector<Row> rows = logRows(window);
    QVERIFY(!rows.isEmpty());
    QVERIFY(rows.first().frame < start);
}

void TestMainWindowAlarms::processParametersFillTheDockAndRestart()
{
    const QString path = writeRecording(m_dir, QStringLiteral("pp.rrd0.gz"),
                                        scene(RuScenario::Avalanche, 300));
    SkMainWindow window({path});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    window.showFrame(5);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == 5; }, Long));

    RuFile file;
    file.open(path, 'r', 0);
    RuFrame first;
    QVERIFY(file.readFrame(first));
    RuAlarmCalculator radar;
    radar.fromProcessParameters(first.info());

    QSignalSpy restarting(window.session(), &SkLiveSession::alarmRestarting);
    auto *pp = child<QPushButton>(&window, "readPPPushButton");
    QVERIFY(pp->isEnabled());
    pp->click();
    QCOMPARE(restarting.count(), 1);
    QCOMPARE(child<QSpinBox>(&window, "alarmBackgroundDelaySpinBox")->value(), radar.alarmParams().bgDelay);
    QCOMPARE(child<QSpinBox>(&window, "alarmAv00LengthMinSpinBox")->value(),
             radar.avalancheParams(0).lengthMin);
    QVERIFY(child<QGroupBox>(&window, "gbParamsLive")->isChecked());
    QVERIFY(complete.wait(Long));
    QVERIFY(!logRows(window).isEmpty());

    // "Recalculate" computes the same again.
    const QVector<Row> before = logRows(window);
    child<QPushButton>(&window, "recalcPushButton")->click();
    QCOMPARE(window.alarmLog()->rowCount(), 0);
    QVERIFY(complete.wait(Long));
    QCOMPARE(logRows(window), before);
}

void TestMainWindowAlarms::processParametersMissingAreReported()
{
    RuSimulatorOptions options = scene(RuScenario::Quiet, 20);
    options.processParams = false;
    const QString path = writeRecording(m_dir, QStringLiteral("nopp.rrd0.gz"), options);
    SkMainWindow window({path});
    // The button is off until a frame with parameters is shown; the slot still answers.
    QMetaObject::invokeMethod(&window, "on_readPPPushButton_clicked");
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Currently no frame available"));
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    window.showFrame(3);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == 3; }, Long));
    QVERIFY(!child<QPushButton>(&window, "readPPPushButton")->isEnabled());
    QMetaObject::invokeMethod(&window, "on_readPPPushButton_clicked");
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("No process parameters found in frame"));
}

void TestMainWindowAlarms::streamPlaysAndClosesWithinASecond()
{
    rrdclitest::ServeProcess serve({"--scenario", "avalanche", "--frames", "300",
                                    "--process-params", "--rate", "200", "--loop"});
    QVERIFY(serve.port() != 0);

    auto window = std::make_unique<SkMainWindow>(
        QStringList{"--process-params", "--n", "100", serve.address()});
    QVERIFY(window->isStreamMode());
    QVERIFY(action(window.get(), "playAction")->isChecked());
    // Each result of the newest frame of the full window releases one frame, and the frames
    // that wait beyond the window meanwhile.
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QVector<Row> rows = logRows(*window);
            return window->store()->startFrame() > 250
                   && std::any_of(rows.cbegin(), rows.cend(),
                                  [](const Row &r) { return r.tag == QLatin1String("AV0-0 ALARM ON"); });
        },
        Long));
    QVERIFY(window->store()->endFrame() - window->store()->startFrame() <= 100 + 50);

    QElapsedTimer closing;
    closing.start();
    window->close();
    window.reset();
    QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
    QVERIFY(serve.stop());
}

void TestMainWindowAlarms::closingWhileTheLoadSleepsEndsPromptly()
{
    const QString path = writeRecording(m_dir, QStringLiteral("sleep.rrd0.gz"),
                                        scene(RuScenario::Quiet, 400, 3));
    auto window = std::make_unique<SkMainWindow>(QStringList{"--n", "50", path});
    QVERIFY(QTest::qWaitFor([&] { return action(window.get(), "nextBatchAction")->isEnabled(); }, Long));
    QElapsedTimer closing;
    closing.start();
    window->close();
    window.reset();
    QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
}

void TestMainWindowAlarms::closingWhileAStreamReadBlocksEndsPromptly()
{
    // A radar that accepts the connection and then stays silent.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    loadReading = false;
    previousHandler = qInstallMessageHandler(watchLoadReading);
    auto window = std::make_unique<SkMainWindow>(
        QStringList{QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())});
    QVERIFY(silent.waitForNewConnection(Long));
    const bool reading = QTest::qWaitFor([] { return loadReading.load(); }, Long);
    qInstallMessageHandler(previousHandler);
    QVERIFY(reading);
    // The read notices the request to stop when its receive time-out ends.
    const int promptly = SkFrameTaskLoad::StreamTimeoutSeconds * 1000 + 500;
    QElapsedTimer closing;
    closing.start();
    window->close();
    window.reset();
    QVERIFY2(closing.elapsed() < promptly, qPrintable(QString::number(closing.elapsed())));
}

QTEST_MAIN(TestMainWindowAlarms)
#include "tst_mainwindow_alarms.moc"
