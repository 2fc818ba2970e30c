// `rrdcli watch` as a service runs it: standard output and error are the journal (systemd
// names it in JOURNAL_STREAM), so every line carries its severity; and a real Prometheus
// server, started here with a generated configuration, scrapes the station's metrics while
// it watches `rrdcli serve`, and answers PromQL queries about them. promtool checks a scrape.

#include "RrdcliTestSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <sys/stat.h>

using namespace rrdclitest;

namespace {

// The body of a GET, empty when it fails or takes longer than `ms`.
QByteArray httpGet(const QUrl &url, int ms = 10000)
{
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return reply->isFinished() && reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
}

// The value of a sample "NAME{LABELS} VALUE" in a scrape; NaN when it is absent.
double sample(const QByteArray &scrape, const QString &series)
{
    for (const QByteArray &line : scrape.split('\n')) {
        if (line.startsWith(series.toUtf8() + ' '))
            return line.mid(series.size() + 1).toDouble();
    }
    return qQNaN();
}

// "DEVICE:INODE" of a file, as systemd names the journal's stream.
QString streamId(const QString &path)
{
    struct stat status = {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return QStringLiteral("%1:%2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino));
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions extra = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return file.setPermissions(file.permissions() | extra);
}

// A Prometheus server on 127.0.0.1 for the length of a scope, scraping `target` every second.
class PrometheusServer
{
public:
    explicit PrometheusServer(const QString &target)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
        probe.close();
        const QString config = m_dir.filePath("prometheus.yml");
        writeFile(config, QStringLiteral("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                         "scrape_configs:\n  - job_name: station\n    static_configs:\n"
                                         "      - targets: ['%1']\n")
                              .arg(target)
                              .toUtf8());
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStandardPaths::findExecutable("prometheus"),
                        {"--config.file=" + config, "--storage.tsdb.path=" + m_dir.filePath("data"),
                         QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(m_port)});
    }
    ~PrometheusServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(WaitMs))
            m_process.kill();
        m_process.waitForFinished(WaitMs);
    }

    bool waitReady()
    {
        return m_process.waitForStarted(WaitMs) && QTest::qWaitFor([this] {
            return m_process.state() != QProcess::Running || !httpGet(url("/-/ready")).isEmpty();
        }, WaitMs) && m_process.state() == QProcess::Running;
    }
    QString output() { return QString::fromLocal8Bit(m_process.readAll()); }

    // The value of an instant PromQL query with one result; NaN when there is none.
    double query(const QString &promql)
    {
        QUrl api = url("/api/v1/query");
        QUrlQuery query;
        query.addQueryItem("query", promql);
        api.setQuery(query);
        const QJsonObject answer = QJsonDocument::fromJson(httpGet(api)).object();
        const QJsonArray result = answer["data"].toObject()["result"].toArray();
        if (answer["status"].toString() != QLatin1String("success") || result.size() != 1)
            return qQNaN();
        return result.at(0).toObject()["value"].toArray().at(1).toString().toDouble();
    }

private:
    QUrl url(const QString &path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)); }

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace

class TestWatchStation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stationReportsToPrometheusAndTheJournal();
    void messagesCarryTheirSeverityOnlyInTheJournal_data();
    void messagesCarryTheirSeverityOnlyInTheJournal();
    void metricsAddressIsChecked_data();
    void metricsAddressIsChecked();
};

void TestWatchStation::initTestCase()
{
    QVERIFY(QFileInfo(rrdcliPath()).isExecutable());
}

