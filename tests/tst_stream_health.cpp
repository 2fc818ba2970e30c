// The stream-health indicator in the window's status bar, over a real `rrdcli serve`: its
// state through a server killed and started again, the age of the newest frame growing red
// while the radar is silent, frames dropped, and what a recording has written; and the texts
// its values make.

#include "MainWindowTestSupport.h"

#include "SkDialogConfigure.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkStreamHealth.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QThread>

#include <memory>

using namespace mwtest;

Q_DECLARE_METATYPE(SkStreamHealth)

namespace {

QLabel *indicator(const SkMainWindow &window)
{
    return child<QLabel>(&window, "streamHealthIndicator");
}

bool isRed(const QLabel *label)
{
    const QColor colour = label->palette().color(QPalette::WindowText);
    return colour.red() > 150 && colour.green() < 80 && colour.blue() < 80;
}

// The age of the newest frame the indicator shows, in seconds (-1: none shown).
double shownAge(const QLabel *label)
{
    static const QRegularExpression age(QStringLiteral("\\| frame ([0-9.]+) s ago"));
    const QRegularExpressionMatch match = age.match(label->text());
    return match.hasMatch() ? match.captured(1).toDouble() : -1.0;
}

qint64 shownNumber(const QLabel *label, const QString &pattern)
{
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(label->text());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// With SK_HEALTH_PNG_DIR set, `widget`'s picture is left there as `name` (make screenshots).
bool savePicture(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("SK_HEALTH_PNG_DIR");
    return dir.isEmpty() || widget->grab().save(dir + QLatin1Char('/') + name);
}

} // namespace

class TestStreamHealth : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textsOfTheValues_data();
    void textsOfTheValues();
    void durations_data();
    void durations();
    void followsAServerKilledAndStartedAgain();
    void silentRadarShowsItsAgeGrowingInRed();
    void countsTheFramesDropped();
    void showsWhatTheRecordingWrites();
    void isHiddenForFiles();

private:
    QTemporaryDir m_dir;
};

void TestStreamHealth::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
}

void TestStreamHealth::textsOfTheValues_data()
{
    QTest::addColumn<SkStreamHealth>("health");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("attention");
    QTest::addColumn<QString>("toolTipLine");

    SkStreamHealth h;
    h.address = QStringLiteral("127.0.0.1:4000");
    h.state = SkStreamMonitor::Connecting;
    QTest::newRow("connecting") << h << "Stream: connecting | 0 dropped" << false
                                << "No frame has arrived yet";
    h.state = SkStreamMonitor::Receiving;
    h.frameAgeMs = 200;
    h.frameIntervalMs = 1000;
    h.framesReceived = 40;
    h.framesDropped = 3;
    QTest::newRow("receiving") << h << "Stream: receiving | frame 0.2 s ago | 3 dropped" << false
                               << "Newest frame arrived 0.2 s ago; frames come about every 1.0 s";
    h.frameAgeMs = 3100;
    QTest::newRow("a few intervals silent")
        << h << "Stream: receiving | frame 3.1 s ago | 3 dropped" << true
        << "Frames received: 40, dropped: 3";
    h.frameIntervalMs = 20;
    h.frameAgeMs = 1900;
    QTest::newRow("fast radar, short silence")
        << h << "Stream: receiving | frame 1.9 s ago | 3 dropped" << false << "Stream from 127.0.0.1:4000";
    h.state = SkStreamMonitor::Lost;
    h.reason = QStringLiteral("the radar closed the connection");
    h.frameAgeMs = 40;
    QTest::newRow("lost") << h << "Stream: lost | frame 0.0 s ago | 3 dropped" << true
                          << "Lost: the radar closed the connection";
    h.state = SkStreamMonitor::Retrying;
    h.retrySecondsLeft = 4;
    h.frameAgeMs = 125000;
    QTest::newRow("retrying") << h << "Stream: retrying in 4 s | frame 2 min 5 s ago | 3 dropped"
                              << true << "Stream: retrying in 4 s";
    h.state = SkStreamMonitor::Ended;
    h.reason.clear();
    QTest::newRow("ended as asked") << h << "Stream: ended | frame 2 min 5 s ago | 3 dropped"
                                    << false << "Frames received: 40, dropped: 3";
    h.reason = QStringLiteral("stream lost: no frame for 10 s");
    QTest::newRow("ended by a failure") << h << "Stream: ended | frame 2 min 5 s ago | 3 dropped"
                                        << true << "Ended: stream lost: no frame for 10 s";
    h.state = SkStreamMonitor::Receiving;
    h.reason.clear();
    h.frameAgeMs = 400;
    h.recording = true;
    h.framesRecorded = 12;
    QTest::newRow("recording, no file yet")
        << h << "Stream: receiving | frame 0.4 s ago | 3 dropped | REC 12 frames" << false
        << "Recording: 12 frames";
    h.recordFile = QStringLiteral("/data/rdata/20261208T001500Z.rrd0.gz");
    QTest::newRow("recording")
        << h << "Stream: receiving | frame 0.4 s ago | 3 dropped | REC 12 frames, 20261208T001500Z.rrd0.gz"
        << false << "Recording: 12 frames, now into /data/rdata/20261208T001500Z.rrd0.gz";
    QTest::newRow("files") << SkStreamHealth() << "No stream" << false
                           << "No stream is open: the frames come from files";
}

