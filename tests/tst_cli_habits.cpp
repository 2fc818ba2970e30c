// rrdcli and converter as an unlucky operator meets them: hard links, full disks, failed
// conversions over existing files, signals in the middle of a run, a standard input that
// stays silent, typing slips. Every case runs the real programs on data made here.

#include "RrdcliTestSupport.h"
#include "RuSimulator.h"
#include "SmallDisk.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace rrdclitest;

namespace {

QString record(const QTemporaryDir &dir, const QString &name, int frames,
               int format = RRD_FORMAT_RRD0, bool processParams = false)
{
    RuSimulatorOptions o;
    o.frames = frames;
    o.format = format;
    o.processParams = processParams;
    o.scenario = processParams ? RuScenario::Avalanche : RuScenario::Quiet;
    const QString path = dir.filePath(name);
    return RuSimulator(o).writeRecording(path) ? path : QString();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The frames rrdcli info reads from `path`, or -1 when it reports an error.
qint64 framesIn(const QString &path)
{
    const Run r = runRrdcli({QStringLiteral("info"), QStringLiteral("--json"), path});
    if (r.exitCode != 0)
        return -1;
    return qint64(QJsonDocument::fromJson(r.out).object().value(QStringLiteral("frames")).toDouble(-1));
}

// The number in "... N frames ..." or "after N frames" of a message.
qint64 numberBefore(const QByteArray &text, const char *word)
{
    const QRegularExpression re(QStringLiteral("(\\d+) (?:of \\d+ )?%1").arg(QLatin1String(word)));
    const QRegularExpressionMatch m = re.match(QString::fromLocal8Bit(text));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// Reads a FIFO on a thread of its own, as the program at its other end would, until the
// writer has closed it.
class PipeReader
{
public:
    explicit PipeReader(const QString &path) : m_thread([this, path] { run(path); }) {}
    ~PipeReader() { finish(); }
    PipeReader(const PipeReader &) = delete;
    PipeReader &operator=(const PipeReader &) = delete;

    // What arrived; call once the writer has ended.
    QByteArray finish()
    {
        m_writerEnded = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_data;
    }

private:
    void run(const QString &path)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return;
        QDeadlineTimer deadline(WaitMs);
        char buffer[65536];
        while (!deadline.hasExpired()) {
            pollfd ready{fd, POLLIN, 0};
            ::poll(&ready, 1, 50);
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                m_data.append(buffer, int(n));
            else if (n == 0 && m_writerEnded)
                break;
            else if (n == 0)
                QThread::msleep(5); // no writer yet, or it has just closed
        }
        ::close(fd);
    }

    std::atomic_bool m_writerEnded{false};
    QByteArray m_data;
    std::thread m_thread; // last: it uses the members above
};

struct stat statusOf(const QString &path)
{
    struct stat status = {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status;
}

} // namespace

class TestCliHabits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void convertNeverHarmsInputsOrOutputs_data();
    void convertNeverHarmsInputsOrOutputs();
    void incompleteLastFrameFailsAfterTheResults_data();
    void incompleteLastFrameFailsAfterTheResults();
    void stopSignalsCompleteTheOutput_data();
    void stopSignalsCompleteTheOutput();
    void serveKeepsServingWhileStandardInputWaits();
    void commandLineAnswersAsToolsDo_data();
    void commandLineAnswersAsToolsDo();
    void parameterFilesRoundTripAndWarn();
    void everyCommandNamesParameterFileSlips_data();
    void everyCommandNamesParameterFileSlips();
    void progressOnlyOnATerminal();
    void privilegedPortSaysToUsePort();
    void outputsThatAreNoFilesAreWrittenInPlace_data();
    void outputsThatAreNoFilesAreWrittenInPlace();
    void exportNamesTheCauseOfAFullDisk_data();
    void exportNamesTheCauseOfAFullDisk();
};

void TestCliHabits::initTestCase()
{
    if (!QFileInfo(rrdcliPath()).isExecutable())
        QSKIP("rrdcli is not built");
}

// Each row: how the output is prepared, the exit status, a text the messages hold, and
// whether the old output (or the input) must be unchanged afterwards.
void TestCliHabits::convertNeverHarmsInputsOrOutputs_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("output is a hard link to an input") << "hardlink" << 1
        << "Failed! Outputfile is one of the input files!";
    QTest::newRow("missing input keeps the old output") << "missing" << 1
        << "Failed! Inputfile open failed! %1/absent.rrd0: No such file or directory";
    QTest::newRow("full disk") << "full" << 1
        << "Failed! Outputfile write failed! %1/out.rrd0: No space left on device";
    QTest::newRow("raw frames left out of an RRD0 output") << "raw" << 1
        << "Finished! 3 raw frame(s) not written: they carry no time for the output's format";
    QTest::newRow("every frame written") << "plain" << 0 << "Finished!";
}