// 150 frames with an avalanche at frame 50, then the radar hangs up: every frame is counted,
// analysed and in the alarm counts, the stream is down; each of the three avalanche
// detectors' ALARM ON started the script, unless it still ran from the one before.
void TestWatchStation::stationReportsToPrometheusAndTheJournal()
{
    for (const char *tool : {"prometheus", "promtool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed ('make test' installs prometheus)").arg(tool)));
    }
    ServeProcess radar({"--scenario", "avalanche", "--process-params", "--frames", "150", "--rate", "25"});
    QVERIFY(radar.port() > 0);
    QTemporaryDir dir;
    const QString script = dir.filePath("alarm.sh");
    QVERIFY(writeFile(script, "#!/bin/sh\nexit 0\n", QFile::ExeOwner));
    const QString journal = dir.filePath("journal");
    QVERIFY(writeFile(journal, QByteArray()));
    QProcess watch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("JOURNAL_STREAM", streamId(journal));
    watch.setProcessEnvironment(env);
    watch.setStandardOutputFile(journal, QIODevice::Append);
    watch.setStandardErrorFile(journal, QIODevice::Append);
    watch.start(rrdcliPath(), {"watch", "--process-params", "--record", dir.filePath("rec"), "--alarm-script",
                               script, "--metrics", "127.0.0.1:0", radar.address()});
    QVERIFY(watch.waitForStarted(WaitMs));
    QString port;
    QVERIFY2(QTest::qWaitFor([&] {
        port = readAll(journal).section("<6>rrdcli watch: metrics at http://127.0.0.1:", 1).section("/metrics", 0, 0);
        return !port.isEmpty() || watch.state() != QProcess::Running;
    }, WaitMs), qPrintable(readAll(journal)));
    QVERIFY2(!port.isEmpty(), qPrintable(readAll(journal)));
    const QUrl metrics("http://127.0.0.1:" + port + "/metrics");

    PrometheusServer prometheus("127.0.0.1:" + port);
    QVERIFY2(prometheus.waitReady(), qPrintable(prometheus.output()));
    QByteArray scrape;
    QVERIFY2(QTest::qWaitFor([&] {
        scrape = httpGet(metrics);
        return sample(scrape, "rrdcli_watch_stream_losses_total") == 1
               && sample(scrape, "rrdcli_watch_frames_analysed_total") == 150
               && sample(scrape, "rrdcli_watch_recorder_lag_frames") == 0;
    }, WaitMs), scrape.constData());
    QCOMPARE(sample(scrape, "rrdcli_watch_frames_received_total"), 150.0);
    QCOMPARE(sample(scrape, "rrdcli_watch_frames_dropped_total"), 0.0);
    QCOMPARE(sample(scrape, "rrdcli_watch_stream_up"), 0.0);
    QCOMPARE(sample(scrape, "rrdcli_watch_alarm_events_total{detector=\"av00\",kind=\"alarm_on\"}"), 1.0);
    QCOMPARE(sample(scrape, "rrdcli_watch_alarm_events_total{detector=\"av00\",kind=\"alarm_off\"}"), 1.0);
    QCOMPARE(sample(scrape, "rrdcli_watch_alarm_active{detector=\"av00\"}"), 0.0);
    QCOMPARE(sample(scrape, "rrdcli_watch_detector_enabled{detector=\"av00\"}"), 1.0);
    QCOMPARE(sample(scrape, "rrdcli_watch_alarm_script_runs_total")
                 + sample(scrape, "rrdcli_watch_alarm_script_refusals_total"),
             3.0);
    QCOMPARE(sample(scrape, "rrdcli_watch_alarm_script_failures_total"), 0.0);
    QVERIFY(sample(scrape, "rrdcli_watch_newest_frame_age_seconds") >= 0);
    QVERIFY(sample(scrape, "rrdcli_watch_record_free_bytes") > 0);

    RunOptions withScrape;
    withScrape.input = scrape;
    const Run lint = runProgram(QStandardPaths::findExecutable("promtool"), {"check", "metrics"}, withScrape);
    QVERIFY2(lint.exitCode == 0 && lint.out.isEmpty(), (lint.out + lint.err).constData());

    // Prometheus has scraped the station and answers about it.
    double alarms = 0;
    QVERIFY2(QTest::qWaitFor([&] {
        alarms = prometheus.query("sum by (job) (rrdcli_watch_alarm_events_total{kind=\"alarm_on\"})");
        return alarms == 3 && prometheus.query("rrdcli_watch_frames_analysed_total{job=\"station\"}") == 150;
    }, WaitMs), qPrintable(QString::number(alarms) + prometheus.output()));

    ::kill(pid_t(watch.processId()), SIGTERM);
    QVERIFY(watch.waitForFinished(WaitMs));
    QCOMPARE(watch.exitCode(), 0);
    const QString lines = readAll(journal);
    for (const QString &line : {QStringLiteral("<6>frame,event,details\n"),
                                QStringLiteral("<6>rrdcli watch: Alarm script %1 started!\n").arg(script),
                                QStringLiteral("<4>rrdcli watch: stream lost: the radar closed the connection\n")})
        QVERIFY2(lines.contains(line), qPrintable(line + "\n" + lines));
    QVERIFY2(lines.contains(QRegularExpression("\n<5>\\d+,AV0-0 ALARM ON,")), qPrintable(lines));
    QVERIFY2(lines.contains(QRegularExpression("\n<6>\\d+,AV0-0 PREALARM,")), qPrintable(lines));
    QVERIFY2(!lines.contains(QRegularExpression("(^|\n)[^<]")), qPrintable(lines));
}

