// SkLiveSession as the viewer drives it: a stream that is lost and comes back while recording,
// a host that takes connections and drops them, a stream that must not be reconnected, a
// paused stream that goes on loading and recording, paused batches over a file, the radar's
// own settings, a restart of the alarm computation, and a stop that does not hang on a quiet
// radar.

#include "RrdcliTestSupport.h"
#include "RuAlarmEvents.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkStoreMetaTypes.h"
#include "TaskTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

using namespace tasktest;
using rrdclitest::ServeProcess;

namespace {

// What a front end sees of the session.
struct Seen
{
    QList<int> results;        // frame numbers of accepted results, in arrival order
    QStringList rows;          // "frame tag" of every alarm-log event handed out
    bool eventsOfTheirResult = true;
    QStringList lost;
    int back = 0;
    int announcedEnd = 0;      // the store's end, as its announcements have reached us
    int backAt = -1;           // ... when the stream was reported back
    int dropped = 0;
    int batchesOffered = 0;
    int complete = 0;
    int restarts = 0;
    QList<RuAlarmCalculator> taken;
    bool stopped = false;
    QStringList taskMessages;

    explicit Seen(SkLiveSession *session)
    {
        QObject::connect(session, &SkLiveSession::alarmCalculated, session,
                         [this](int n, const SkAlarmResultSharedPtr &result,
                                const QVector<RuAlarmEvent> &events) {
                             results.append(n);
                             const QVector<RuAlarmEvent> own = ruAlarmEvents(*result);
                             eventsOfTheirResult = eventsOfTheirResult && own.size() == events.size();
                             for (int i = 0; i < events.size() && eventsOfTheirResult; ++i) {
                                 eventsOfTheirResult = own.at(i).detail == events.at(i).detail;
                                 rows.append(QStringLiteral("%1 %2").arg(n).arg(events.at(i).tag));
                             }
                         });
        QObject::connect(session->store(), &SkFrameStore::dataRangeChanged, session,
                         [this](int start, int len) { announcedEnd = start + len; });
        QObject::connect(session, &SkLiveSession::streamLost, session,
                         [this](const QString &reason) { lost.append(reason); });
        QObject::connect(session, &SkLiveSession::streamBack, session, [this] {
            ++back;
            backAt = announcedEnd;
        });
        QObject::connect(session, &SkLiveSession::framesDropped, session,
                         [this](int n) { dropped += n; });
        QObject::connect(session, &SkLiveSession::processParametersTaken, session,
                         [this](const RuAlarmCalculator &c) { taken.append(c); });
        QObject::connect(session, &SkLiveSession::nextBatchAvailable, session,
                         [this] { ++batchesOffered; });
        QObject::connect(session, &SkLiveSession::analysisComplete, session, [this] { ++complete; });
        QObject::connect(session, &SkLiveSession::alarmRestarting, session, [this] { ++restarts; });
        QObject::connect(session, &SkLiveSession::stopped, session, [this] { stopped = true; });
        QObject::connect(session, &SkLiveSession::taskFinished, session,
                         [this](const SkFrameTask *, int, const QString &text) { taskMessages.append(text); });
    }
    bool inOrder(int first, int count) const
    {
        QList<int> expected;
        for (int i = first; i < first + count; ++i)
            expected.append(i);
        return results == expected;
    }
};

// A radar on 127.0.0.1 that sends frames to whoever connects.
struct FakeRadar
{
    QTcpServer server;
    RuSimulator simulator{smallScene(200, 3)};
    QTcpSocket *client = nullptr;

