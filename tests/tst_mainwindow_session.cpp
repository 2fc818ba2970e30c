// The window over the live session it shares with `rrdcli watch`: the radar's settings taken
// once through the session, "Stream lost" and "Stream back" as the stream comes and goes (a
// host that only accepts and resets, an `rrdcli serve` killed and started again), and a grab
// of a stream that goes on being read while it is paused.

#include "MainWindowTestSupport.h"

#include "RuAlarmCalculator.h"
#include "RuFile.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkWindowGrabber.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

using namespace mwtest;

namespace {

RuAlarmCalculator radarSettings(const QString &path)
{
    RuFile file;
    file.open(path, 'r', 0);
    RuFrame first;
    file.readFrame(first);
    RuAlarmCalculator radar;
    radar.fromProcessParameters(first.info());
    return radar;
}

// The status-bar texts of `window` from now on.
struct StatusTexts : QStringList
{
    explicit StatusTexts(SkMainWindow &window)
    {
        QObject::connect(window.statusBar(), &QStatusBar::messageChanged, window.statusBar(),
                         [this](const QString &text) {
                             if (!text.isEmpty())
                                 append(text);
                         });
    }
    int count(const QString &prefix) const { return int(filter(QRegularExpression(QLatin1Char('^') + prefix)).size()); }
};

} // namespace

class TestMainWindowSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void processParametersStartTheComputationOnce();
    void streamIsBackOnlyWhenAFrameArrives();
    void streamIsLostAndBackWithTheServer();
    void grabOfAStreamWaitsForTheSettingsAndReadsOn();

private:
    QTemporaryDir m_dir;
};

void TestMainWindowSession::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
}

// The computation starts when the first frame has brought the radar's settings, and only
// then: no result is computed with the dock's defaults and none twice.
void TestMainWindowSession::processParametersStartTheComputationOnce()
{
    const int frames = 300;
    const QString path = writeRecording(m_dir, QStringLiteral("wl.rrd0.gz"),
                                        scene(RuScenario::WaterLevel, frames));
    SkMainWindow window({"--process-params", path});
    QSignalSpy restarting(window.session(), &SkLiveSession::alarmRestarting);
    QSignalSpy taken(window.session(), &SkLiveSession::processParametersTaken);
    QSignalSpy results(window.session(), &SkLiveSession::alarmCalculated);
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    QCOMPARE(restarting.count(), 0);
    QCOMPARE(taken.count(), 1);
    QCOMPARE(results.count(), frames);
    QCOMPARE(results.first().first().toInt(), 0);

    const RuAlarmCalculator radar = radarSettings(path);
    QCOMPARE(child<QSpinBox>(&window, "alarmBackgroundDelaySpinBox")->value(), radar.alarmParams().bgDelay);
    QVERIFY(child<QGroupBox>(&window, "scrollAreaWidgetContentsWaterlevel0")->isChecked());
    QVERIFY(qAbs(child<QDoubleSpinBox>(&window, "alarmWaterlevel0ThresholdAlarmOnSpinBox")->value()
                 - radar.waterlevelParams(0).thresholdAlarmOn) < 0.01);
    QVERIFY(child<QGroupBox>(&window, "gbParamsLive")->isChecked());

    // Opening again analyses with the dock, which holds the radar's settings now.
    action(&window, "reopenAction")->trigger();
    QVERIFY(complete.wait(Long));
    QCOMPARE(taken.count(), 1);
    QCOMPARE(window.session()->calculator().waterlevelParams(0).thresholdAlarmOn,
             radar.waterlevelParams(0).thresholdAlarmOn);
}

// A host that takes every connection and resets it at once delivers no frame: the stream is
// lost, tried again and again, and never reported back.
void TestMainWindowSession::streamIsBackOnlyWhenAFrameArrives()
{
    QTcpServer host;
    int connections = 0;
    connect(&host, &QTcpServer::newConnection, &host, [&] {
        while (QTcpSocket *socket = host.nextPendingConnection()) {
            ++connections;
            socket->abort();
            socket->deleteLater();
        }
    });
    QVERIFY(host.listen(QHostAddress::LocalHost));
    SkMainWindow window({QStringLiteral("127.0.0.1:%1").arg(host.serverPort())});
    StatusTexts texts(window);
    QTRY_VERIFY_WITH_TIMEOUT(connections >= 3, Long);
    QVERIFY2(texts.count(QStringLiteral("Stream lost: ")) == 1, qPrintable(texts.join(" | ")));
    QCOMPARE(texts.count(QStringLiteral("Stream back")), 0);
    QCOMPARE(window.store()->endFrame(), 0);
}

// The server killed and started again on its port: lost once, back once frames arrive again,
// numbered on.
void TestMainWindowSession::streamIsLostAndBackWithTheServer()
{
    const QStringList serveArgs{"--scenario", "quiet", "--frames", "100000", "--rate", "50"};
    auto serve = std::make_unique<ServeProcess>(serveArgs);
    const quint16 port = serve->port();
    QVERIFY(port != 0);
    SkMainWindow window({serve->address()});
    StatusTexts texts(window);
    QTRY_VERIFY_WITH_TIMEOUT(window.store()->endFrame() > 20, Long);
    serve->process().kill();
    QVERIFY(serve->process().waitForFinished(Long));
    QTRY_VERIFY_WITH_TIMEOUT(texts.count(QStringLiteral("Stream lost: ")) == 1, Long);
    const int before = window.store()->endFrame();
    QCOMPARE(texts.count(QStringLiteral("Stream back")), 0);

    serve = std::make_unique<ServeProcess>(serveArgs, port);
    QCOMPARE(serve->port(), port);
    QTRY_VERIFY_WITH_TIMEOUT(texts.count(QStringLiteral("Stream back")) == 1, Long);
    QTRY_VERIFY_WITH_TIMEOUT(window.store()->endFrame() > before, Long);
    QCOMPARE(texts.count(QStringLiteral("Stream lost: ")), 1);
    QVERIFY(texts.indexOf(QStringLiteral("Stream back"))
            > texts.indexOf(QRegularExpression(QStringLiteral("^Stream lost: "))));
}

// The grab waits for the radar's settings, then pauses to draw: the stream is read and
// analysed on meanwhile.
void TestMainWindowSession::grabOfAStreamWaitsForTheSettingsAndReadsOn()
{
    ServeProcess serve({"--scenario", "avalanche", "--process-params", "--rate", "100", "--loop"});
    QVERIFY(serve.port() != 0);
    QTemporaryDir out;
    const QString picture = out.filePath(QStringLiteral("stream.png"));
    const QStringList args{"--process-params", "--n", "50", serve.address()};
    SkMainWindow window(args);
    SkWindowGrabber grabber(&window, SkCommandLine::parse(QStringList{"--grab", picture} + args));
    QSignalSpy finished(&grabber, &SkWindowGrabber::finished);
    QSignalSpy taken(window.session(), &SkLiveSession::processParametersTaken);
    grabber.start();
    QVERIFY(finished.wait(Long));
    QCOMPARE(finished.first().first().toInt(), 0);
    QCOMPARE(taken.count(), 1);
    QVERIFY(QFile::exists(picture));
    QVERIFY(!action(&window, "playAction")->isChecked());
    const int analysed = window.session()->nextAlarmFrame();
    QTRY_VERIFY_WITH_TIMEOUT(window.session()->nextAlarmFrame() > analysed + 50, Long);
}

QTEST_MAIN(TestMainWindowSession)
#include "tst_mainwindow_session.moc"