void TestWatchStation::messagesCarryTheirSeverityOnlyInTheJournal_data()
{
    QTest::addColumn<QString>("stream");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("error");
    QTest::newRow("the journal") << "journal" << "<4>" << "<3>";
    QTest::newRow("another file") << "other" << "" << "";
    QTest::newRow("no journal") << "" << "" << "";
}

void TestWatchStation::messagesCarryTheirSeverityOnlyInTheJournal()
{
    QFETCH(QString, stream);
    QFETCH(QString, warning);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString output = dir.filePath("journal");
    QVERIFY(writeFile(output, QByteArray()));
    QVERIFY(writeFile(dir.filePath("other"), QByteArray()));
    QProcess analyze;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("JOURNAL_STREAM");
    if (!stream.isEmpty())
        env.insert("JOURNAL_STREAM", streamId(dir.filePath(stream)));
    analyze.setProcessEnvironment(env);
    analyze.setStandardErrorFile(output);
    const QString missing = dir.filePath("missing.rrd0.gz");
    analyze.start(rrdcliPath(), {"analyze", "--log", missing});
    QVERIFY(analyze.waitForFinished(WaitMs));
    QCOMPARE(analyze.exitCode(), 1);
    const QStringList lines = readAll(output).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), warning + "rrdcli analyze: warning: all detectors are off: give --params or --process-params");
    QVERIFY2(lines.at(1).startsWith(error + "rrdcli analyze: " + missing + ": "), qPrintable(lines.at(1)));
}

void TestWatchStation::metricsAddressIsChecked_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString form = "rrdcli watch: --metrics needs ADDRESS:PORT with a numeric IPv4 address, e.g. "
                         "127.0.0.1:9641 or 0.0.0.0:9641\n(see 'rrdcli watch --help')\n";
    QTest::newRow("a name") << "localhost:9641" << 2 << form;
    QTest::newRow("no port") << "127.0.0.1" << 2 << form;
    QTest::newRow("IPv6") << "[::1]:9641" << 2 << form;
    QTest::newRow("port out of range") << "127.0.0.1:70000" << 2 << form;
    QTest::newRow("a port that is taken") << "taken" << 1 << "rrdcli watch: cannot serve the metrics on %1 (is the port taken?): ";
}

void TestWatchStation::metricsAddressIsChecked()
{
    QFETCH(QString, address);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTcpServer taken;
    if (address == QLatin1String("taken")) {
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        address = QStringLiteral("127.0.0.1:%1").arg(taken.serverPort());
        message = message.arg(address);
    }
    QTemporaryDir dir;
    const QString recording = dir.filePath("a.rrd0.gz");
    QCOMPARE(runRrdcli({"simulate", "--frames", "5", "-o", recording}).exitCode, 0);
    const Run watch = runRrdcli({"watch", "--process-params", "--metrics", address, recording});
    QCOMPARE(watch.exitCode, exitCode);
    QVERIFY2(watch.errText().startsWith(message), qPrintable(watch.errText()));
}

QTEST_GUILESS_MAIN(TestWatchStation)
#include "tst_watch_station.moc"