    FakeRadar() { server.listen(QHostAddress::LocalHost); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }
    bool accept()
    {
        if (!server.waitForNewConnection(Long))
            return false;
        client = server.nextPendingConnection();
        return client != nullptr;
    }
    bool send(int first, int count)
    {
        for (int i = first; i < first + count; ++i) {
            rrd_frame *record = simulator.newRecord(i);
            client->write(reinterpret_cast<const char *>(record->data), record->size);
            rrd_frame_free(record);
        }
        return QTest::qWaitFor([this] { return client->bytesToWrite() == 0; }, Long);
    }
    void hangUp()
    {
        client->disconnectFromHost();
        client->deleteLater();
        client = nullptr;
    }
};

int framesRecorded(const QString &record)
{
    int frames = 0;
    for (const QString &folder : {QStringLiteral("rdata"), QStringLiteral("alarm")}) {
        const QDir dir(record + QLatin1Char('/') + folder);
        for (const QString &name : dir.entryList(QDir::Files)) {
            const int n = framesInFile(dir.filePath(name));
            if (n < 0)
                return -1;
            frames += n;
        }
    }
    return frames;
}

// The times of the frames in the minute files below `record`, in recording order.
QVector<qint64> recordedTimes(const QString &record)
{
    QStringList files;
    for (const QString &folder : {QStringLiteral("rdata"), QStringLiteral("alarm")}) {
        const QDir dir(record + QLatin1Char('/') + folder);
        for (const QString &name : dir.entryList(QDir::Files))
            files.append(dir.filePath(name));
    }
    std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
        return QFileInfo(a).fileName() < QFileInfo(b).fileName();
    });
    QVector<qint64> times;
    for (const QString &path : files) {
        RuFile file;
        file.open(path, 'r', 0);
        for (RuFrame frame; file.isOpen() && file.readFrame(frame); frame = RuFrame())
            times.append(frame.timeMicros());
    }
    return times;
}

RuSimulatorOptions radarScene()
{
    RuSimulatorOptions options;
    options.scenario = RuScenario::Avalanche;
    options.frames = 100; // the avalanche comes at frame 40 and is over by frame 70
    options.processParams = true;
    return options;
}

// "frame tag" of every alarm-log event the radar's own settings give over the scene.
QStringList rowsWithTheRadarsSettings(const RuSimulator &simulator, int frames)
{
    RuAlarmCalculator calculator;
    calculator.fromProcessParameters(simulator.frame(0).info());
    QStringList rows;
    for (int n = 0; n < frames; ++n) {
        const RuFrame frame = simulator.frame(n);
        calculator.processFrame(frame, frame.timeMicros());
        for (const RuAlarmEvent &event : ruAlarmEvents(*calculator.lastResult()))
            rows.append(QStringLiteral("%1 %2").arg(n).arg(event.tag));
    }
    return rows;
}

QString localAddress(int port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

} // namespace

class TestLiveSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { skRegisterStoreMetaTypes(); }

    void lostStreamComesBackAndEverythingCarriesOn();
    void streamIsBackWithItsFirstFrame();
    void hostThatTakesAndDropsConnectionsIsNeverBack();
    void lostStreamEndsTheLoadWithoutReconnect();
    void pausedStreamGoesOnLoadingAnalysingAndRecording();
    void busyConsumerLosesNoFrameOfAFastStream_data();
    void busyConsumerLosesNoFrameOfAFastStream();
    void pausedWindowMovesOnByBatchesOnRequest();
    void restartRecomputesEveryHeldFrame();
    void takesSettingsFromTheFirstFrameOfEachOpen();
    void openWithProcessParametersComputesOnceWithTheRadarsSettings();
    void settingsOfAPacketRestartTheComputation();
    void streamWithoutSettingsGoesOnLoadingAndRecording_data();
    void streamWithoutSettingsGoesOnLoadingAndRecording();
    void stopsPromptlyOnAQuietStream();
};

