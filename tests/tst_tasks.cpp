// The tasks on the frame store: loading files and streams, the alarm task's order and
// restarts, the record task's minute files with an injected clock, and the alarm script.

#include "SkAlarmScript.h"
#include "SkFrameStore.h"
#include "SkFrameTaskAlarm.h"
#include "SkFrameTaskLoad.h"
#include "SkStoreMetaTypes.h"

#include "RuAlarmCalculator.h"
#include "RuFile.h"
#include "RuSimulator.h"

#include "TaskTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

namespace {

using namespace tasktest;

// The results the store announces, in the order they reach the user-interface thread.
class ResultLog : public QObject
{
public:
    explicit ResultLog(SkFrameStore *store)
    {
        connect(store, &SkFrameStore::alarmCalculated, this,
                [this](int n, const SkAlarmResultSharedPtr &r) {
                    frames.append(n);
                    results.append(r);
                });
    }
    bool waitFor(int count)
    {
        return QTest::qWaitFor([this, count] { return frames.size() >= count; }, Long);
    }
    QVector<int> frames;
    QVector<SkAlarmResultSharedPtr> results;
};

RuAlarmCalculator configuredCalculator(int liveChBegin)
{
    RuAlarmCalculator calculator;
    RuAlarmParams params;
    params.avgTime = 2; // the filtered matrix depends on the frame before
    params.liveChBegin = liveChBegin;
    calculator.setAlarmParams(params);
    calculator.setAvalancheEnable(0, true);
    RuLiveEnables live;
    live.activity = true;
    calculator.setLiveEnables(live);
    return calculator;
}

bool sameResult(const SkAlarmResultSharedPtr &a, const SkAlarmResultSharedPtr &b)
{
    if (!a || !b || a->hasFiltered() != b->hasFiltered() || a->live.activity != b->live.activity)
        return false;
    if (a->filteredFromFrame != b->filteredFromFrame || !a->filtered != !b->filtered)
        return false;
    return !a->filtered || *a->filtered == *b->filtered;
}

QString makeScript(const QTemporaryDir &dir, const QString &name, const QByteArray &body,
                   bool executable = true)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(body);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
    return path;
}

} // namespace

class TestTasks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { skRegisterStoreMetaTypes(); }

    void loaderDescribesItsSources_data();
    void loaderDescribesItsSources();
    void missingFirstFileFailsBeforeLaterFiles();
    void fileLoadPausesOnFullStoreUntilRelease();
    void sleepingLoaderStops_data();
    void sleepingLoaderStops();
    void readErrorKeepsFramesReadBefore();
    void streamDropsAreCountedAndReported();
    void quietStreamIsNoErrorAndAbortEndsTheRead();
    void alarmTaskFollowsFramesInOrder();
    void alarmTaskRestartsAfterDrop();
    void alarmTaskRecomputesAfterParameterChange();
    void alarmTaskStartsAfreshInANewWindow();
    void idleAlarmTaskAbortsAtOnce();
    void alarmScriptReportsOutcome_data();
    void alarmScriptReportsOutcome();
    void alarmScriptRunsOneInstance();
};

void TestTasks::loaderDescribesItsSources_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QString>("description");
    QTest::newRow("three files") << QStringList{"a.rrd", "b.rrd", "c.rrd"} << "Loader(3 files)";
    QTest::newRow("two files") << QStringList{"a.rrd", "b.rrd"} << "Loader(a.rrd, b.rrd)";
    QTest::newRow("stream") << QStringList{"radar.local:1023"} << "Loader(radar.local:1023)";
}

void TestTasks::loaderDescribesItsSources()
{
    QFETCH(QStringList, sources);
    QFETCH(QString, description);
    SkFrameStore store;
    SkFrameTaskLoad task(&store, sources);
    QCOMPARE(task.name(), QStringLiteral("Loader"));
    QCOMPARE(task.description(), description);
}