void TestCliHabits::convertNeverHarmsInputsOrOutputs()
{
    QFETCH(QString, setUp);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QStringList inputs{record(dir, QStringLiteral("a.rrd0"), 4), record(dir, QStringLiteral("b.rrd0"), 3)};
    const QString out = dir.filePath(QStringLiteral("out.rrd0"));
    const QByteArray old = "an earlier conversion that must survive";
    if (setUp == QLatin1String("hardlink")) {
        QVERIFY(::link(QFile::encodeName(inputs.at(1)).constData(), QFile::encodeName(out).constData()) == 0);
    } else if (setUp == QLatin1String("full")) {
        if (!QFileInfo(QStringLiteral("/dev/full")).isWritable())
            QSKIP("this system has no writable /dev/full");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), out));
    } else {
        QFile file(out);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    }
    if (setUp == QLatin1String("missing"))
        inputs.insert(1, dir.filePath(QStringLiteral("absent.rrd0")));
    if (setUp == QLatin1String("raw"))
        inputs << record(dir, QStringLiteral("c.raw"), 3, RRD_FORMAT_RAW);
    const QByteArray input = contents(inputs.at(0));

    const Run r = runRrdcli(QStringList{QStringLiteral("convert"), QStringLiteral("-o"), out} + inputs);
    QCOMPARE(r.exitCode, exitCode);
    const QString expected = message.contains(QLatin1String("%1")) ? message.arg(dir.path()) : message;
    QVERIFY2((r.out + r.err).contains(expected.toLocal8Bit()), (r.out + r.err).constData());
    QCOMPARE(contents(inputs.at(0)), input);
    if (setUp == QLatin1String("hardlink"))
        QCOMPARE(framesIn(out), qint64(3));
    else if (setUp == QLatin1String("missing"))
        QCOMPARE(contents(out), old);
    else if (setUp == QLatin1String("raw") || setUp == QLatin1String("plain"))
        QCOMPARE(framesIn(out), qint64(7));
    // A replaced output keeps the rights it had.
    if (setUp == QLatin1String("plain"))
        QCOMPARE(QFile::permissions(out), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                              | QFile::ReadUser | QFile::WriteUser);
    // No temporary file is left beside the output.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".out.rrd0.")),
             QStringList());
}

// Each row: the command run over a recording cut inside its fifth frame, and what its
// standard output holds of the four complete frames before it exits with 1.
void TestCliHabits::incompleteLastFrameFailsAfterTheResults_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("shows");
    QTest::newRow("info") << QStringList{"info", "CUT"} << "frames:       4";
    QTest::newRow("analyze") << QStringList{"analyze", "CUT"} << "{\"frame\":3,";
    QTest::newRow("convert") << QStringList{"convert", "-o", "OUT", "CUT"}
                             << "Finished! 1 input file(s) ended early: cut.rrd0 (last frame is incomplete";
}

