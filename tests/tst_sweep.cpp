// rrdcli sweep, run as users run it, on the simulator's mixed scenario: every set's log
// against a separate `rrdcli analyze --log` of the same settings, the scoring against known
// events, and the refusals of bad sets and event files.

#include "RrdcliTestSupport.h"
#include "SmallDisk.h"
#include "RuSimulator.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace rrdclitest;

namespace {

constexpr int Frames = 600;

RuSimulatorOptions mixed()
{
    RuSimulatorOptions o;
    o.scenario = RuScenario::Mixed;
    o.frames = Frames;
    o.processParams = true;
    return o;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The rows of a CSV text without its header, split into fields (no field here is quoted).
QVector<QStringList> csvRows(const QByteArray &text)
{
    QVector<QStringList> rows;
    const QList<QByteArray> lines = text.trimmed().split('\n');
    for (int i = 1; i < lines.size(); ++i)
        rows << QString::fromUtf8(lines[i]).split(QLatin1Char(','));
    return rows;
}

QString utc(qint64 micros)
{
    return QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC).toString(Qt::ISODate);
}

} // namespace

class TstSweep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void logsEqualSeparateAnalyzeRuns();
    void setsFromFilesReadOverTheBase();
    void scoresKnownEvents_data();
    void scoresKnownEvents();
    void sortsSetsBestFirst();
    void refusesBadSetsAndEventFiles_data();
    void refusesBadSetsAndEventFiles();
    void scoresFramesWithoutTimeByFrameNumber();
    void endsAsAnalyzeOnAMissingSource();
    void fullDiskNamesEachFileNotWritten();
    void showsProgressOnATerminal();

private:
    QString sweepDir(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_data;
    QString m_base;
};

void TstSweep::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_data = m_dir.filePath(QStringLiteral("mixed.rrd0.gz"));
    QVERIFY(RuSimulator(mixed()).writeRecording(m_data));
    // The radar's own settings as the base, with every avalanche detector on.
    m_base = m_dir.filePath(QStringLiteral("base.ini"));
    QCOMPARE(runRrdcli({QStringLiteral("params"), QStringLiteral("--process-params"), m_data,
                        QStringLiteral("-o"), m_base})
                 .exitCode,
             0);
    QSettings base(m_base, QSettings::IniFormat);
    base.setValue(QStringLiteral("av01/enable"), true);
    base.setValue(QStringLiteral("av02/enable"), true);
}

void TstSweep::logsEqualSeparateAnalyzeRuns()
{
    const QString out = sweepDir(QStringLiteral("grid"));
    const Run sweep = runRrdcli({QStringLiteral("sweep"), m_data, QStringLiteral("--params"), m_base,
                                 QStringLiteral("--vary"), QStringLiteral("av00/threshold=2.0:3.0:0.5"),
                                 QStringLiteral("--vary"), QStringLiteral("params/toWardSearch=5:10:5"),
                                 QStringLiteral("--jobs"), QStringLiteral("2"), QStringLiteral("-o"), out});
    QCOMPARE(sweep.exitCode, 0);
    QCOMPARE(sweep.err, QByteArray());
    // The grid in its documented order: the first --vary slowest.
    const QVector<QStringList> expected = {{"2.0", "5"}, {"2.0", "10"}, {"2.5", "5"},
                                           {"2.5", "10"}, {"3.0", "5"}, {"3.0", "10"}};
    const QByteArray summary = readAll(QDir(out).filePath(QStringLiteral("summary.csv")));
    QCOMPARE(sweep.out, summary);
    QVERIFY(summary.startsWith("set,av00/threshold,params/toWardSearch,av00_alarms,av00_prealarms,"));
    const QVector<QStringList> rows = csvRows(summary);
    QCOMPARE(rows.size(), expected.size());
    int alarmsOn = 0;
    for (int k = 1; k <= expected.size(); ++k) {
        const QString ini = QDir(out).filePath(QStringLiteral("%1.ini").arg(k));
        const QSettings set(ini, QSettings::IniFormat);
        QCOMPARE(set.value(QStringLiteral("av00/threshold")).toString(), expected[k - 1][0]);
        QCOMPARE(set.value(QStringLiteral("params/toWardSearch")).toString(), expected[k - 1][1]);
        const Run analyze = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--log"),
                                       QStringLiteral("--params"), ini, m_data});
        QCOMPARE(analyze.exitCode, 0);
        const QByteArray log = readAll(QDir(out).filePath(QStringLiteral("%1.log.csv").arg(k)));
        QCOMPARE(log, analyze.out);
        // The summary's counts are the log's.
        const QStringList row = rows[k - 1];
        QCOMPARE(row.mid(0, 3), QStringList({QString::number(k)}) + expected[k - 1]);
        QCOMPARE(row[3].toInt(), log.count(",AV0-0 ALARM ON,"));
        QCOMPARE(row[4].toInt(), log.count(",AV0-0 PREALARM,") + log.count(",AV0-0 PREALARM S,"));
        QCOMPARE(row[9].toInt(), log.count(",RAIN0 ALARM ON,"));
        alarmsOn += log.count(" ALARM ON,");
    }
    QVERIFY2(alarmsOn >= 6, "every set should raise alarms on the mixed scenario");
}