void TestTasks::missingFirstFileFailsBeforeLaterFiles()
{
    QTemporaryDir dir;
    const QString good = writeRecording(dir, "good.rrd0", 4);
    const QString missing = dir.filePath("missing.rrd0");
    SkFrameStore store;
    Running<SkFrameTaskLoad> run(new SkFrameTaskLoad(&store, {missing, good}));
    QVERIFY(run.waitDone());
    QCOMPARE(run.task->status(), SkTaskFailed);
    QVERIFY2(run.task->errorString().startsWith("File open error! Reason: "),
             qPrintable(run.task->errorString()));
    QVERIFY(run.task->errorString().endsWith(", Name: " + missing));
    QCOMPARE(store.endFrame(), 0);
}

void TestTasks::fileLoadPausesOnFullStoreUntilRelease()
{
    QTemporaryDir dir;
    const QString path = writeRecording(dir, "a.rrd0.gz", 25);
    SkFrameStore store;
    store.clear();
    store.setMaxSize(10);
    Running<SkFrameTaskLoad> run(new SkFrameTaskLoad(&store, {path}));
    QTRY_COMPARE_WITH_TIMEOUT(store.endFrame(), 10, Long);
    QVERIFY(!run.task->isDone());
    store.releaseFrames(10);
    QTRY_COMPARE_WITH_TIMEOUT(store.endFrame(), 20, Long);
    store.releaseFrames(4);
    QTRY_COMPARE_WITH_TIMEOUT(store.endFrame(), 24, Long);
    store.releaseFrames(10);
    QVERIFY(run.waitDone());
    QCOMPARE(run.task->status(), SkTaskSucceeded);
    QCOMPARE(store.endFrame(), 25);
    QCOMPARE(store.waitFrame(24, 0).sourceText(), path);
}

void TestTasks::sleepingLoaderStops_data()
{
    QTest::addColumn<bool>("abort");
    QTest::addColumn<bool>("reopen");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("frames");
    QTest::newRow("abort") << true << false << int(SkTaskAborted) << 10;
    QTest::newRow("abort, then reopen") << true << true << int(SkTaskAborted) << 0;
    // A load task left running when a new window opens must not leak into it.
    QTest::newRow("reopen without abort") << false << true << int(SkTaskSucceeded) << 0;
}

void TestTasks::sleepingLoaderStops()
{
    QFETCH(bool, abort);
    QFETCH(bool, reopen);
    QFETCH(int, status);
    QFETCH(int, frames);
    QTemporaryDir dir;
    const QString path = writeRecording(dir, "a.rrd0", 25);
    SkFrameStore store;
    store.clear();
    store.setMaxSize(10);
    Running<SkFrameTaskLoad> run(new SkFrameTaskLoad(&store, {path}));
    QTRY_COMPARE_WITH_TIMEOUT(store.endFrame(), 10, Long);
    if (abort)
        run.task->abort();
    if (reopen) {
        store.clear();
        store.setMaxSize(10);
    }
    QVERIFY(run.waitDone());
    QCOMPARE(int(run.task->status()), status);
    QCOMPARE(store.endFrame(), frames);
}

void TestTasks::readErrorKeepsFramesReadBefore()
{
    QTemporaryDir dir;
    const QString path = writeRecording(dir, "a.rrd0", 5);
    // A sixth frame whose second range-gate record carries the wrong number.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray bytes = file.readAll();
    QByteArray bad = bytes.right(bytes.size() / 5);
    const int record1 = 4 + RRD_INFO_SIZE + RRD_RANGEGATE_SIZE;
    unsigned char number[4];
    rrd_put_s32(number, 7);
    bad.replace(record1, 4, reinterpret_cast<const char *>(number), 4);
    file.write(bad);
    file.close();

    SkFrameStore store;
    Running<SkFrameTaskLoad> run(new SkFrameTaskLoad(&store, {path}));
    QVERIFY(run.waitDone());
    QCOMPARE(run.task->status(), SkTaskFailed);
    QVERIFY2(run.task->errorString().startsWith("File read error! Reason: "),
             qPrintable(run.task->errorString()));
    QVERIFY(run.task->errorString().endsWith(", Name: " + path));
    QCOMPARE(store.endFrame(), 5);
}

