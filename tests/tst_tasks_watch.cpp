// `rrdcli watch` end to end, as real processes: over files it prints what `rrdcli analyze
// --log` prints, whatever the store window; against `rrdcli serve` it logs the avalanche,
// records complete minute files, runs the alarm script and stops cleanly on Ctrl+C.

#include "RrdcliTestSupport.h"
#include "SkStoreMetaTypes.h"
#include "TaskTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <csignal>

using namespace rrdclitest;
using namespace tasktest;

namespace {

QString writeScene(const QTemporaryDir &dir, const QString &name, bool processParams)
{
    RuSimulatorOptions options;
    options.scenario = RuScenario::Avalanche;
    options.frames = 100; // the avalanche comes at frame 40 and is over by frame 70
    options.processParams = processParams;
    const QString path = dir.filePath(name);
    if (!RuSimulator(options).writeRecording(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString writeScript(const QString &path, const QByteArray &body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0)
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner);
    return path;
}

// True while the process runs (a zombie has ended).
bool alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return !line.mid(line.lastIndexOf(')') + 2, 1).startsWith('Z');
}

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        files.append(folder + QLatin1Char('/') + name);
    return files;
}

} // namespace

class TestWatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void printsWhatAnalyzePrints_data();
    void printsWhatAnalyzePrints();
    void reportsFailures_data();
    void reportsFailures();
    void watchesStreamRecordsAndRunsScript();
    void refusesBadOptionsAndReadsAtMostMaxFrames_data();
    void refusesBadOptionsAndReadsAtMostMaxFrames();
    void reconnectsALostStreamAndNumbersOn();
    void noReconnectEndsWithTheReason();
    void reportsAFullDiskAndExitsOne();
    void checksTheRecordFolder_data();
    void checksTheRecordFolder();
    void stopSignalEndsASilentStandardInputAndCompletesTheRecording();
    void alarmScriptWithoutSlashRunsTheFileChecked();
    void alarmScriptStillRunningAtTheEndEndsWithItsChildren();
    void silentStreamIsLostAndReachedAgain();

private:
    QTemporaryDir m_dir;
    QString m_scene;
    QByteArray m_expected;
};

void TestWatch::initTestCase()
{
    skRegisterStoreMetaTypes(); // as every program of the store does
    QVERIFY(QFileInfo(rrdcliPath()).isExecutable());
    m_scene = writeScene(m_dir, "scene.rrd0.gz", true);
    const Run analyze = runRrdcli({"analyze", "--process-params", "--log", m_scene});
    QCOMPARE(analyze.exitCode, 0);
    m_expected = analyze.out;
    QVERIFY(m_expected.contains(",AV0-0 ALARM ON,"));
    QVERIFY(m_expected.contains(",AV0-0 ALARM OFF,"));
}

void TestWatch::printsWhatAnalyzePrints_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("one window") << QStringList{};
    QTest::newRow("several windows") << QStringList{"--window", "30", "--batch", "12"};
    QTest::newRow("window of one frame") << QStringList{"--window", "1", "--batch", "1"};
    QTest::newRow("two sources") << QStringList{"--window", "64"};
}

void TestWatch::printsWhatAnalyzePrints()
{
    QFETCH(QStringList, options);
    QStringList sources{m_scene};
    QByteArray expected = m_expected;
    if (QTest::currentDataTag() == QByteArray("two sources")) {
        sources.append(m_scene);
        const Run analyze = runRrdcli({"analyze", "--process-params", "--log", m_scene, m_scene});
        expected = analyze.out;
        QVERIFY(expected.contains("\n14"));
    }
    const Run watch = runRrdcli(QStringList{"watch", "--process-params"} + options + sources);
    QVERIFY2(watch.exitCode == 0, watch.err.constData());
    QCOMPARE(watch.out, expected);
}

void TestWatch::reportsFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << "missing" << 1
                                  << "Task Loader(%1) finished with error 'File open error! Reason: ";
    QTest::newRow("no process parameters") << "plain" << 1 << "No process parameters found in rrd_info";
    QTest::newRow("no frame at all") << "empty" << 1 << "No process parameters found in rrd_info";
}