void TestCliHabits::incompleteLastFrameFailsAfterTheResults()
{
    QFETCH(QStringList, args);
    QFETCH(QString, shows);
    QTemporaryDir dir;
    const QByteArray whole = contents(record(dir, QStringLiteral("whole.rrd0"), 5));
    const QString cut = dir.filePath(QStringLiteral("cut.rrd0"));
    QFile file(cut);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(whole.left(whole.size() * 9 / 10)) > 0);
    file.close();
    const QString out = dir.filePath(QStringLiteral("out.rrd0"));
    args.replaceInStrings(QStringLiteral("CUT"), cut);
    args.replaceInStrings(QStringLiteral("OUT"), out);
    const Run r = runRrdcli(args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.out.contains(shows.toLocal8Bit()), r.out.constData());
    QVERIFY2((r.out + r.err).contains("last frame is incomplete: it lacks"), r.err.constData());
    if (args.first() == QLatin1String("convert"))
        QCOMPARE(framesIn(out), qint64(4));
}

// Each row: the command, what it reads on standard input (frames given, the pipe then kept
// open so that the command waits in a read), the signal, and the output to check.
void TestCliHabits::stopSignalsCompleteTheOutput_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("stdinFrames");
    QTest::addColumn<int>("signal");
    QTest::newRow("simulate, SIGTERM") << "simulate" << 0 << int(SIGTERM);
    QTest::newRow("convert waiting on standard input, SIGTERM") << "convert" << 5 << int(SIGTERM);
    QTest::newRow("analyze waiting on standard input, SIGINT") << "analyze" << 5 << int(SIGINT);
    QTest::newRow("sweep waiting on standard input, SIGINT") << "sweep" << 5 << int(SIGINT);
}

void TestCliHabits::stopSignalsCompleteTheOutput()
{
    QFETCH(QString, command);
    QFETCH(int, stdinFrames);
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.rrd0.gz"));
    QStringList args{command};
    if (command == QLatin1String("simulate"))
        args << QStringLiteral("--frames") << QStringLiteral("10000000") << QStringLiteral("-o") << out;
    else if (command == QLatin1String("convert"))
        args << QStringLiteral("-o") << out << QStringLiteral("-");
    else if (command == QLatin1String("sweep"))
        args << QStringLiteral("--vary") << QStringLiteral("av00/threshold=2.4:2.4:1") << QStringLiteral("-o")
             << dir.filePath(QStringLiteral("sweep")) << QStringLiteral("-");
    else
        args << QStringLiteral("--process-params") << QStringLiteral("-");

    QProcess p;
    p.start(rrdcliPath(), args);
    QVERIFY(p.waitForStarted());
    if (stdinFrames > 0) {
        const QByteArray frames = contents(record(dir, QStringLiteral("in.rrd0"), stdinFrames,
                                                  RRD_FORMAT_RRD0, true));
        p.write(frames);
        QVERIFY(p.waitForBytesWritten());
    }
    if (command == QLatin1String("analyze")) {
        // Each line comes as soon as its frame is done, though the output is a pipe.
        QByteArray lines;
        QVERIFY(QTest::qWaitFor([&] { lines += p.readAllStandardOutput(); return lines.count('\n') == stdinFrames; }, WaitMs));
    } else if (command == QLatin1String("simulate")) {
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(out).size() > 100000; }, WaitMs));
    } else {
        // The frames given have been read; the next read waits.
        QVERIFY(QTest::qWaitFor([&] { return unreadInput(p) == 0; }, WaitMs));
    }
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 128 + signal);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains(signal == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM"), err.constData());
    const qint64 told = numberBefore(err, "frames");
    if (command == QLatin1String("analyze")) {
        QCOMPARE(told, qint64(stdinFrames));
        return;
    }
    if (command == QLatin1String("sweep")) {
        // The frames decoded before the signal (the pipe may be drained before the first is)
        // are summed up.
        QVERIFY2(told >= 0 && told <= stdinFrames, err.constData());
        QVERIFY(p.readAllStandardOutput().startsWith("set,"));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("sweep/summary.csv"))));
        return;
    }
    // The frames said to be written make a complete gzip file.
    QVERIFY2(told > 0, err.constData());
    QCOMPARE(framesIn(out), told);
    QCOMPARE(runProgram(QStringLiteral("gzip"), {QStringLiteral("-t"), out}).exitCode, 0);
    if (command == QLatin1String("convert"))
        QVERIFY(p.readAllStandardOutput().contains("Finished! Aborted..."));
}