void TestStreamHealth::textsOfTheValues()
{
    QFETCH(SkStreamHealth, health);
    QFETCH(QString, text);
    QFETCH(bool, attention);
    QFETCH(QString, toolTipLine);
    QCOMPARE(health.text(), text);
    QCOMPARE(health.needsAttention(), attention);
    QVERIFY2(health.toolTip().split(QLatin1Char('\n')).contains(toolTipLine),
             qPrintable(health.toolTip()));
}

void TestStreamHealth::durations_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << qint64(0) << "0.0 s";
    QTest::newRow("below a minute") << qint64(59949) << "59.9 s";
    QTest::newRow("a minute") << qint64(60000) << "1 min 0 s";
    QTest::newRow("below an hour") << qint64(3599999) << "59 min 59 s";
    QTest::newRow("hours") << qint64(2 * 3600000 + 7 * 60000 + 30000) << "2 h 7 min";
}

void TestStreamHealth::durations()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(SkStreamHealth::durationText(ms), text);
}

// Receiving, then lost and counting down to the next attempt in red with the age growing,
// then receiving again once the server is back on its port.
void TestStreamHealth::followsAServerKilledAndStartedAgain()
{
    const QStringList serveArgs{"--scenario", "quiet", "--frames", "100000", "--rate", "20"};
    auto serve = std::make_unique<ServeProcess>(serveArgs);
    const quint16 port = serve->port();
    QVERIFY(port != 0);
    SkMainWindow window({serve->address()});
    QLabel *health = indicator(window);
    QVERIFY(!health->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(health->text().startsWith("Stream: receiving | frame "), Long);
    QVERIFY(health->toolTip().startsWith(QStringLiteral("Stream from %1\n").arg(serve->address())));
    QTRY_VERIFY_WITH_TIMEOUT(!isRed(health) && shownAge(health) < 1.0, Long);

    serve->process().kill();
    QVERIFY(serve->process().waitForFinished(Long));
    QTRY_VERIFY_WITH_TIMEOUT(health->text().startsWith("Stream: retrying in "), Long);
    QVERIFY(isRed(health));
    QVERIFY2(health->toolTip().contains("Lost: "), qPrintable(health->toolTip()));
    // The waits double while nobody answers: the age grows past them.
    QTRY_VERIFY_WITH_TIMEOUT(shownAge(health) > 3.0 && health->text().startsWith("Stream: retrying in "),
                             Long);
    QVERIFY(isRed(health));
    QVERIFY(savePicture(window.statusBar(), QStringLiteral("stream-health.png")));

    serve = std::make_unique<ServeProcess>(serveArgs, port);
    QCOMPARE(serve->port(), port);
    QTRY_VERIFY_WITH_TIMEOUT(health->text().startsWith("Stream: receiving | frame ")
                                 && shownAge(health) < 1.0 && !isRed(health),
                             Long);
    QVERIFY(!health->toolTip().contains("Lost: "));
}

// A radar that sends a frame every 8 s: between its first two frames nobody knows its pace
// yet, and the silence turns red after two seconds while the stream still counts as received.
void TestStreamHealth::silentRadarShowsItsAgeGrowingInRed()
{
    ServeProcess serve({"--scenario", "quiet", "--frames", "100", "--rate", "0.125"});
    QVERIFY(serve.port() != 0);
    SkMainWindow window({serve.address()});
    QLabel *health = indicator(window);
    QTRY_VERIFY_WITH_TIMEOUT(health->text().startsWith("Stream: receiving | frame "), Long);
    const double first = shownAge(health);
    QTRY_VERIFY_WITH_TIMEOUT(shownAge(health) > first + 0.4, Long);
    QTRY_VERIFY_WITH_TIMEOUT(isRed(health) && shownAge(health) > 2.0, Long);
    QVERIFY(health->text().startsWith("Stream: receiving | frame "));
}

// A radar far faster than its frames can be analysed: the window cannot move on quickly
// enough, and every frame that finds the store full is dropped and counted.
void TestStreamHealth::countsTheFramesDropped()
{
    ServeProcess serve({"--scenario", "quiet", "--frames", "100000", "--rate", "1000",
                        "--rangegates", "200"});
    QVERIFY(serve.port() != 0);
    SkMainWindow window({"--n", "20", serve.address()});
    QLabel *health = indicator(window);
    // On a busy machine the radar slows down with everything else: the window's thread also
    // stalls now and then, as a busy one does, so that frames surely find the store full.
    const auto stall = [&] {
        const QDeadlineTimer deadline(Long);
        while (!window.store()->isFull() && !deadline.hasExpired())
            QThread::msleep(5);
        QThread::msleep(200);
    };
    const QString dropped = QStringLiteral("\\| (\\d+) dropped");
    stall();
    QTRY_VERIFY_WITH_TIMEOUT(shownNumber(health, dropped) > 0, Long);
    const qint64 some = shownNumber(health, dropped);
    stall();
    QTRY_VERIFY_WITH_TIMEOUT(shownNumber(health, dropped) > some, Long);
    QVERIFY(health->text().startsWith("Stream: receiving"));
    QVERIFY(health->toolTip().contains(QRegularExpression(QStringLiteral("dropped: [1-9]"))));
}

// While recording the indicator counts the frames written and names the minute file, which
// exists; stopping takes both away.
void TestStreamHealth::showsWhatTheRecordingWrites()
{
    ServeProcess serve({"--scenario", "quiet", "--frames", "100", "--rate", "20", "--loop"});
    QVERIFY(serve.port() != 0);
    QTemporaryDir records;
    SkMainWindow window({serve.address()});
    child<QLineEdit>(window.findChild<SkDialogConfigure *>(), "lineEditRecPath")->setText(records.path());
    QAction *record = action(&window, "actionRecordStart");
    QTRY_VERIFY_WITH_TIMEOUT(record->isEnabled(), Long);
    QLabel *health = indicator(window);
    QVERIFY(!health->text().contains("REC"));
    record->trigger();
    QVERIFY(window.session()->isRecording());

    const QRegularExpression recording(QStringLiteral("\\| REC (\\d+) frames, (\\d{8}T\\d{6}Z\\.rrd0\\.gz)$"));
    QTRY_VERIFY_WITH_TIMEOUT(recording.match(health->text()).hasMatch(), Long);
    const QRegularExpressionMatch first = recording.match(health->text());
    const QRegularExpressionMatch path = QRegularExpression(QStringLiteral("now into (.*)$")).match(health->toolTip());
    QVERIFY2(path.hasMatch(), qPrintable(health->toolTip()));
    QVERIFY(path.captured(1).startsWith(records.path()));
    QVERIFY(path.captured(1).endsWith(QLatin1Char('/') + first.captured(2)));
    QVERIFY(QFileInfo::exists(path.captured(1)));
    const qint64 frames = first.captured(1).toLongLong();
    QTRY_VERIFY_WITH_TIMEOUT(shownNumber(health, recording.pattern()) > frames + 10, Long);

    record->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!health->text().contains("REC"), Long);
}

void TestStreamHealth::isHiddenForFiles()
{
    const QString file = writeRecording(m_dir, QStringLiteral("file.rrd0.gz"), scene(RuScenario::Quiet, 30));
    SkMainWindow window({file});
    QTRY_VERIFY_WITH_TIMEOUT(window.store()->endFrame() == 30, Long);
    QVERIFY(indicator(window)->isHidden());
    QCOMPARE(indicator(window)->text(), QStringLiteral("No stream"));
}

QTEST_MAIN(TestStreamHealth)
#include "tst_stream_health.moc"