void TstSweep::setsFromFilesReadOverTheBase()
{
    // Sparse files: each changes one value, the base gives the rest.
    const QString loose = m_dir.filePath(QStringLiteral("loose.ini"));
    const QString strict = m_dir.filePath(QStringLiteral("strict,er.ini"));
    writeFile(loose, "[av00]\nthreshold=2.2\n");
    writeFile(strict, "[av00]\nthreshold=3.5\nlengthMin=12\n");
    const QString out = sweepDir(QStringLiteral("files"));
    const Run sweep = runRrdcli({QStringLiteral("sweep"), m_data, QStringLiteral("--params"), m_base,
                                 QStringLiteral("--params-set"), loose, QStringLiteral("--params-set"),
                                 strict, QStringLiteral("--jsonl"), QStringLiteral("-o"), out});
    QCOMPARE(sweep.exitCode, 0);
    const QByteArray summary = readAll(QDir(out).filePath(QStringLiteral("summary.csv")));
    QVERIFY2(summary.startsWith("set,file,av00/lengthMin,av00/threshold,av00_alarms,"), summary.constData());
    QVERIFY2(summary.contains("\n2,\"" + strict.toUtf8() + "\",12,3.5,"), summary.constData());
    const QList<QByteArray> lines = sweep.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(second.value(QStringLiteral("file")).toString(), strict);
    QCOMPARE(second.value(QStringLiteral("values")).toObject().value(QStringLiteral("av00/threshold")).toDouble(), 3.5);
    for (int k = 1; k <= 2; ++k) {
        const QString ini = QDir(out).filePath(QStringLiteral("%1.ini").arg(k));
        QCOMPARE(QSettings(ini, QSettings::IniFormat).value(QStringLiteral("av01/enable")).toString(),
                 QStringLiteral("true"));
        const Run analyze = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--log"),
                                       QStringLiteral("--params"), ini, m_data});
        QCOMPARE(readAll(QDir(out).filePath(QStringLiteral("%1.log.csv").arg(k))), analyze.out);
    }
}

void TstSweep::scoresKnownEvents_data()
{
    QTest::addColumn<QString>("tolerance");
    QTest::addColumn<int>("caught");
    QTest::addColumn<int>("missed");
    QTest::addColumn<int>("falseAlarms");
    // The water-level event is noted as ending 30 s before its alarm: only a tolerance that
    // long lets the alarm catch it.
    QTest::newRow("exact") << QStringLiteral("0") << 2 << 2 << 1;
    QTest::newRow("tolerant") << QStringLiteral("40") << 3 << 1 << 0;
}