void TestCliHabits::serveKeepsServingWhileStandardInputWaits()
{
    QTemporaryDir dir;
    const QByteArray frames = contents(record(dir, QStringLiteral("in.rrd0"), 3));
    ServeProcess serve({QStringLiteral("--rate"), QStringLiteral("50"), QStringLiteral("-")});
    QVERIFY(serve.port() != 0);
    serve.process().write(frames); // standard input stays open: the server's reader waits for more
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), serve.port());
    QVERIFY(client.waitForConnected(5000));
    QByteArray received;
    QVERIFY(QTest::qWaitFor([&] {
        client.waitForReadyRead(50);
        received += client.readAll();
        return received.size() >= frames.size();
    }, 10000));
    QCOMPARE(received, frames);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(serve.stop());
    QVERIFY2(clock.elapsed() < 1000 * SanitizerSlowdown,
             qPrintable(QString::number(clock.elapsed())));
}

void TestCliHabits::commandLineAnswersAsToolsDo_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("shows"); // in standard output or error
    QTest::newRow("version") << "rrdcli" << QStringList{"--version"} << 0 << "rrdcli 0.";
    QTest::newRow("help") << "rrdcli" << QStringList{"help"} << 0 << "params ";
    QTest::newRow("help for a command") << "rrdcli" << QStringList{"help", "convert"} << 0 << "Usage: rrdcli convert";
    for (const char *c : {"info", "simulate", "serve", "analyze", "dump", "convert", "watch", "params", "sweep", "report"})
        QTest::newRow(qPrintable(QStringLiteral("%1 --help").arg(QLatin1String(c))))
            << "rrdcli" << QStringList{c, "--help"} << 0 << QStringLiteral("Usage: rrdcli %1").arg(QLatin1String(c));
    QTest::newRow("command slip") << "rrdcli" << QStringList{"anlyze"} << 2 << "did you mean 'analyze'?";
    QTest::newRow("help for no command") << "rrdcli" << QStringList{"help", "infp"} << 2 << "did you mean 'info'?";
    QTest::newRow("option slip") << "rrdcli" << QStringList{"simulate", "--frmaes", "3", "-o", "-"} << 2
                                 << "unknown option --frmaes (did you mean --frames?)";
    QTest::newRow("option cut short") << "rrdcli" << QStringList{"info", "--max", "3", "x"} << 2
                                      << "did you mean --max-frames?";
    QTest::newRow("no process parameters is a data problem") << "rrdcli"
        << QStringList{"analyze", "--process-params", "STAMPED"} << 1
        << "the first frame carries no detector settings of the radar";
    QTest::newRow("converter version without a display") << "converter" << QStringList{"--version"} << 0 << "converter 0.";
    QTest::newRow("converter help without a display") << "converter" << QStringList{"--help"} << 0 << "Usage: converter";
}

void TestCliHabits::commandLineAnswersAsToolsDo()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, shows);
    QTemporaryDir dir;
    if (args.contains(QStringLiteral("STAMPED")))
        args.replace(args.indexOf(QStringLiteral("STAMPED")), record(dir, QStringLiteral("s.rrd"), 2, RRD_FORMAT_STAMPED));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    RunOptions options;
    options.environment = env;
    const Run r = runProgram(binary(program), args, options);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2((r.out + r.err).contains(shows.toLocal8Bit()), (r.out + r.err).constData());
}

