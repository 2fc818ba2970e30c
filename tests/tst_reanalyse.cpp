// Archives as a fleet keeps them: each radar's folder with minute files named by their UTC
// start in "rdata" and "alarm". `rrdcli analyze` and `export` read such folders and wildcards
// in time order with one detector history, exactly as the recording they were cut from; and
// `rrdcli-reanalyse` runs one job per radar on GNU parallel or as a Slurm array job on a
// single-node cluster started here, merging what four serial analyses print.

#include "RrdcliTestSupport.h"

#include "RuFile.h"
#include "RuSimulator.h"

#include <QDateTime>
#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <numeric>
#include <utility>

using namespace rrdclitest;

namespace {

constexpr int FramesPerFile = 60; // one frame a second: a minute file each
constexpr int Files = 5;

struct Radar
{
    QString name;
    RuScenario scenario;
    quint64 seed;
};

// Names that need care: a comma (quoted in CSV), a blank, and an order of names ("slope
// south" before "slope-north") that only a byte-wise sort gives.
const Radar Fleet[] = {
    {"slope-north", RuScenario::Avalanche, 1},
    {"river,bed", RuScenario::WaterLevel, 2},
    {"slope south", RuScenario::Mixed, 3},
    {"gully", RuScenario::Rain, 4},
};

RuSimulatorOptions sceneOf(const Radar &radar)
{
    RuSimulatorOptions options;
    options.scenario = radar.scenario;
    options.seed = radar.seed;
    options.frames = Files * FramesPerFile;
    options.processParams = true;
    return options;
}

QString stampOf(qint64 micros)
{
    return QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC).toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

bool writeFrames(const RuSimulator &simulator, int first, int count, const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    RuFile file;
    file.open(path, 'w', 0);
    for (int i = first; i < first + count && file.isOpen(); ++i)
        file.writeFrame(simulator.frame(i));
    return file.close();
}

// The radar's recording cut into minute files as a station leaves them: every other file in
// "alarm", so that only the names' times interleave them; in "gully" a second file started
// in the same second as the one before it ("-1"), which a plain sort of names puts first.
void writeArchive(const Radar &radar, const QString &folder)
{
    RuSimulator simulator(sceneOf(radar));
    QString stamp;
    for (int k = 0; k < Files; ++k) {
        const QString start = stampOf(simulator.frameTimeMicros(k * FramesPerFile));
        stamp = radar.name == QLatin1String("gully") && k == 2 ? stamp + QStringLiteral("-1") : start;
        const QString path = QStringLiteral("%1/%2/%3.rrd0.gz")
                                 .arg(folder, k % 2 ? QStringLiteral("alarm") : QStringLiteral("rdata"), stamp);
        if (!writeFrames(simulator, k * FramesPerFile, FramesPerFile, path))
            qFatal("cannot write %s", qPrintable(path));
    }
    QFile notes(folder + QStringLiteral("/rdata/notes.txt"));
    notes.open(QIODevice::WriteOnly);
    notes.write("not radar data\n");
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return QString::number(server.serverPort());
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A single-node Slurm cluster on 127.0.0.1 for the length of a scope: munged, slurmctld and
// slurmd with a configuration generated into a temporary folder. unavailable() says why it
// could not be started (the machine lacks the programs or cannot run the daemons).
class SlurmCluster
{
public:
    SlurmCluster()
    {
        for (const char *program : {"munged", "slurmctld", "slurmd", "sbatch", "sinfo"}) {
            if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty()
                && QStandardPaths::findExecutable(QLatin1String(program), {"/usr/sbin", "/sbin"}).isEmpty()) {
                m_unavailable = QStringLiteral("%1 is not installed ('make test' installs slurm-wlm and munge)")
                                    .arg(QLatin1String(program));
                return;
            }
        }
        if (!startMunge() || !startSlurm())
            stop();
    }
    ~SlurmCluster() { stop(); }

    QString unavailable() const { return m_unavailable; }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SLURM_CONF"), path("slurm.conf"));
        return env;
    }

private:
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    static QString sbin(const QString &program)
    {
        const QString found = QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin"});
        return found.isEmpty() ? QStandardPaths::findExecutable(program) : found;
    }