void TestLiveSession::lostStreamComesBackAndEverythingCarriesOn()
{
    FakeRadar radar;
    QTemporaryDir dir;
    SkLiveSession session;
    Seen seen(&session);
    session.open({radar.address()}, 1000, 1);
    SkLiveSession::RecordOptions record;
    record.path = dir.path();
    record.startFrame = -1;
    session.startRecording(record);
    QVERIFY(session.isRecording());

    QVERIFY(radar.accept());
    QVERIFY(radar.send(0, 30));
    radar.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(seen.lost.size(), 1, Long);
    QCOMPARE(seen.lost.first(), QStringLiteral("the radar closed the connection"));
    QVERIFY(radar.accept()); // after the first back-off of a second
    QVERIFY(radar.send(30, 30));
    // Frames are numbered on, and every one has its result, in order.
    QTRY_COMPARE_WITH_TIMEOUT(seen.results.size(), 60, Long);
    QVERIFY(seen.inOrder(0, 60));
    QCOMPARE(session.store()->endFrame(), 60);
    // Back with its first frame, not with the connection.
    QCOMPARE(seen.back, 1);
    QVERIFY2(seen.backAt > 30, qPrintable(QString::number(seen.backAt)));

    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(seen.stopped, Long);
    QCOMPARE(framesRecorded(dir.path()), 60);
    QVERIFY(!seen.taskMessages.join('\n').contains("error"));
    const SkLiveSession::RecordCounts counts = session.recordCounts();
    QCOMPARE(counts.files, 1);
    QCOMPARE(counts.frames, 60);
    QCOMPARE(counts.lastFrame, 59);
}

void TestLiveSession::streamIsBackWithItsFirstFrame()
{
    ServeProcess first({"--rate", "100", "--frames", "20"});
    const int port = first.port();
    QVERIFY(port > 0);
    SkLiveSession session;
    Seen seen(&session);
    session.open({localAddress(port)}, 100, 1);
    // The server ends after its frames.
    QTRY_COMPARE_WITH_TIMEOUT(seen.lost.size(), 1, Long);
    QCOMPARE(seen.back, 0);
    ServeProcess second({"--rate", "100", "--frames", "20"}, quint16(port));
    QCOMPARE(int(second.port()), port);
    QTRY_COMPARE_WITH_TIMEOUT(seen.results.size(), 40, Long);
    QCOMPARE(seen.back, 1);
    QVERIFY2(seen.backAt > 20, qPrintable(QString::number(seen.backAt)));
    QVERIFY(seen.inOrder(0, 40));
}

// A host that accepts and resets at once: lost once, and never back, however often the
// session reaches it again.
void TestLiveSession::hostThatTakesAndDropsConnectionsIsNeverBack()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            ++connections;
            socket->abort();
            socket->deleteLater();
        }
    });
    SkLiveSession session;
    Seen seen(&session);
    session.open({localAddress(server.serverPort())}, 100, 1);
    // The first connection, then two more after 1 and 2 s of back-off.
    QTRY_VERIFY_WITH_TIMEOUT(connections >= 3, Long);
    QTRY_COMPARE_WITH_TIMEOUT(seen.lost.size(), 1, Long);
    QCOMPARE(seen.back, 0);
    QCOMPARE(session.store()->endFrame(), 0);
    QVERIFY(session.isRunning());
}

void TestLiveSession::lostStreamEndsTheLoadWithoutReconnect()
{
    FakeRadar radar;
    SkLiveSession session;
    Seen seen(&session);
    session.setReconnect(false);
    session.open({radar.address()}, 1000, 1);
    QVERIFY(radar.accept());
    QVERIFY(radar.send(0, 5));
    radar.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 1, Long);
    QVERIFY(seen.lost.isEmpty());
    QCOMPARE(seen.taskMessages,
             QStringList{"Task Loader(" + radar.address()
                         + ") finished with error 'stream lost: the radar closed the connection'"});
    QVERIFY(seen.inOrder(0, 5));
}

// Pausing freezes what a front end shows, not the radar: every frame of `rrdcli serve` is
// stored, analysed and recorded, with a window far smaller than what arrives.
void TestLiveSession::pausedStreamGoesOnLoadingAnalysingAndRecording()
{
    ServeProcess serve({"--rate", "10", "--frames", "40"});
    const int port = serve.port();
    QVERIFY(port > 0);
    QTemporaryDir dir;
    SkLiveSession session;
    Seen seen(&session);
    session.setPlaying(false);
    session.open({localAddress(port)}, 10, 1);
    SkLiveSession::RecordOptions record;
    record.path = dir.path();
    record.startFrame = -1;
    session.startRecording(record);
    QTRY_COMPARE_WITH_TIMEOUT(seen.results.size(), 40, Long);
    QVERIFY(seen.inOrder(0, 40));
    QCOMPARE(session.store()->endFrame(), 40);
    QCOMPARE(seen.dropped, 0);
    QCOMPARE(seen.batchesOffered, 0);
    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(seen.stopped, Long);
    const QVector<qint64> times = recordedTimes(dir.path());
    QCOMPARE(times.size(), 40);
    const qint64 interval = RuSimulatorOptions().intervalMs * 1000LL;
    QCOMPARE(times.first(), RuSimulatorOptions().startMicros);
    for (int i = 1; i < times.size(); ++i)
        QCOMPARE(times.at(i) - times.at(i - 1), interval);
}