void TestTasks::streamDropsAreCountedAndReported()
{
    const int sent = 60;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    SkFrameStore store;
    store.clear();
    store.setMaxSize(5);
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    Running<SkFrameTaskLoad> run(new SkFrameTaskLoad(&store, {address}));
    int dropped = 0;
    int reports = 0;
    QObject receiver;
    connect(run.task.get(), &SkFrameTask::framesDropped, &receiver, [&](int n) {
        dropped += n;
        ++reports;
    });
    QVERIFY(server.waitForNewConnection(Long));
    QTcpSocket *socket = server.nextPendingConnection();
    RuSimulator simulator(smallScene(sent));
    QByteArray bytes;
    for (int i = 0; i < sent; ++i) {
        rrd_frame *record = simulator.newRecord(i);
        bytes.append(reinterpret_cast<const char *>(record->data), record->size);
        rrd_frame_free(record);
    }
    socket->write(bytes);
    QVERIFY(QTest::qWaitFor([&] { return socket->bytesToWrite() == 0; }, Long));
    socket->disconnectFromHost();
    QVERIFY(run.waitDone());
    // A radar that hangs up is a lost stream, not the end of the data.
    QCOMPARE(run.task->status(), SkTaskFailed);
    QVERIFY2(run.task->errorString().startsWith("stream lost: "), qPrintable(run.task->errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(dropped, sent - 5, Long);
    QCOMPARE(store.endFrame(), 5);
    QVERIFY2(reports < dropped, qPrintable(QString("%1 reports").arg(reports)));
}

void TestTasks::quietStreamIsNoErrorAndAbortEndsTheRead()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    SkFrameStore store;
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    Running<SkFrameTaskLoad> run(new SkFrameTaskLoad(&store, {address}));
    QVERIFY(server.waitForNewConnection(Long));
    QTcpSocket *socket = server.nextPendingConnection();
    // The radar may be quiet between frames for longer than the receive time-out: the task
    // must still be reading after it, so the wait fails the moment the task ends.
    const int quietMs = SkFrameTaskLoad::StreamTimeoutSeconds * 1000 + 700;
    QVERIFY(!QTest::qWaitFor([&] { return run.task->isDone(); }, quietMs));
    rrd_frame *record = RuSimulator(smallScene(1)).newRecord(0);
    socket->write(reinterpret_cast<const char *>(record->data), record->size);
    rrd_frame_free(record);
    QTRY_COMPARE_WITH_TIMEOUT(store.endFrame(), 1, Long);
    // Blocked in the read again: the abort is noticed when the time-out expires.
    run.task->abort();
    QVERIFY(run.waitDone());
    QCOMPARE(run.task->status(), SkTaskAborted);
}

void TestTasks::alarmTaskFollowsFramesInOrder()
{
    const RuSimulator simulator(smallScene(20, 12));
    SkFrameStore store;
    store.clear();
    store.setMaxSize(50);
    ResultLog log(&store);
    appendFrames(store, simulator, 0, 10);
    auto *task = new SkFrameTaskAlarm(&store);
    *task->calculator() = configuredCalculator(100);
    Running<SkFrameTaskAlarm> run(task);
    QVERIFY(log.waitFor(10));
    appendFrames(store, simulator, 10, 10);
    QVERIFY(log.waitFor(20));
    RuAlarmCalculator direct = configuredCalculator(100);
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(log.frames.at(i), i);
        direct.processFrame(simulator.frame(i), simulator.frame(i).timeMicros());
        QVERIFY2(sameResult(log.results.at(i), direct.lastResult()), qPrintable(QString::number(i)));
        QCOMPARE(store.waitFrame(i, 0).alarmResult(), log.results.at(i));
    }
}