    // A daemon in the foreground, its output kept for the reason of a failure.
    bool start(QProcess &process, const QString &program, const QStringList &args)
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setProcessEnvironment(environment());
        process.start(sbin(program), args);
        if (process.waitForStarted(WaitMs))
            return true;
        m_unavailable = QStringLiteral("%1 does not start: %2").arg(program, process.errorString());
        return false;
    }

    bool failed(const QString &what, QProcess &daemon)
    {
        daemon.waitForReadyRead(500);
        m_unavailable = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(daemon.readAll()).right(1500));
        return false;
    }

    bool startMunge()
    {
        QByteArray key(1024, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(key.data()), key.size() / 4);
        if (!writeFile(path("munge.key"), key))
            return false;
        QFile::setPermissions(path("munge.key"), QFile::ReadOwner);
        if (!start(m_munged, QStringLiteral("munged"),
                   {"--foreground", "--force", "--socket=" + path("munge.socket"),
                    "--key-file=" + path("munge.key"), "--pid-file=" + path("munged.pid"),
                    "--log-file=" + path("munged.log"), "--seed-file=" + path("munged.seed")}))
            return false;
        if (!QTest::qWaitFor([&] { return QFileInfo::exists(path("munge.socket"))
                                          || m_munged.state() != QProcess::Running; }, WaitMs)
            || m_munged.state() != QProcess::Running)
            return failed(QStringLiteral("munged cannot run here"), m_munged);
        return true;
    }

    bool startSlurm()
    {
        const QString host = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
        QDir().mkpath(path("state"));
        QDir().mkpath(path("spool"));
        const QString conf = QStringLiteral(
            "ClusterName=skarneltest\nSlurmctldHost=%1(127.0.0.1)\nSlurmctldPort=%2\n"
            "SlurmdPort=%3\nAuthType=auth/munge\nCredType=cred/munge\nAuthInfo=socket=%4\n"
            "StateSaveLocation=%5\nSlurmdSpoolDir=%6\nSlurmctldPidFile=%7\nSlurmdPidFile=%8\n"
            "SlurmctldLogFile=%9\nSlurmdLogFile=%10\nProctrackType=proctrack/linuxproc\n"
            "TaskPlugin=task/none\nJobAcctGatherType=jobacct_gather/none\n"
            "AccountingStorageType=accounting_storage/none\nSchedulerType=sched/builtin\n"
            "SelectType=select/cons_tres\nSelectTypeParameters=CR_Core\nReturnToService=2\n"
            "MpiDefault=none\nMailProg=/bin/true\n"
            "NodeName=%1 NodeAddr=127.0.0.1 CPUs=%11 State=UNKNOWN\n"
            "PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP\n")
                                 .arg(host, freePort(), freePort(), path("munge.socket"), path("state"),
                                      path("spool"), path("slurmctld.pid"), path("slurmd.pid"),
                                      path("slurmctld.log"))
                                 .arg(path("slurmd.log"))
                                 .arg(QThread::idealThreadCount());
        if (!writeFile(path("slurm.conf"), conf.toUtf8()))
            return false;
        if (!start(m_slurmctld, QStringLiteral("slurmctld"), {"-D", "-i"})
            || !start(m_slurmd, QStringLiteral("slurmd"), {"-D", "-N", host}))
            return false;
        // The node takes jobs once it has registered with the controller.
        QString state;
        const bool idle = QTest::qWaitFor(
            [&] {
                if (m_slurmctld.state() != QProcess::Running || m_slurmd.state() != QProcess::Running)
                    return true;
                RunOptions options;
                options.environment = environment();
                const Run sinfo = runProgram(QStandardPaths::findExecutable("sinfo"),
                                             {"-h", "-N", "-o", "%T"}, options);
                state = sinfo.outText().trimmed();
                return state == QLatin1String("idle");
            },
            WaitMs);
        if (m_slurmctld.state() != QProcess::Running)
            return failed(QStringLiteral("slurmctld cannot run here"), m_slurmctld);
        if (m_slurmd.state() != QProcess::Running)
            return failed(QStringLiteral("slurmd cannot run here"), m_slurmd);
        if (!idle) {
            m_unavailable = QStringLiteral("the node did not become idle (state '%1')").arg(state);
            return false;
        }
        return true;
    }

    void stop()
    {
        for (QProcess *daemon : {&m_slurmd, &m_slurmctld, &m_munged}) {
            if (daemon->state() == QProcess::NotRunning)
                continue;
            daemon->terminate();
            if (!daemon->waitForFinished(WaitMs)) {
                daemon->kill();
                daemon->waitForFinished(WaitMs);
            }
        }
    }

    QTemporaryDir m_dir;
    QProcess m_munged;
    QProcess m_slurmctld;
    QProcess m_slurmd;
    QString m_unavailable;
};

} // namespace