void TestWatch::reportsFailures()
{
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QString path = m_dir.filePath(kind + ".rrd0");
    if (kind == "plain")
        writeScene(m_dir, "plain.rrd0", false);
    if (kind == "empty")
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    const Run watch = runRrdcli({"watch", "--process-params", path});
    QCOMPARE(watch.exitCode, exitCode);
    if (message.contains("%1"))
        message = message.arg(path);
    QVERIFY2(watch.err.contains(message.toLocal8Bit()), watch.err.constData());
    QCOMPARE(watch.out, QByteArray("frame,event,details\n"));
}

void TestWatch::watchesStreamRecordsAndRunsScript()
{
    ServeProcess serve({"--scenario", "avalanche", "--frames", "100", "--process-params",
                        "--rate", "50", "--loop"});
    QVERIFY(serve.port() != 0);

    const QString marker = m_dir.filePath("alarm-runs");
    const QString script = m_dir.filePath("alarm.sh");
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho run >> '" + marker.toUtf8() + "'\n");
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner);
    const QString record = m_dir.filePath("rec");

    QProcess watch;
    watch.start(rrdcliPath(), {"watch", "--process-params", "--record", record,
                               "--alarm-script", script, serve.address()});
    QByteArray out;
    // All three detectors are back to quiet by then (frames 0-99 are the first cycle).
    const auto alarmsOver = [&](const QByteArray &o) {
        return o.size() >= m_expected.size() && QFileInfo::exists(marker);
    };
    const bool alarmsLogged = readUntil(watch, &out, alarmsOver);
    QByteArray err = watch.readAllStandardError();
    QVERIFY2(alarmsLogged, err.constData());
    QCOMPARE(out.left(m_expected.size()), m_expected);

    ::kill(pid_t(watch.processId()), SIGINT);
    QVERIFY(watch.waitForFinished(Long));
    err += watch.readAllStandardError();
    QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
    QVERIFY2(watch.exitCode() == 0, err.constData());
    QVERIFY2(err.contains(("Alarm script " + script + " started!").toLocal8Bit()), err.constData());
    QVERIFY(serve.stop());

    QFile runs(marker);
    QVERIFY(runs.open(QIODevice::ReadOnly));
    QVERIFY(runs.readAll().startsWith("run\n"));
    // Every minute file is complete; the one holding the avalanche lies in "alarm".
    const QStringList alarmFiles = filesBelow(record + "/alarm");
    const QStringList files = filesBelow(record + "/rdata") + alarmFiles;
    QVERIFY(!alarmFiles.isEmpty());
    int frames = 0;
    for (const QString &path : files) {
        const int n = framesInFile(path);
        QVERIFY2(n > 0, qPrintable(path));
        frames += n;
    }
    QVERIFY(frames >= 67);
    // Nothing is written into a folder for logs, so none is made.
    QVERIFY(!QFileInfo::exists(record + "/log"));
}

void TestWatch::refusesBadOptionsAndReadsAtMostMaxFrames_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing script") << "missing.sh" << QStringList{} << 2 << "not found";
    QTest::newRow("script not executable") << "plain.sh" << QStringList{} << 2 << "is not executable";
    QTest::newRow("at most 50 frames") << "" << QStringList{"--max-frames", "50"} << 0 << "";
    QTest::newRow("old meaning of --max-frames") << "" << QStringList{"--max-frames", "x"} << 2 << "--max-frames";
}

void TestWatch::refusesBadOptionsAndReadsAtMostMaxFrames()
{
    QFETCH(QString, script);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    if (!script.isEmpty()) {
        script = m_dir.filePath(script);
        if (script.endsWith("plain.sh")) {
            QFile file(script);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
        }
        options << "--alarm-script" << script;
    }
    const Run watch = runRrdcli(QStringList{"watch", "--process-params"} + options + QStringList{m_scene});
    QCOMPARE(watch.exitCode, exitCode);
    QVERIFY2(watch.err.contains(message.toLocal8Bit()), watch.err.constData());
    if (exitCode != 0)
        return;
    // The rows of the first 50 frames, as the whole run has them.
    QByteArray expected;
    for (const QByteArray &line : m_expected.split('\n')) {
        bool number = false;
        const int frame = line.left(line.indexOf(',')).toInt(&number);
        if (!line.isEmpty() && (!number || frame < 50))
            expected += line + '\n';
    }
    QVERIFY(expected.contains(",AV0-0 ALARM ON,"));
    QCOMPARE(watch.out, expected);
}