void TstSweep::scoresKnownEvents()
{
    QFETCH(QString, tolerance);
    QFETCH(int, caught);
    QFETCH(int, missed);
    QFETCH(int, falseAlarms);
    // Known events from the scenario's own timeline: the avalanche in frame numbers for any
    // detector (all three alarm on it), the rain in UTC times for rain0, the water level
    // noted too early, and one event on a quiet stretch that nothing alarms on.
    const RuSimulator simulator(mixed());
    const RuSimulator::Timeline &t = simulator.timeline();
    const Run plain = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--log"), QStringLiteral("--params"), m_base, m_data});
    const QRegularExpressionMatch water = QRegularExpression(QStringLiteral("\n(\\d+),WL0 ALARM ON,")).match(plain.outText());
    QVERIFY2(water.hasMatch(), plain.out.constData());
    const qint64 waterAlarm = water.captured(1).toLongLong();
    const QString events = m_dir.filePath(QStringLiteral("events-%1.csv").arg(QTest::currentDataTag()));
    writeFile(events, QStringLiteral("# known events\nstart,end,detector\n%1,%2\n%3,%4,rain0\n%5,%6,waterlevel0\n%7,%8\n")
                          .arg(t.avalanche.begin).arg(t.avalanche.end)
                          .arg(utc(simulator.frameTimeMicros(t.rain.begin)), utc(simulator.frameTimeMicros(t.rain.end)))
                          .arg(t.waterLevel.begin - 60).arg(waterAlarm - 30)
                          .arg(Frames - 40).arg(Frames - 10)
                          .toUtf8());
    const QString out = sweepDir(QStringLiteral("scored-%1").arg(QTest::currentDataTag()));
    const Run sweep = runRrdcli({QStringLiteral("sweep"), m_data, QStringLiteral("--params"), m_base,
                                 QStringLiteral("--vary"), QStringLiteral("av00/threshold=2.4:2.4:1"),
                                 QStringLiteral("--events"), events, QStringLiteral("--tolerance"), tolerance,
                                 QStringLiteral("--jsonl"), QStringLiteral("-o"), out});
    QCOMPARE(sweep.exitCode, 0);
    const QJsonObject row = QJsonDocument::fromJson(sweep.out.trimmed()).object();
    QCOMPARE(row.value(QStringLiteral("caught")).toInt(), caught);
    QCOMPARE(row.value(QStringLiteral("missed")).toInt(), missed);
    QCOMPARE(row.value(QStringLiteral("false_alarms")).toInt(), falseAlarms);
    QCOMPARE(row.value(QStringLiteral("score")).toDouble(), 2.0 * caught / (2 * caught + missed + falseAlarms));
    QVERIFY(row.value(QStringLiteral("mean_delay_s")).isDouble());
}

void TstSweep::sortsSetsBestFirst()
{
    // The first set is too strict to alarm on the avalanche, the second catches it.
    const QString strict = m_dir.filePath(QStringLiteral("deaf.ini"));
    const QString keen = m_dir.filePath(QStringLiteral("keen.ini"));
    writeFile(strict, "[av00]\nsumSumMin=4500\n");
    writeFile(keen, "[av00]\nsumSumMin=1500\n");
    const RuSimulator::Timeline t = RuSimulator(mixed()).timeline();
    const QString events = m_dir.filePath(QStringLiteral("events-sorted.csv"));
    writeFile(events, QStringLiteral("%1,%2,av00\n").arg(t.avalanche.begin).arg(t.avalanche.end).toUtf8());
    const QString out = sweepDir(QStringLiteral("sorted"));
    const Run sweep = runRrdcli({QStringLiteral("sweep"), m_data, QStringLiteral("--params"), m_base,
                                 QStringLiteral("--params-set"), strict, QStringLiteral("--params-set"), keen,
                                 QStringLiteral("--events"), events, QStringLiteral("-o"), out});
    QCOMPARE(sweep.exitCode, 0);
    QVERIFY2(sweep.out.startsWith("set,file,av00/sumSumMin,") && sweep.out.split('\n').first().endsWith(
                 ",caught,missed,false_alarms,mean_delay_s,score"), sweep.out.constData());
    const QVector<QStringList> rows = csvRows(sweep.out);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].mid(0, 3), QStringList({QStringLiteral("2"), keen, QStringLiteral("1500")}));
    QCOMPARE(rows[1].mid(0, 3), QStringList({QStringLiteral("1"), strict, QStringLiteral("4500")}));
    QCOMPARE(rows[1].mid(rows[1].size() - 5, 2), QStringList({QStringLiteral("0"), QStringLiteral("1")}));
}