class TestReanalyse : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void analyzeReadsArchivesInTimeOrder_data();
    void analyzeReadsArchivesInTimeOrder();
    void exportReadsAFolderAsItsRecording();
    void sourcesThatCannotBeOrderedOrFound_data();
    void sourcesThatCannotBeOrderedOrFound();
    void parallelRunMatchesSerialAnalyses();
    void slurmArrayJobMatchesSerialAnalyses();
    void badInputGivesAClearMessage_data();
    void badInputGivesAClearMessage();

private:
    QString archive(const Radar &radar) const { return m_dir.filePath("fleet/" + radar.name); }
    QString recording(const Radar &radar) const { return m_dir.filePath("whole/" + radar.name + ".rrd0.gz"); }
    Run reanalyse(const QStringList &args, const QProcessEnvironment &env = {}) const;
    void compareWithSerialAnalyses(const Run &run, const QString &output) const;

    QTemporaryDir m_dir;
    QString m_params;
    // Per radar, the alarm log of its whole recording: analysed in one piece, as it was
    // recorded.
    QMap<QString, QByteArray> m_logs;
};

void TestReanalyse::initTestCase()
{
    QVERIFY(QFileInfo(rrdcliPath()).isExecutable());
    QVERIFY(QFileInfo(binary("rrdcli-reanalyse")).isExecutable());
    for (const Radar &radar : Fleet) {
        writeArchive(radar, archive(radar));
        QDir().mkpath(m_dir.filePath("whole"));
        QVERIFY(RuSimulator(sceneOf(radar)).writeRecording(recording(radar)));
    }
    m_params = m_dir.filePath("winter.ini");
    QCOMPARE(runRrdcli({"params", "--process-params", recording(Fleet[0]), "-o", m_params}).exitCode, 0);
    for (const Radar &radar : Fleet) {
        const Run analyze = runRrdcli({"analyze", "--params", m_params, "--log", recording(radar)});
        QCOMPARE(analyze.exitCode, 0);
        m_logs[radar.name] = analyze.out;
    }
    QVERIFY(m_logs["slope-north"].contains(",AV0-0 ALARM ON,"));
    QVERIFY(m_logs["gully"].contains(",RAIN0 ALARM ON,"));
    QVERIFY(m_logs["river,bed"].contains(",WL0 ALARM ON,"));
}

void TestReanalyse::analyzeReadsArchivesInTimeOrder_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::newRow("the radar's folder") << "%1";
    QTest::newRow("a wildcard of minute files") << "%1/*/*.rrd0.gz";
    QTest::newRow("a wildcard of folders") << "%1/*";
}

// Whatever way the archive is named, the detectors see the recording it was cut from.
void TestReanalyse::analyzeReadsArchivesInTimeOrder()
{
    QFETCH(QString, pattern);
    for (const Radar &radar : Fleet) {
        const Run analyze = runRrdcli({"analyze", "--params", m_params, "--log", pattern.arg(archive(radar))});
        QVERIFY2(analyze.exitCode == 0, analyze.err.constData());
        QCOMPARE(analyze.errText(), QString());
        QCOMPARE(analyze.out, m_logs[radar.name]);
    }
}

void TestReanalyse::exportReadsAFolderAsItsRecording()
{
    const Radar &radar = Fleet[0];
    const QString fromFolder = m_dir.filePath("folder.csv");
    const QString fromRecording = m_dir.filePath("recording.csv");
    for (const auto &[source, output] : {std::pair{archive(radar), fromFolder},
                                         std::pair{recording(radar), fromRecording}}) {
        const Run run = runRrdcli({"export", "--type", "normalized", "--params", m_params,
                                   "--frames", "118:122", "-o", output, source});
        QVERIFY2(run.exitCode == 0, run.err.constData());
    }
    QFile a(fromFolder), b(fromRecording);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray exported = a.readAll();
    QCOMPARE(exported.count('\n'), 1 + 4 * 20);
    QCOMPARE(exported, b.readAll());
}