void TestCliHabits::parameterFilesRoundTripAndWarn()
{
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("a.rrd0"), 240, RRD_FORMAT_RRD0, true);
    const QString ini = dir.filePath(QStringLiteral("radar.ini"));
    QCOMPARE(runRrdcli({QStringLiteral("params"), QStringLiteral("--process-params"), data,
                     QStringLiteral("-o"), ini}).exitCode, 0);
    const Run fromFile = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--log"), QStringLiteral("--params"), ini, data});
    const Run fromFrame = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--log"), QStringLiteral("--process-params"), data});
    QCOMPARE(fromFile.exitCode, 0);
    QVERIFY(fromFile.out.contains("ALARM ON"));
    QCOMPARE(fromFile.out, fromFrame.out);
    QCOMPARE(fromFile.err, QByteArray());
    // The file read back is written out as it was.
    const Run copied = runRrdcli({QStringLiteral("params"), QStringLiteral("--params"), ini});
    QCOMPARE(copied.exitCode, 0);
    QCOMPARE(copied.out, contents(ini));
    QCOMPARE(runRrdcli({QStringLiteral("params"), QStringLiteral("--params"), ini,
                     QStringLiteral("--process-params"), data}).exitCode, 2);
    const Run dumpFromFile = runRrdcli({QStringLiteral("dump"), QStringLiteral("--frame"), QStringLiteral("201"),
                                     QStringLiteral("--params"), ini, data});
    const Run dumpFromFrame = runRrdcli({QStringLiteral("dump"), QStringLiteral("--frame"), QStringLiteral("201"),
                                      QStringLiteral("--process-params"), data});
    QCOMPARE(dumpFromFrame.exitCode, 0);
    QVERIFY2(dumpFromFrame.out.contains("[Computed]\n") && !dumpFromFrame.out.endsWith("[Computed]\n"),
             dumpFromFrame.out.constData());
    QCOMPARE(dumpFromFile.out, dumpFromFrame.out);

    // The built-in settings run no detector: a run with them says so.
    const Run builtIn = runRrdcli({QStringLiteral("params")});
    QCOMPARE(builtIn.exitCode, 0);
    QVERIFY(builtIn.out.contains("[av00]"));
    const QString slips = dir.filePath(QStringLiteral("slips.ini"));
    QFile file(slips);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(builtIn.out + "\n[av00]\ntreshold=3\n[rain1]\nenable=true\n");
    file.close();
    const Run warned = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--params"), slips,
                               QStringLiteral("--max-frames"), QStringLiteral("2"), data});
    QCOMPARE(warned.exitCode, 0);
    QVERIFY2(warned.err.contains("unknown key av00/treshold is ignored (did you mean av00/threshold?)"), warned.err.constData());
    QVERIFY2(warned.err.contains("unknown section [rain1]"), warned.err.constData());
    QVERIFY2(warned.err.contains("all detectors are off: give --params or --process-params"), warned.err.constData());
    QCOMPARE(warned.out.count('\n'), 2);
    // watch reads parameter files the same way.
    const Run watched = runRrdcli({QStringLiteral("watch"), QStringLiteral("--params"), slips,
                                QStringLiteral("--max-frames"), QStringLiteral("2"), data});
    QCOMPARE(watched.exitCode, 0);
    QVERIFY2(watched.err.contains("unknown key av00/treshold is ignored"), watched.err.constData());
    QVERIFY2(watched.err.contains("all detectors are off"), watched.err.constData());
}

// Every command that takes --params reads the file alike: values it cannot use are named with
// what is used instead and the run goes on; a file that is no parameter file ends the run.
void TestCliHabits::everyCommandNamesParameterFileSlips_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("dataFile");
    const QList<QPair<const char *, QStringList>> commands{
        {"analyze", {QStringLiteral("analyze"), QStringLiteral("--max-frames"), QStringLiteral("2")}},
        {"dump", {QStringLiteral("dump")}},
        {"export", {QStringLiteral("export"), QStringLiteral("--type"), QStringLiteral("original"),
                    QStringLiteral("-o"), QStringLiteral("OUT")}},
        {"watch", {QStringLiteral("watch"), QStringLiteral("--max-frames"), QStringLiteral("2")}},
        {"params", {QStringLiteral("params")}},
        {"sweep", {QStringLiteral("sweep"), QStringLiteral("--vary"), QStringLiteral("av00/threshold=2.4:2.4:1"),
                   QStringLiteral("-o"), QStringLiteral("OUT")}}};
    for (const auto &command : commands) {
        QTest::addRow("%s, values it cannot use", command.first) << command.second << false;
        QTest::addRow("%s, a data file", command.first) << command.second << true;
    }
}

