// SkLiveSession as the viewer drives it: a stream that is lost and comes back while recording,
// a stream that must not be reconnected, paused batches over a file, a restart of the alarm
// computation, and a stop that does not hang on a quiet radar.

#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkStoreMetaTypes.h"
#include "TaskTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace tasktest;

namespace {

// What a front end sees of the session.
struct Seen
{
    QList<int> results;        // frame numbers of accepted results, in arrival order
    QStringList lost;
    int back = 0;
    int batchesOffered = 0;
    int complete = 0;
    int restarts = 0;
    bool stopped = false;
    QStringList taskMessages;

    explicit Seen(SkLiveSession *session)
    {
        QObject::connect(session, &SkLiveSession::alarmCalculated, session,
                         [this](int n, const SkAlarmResultSharedPtr &) { results.append(n); });
        QObject::connect(session, &SkLiveSession::streamLost, session,
                         [this](const QString &reason) { lost.append(reason); });
        QObject::connect(session, &SkLiveSession::streamBack, session, [this] { ++back; });
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

} // namespace

class TestLiveSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { skRegisterStoreMetaTypes(); }

    void lostStreamComesBackAndEverythingCarriesOn();
    void lostStreamEndsTheLoadWithoutReconnect();
    void pausedWindowMovesOnByBatchesOnRequest();
    void restartRecomputesEveryHeldFrame();
    void takesSettingsFromTheFirstFrameOfEachOpen();
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
    QTRY_COMPARE_WITH_TIMEOUT(seen.back, 1, Long);
    QVERIFY(radar.send(30, 30));
    // Frames are numbered on, and every one has its result, in order.
    QTRY_COMPARE_WITH_TIMEOUT(seen.results.size(), 60, Long);
    QVERIFY(seen.inOrder(0, 60));
    QCOMPARE(session.store()->endFrame(), 60);

    session.stop();
    QTRY_VERIFY_WITH_TIMEOUT(seen.stopped, Long);
    QCOMPARE(framesRecorded(dir.path()), 60);
    QVERIFY(!seen.taskMessages.join('\n').contains("error"));
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
    QVERIFY(seen.inOrder(0, 10));
    QCOMPARE(session.store()->startFrame(), 0);
    session.releaseNextBatch();
    QTRY_COMPARE_WITH_TIMEOUT(seen.batchesOffered, 2, Long);
    QVERIFY(seen.inOrder(0, 15));
    QCOMPARE(session.store()->startFrame(), 5);
    QCOMPARE(session.store()->endFrame(), 15);
    // Play again: the rest goes by itself.
    session.setPlaying(true);
    session.releaseNextBatch();
    QTRY_COMPARE_WITH_TIMEOUT(seen.complete, 1, Long);
    QVERIFY(seen.inOrder(0, 30));
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
    }
    seen.results.clear();
    session.open({plain}, 10, 5);
    QTRY_VERIFY_WITH_TIMEOUT(!missing.isEmpty(), Long);
    QTRY_COMPARE(session.store()->endFrame(), 10); // the window fills, nothing is analysed
    QCOMPARE(missing, QStringList{missing.first()});
    QVERIFY(seen.results.isEmpty());
    QVERIFY2(missing.first().startsWith("No process parameters found in rrd_info"),
             qPrintable(missing.first()));
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