void TestReanalyse::sourcesThatCannotBeOrderedOrFound_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("a name without its UTC start")
        << "mixed" << 0
        << "rrdcli analyze: warning: %1/mixed: 1 file(s) not named by their UTC start "
           "(%1/mixed/rdata/saved.rrd0.gz) are read after its minute files, in the order of their paths\n";
    QTest::newRow("a folder without data files")
        << "empty" << 1
        << "rrdcli analyze: %1/empty: no data file (*.rrd, *.rrd0, *.rrd.gz, *.rrd0.gz, *.zip) "
           "in this folder or below it\n";
    QTest::newRow("a wildcard that matches nothing")
        << "mixed/*.rrd" << 1 << "rrdcli analyze: %1/mixed/*.rrd: the wildcard matches no file\n";
}

void TestReanalyse::sourcesThatCannotBeOrderedOrFound()
{
    QFETCH(QString, argument);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("empty/rdata"));
    writeArchive(Fleet[0], dir.filePath("mixed"));
    QVERIFY(QFile::copy(recording(Fleet[3]), dir.filePath("mixed/rdata/saved.rrd0.gz")));
    const Run analyze = runRrdcli({"analyze", "--params", m_params, "--log", dir.filePath(argument)});
    QCOMPARE(analyze.exitCode, exitCode);
    QCOMPARE(analyze.errText(), message.arg(dir.path()));
    if (exitCode == 0) {
        // The minute files in time order, then the file named otherwise, on one history.
        const Run whole = runRrdcli({"analyze", "--params", m_params, "--log",
                                     recording(Fleet[0]), recording(Fleet[3])});
        QCOMPARE(analyze.out, whole.out);
    }
}

Run TestReanalyse::reanalyse(const QStringList &args, const QProcessEnvironment &env) const
{
    RunOptions options;
    options.environment = env;
    return runProgram(binary("rrdcli-reanalyse"), args, options);
}

// The merged file holds, radar after radar in byte order of their names, the rows of the
// radar's log with its name and each frame's UTC time; the jobs' folder is gone.
void TestReanalyse::compareWithSerialAnalyses(const Run &run, const QString &output) const
{
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.errText(), QStringLiteral("rrdcli-reanalyse: 4 radars analysed; %1 alarm-log rows in %2\n")
                                .arg(std::accumulate(m_logs.cbegin(), m_logs.cend(), 0,
                                                     [](int n, const QByteArray &log) { return n + log.count('\n') - 1; }))
                                .arg(output));
    QStringList expected{"radar,frame,time,event,details"};
    QStringList names;
    for (const Radar &radar : Fleet)
        names << radar.name;
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.toUtf8() < b.toUtf8(); });
    const qint64 start = RuSimulatorOptions().startMicros / 1000;
    for (const QString &name : qAsConst(names)) {
        const QStringList rows = QString::fromUtf8(m_logs[name]).split('\n', Qt::SkipEmptyParts).mid(1);
        for (const QString &row : rows) {
            const qint64 frame = row.section(',', 0, 0).toLongLong();
            const QString time = QDateTime::fromMSecsSinceEpoch(start + frame * 1000, Qt::UTC).toString(Qt::ISODateWithMs);
            expected << csvField(name) + ',' + row.section(',', 0, 0) + ',' + time + ',' + row.section(',', 1);
        }
    }
    QFile merged(output);
    QVERIFY(merged.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(merged.readAll()).split('\n', Qt::SkipEmptyParts), expected);
    QCOMPARE(QDir(QFileInfo(output).path()).entryList({"." + QFileInfo(output).fileName() + ".jobs-*"},
                                                       QDir::AllEntries | QDir::Hidden),
             QStringList());
}

void TestReanalyse::parallelRunMatchesSerialAnalyses()
{
    if (QStandardPaths::findExecutable("parallel").isEmpty())
        QSKIP("GNU parallel is not installed ('make test' installs it)");
    const QString output = m_dir.filePath("parallel.csv");
    const Run run = reanalyse({"--params", m_params, "--jobs", "2", m_dir.filePath("fleet"), "-o", output});
    compareWithSerialAnalyses(run, output);
}