void TestLiveSession::busyConsumerLosesNoFrameOfAFastStream_data()
{
    QTest::addColumn<int>("batch");
    QTest::newRow("batch 1") << 1;
    QTest::newRow("batch 10") << 10;
}

// A user-interface thread that keeps up on average but is busy now and then: the frames the
// radar sends meanwhile must still be stored, analysed and recorded, every one of them.
void TestLiveSession::busyConsumerLosesNoFrameOfAFastStream()
{
    QFETCH(int, batch);
    const int frames = 200;
    ServeProcess serve({"--rate", "50", "--frames", QString::number(frames)});
    QVERIFY(serve.port() > 0);
    QTemporaryDir dir;
    SkLiveSession session;
    session.setReconnect(false);
    Seen seen(&session);
    // 300 ms on every 50th result: 15 frames arrive meanwhile, 6 ms of work a frame on average.
    connect(&session, &SkLiveSession::alarmCalculated, &session, [](int n) {
        if (n % 50 == 49)
            QThread::msleep(300);
    });
    session.open({serve.address()}, 50, batch);
    SkLiveSession::RecordOptions record;
    record.path = dir.path();
    record.startFrame = -1;
    session.startRecording(record);
    // The radar hangs up after its last frame, which ends the load.
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 1, Long);
    QCOMPARE(seen.dropped, 0);
    QVERIFY(seen.inOrder(0, frames));
    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(seen.stopped, Long);
    QCOMPARE(recordedTimes(dir.path()).size(), frames);
}

// A paused file waits at a full store; the batch is offered, and offered again when the
// window is recomputed meanwhile.
void TestLiveSession::pausedWindowMovesOnByBatchesOnRequest()
{
    QTemporaryDir dir;
    const QString path = writeRecording(dir, "a.rrd0.gz", 30);
    SkLiveSession session;
    Seen seen(&session);
    session.setPlaying(false);
    session.open({path}, 10, 5);
    QVERIFY(!session.isStream());
    QTRY_COMPARE_WITH_TIMEOUT(seen.batchesOffered, 1, Long);
    QCOMPARE(session.state(), SkLiveSession::BatchOffered);
    QVERIFY(seen.inOrder(0, 10));
    QCOMPARE(session.store()->startFrame(), 0);
    QCOMPARE(session.store()->endFrame(), 10);
    session.releaseNextBatch();
    QCOMPARE(session.state(), SkLiveSession::Analysing);
    QTRY_COMPARE_WITH_TIMEOUT(seen.batchesOffered, 2, Long);
    QVERIFY(seen.inOrder(0, 15));
    QCOMPARE(session.store()->startFrame(), 5);
    QCOMPARE(session.store()->endFrame(), 15);
    seen.results.clear();
    session.restartAlarm();
    QTRY_COMPARE_WITH_TIMEOUT(seen.batchesOffered, 3, Long);
    QVERIFY(seen.inOrder(5, 10));
    // Play again: the rest goes by itself.
    session.setPlaying(true);
    session.releaseNextBatch();
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 1, Long);
    QVERIFY(seen.inOrder(5, 25));
    QCOMPARE(session.state(), SkLiveSession::Complete);
    QCOMPARE(seen.batchesOffered, 3);
}