void TestCliHabits::everyCommandNamesParameterFileSlips()
{
    QFETCH(QStringList, args);
    QFETCH(bool, dataFile);
    QTemporaryDir dir;
    // Uncompressed, as a recorder's file may be: its bytes once read as a page of sections.
    const QString data = record(dir, QStringLiteral("a.rrd0"), 3);
    const QString ini = dataFile ? data : dir.filePath(QStringLiteral("slips.ini"));
    QFile file(ini);
    QVERIFY(dataFile || (file.open(QIODevice::WriteOnly) && file.write("[av00]\nenable=yes\nthreshold=2,4\n") > 0));
    file.close();
    args.replaceInStrings(QStringLiteral("OUT"), dir.filePath(QStringLiteral("out.csv")));
    args << QStringLiteral("--params") << ini;
    if (args.first() != QLatin1String("params"))
        args << data;
    const Run r = runRrdcli(args);
    if (dataFile) {
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.endsWith(ini.toLocal8Bit() + " is not a parameter file: it holds binary data, not INI text\n"),
                 r.err.constData());
        QVERIFY2(!r.err.contains("unknown"), r.err.constData());
        return;
    }
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains(": warning: " + ini.toLocal8Bit() + ": av00/enable=yes is ignored (neither true nor "
                            "false); false is used instead\n"), r.err.constData());
    QVERIFY2(r.err.contains(ini.toLocal8Bit() + ": av00/threshold=2,4 is ignored (a decimal comma: write 2.4); "
                            "2.4 is used instead\n"), r.err.constData());
}

void TestCliHabits::progressOnlyOnATerminal()
{
    if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QSKIP("no 'script' to give the command a terminal");
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("a.rrd0.gz"), 50);
    const QString command = QStringLiteral("%1 analyze %2 >/dev/null").arg(rrdcliPath(), data);
    const Run onTerminal = runProgram(QStringLiteral("script"), {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    QCOMPARE(onTerminal.exitCode, 0);
    QVERIFY2(onTerminal.out.contains("analyze: 50 frames, 100%"), onTerminal.out.constData());
    QVERIFY(onTerminal.out.contains("frames/s"));
    const Run inPipe = runRrdcli({QStringLiteral("analyze"), data});
    QVERIFY(!inPipe.err.contains("frames/s"));
}

void TestCliHabits::privilegedPortSaysToUsePort()
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("needs root and setpriv to run serve as an unprivileged user");
    QProcess serve;
    serve.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                            QStringLiteral("--clear-groups"), rrdcliPath(),
                                            QStringLiteral("serve"), QStringLiteral("--port"), QStringLiteral("1023")});
    QVERIFY(serve.waitForStarted());
    if (!serve.waitForFinished(3000)) {
        serve.kill();
        serve.waitForFinished();
        QSKIP("this system lets anyone listen on port 1023");
    }
    const QByteArray err = serve.readAllStandardError();
    QCOMPARE(serve.exitCode(), 1);
    QVERIFY2(err.contains("use --port"), err.constData());
}

// Each row: the command (OUT is the output, DATA a recording of 3 frames), where OUT is (a
// FIFO read by another program, a character device like /dev/null, or "-"), and how the
// data it receives begins. Renaming a file over OUT would turn a pipe or a device into a
// regular file (and, run by root on /dev/null, replace the system's).
void TestCliHabits::outputsThatAreNoFilesAreWrittenInPlace_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("begins");
    const QStringList csv{"export", "--type", "original", "--format", "csv", "-o", "OUT", "DATA"};
    const QStringList npz{"export", "--type", "original", "--format", "npz", "-o", "OUT", "DATA"};
    const QStringList params{"params", "-o", "OUT"};
    const QStringList convert{"convert", "-o", "OUT", "DATA"};
    const QByteArray csvHeader("frame,time_us,rangegate,c0,c1,");
    const QByteArray zip("PK\x03\x04", 4);
    for (const QString &target : {QStringLiteral("pipe"), QStringLiteral("device")}) {
        QTest::addRow("export csv, %s", qPrintable(target)) << csv << target << csvHeader;
        QTest::addRow("export npz, %s", qPrintable(target)) << npz << target << zip;
        QTest::addRow("params, %s", qPrintable(target)) << params << target << QByteArray("[av00]\n");
        QTest::addRow("convert, %s", qPrintable(target)) << convert << target << QByteArray("RRD0");
    }
    QTest::newRow("export to standard output, CSV by default")
        << QStringList{"export", "--type", "original", "-o", "-", "DATA"} << "stdout" << csvHeader;
    QTest::newRow("export npz to standard output") << npz << "stdout" << zip;
    QTest::newRow("params to standard output") << params << "stdout" << QByteArray("[av00]\n");
}