void TstSweep::refusesBadSetsAndEventFiles_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("events");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString vary = QStringLiteral("--vary");
    QTest::newRow("no sets") << QStringList() << QByteArray() << 2 << "give the sets either as --params-set";
    QTest::newRow("no numbers") << QStringList{vary, "av00/threshold=2,0:3:1"} << QByteArray() << 2
                                << "--vary av00/threshold=2,0:3:1: give SECTION/KEY=FROM:TO:STEP";
    QTest::newRow("unknown key") << QStringList{vary, "av00/treshold=1:2:1"} << QByteArray() << 2
                                 << "unknown key av00/treshold (did you mean av00/threshold?)";
    QTest::newRow("not a number key") << QStringList{vary, "av00/enable=0:1:1"} << QByteArray() << 2
                                      << "av00/enable is not a number";
    QTest::newRow("zero step") << QStringList{vary, "av00/lengthMin=4:8:0"} << QByteArray() << 2
                               << "STEP must be more than 0";
    QTest::newRow("fraction of a whole key") << QStringList{vary, "av00/lengthMin=4:8:0.5"} << QByteArray() << 2
                                             << "av00/lengthMin takes whole numbers";
    QTest::newRow("outside range") << QStringList{vary, "av00/borderLeft=0:600:200"} << QByteArray() << 2
                                   << "600 lies outside the values av00/borderLeft takes (0..512)";
    QTest::newRow("too many sets") << QStringList{vary, "av00/lengthMin=1:100:1", vary, "av00/perRowMin=1:20:1"}
                                   << QByteArray() << 2 << "2000 parameter sets, more than 1000";
    const QStringList one{vary, "av00/threshold=2.4:2.4:1"};
    QTest::newRow("event without end") << one << QByteArray("start,end\n200\n") << 1 << "line 2: give start,end";
    QTest::newRow("event of mixed kinds") << one << QByteArray("10,2024-02-01T06:00:20Z\n") << 1
                                          << "line 1: start and end must both be frame numbers or both UTC times";
    QTest::newRow("event backwards") << one << QByteArray("# x\n\n300,200\n") << 1 << "line 3: the event ends before it starts";
    QTest::newRow("unknown detector") << one << QByteArray("1,2,av3\n") << 1 << "unknown detector 'av3'";
    QTest::newRow("no events") << one << QByteArray("start,end\n") << 1 << "holds no event";
    QTest::newRow("binary events") << one << QByteArray("1,2\n\x01\x02") << 1 << "is not an events file";
}

void TstSweep::refusesBadSetsAndEventFiles()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, events);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString out = sweepDir(QStringLiteral("refused-%1").arg(QTest::currentDataTag()));
    QStringList args{QStringLiteral("sweep"), m_data, QStringLiteral("--params"), m_base, QStringLiteral("-o"), out};
    args << options;
    if (!events.isNull()) {
        const QString path = m_dir.filePath(QStringLiteral("bad-events.csv"));
        writeFile(path, events);
        args << QStringLiteral("--events") << path;
    }
    const Run run = runRrdcli(args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.errText().contains(message), qPrintable(run.errText()));
    QVERIFY2(!QFileInfo::exists(out), "nothing is written after a refusal");
}

// RAW frames carry no time: events in frame numbers are scored by frame alone, events in UTC
// times and events after the last frame cannot be caught, and both are named.
void TstSweep::scoresFramesWithoutTimeByFrameNumber()
{
    RuSimulatorOptions options = mixed();
    options.format = RRD_FORMAT_RAW;
    options.processParams = false;
    const QString raw = m_dir.filePath(QStringLiteral("mixed.raw"));
    const RuSimulator simulator(options);
    QVERIFY(simulator.writeRecording(raw));
    const RuSimulator::Timeline &t = simulator.timeline();
    const QString events = m_dir.filePath(QStringLiteral("events-raw.csv"));
    writeFile(events, QStringLiteral("%1,%2\n2024-02-01T06:01:10Z,2024-02-01T06:02:10Z,rain0\n%3,%4\n")
                          .arg(t.avalanche.begin).arg(t.avalanche.end).arg(Frames + 10).arg(Frames + 20).toUtf8());
    const QString out = sweepDir(QStringLiteral("raw"));
    const Run sweep = runRrdcli({QStringLiteral("sweep"), raw, QStringLiteral("--params"), m_base,
                                 QStringLiteral("--vary"), QStringLiteral("av00/threshold=2.4:2.4:1"),
                                 QStringLiteral("--events"), events, QStringLiteral("--tolerance"), QStringLiteral("100"),
                                 QStringLiteral("--jsonl"), QStringLiteral("-o"), out});
    QCOMPARE(sweep.exitCode, 0);
    QVERIFY2(sweep.errText().contains(QStringLiteral("line 2: the frames carry no time (RAW)")), qPrintable(sweep.errText()));
    QVERIFY2(sweep.errText().contains(QStringLiteral("line 3: the event starts after the last frame (%1)").arg(Frames - 1)),
             qPrintable(sweep.errText()));
    // The alarms on outside the avalanche's frames are the false ones, whatever the tolerance.
    int outside = 0;
    for (const QStringList &row : csvRows(readAll(QDir(out).filePath(QStringLiteral("1.log.csv")))))
        if (row.value(1).endsWith(QLatin1String(" ALARM ON")) && (row[0].toInt() < t.avalanche.begin || row[0].toInt() > t.avalanche.end))
            ++outside;
    const QJsonObject row = QJsonDocument::fromJson(sweep.out.trimmed()).object();
    QCOMPARE(row.value(QStringLiteral("caught")).toInt(), 1);
    QCOMPARE(row.value(QStringLiteral("missed")).toInt(), 2);
    QCOMPARE(row.value(QStringLiteral("false_alarms")).toInt(), outside);
    QVERIFY(row.value(QStringLiteral("mean_delay_s")).isNull());
    QVERIFY(row.value(QStringLiteral("first_alarm_utc")).isNull());
    QVERIFY(row.value(QStringLiteral("first_alarm_frame")).toInt() > 0);
}