void TestLiveSession::restartRecomputesEveryHeldFrame()
{
    QTemporaryDir dir;
    const int frames = 100;
    const QString path = dir.filePath("wide.rrd0.gz");
    QVERIFY(RuSimulator(smallScene(frames, 32)).writeRecording(path));
    SkLiveSession session;
    Seen seen(&session);
    session.open({path}, frames, 50);
    QCOMPARE(seen.restarts, 1);
    // Restarted while the first frame is computed: nothing of the old task may slip in.
    QTRY_VERIFY_WITH_TIMEOUT(session.store()->endFrame() > 0, Long);
    const int completeBefore = seen.complete;
    seen.results.clear();
    session.restartAlarm(session.calculator());
    QCOMPARE(seen.restarts, 2);
    // The first task may already have released a batch: the restart recomputes what is held.
    const int first = session.store()->startFrame();
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, completeBefore + 1, Long);
    QVERIFY2(seen.inOrder(first, frames - first), qPrintable(QString::number(seen.results.value(0))));
    // Reopening starts the numbering afresh.
    seen.results.clear();
    session.reopen();
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, completeBefore + 2, Long);
    QVERIFY(seen.inOrder(0, frames));
}

void TestLiveSession::takesSettingsFromTheFirstFrameOfEachOpen()
{
    QTemporaryDir dir;
    RuSimulatorOptions options = smallScene(30, 3);
    options.processParams = true;
    const QString withSettings = dir.filePath("radar.rrd0.gz");
    QVERIFY(RuSimulator(options).writeRecording(withSettings));
    const QString plain = writeRecording(dir, "plain.rrd0.gz", 30);
    SkLiveSession session;
    Seen seen(&session);
    QStringList missing;
    connect(&session, &SkLiveSession::processParametersMissing, &session,
            [&](const QString &text) { missing.append(text); });
    session.setProcessParameters(true);
    for (int open = 1; open <= 3; ++open) {
        seen.results.clear();
        session.open({withSettings}, 10, 5);
        QTRY_COMPARE_WITH_TIMEOUT(seen.complete, open, Long);
        QVERIFY(seen.inOrder(0, 30));
        QCOMPARE(seen.restarts, open);
        QCOMPARE(seen.taken.size(), open);
    }
    seen.results.clear();
    session.open({plain}, 10, 5);
    // The window goes through the file as with results; nothing is analysed.
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 4, Long);
    QCOMPARE(session.store()->endFrame(), 30);
    QCOMPARE(missing.size(), 1);
    QVERIFY(seen.results.isEmpty());
    QCOMPARE(seen.taken.size(), 3);
    QCOMPARE(session.state(), SkLiveSession::Complete);
    QVERIFY2(missing.first().startsWith("No process parameters found in rrd_info"),
             qPrintable(missing.first()));
    // Paused, each full window is offered once and moves on when released.
    session.setPlaying(false);
    session.reopen();
    for (int offered = 1; offered <= 4; ++offered) {
        QTRY_COMPARE_WITH_TIMEOUT(seen.batchesOffered, offered, Long);
        QCOMPARE(session.store()->endFrame(), 5 + 5 * offered);
        session.releaseNextBatch();
    }
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 5, Long);
    QCOMPARE(seen.batchesOffered, 5);
    QCOMPARE(missing.size(), 2);
    QVERIFY(seen.results.isEmpty());
}

// The alarm computation waits for the first frame and then runs once, with the radar's own
// settings: no first run with the built-in ones that a restart then replaces.
void TestLiveSession::openWithProcessParametersComputesOnceWithTheRadarsSettings()
{
    QTemporaryDir dir;
    const RuSimulator simulator(radarScene());
    const QString path = dir.filePath("radar.rrd0.gz");
    QVERIFY(simulator.writeRecording(path));
    SkLiveSession session;
    Seen seen(&session);
    session.setProcessParameters(true);
    session.open({path}, 30, 10);
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 1, Long);
    QCOMPARE(seen.restarts, 1);
    QCOMPARE(seen.taken.size(), 1);
    QVERIFY(seen.taken.first().avalancheEnable(0));
    QVERIFY(seen.inOrder(0, 100));
    const QStringList expected = rowsWithTheRadarsSettings(simulator, 100);
    QVERIFY(expected.join('\n').contains("ALARM ON"));
    QCOMPARE(seen.rows, expected);
    QVERIFY(seen.eventsOfTheirResult);
    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(seen.stopped, Long);
    QCOMPARE(seen.taskMessages.filter("Task Alarm ").size(), 1);
}