void TestTasks::alarmTaskRestartsAfterDrop()
{
    const RuSimulator simulator(smallScene(20, 12));
    SkFrameStore store;
    store.clear();
    store.setMaxSize(5);
    ResultLog log(&store);
    // Holds the alarm task right after its result for frame 4, before it asks for frame 5.
    QSemaphore reached, go;
    connect(&store, &SkFrameStore::alarmCalculated, &store,
            [&](int n) {
                if (n == 4) {
                    reached.release();
                    go.acquire();
                }
            },
            Qt::DirectConnection);
    appendFrames(store, simulator, 0, 5);
    auto *task = new SkFrameTaskAlarm(&store);
    *task->calculator() = configuredCalculator(100);
    Running<SkFrameTaskAlarm> run(task);
    QVERIFY(reached.tryAcquire(1, Long));
    store.releaseFrames(5);
    appendFrames(store, simulator, 5, 5);
    store.releaseFrames(3);
    appendFrames(store, simulator, 10, 3);
    go.release();
    QVERIFY(log.waitFor(10));
    QCOMPARE(log.frames, (QVector<int>{0, 1, 2, 3, 4, 8, 9, 10, 11, 12}));
    // Frame 8 is evaluated with fresh state: as the first frame of a new calculator.
    RuAlarmCalculator fresh = configuredCalculator(100);
    for (int i = 8; i <= 12; ++i) {
        fresh.processFrame(simulator.frame(i), simulator.frame(i).timeMicros());
        QVERIFY2(sameResult(log.results.at(i - 3), fresh.lastResult()), qPrintable(QString::number(i)));
    }
}

void TestTasks::alarmTaskRecomputesAfterParameterChange()
{
    const RuSimulator simulator(smallScene(12, 12));
    SkFrameStore store;
    store.clear();
    store.setMaxSize(8);
    appendFrames(store, simulator, 0, 8);
    store.releaseFrames(3);
    appendFrames(store, simulator, 8, 3);
    {
        ResultLog first(&store);
        auto *task = new SkFrameTaskAlarm(&store);
        *task->calculator() = configuredCalculator(100);
        Running<SkFrameTaskAlarm> run(task);
        QVERIFY(first.waitFor(8));
        QCOMPARE(first.frames.first(), 3);
    }
    store.clearAlarmResults();
    QVERIFY(!store.waitFrame(5, 0).hasAlarmResult());
    ResultLog second(&store);
    auto *task = new SkFrameTaskAlarm(&store);
    *task->calculator() = configuredCalculator(400);
    Running<SkFrameTaskAlarm> run(task);
    QVERIFY(second.waitFor(8));
    RuAlarmCalculator direct = configuredCalculator(400);
    for (int i = 3; i < 11; ++i) {
        QCOMPARE(second.frames.at(i - 3), i);
        direct.processFrame(simulator.frame(i), simulator.frame(i).timeMicros());
        QVERIFY(sameResult(store.waitFrame(i, 0).alarmResult(), direct.lastResult()));
    }
}

void TestTasks::alarmTaskStartsAfreshInANewWindow()
{
    const RuSimulator simulator(smallScene(20, 12));
    SkFrameStore store;
    store.clear();
    store.setMaxSize(10);
    ResultLog log(&store);
    appendFrames(store, simulator, 0, 5);
    auto *task = new SkFrameTaskAlarm(&store);
    *task->calculator() = configuredCalculator(100);
    Running<SkFrameTaskAlarm> run(task);
    QVERIFY(log.waitFor(5));
    // Reopening without restarting the task: the new frames are numbered from 0 again.
    store.clear();
    store.setMaxSize(10);
    appendFrames(store, simulator, 10, 3);
    QVERIFY(log.waitFor(8));
    QCOMPARE(log.frames, (QVector<int>{0, 1, 2, 3, 4, 0, 1, 2}));
    RuAlarmCalculator fresh = configuredCalculator(100);
    for (int i = 0; i < 3; ++i) {
        fresh.processFrame(simulator.frame(10 + i), simulator.frame(10 + i).timeMicros());
        QVERIFY(sameResult(log.results.at(5 + i), fresh.lastResult()));
    }
}

void TestTasks::idleAlarmTaskAbortsAtOnce()
{
    SkFrameStore store;
    Running<SkFrameTaskAlarm> run(new SkFrameTaskAlarm(&store));
    QCOMPARE(run.task->name(), QStringLiteral("Alarm"));
    run.task->abort();
    QVERIFY(run.waitDone());
    QCOMPARE(run.task->status(), SkTaskAborted);
}