// The radar goes away after its 100 frames and comes back on the same port: the frames that
// come then are numbered on and analysed with the history of the first ones, exactly as
// `analyze` reads the recording twice in a row.
void TestWatch::reconnectsALostStreamAndNumbersOn()
{
    const Run analyze = runRrdcli({"analyze", "--process-params", "--log", m_scene, m_scene});
    QCOMPARE(analyze.exitCode, 0);
    ServeProcess first({"--rate", "200", m_scene});
    QVERIFY(first.port() != 0);
    QProcess watch;
    watch.start(rrdcliPath(), {"watch", "--process-params", first.address()});
    QVERIFY(first.process().waitForFinished(Long));
    ServeProcess second({"--rate", "200", m_scene}, first.port());
    QCOMPARE(second.port(), first.port());
    QByteArray out;
    const bool all = readUntil(watch, &out, [&](const QByteArray &o) { return o.size() >= analyze.out.size(); });
    QVERIFY(second.process().waitForFinished(Long));
    ::kill(pid_t(watch.processId()), SIGINT);
    QVERIFY(watch.waitForFinished(Long));
    out += watch.readAllStandardOutput();
    const QByteArray err = watch.readAllStandardError();
    QVERIFY2(all, err.constData());
    QCOMPARE(watch.exitCode(), 0);
    QCOMPARE(out, analyze.out);
    QVERIFY2(err.contains("rrdcli watch: stream lost: the radar closed the connection\n"), err.constData());
    QVERIFY2(err.contains("rrdcli watch: stream back\n"), err.constData());
}

void TestWatch::noReconnectEndsWithTheReason()
{
    ServeProcess serve({"--rate", "200", "--scenario", "quiet", "--frames", "20"});
    QVERIFY(serve.port() != 0);
    const Run watch = runRrdcli({"watch", "--no-reconnect", serve.address()});
    QVERIFY(serve.process().waitForFinished(Long));
    QCOMPARE(watch.exitCode, 1);
    QVERIFY2(watch.err.contains("stream lost: the radar closed the connection"), watch.err.constData());
}

// A disk that stays full: every failed file is reported on standard error, and the frames that
// could not be recorded make the watch end with exit 1.
void TestWatch::reportsAFullDiskAndExitsOne()
{
    QTemporaryDir dir;
    SmallDisk disk(dir.filePath("disk"), "1m");
    if (!disk.mounted)
        QSKIP(qPrintable("cannot mount a tmpfs here: " + disk.why));
    QVERIFY(disk.fill(disk.path + "/filler"));
    const Run watch = runRrdcli({"watch", "--process-params", "--record", disk.path, m_scene});
    QCOMPARE(watch.exitCode, 1);
    QCOMPARE(watch.out, m_expected); // the detection goes on regardless
    const QString prefix = "rrdcli watch: recording: " + disk.path + "/rdata/";
    QVERIFY2(watch.err.contains(prefix.toLocal8Bit()), watch.err.constData());
    QVERIFY2(watch.err.contains(": No space left on device\n"), watch.err.constData());
    QVERIFY2(watch.err.contains("Task Record finished with error 'Recording could not write "),
             watch.err.constData());
}

void TestWatch::checksTheRecordFolder_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("a file") << "file" << QStringList{} << 1 << "Record path is not writeable!";
    QTest::newRow("short of free space")
        << "folder" << QStringList{"--min-free", "100"} << 0
        << "Minimal free disk space (100%) reached! Currently available: ";
}

void TestWatch::checksTheRecordFolder()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString record = dir.filePath("rec");
    if (kind == "file")
        writeRecording(dir, "rec", 1);
    const Run watch =
        runRrdcli(QStringList{"watch", "--process-params", "--record", record} + options + QStringList{m_scene});
    QCOMPARE(watch.exitCode, exitCode);
    QVERIFY2(watch.err.contains(message.toLocal8Bit()), watch.err.constData());
    if (exitCode != 0)
        return;
    QCOMPARE(watch.out, m_expected);
    int frames = 0;
    for (const QString &path : filesBelow(record + "/rdata") + filesBelow(record + "/alarm"))
        frames += framesInFile(path);
    QCOMPARE(frames, 100);
}