void TestCliHabits::outputsThatAreNoFilesAreWrittenInPlace()
{
    QFETCH(QStringList, args);
    QFETCH(QString, target);
    QFETCH(QByteArray, begins);
    QTemporaryDir dir;
    QString out = QStringLiteral("-");
    if (target == QLatin1String("pipe")) {
        out = dir.filePath(QStringLiteral("out"));
        QVERIFY(::mkfifo(QFile::encodeName(out).constData(), 0600) == 0);
    } else if (target == QLatin1String("device")) {
        // Root gets a device of its own, so that a fault here never costs the system its
        // /dev/null; anyone else cannot replace /dev/null anyway.
        out = QStringLiteral("/dev/null");
        if (::geteuid() == 0) {
            out = dir.filePath(QStringLiteral("null"));
            if (::mknod(QFile::encodeName(out).constData(), S_IFCHR | 0666, statusOf("/dev/null").st_rdev) != 0)
                QSKIP("cannot make a character device here");
        }
    }
    const struct stat before = statusOf(out);
    args.replaceInStrings(QStringLiteral("OUT"), out);
    args.replaceInStrings(QStringLiteral("DATA"), record(dir, QStringLiteral("in.rrd0"), 3));
    std::unique_ptr<PipeReader> reader(target == QLatin1String("pipe") ? new PipeReader(out) : nullptr);
    RunOptions limited;
    limited.timeoutMs = 30000; // a program waiting for a pipe nobody writes must not hold the suite
    const Run r = runRrdcli(args, limited);
    const QByteArray received = reader ? reader->finish() : r.out;
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());
    if (target != QLatin1String("device"))
        QVERIFY2(received.startsWith(begins), received.left(64).constData());
    if (begins.startsWith("PK") && target != QLatin1String("device"))
        QVERIFY(received.contains(QByteArray("PK\x05\x06", 4))); // the archive is complete
    if (target == QLatin1String("stdout"))
        return;
    const struct stat after = statusOf(out);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
    // Nothing was made beside it.
    QStringList made = QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden);
    made.removeAll(QStringLiteral("in.rrd0"));
    made.removeAll(QFileInfo(out).fileName());
    QCOMPARE(made, QStringList());
}

// A disk that fills up in the middle of a write: the message says why, and nothing is left.
void TestCliHabits::exportNamesTheCauseOfAFullDisk_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("CSV") << "full.csv";
    QTest::newRow("NumPy") << "full.npz";
}

void TestCliHabits::exportNamesTheCauseOfAFullDisk()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("in.rrd0"), 30);
    SmallDisk disk(dir.filePath(QStringLiteral("disk")), QStringLiteral("1m"));
    if (!disk.mounted)
        QSKIP(qPrintable("cannot mount a tmpfs here: " + disk.why));
    const QString out = disk.path + QLatin1Char('/') + name;
    const Run r = runRrdcli({QStringLiteral("export"), QStringLiteral("--type"), QStringLiteral("original"),
                             QStringLiteral("-o"), out, data});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(": No space left on device; " + out.toLocal8Bit() + " not written\n"),
             r.err.constData());
    QCOMPARE(QDir(disk.path).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TestCliHabits)
#include "tst_cli_habits.moc"