void TestTasks::alarmScriptReportsOutcome_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QList<int>>("timeouts");
    QTest::addColumn<QList<int>>("outcomes");
    const int started = SkAlarmScript::Started;
    const int failed = SkAlarmScript::Failed;
    QTest::newRow("success") << QByteArray("#!/bin/sh\nexit 0\n") << true
                             << QStringList{"Alarm script %1 started!",
                                            "Alarm script %1 finished successfully!"}
                             << QList<int>{1000, 4000}
                             << QList<int>{started, SkAlarmScript::Succeeded};
    QTest::newRow("exit code 3") << QByteArray("#!/bin/sh\nexit 3\n") << true
                                 << QStringList{"Alarm script %1 started!", "Alarm script %1 failed!"}
                                 << QList<int>{1000, 4000} << QList<int>{started, failed};
    QTest::newRow("crash") << QByteArray("#!/bin/sh\nkill -9 $$\n") << true
                           << QStringList{"Alarm script %1 started!", "Alarm script %1 crashed!"}
                           << QList<int>{1000, 4000} << QList<int>{started, failed};
    QTest::newRow("cannot start") << QByteArray("#!/nonexistent/interpreter\n") << true
                                  << QStringList{"Alarm script %1 failed to start!"}
                                  << QList<int>{4000} << QList<int>{failed};
    QTest::newRow("not executable") << QByteArray("#!/bin/sh\n") << false
                                    << QStringList{"Script %1 not executable!"} << QList<int>{0}
                                    << QList<int>{failed};
    QTest::newRow("not found") << QByteArray() << false << QStringList{"File %1 not found!"}
                               << QList<int>{0} << QList<int>{failed};
    QTest::newRow("empty path") << QByteArray() << false << QStringList() << QList<int>()
                                << QList<int>();
}

void TestTasks::alarmScriptReportsOutcome()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, executable);
    QFETCH(QStringList, messages);
    QFETCH(QList<int>, timeouts);
    QFETCH(QList<int>, outcomes);
    QTemporaryDir dir;
    QString path;
    if (QTest::currentDataTag() == QByteArray("not found"))
        path = dir.filePath("missing.sh");
    else if (QTest::currentDataTag() != QByteArray("empty path"))
        path = makeScript(dir, "alarm.sh", body, executable);
    SkAlarmScript script;
    script.setScriptPath(path);
    QSignalSpy spy(&script, &SkAlarmScript::message);
    script.run();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), messages.size(), Long);
    QVERIFY(QTest::qWaitFor([&] { return !script.isRunning(); }, Long));
    QCOMPARE(spy.count(), messages.size());
    for (int i = 0; i < messages.size(); ++i) {
        QCOMPARE(spy.at(i).at(0).toString(), messages.at(i).arg(path));
        QCOMPARE(spy.at(i).at(1).toInt(), timeouts.at(i));
        QCOMPARE(spy.at(i).at(2).value<SkAlarmScript::Outcome>(), outcomes.at(i));
    }
}

void TestTasks::alarmScriptRunsOneInstance()
{
    QTemporaryDir dir;
    const QString go = dir.filePath("go");
    const QString path = makeScript(dir, "alarm.sh",
                                    "#!/bin/sh\nwhile [ ! -e '" + go.toUtf8()
                                        + "' ]; do sleep 0.05; done\necho run >> '"
                                        + dir.filePath("runs").toUtf8() + "'\n");
    SkAlarmScript script;
    script.setScriptPath(path);
    QSignalSpy spy(&script, &SkAlarmScript::message);
    script.run();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, Long);
    script.run();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("Alarm script already running!"));
    QCOMPARE(spy.at(1).at(2).value<SkAlarmScript::Outcome>(), SkAlarmScript::Refused);
    QFile(go).open(QIODevice::WriteOnly);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, Long);
    QCOMPARE(spy.at(2).at(0).toString(), QStringLiteral("Alarm script %1 finished successfully!").arg(path));
    // A later alarm starts it again.
    script.run();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 5, Long);
    QFile runs(dir.filePath("runs"));
    QVERIFY(runs.open(QIODevice::ReadOnly));
    QCOMPARE(runs.readAll(), QByteArray("run\nrun\n"));
}

QTEST_GUILESS_MAIN(TestTasks)
#include "tst_tasks.moc"