// A standard input that stays open but sends nothing more: SIGTERM breaks off the read, the
// recorder writes every frame read and completes its file, and the watch ends with 0.
void TestWatch::stopSignalEndsASilentStandardInputAndCompletesTheRecording()
{
    const QString input = writeRecording(m_dir, "stdin.rrd0", 40);
    QFile file(input);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString record = m_dir.filePath("stdin-rec");
    QProcess watch;
    watch.start(rrdcliPath(), {"watch", "--record", record, "-"});
    QVERIFY(watch.waitForStarted(Long));
    watch.write(file.readAll()); // and the pipe stays open
    QVERIFY(QTest::qWaitFor([&] { return watch.bytesToWrite() == 0 && unreadInput(watch) == 0; }, Long));
    ::kill(pid_t(watch.processId()), SIGTERM);
    QVERIFY2(watch.waitForFinished(20000), "SIGTERM did not end the watch");
    QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(watch.exitCode(), 0);
    const QStringList files = filesBelow(record + "/rdata");
    QCOMPARE(files.size(), 1);
    QCOMPARE(framesInFile(files.first()), 40);
}

// "true" names ./true, which is checked and must be what runs, not /usr/bin/true.
void TestWatch::alarmScriptWithoutSlashRunsTheFileChecked()
{
    QTemporaryDir here;
    const QString script = writeScript(here.filePath("true"), "echo ran > ran\n");
    RunOptions inHere;
    inHere.workingDirectory = here.path();
    const Run watch = runRrdcli({"watch", "--process-params", "--alarm-script", "true", m_scene}, inHere);
    QCOMPARE(watch.exitCode, 0);
    QVERIFY(watch.out.contains(",AV0-0 ALARM ON,"));
    QVERIFY2(watch.err.contains(("Alarm script " + script + " started!").toLocal8Bit()), watch.err.constData());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(here.filePath("ran")), Long);
}

// A script still busy when the watch ends gets its grace, is reported and ends together with
// the process it started.
void TestWatch::alarmScriptStillRunningAtTheEndEndsWithItsChildren()
{
    QTemporaryDir here;
    const QString pidFile = here.filePath("child.pid");
    const QString script = writeScript(here.filePath("busy.sh"),
                                       "sleep 300 &\necho $! > '" + pidFile.toUtf8() + ".tmp'\n"
                                       "mv '" + pidFile.toUtf8() + ".tmp' '" + pidFile.toUtf8() + "'\nwait\n");
    const Run watch = runRrdcli({"watch", "--process-params", "--alarm-script", script, m_scene});
    QFile pids(pidFile);
    QVERIFY(pids.open(QIODevice::ReadOnly));
    const qint64 child = pids.readAll().trimmed().toLongLong();
    QVERIFY(child > 0);
    const bool childEnded = QTest::qWaitFor([&] { return !alive(child); }, 5000);
    if (!childEnded)
        ::kill(pid_t(child), SIGKILL);
    QCOMPARE(watch.exitCode, 0);
    QVERIFY2(watch.err.contains(("Alarm script " + script + " is still running: waiting up to 3 s").toLocal8Bit()),
             watch.err.constData());
    QVERIFY2(watch.err.contains(("Alarm script " + script + " was still running at the end: it and the "
                                 "processes it started are stopped").toLocal8Bit()),
             watch.err.constData());
    QVERIFY2(childEnded, "the script's child is still running");
}

// A radar that keeps the connection open but sends nothing is lost after --timeout seconds
// and reached again.
void TestWatch::silentStreamIsLostAndReachedAgain()
{
    QTcpServer radar;
    QVERIFY(radar.listen(QHostAddress::LocalHost));
    QProcess watch;
    watch.start(rrdcliPath(), {"watch", "--timeout", "1", QStringLiteral("127.0.0.1:%1").arg(radar.serverPort())});
    QVERIFY(radar.waitForNewConnection(Long));
    QByteArray err;
    QVERIFY(QTest::qWaitFor([&] {
        err += watch.readAllStandardError();
        return err.contains("rrdcli watch: stream lost: no frame for 1 s\n") || watch.state() == QProcess::NotRunning;
    }, Long));
    QVERIFY2(err.contains("stream lost: no frame for 1 s"), err.constData());
    QVERIFY(radar.waitForNewConnection(Long)); // reached again
    ::kill(pid_t(watch.processId()), SIGTERM);
    QVERIFY(watch.waitForFinished(Long));
    QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(watch.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_tasks_watch.moc"