// A source that cannot be read is named, the others are swept, and the status is analyze's.
void TstSweep::endsAsAnalyzeOnAMissingSource()
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.rrd0"));
    const QString out = sweepDir(QStringLiteral("missing-source"));
    const Run sweep = runRrdcli({QStringLiteral("sweep"), missing, m_data, QStringLiteral("--params"), m_base,
                                 QStringLiteral("--vary"), QStringLiteral("av00/threshold=2.4:2.4:1"),
                                 QStringLiteral("-o"), out});
    const Run analyze = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--log"), QStringLiteral("--params"),
                                   QDir(out).filePath(QStringLiteral("1.ini")), missing, m_data});
    QCOMPARE(sweep.exitCode, 1);
    QCOMPARE(analyze.exitCode, 1);
    QVERIFY2(sweep.errText().contains(missing), qPrintable(sweep.errText()));
    QCOMPARE(readAll(QDir(out).filePath(QStringLiteral("1.log.csv"))), analyze.out);
    QVERIFY(QFileInfo::exists(QDir(out).filePath(QStringLiteral("summary.csv"))));
}

void TstSweep::fullDiskNamesEachFileNotWritten()
{
    // Room for the parameter files and two logs, a block each.
    SmallDisk disk(m_dir.filePath(QStringLiteral("small")), QStringLiteral("40k"));
    if (!disk.mounted)
        QSKIP(qPrintable(QStringLiteral("cannot mount a small disk: ") + disk.why));
    const QString out = QDir(disk.path).filePath(QStringLiteral("sweep"));
    const Run sweep = runRrdcli({QStringLiteral("sweep"), m_data, QStringLiteral("--params"), m_base,
                                 QStringLiteral("--vary"), QStringLiteral("av00/threshold=2.0:2.7:0.1"),
                                 QStringLiteral("-o"), out});
    QCOMPARE(sweep.exitCode, 1);
    for (const QString &file : {QStringLiteral("8.log.csv"), QStringLiteral("summary.csv")})
        QVERIFY2(sweep.errText().contains(QStringLiteral("cannot write %1: No space left on device")
                                              .arg(QDir(out).filePath(file))),
                 qPrintable(sweep.errText()));
}

void TstSweep::showsProgressOnATerminal()
{
    if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QSKIP("no 'script' to give the command a terminal");
    const QString command = QStringLiteral("%1 sweep %2 --params %3 --vary av00/threshold=2.4:2.4:1 -o %4 >/dev/null")
                                .arg(rrdcliPath(), m_data, m_base, sweepDir(QStringLiteral("terminal")));
    const Run onTerminal = runProgram(QStringLiteral("script"), {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    QCOMPARE(onTerminal.exitCode, 0);
    QVERIFY2(onTerminal.out.contains(QByteArray("sweep: ") + QByteArray::number(Frames) + " frames, 100%"),
             onTerminal.out.constData());
}

QTEST_GUILESS_MAIN(TstSweep)
#include "tst_sweep.moc"