void TestReanalyse::slurmArrayJobMatchesSerialAnalyses()
{
    SlurmCluster cluster;
    if (!cluster.unavailable().isEmpty())
        QSKIP(qPrintable("no Slurm cluster on this machine: " + cluster.unavailable()));
    const QString output = m_dir.filePath("slurm.csv");
    const Run run = reanalyse({"--params", m_params, "--slurm", m_dir.filePath("fleet"), "-o", output},
                              cluster.environment());
    compareWithSerialAnalyses(run, output);
}

void TestReanalyse::badInputGivesAClearMessage_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QStringList usual{"--params", "@params", "@root", "-o", "@out"};
    QTest::newRow("no radar folders") << "" << usual << 1 << "@root holds no radar folders";
    QTest::newRow("a radar without minute files")
        << "radar,empty" << usual << 1
        << "@root/empty: no minute files (*.rrd0.gz, *.rrd0, *.rrd.gz, *.rrd, *.zip) below it\n"
           "rrdcli-reanalyse: 1 of 2 radar folders hold no minute files: nothing was analysed";
    QTest::newRow("a missing parameter file")
        << "radar" << QStringList{"--params", "@root/none.ini", "@root", "-o", "@out"} << 1
        << "@root/none.ini: no parameter file there (--params)";
    QTest::newRow("no parameter file but data")
        << "radar" << QStringList{"--params", "@root/radar/rdata/20240201T060000Z.rrd0.gz", "@root", "-o", "@out"}
        << 1 << "cannot be used as the detector settings";
    QTest::newRow("a job that fails")
        << "radar,cut" << usual << 1
        << "rrdcli-reanalyse: cut: the job failed with exit status 1\n"
           "rrdcli-reanalyse: @out not written: the logs of every radar are in ";
    QTest::newRow("no output") << "radar" << QStringList{"--params", "@params", "@root"} << 2
                               << "the output (-o ALARMS.csv) is missing";
    QTest::newRow("no jobs") << "radar" << QStringList{"--jobs", "0"} + usual << 2
                             << "--jobs needs a whole number above 0";
    QTest::newRow("jobs on Slurm") << "radar" << QStringList{"--jobs", "2", "--slurm"} + usual << 2
                                   << "--jobs and --slurm exclude each other";
}

void TestReanalyse::badInputGivesAClearMessage()
{
    QFETCH(QString, setUp);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString root = dir.filePath("fleet");
    QDir().mkpath(root);
    for (const QString &radar : setUp.split(',', Qt::SkipEmptyParts)) {
        if (radar == QLatin1String("empty")) {
            QDir().mkpath(root + "/empty/rdata");
            continue;
        }
        writeArchive(Fleet[0], root + '/' + radar);
        if (radar == QLatin1String("cut")) {
            QFile cut(root + "/cut/alarm/" + stampOf(RuSimulatorOptions().startMicros + 60000000LL) + ".rrd0.gz");
            QVERIFY(cut.resize(cut.size() / 2));
        }
    }
    const QString output = dir.filePath("alarms.csv");
    QVERIFY(writeFile(output, "the old file\n"));
    for (QString &arg : args)
        arg.replace("@params", m_params).replace("@root", root).replace("@out", output);
    const Run run = reanalyse(args);
    QCOMPARE(run.exitCode, exitCode);
    const QString expected = QString(message).replace("@root", root).replace("@out", output);
    QVERIFY2(run.errText().contains(expected), qPrintable(run.errText()));
    QFile old(output);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("the old file\n"));
    if (QTest::currentDataTag() == QByteArray("a job that fails")) {
        // What the failed job said is named, and the jobs' files are kept where it says.
        QVERIFY2(run.errText().contains("rrdcli-reanalyse: cut: rrdcli analyze: "), qPrintable(run.errText()));
        const QString work = run.errText().section("the logs of every radar are in ", 1).trimmed();
        QVERIFY2(QFileInfo(work + "/1.status").exists(), qPrintable(work));
    }
}

QTEST_GUILESS_MAIN(TestReanalyse)
#include "tst_reanalyse.moc"