// The parameter dock's "PP": the settings a packet carries, and a restart with them.
void TestLiveSession::settingsOfAPacketRestartTheComputation()
{
    QTemporaryDir dir;
    const RuSimulator simulator(radarScene());
    const QString path = dir.filePath("radar.rrd0.gz");
    QVERIFY(simulator.writeRecording(path));
    SkLiveSession session;
    Seen seen(&session);
    session.open({path}, 200, 50); // the window holds every frame
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 1, Long);
    QVERIFY(seen.rows.isEmpty()); // every detector off
    const RuSimulator plain(smallScene(1));
    QVERIFY(!session.takeProcessParameters(SkPacket(plain.frame(0), -1), RuAlarmCalculator()));
    QVERIFY(!session.takeProcessParameters(SkPacket(), RuAlarmCalculator()));
    QCOMPARE(seen.restarts, 1);
    QVERIFY(seen.taken.isEmpty());
    seen.results.clear();
    QVERIFY(session.takeProcessParameters(session.store()->frameAt(0), RuAlarmCalculator()));
    QCOMPARE(seen.taken.size(), 1);
    QCOMPARE(seen.restarts, 2);
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 2, Long);
    QVERIFY(seen.inOrder(0, 100));
    QCOMPARE(seen.rows, rowsWithTheRadarsSettings(simulator, 100));
}

void TestLiveSession::streamWithoutSettingsGoesOnLoadingAndRecording_data()
{
    QTest::addColumn<bool>("playing");
    QTest::newRow("playing") << true;
    QTest::newRow("paused") << false;
}

// A radar that sends no settings of its own: said once, and its frames still move through
// the window and into the recording, every one, with no detector run on them.
void TestLiveSession::streamWithoutSettingsGoesOnLoadingAndRecording()
{
    QFETCH(bool, playing);
    const int frames = 60;
    ServeProcess serve({"--rate", "50", "--frames", QString::number(frames)});
    QVERIFY(serve.port() > 0);
    QTemporaryDir dir;
    SkLiveSession session;
    session.setReconnect(false);
    Seen seen(&session);
    QStringList missing;
    connect(&session, &SkLiveSession::processParametersMissing, &session,
            [&](const QString &text) { missing.append(text); });
    session.setProcessParameters(true);
    session.setPlaying(playing);
    session.open({serve.address()}, 10, 5);
    SkLiveSession::RecordOptions record;
    record.path = dir.path();
    record.startFrame = -1;
    session.startRecording(record);
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 1, Long);
    QCOMPARE(session.store()->endFrame(), frames);
    QVERIFY(session.store()->startFrame() >= frames - 10); // the window is at the newest frames
    QCOMPARE(seen.dropped, 0);
    QCOMPARE(missing.size(), 1);
    QVERIFY(missing.first().startsWith("No process parameters found in rrd_info"));
    QVERIFY(seen.results.isEmpty());
    QCOMPARE(seen.batchesOffered, 0);
    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(seen.stopped, Long);
    QCOMPARE(recordedTimes(dir.path()).size(), frames);
    QCOMPARE(seen.taskMessages.filter("Task Alarm ").size(), 0);
}

void TestLiveSession::stopsPromptlyOnAQuietStream()
{
    FakeRadar radar;
    QTemporaryDir dir;
    SkLiveSession session;
    Seen seen(&session);
    session.open({radar.address()}, 1000, 1);
    SkLiveSession::RecordOptions record;
    record.path = dir.path();
    session.startRecording(record);
    QVERIFY(radar.accept());
    QVERIFY(radar.send(0, 3));
    QTRY_COMPARE_WITH_TIMEOUT(seen.results.size(), 3, Long);
    QElapsedTimer clock;
    clock.start();
    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(seen.stopped, Long);
    // The loader waits at most one receive time-out before it looks at the request.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!session.isRunning());
}

QTEST_GUILESS_MAIN(TestLiveSession)
#include "tst_live_session.moc"
