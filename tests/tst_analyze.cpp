// rrdcli analyze and dump, run as the program users run, on recordings made by the simulator.

#include "RrdcliTestSupport.h"
#include "RuAlarmCalculator.h"
#include "RuParameterSet.h"
#include "RuParameterTable.h"
#include "RuSimulator.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace rrdclitest;

namespace {

QString record(const QTemporaryDir &dir, const QString &name, RuSimulatorOptions options)
{
    const QString path = dir.filePath(name);
    RuSimulator simulator(options);
    return simulator.writeRecording(path) ? path : QString();
}

RuSimulatorOptions options(RuScenario scenario, int frames, bool processParams = false)
{
    RuSimulatorOptions o;
    o.scenario = scenario;
    o.frames = frames;
    o.processParams = processParams;
    return o;
}

// Every detector and live value on, with a short background so that frames soon have one.
RuParameterSet everythingOn()
{
    RuParameterSet set;
    set.general.bgLength = 2;
    set.general.bgDelay = 2;
    set.liveEnable = true;
    set.liveBoxes = {true, true, true, true, true};
    set.avalancheEnable = {true, false, true};
    set.rainEnable = true;
    set.rain.thresholdAlarmOn = 1.1f;
    set.rain.bgFrameDelay = 5;
    set.waterlevelEnable = true;
    set.waterlevel = {100, 200, 2, 3, 1.0f, 0.5f, 0.0f, 0.0f};
    return set;
}

QString writeParams(const QTemporaryDir &dir, const RuParameterSet &set)
{
    const QString path = dir.filePath(QStringLiteral("params.ini"));
    QSettings settings(path, QSettings::IniFormat);
    RuParameterTable::write(settings, set);
    settings.sync();
    return path;
}

QVector<QJsonObject> jsonLines(const QByteArray &out)
{
    QVector<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            return {};
        objects << doc.object();
    }
    return objects;
}

QVector<quint16> toList(const QJsonValue &value)
{
    QVector<quint16> list;
    for (const QJsonValue &v : value.toArray())
        list << static_cast<quint16>(v.toInt(-1));
    return list;
}

} // namespace

class TstAnalyze : public QObject
{
    Q_OBJECT

private slots:
    void printsEveryResultExactlyAsComputed();
    void numbersFramesOverAllSources();
    void logShowsTheAvalancheAlarm();
    void logShowsRainAndWaterlevelAlarms_data();
    void logShowsRainAndWaterlevelAlarms();
    void refusesProcessParametersWhenFrameHasNone_data();
    void refusesProcessParametersWhenFrameHasNone();
    void refusesMissingParameterFile();
    void dumpPrintsDetailsAndComputedLines();
    void dumpReportsMissingFrame();
};

void TstAnalyze::printsEveryResultExactlyAsComputed()
{
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("mixed.rrd0"), options(RuScenario::Mixed, 40));
    QVERIFY(!data.isEmpty());
    const RuParameterSet set = everythingOn();
    const Run run = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--params"),
                            writeParams(dir, set), data});
    QCOMPARE(run.exitCode, 0);
    const QVector<QJsonObject> lines = jsonLines(run.out);
    QCOMPARE(lines.size(), 40);

    // The same frames through the engine in this process: the output must read back as
    // exactly the same numbers.
    RuSimulator simulator(options(RuScenario::Mixed, 40));
    RuAlarmCalculator calculator;
    set.applyTo(calculator);
    for (int n = 0; n < 40; ++n) {
        const RuFrame frame = simulator.frame(n);
        calculator.processFrame(frame, frame.timeMicros());
        const RuAlarmResult &r = *calculator.lastResult();
        const QJsonObject &o = lines[n];
        QCOMPARE(o.keys(), (QStringList{"avalanche", "frame", "live", "rain", "time_us", "waterlevel"}));
        QCOMPARE(o.value("frame").toInt(), n);
        QCOMPARE(qint64(o.value("time_us").toDouble()), frame.timeMicros());
        const QJsonArray av = o.value("avalanche").toArray();
        QCOMPARE(av.size(), 3);
        for (int k = 0; k < 3; ++k) {
            const QJsonObject a = av[k].toObject();
            const RuAvalancheResult &x = r.avalanche[k];
            QCOMPARE(a.value("status").toInt(), int(x.status));
            QCOMPARE(a.value("event").toBool(), x.eventFound);
            QCOMPARE(float(a.value("sumsum").toDouble()), x.sumSum);
            QCOMPARE(a.value("peak_rg").toInt(), x.peakRangegate);
            QCOMPARE(a.value("hits").toInt(), x.hits);
            QCOMPARE(a.value("symmetric").toInt(), x.symmetricCount);
            const QJsonArray g = a.value("group").toArray();
            QCOMPARE(g.size(), 7);
            QCOMPARE(g[0].toInt(), x.bestGroup.first);
            QCOMPARE(g[1].toInt(), x.bestGroup.last);
            QCOMPARE(g[2].toInt(), x.bestGroup.count);
            QCOMPARE(g[3].toInt(), x.bestGroup.peakRangegate);
            QCOMPARE(float(g[4].toDouble()), x.bestGroup.peak);
            QCOMPARE(float(g[5].toDouble()), x.bestGroup.summed);
            QCOMPARE(g[6].toInt(-1), 0);
        }
        QCOMPARE(av[1].toObject().value("status").toInt(), 0); // disabled
        const QJsonArray rain = o.value("rain").toArray();
        const QJsonArray wl = o.value("waterlevel").toArray();
        QCOMPARE(rain.size(), 3);
        QCOMPARE(wl.size(), 3);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(rain[k].toObject().value("status").toInt(), int(r.rain[k].status));
            QCOMPARE(float(rain[k].toObject().value("activity").toDouble()), r.rain[k].activity);
            QCOMPARE(wl[k].toObject().value("status").toInt(), int(r.waterlevel[k].status));
            QCOMPARE(float(wl[k].toObject().value("value").toDouble()), r.waterlevel[k].value);
        }
        const QJsonObject live = o.value("live").toObject();
        QCOMPARE(toList(live.value("channel0")), r.live.channel0);
        QCOMPARE(toList(live.value("activity")), r.live.activity);
        QCOMPARE(toList(live.value("mode")), r.live.mainVelocity);
        QCOMPARE(toList(live.value("max")), r.live.maxVelocity);
        QCOMPARE(toList(live.value("median")), r.live.medianVelocity);
    }
    // Once the background stands, the live values are there, one per range gate.
    QCOMPARE(lines.last().value("live").toObject().value("activity").toArray().size(), 20);
}

void TstAnalyze::numbersFramesOverAllSources()
{
    QTemporaryDir dir;
    RuSimulatorOptions second = options(RuScenario::Quiet, 4);
    second.startMicros += 3600LL * 1000000;
    const QString a = record(dir, QStringLiteral("a.rrd0.gz"), options(RuScenario::Quiet, 3));
    const QString b = record(dir, QStringLiteral("b.rrd0"), second);
    QFile input(b);
    QVERIFY(input.open(QIODevice::ReadOnly));
    RunOptions fromStandardInput;
    fromStandardInput.input = input.readAll();
    const Run run = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--jsonl"), a, QStringLiteral("-")},
                              fromStandardInput);
    QCOMPARE(run.exitCode, 0);
    const QVector<QJsonObject> lines = jsonLines(run.out);
    QCOMPARE(lines.size(), 7);
    for (int n = 0; n < 7; ++n)
        QCOMPARE(lines[n].value("frame").toInt(), n);
    QCOMPARE(qint64(lines[3].value("time_us").toDouble()), second.startMicros);
    // Built-in settings: every detector off, every value zero, no live values.
    const QJsonObject quiet = lines[2];
    QCOMPARE(quiet.value("avalanche").toArray()[0].toObject().value("status").toInt(-1), 0);
    QCOMPARE(quiet.value("rain").toArray()[0].toObject().value("activity").toDouble(-1), 0.0);
    QVERIFY(quiet.value("live").toObject().value("channel0").toArray().isEmpty());
}

void TstAnalyze::logShowsTheAvalancheAlarm()
{
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("a.rrd0"),
                                options(RuScenario::Avalanche, 600, true));
    const Run run = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--process-params"),
                            QStringLiteral("--log"), data});
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> rows = run.out.trimmed().split('\n');
    QCOMPARE(rows.first(), QByteArray("frame,event,details"));
    QStringList tags;
    int previousFrame = -1;
    for (const QByteArray &row : rows.mid(1)) {
        const QList<QByteArray> fields = row.split(',');
        QCOMPARE(fields.size(), 3);
        bool ok = false;
        const int frame = fields[0].toInt(&ok);
        QVERIFY(ok && frame >= previousFrame);
        previousFrame = frame;
        tags << QString::fromUtf8(fields[1]);
        QVERIFY(!fields[2].isEmpty());
    }
    QVERIFY(tags.contains(QStringLiteral("AV0-0 PREALARM")));
    QVERIFY(tags.indexOf(QStringLiteral("AV0-0 ALARM ON")) >= 0);
    QVERIFY(tags.indexOf(QStringLiteral("AV0-0 ALARM OFF")) > tags.indexOf(QStringLiteral("AV0-0 ALARM ON")));
    const QByteArray on = rows[1 + tags.indexOf(QStringLiteral("AV0-0 ALARM ON"))];
    QVERIFY2(on.contains(",Avalanche0-0 Alarm: Active RG="), on.constData());
    QVERIFY2(on.contains(") SumSum="), on.constData());
}

void TstAnalyze::logShowsRainAndWaterlevelAlarms_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<QStringList>("tags");
    QTest::newRow("rain") << int(RuScenario::Rain)
                          << QStringList{"RAIN0 ALARM ON", "RAIN0 ALARM OFF"};
    QTest::newRow("water level") << int(RuScenario::WaterLevel)
                                 << QStringList{"WL0 INCIDENT ON", "WL0 ALARM ON", "WL0 ALARM OFF"};
}

void TstAnalyze::logShowsRainAndWaterlevelAlarms()
{
    QFETCH(int, scenario);
    QFETCH(QStringList, tags);
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("s.rrd0"),
                                options(static_cast<RuScenario>(scenario), 600, true));
    const Run run = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--process-params"),
                            QStringLiteral("--log"), data});
    QCOMPARE(run.exitCode, 0);
    const QString out = QString::fromUtf8(run.out);
    int from = 0;
    for (const QString &tag : tags) {
        const int at = out.indexOf(QLatin1Char(',') + tag + QLatin1Char(','), from);
        QVERIFY2(at > from, qPrintable(tag));
        from = at;
    }
}

void TstAnalyze::refusesProcessParametersWhenFrameHasNone_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("rrd0 without section") << int(RRD_FORMAT_RRD0);
    QTest::newRow("raw") << int(RRD_FORMAT_RAW);
}

void TstAnalyze::refusesProcessParametersWhenFrameHasNone()
{
    QFETCH(int, format);
    QTemporaryDir dir;
    RuSimulatorOptions o = options(RuScenario::Quiet, 3);
    o.format = format;
    const QString data = record(dir, QStringLiteral("q.rrd"), o);
    const Run run = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--process-params"), data});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("No process parameters found in rrd_info"), run.err.constData());
}

void TstAnalyze::refusesMissingParameterFile()
{
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("q.rrd0"), options(RuScenario::Quiet, 2));
    const Run run = runRrdcli({QStringLiteral("analyze"), QStringLiteral("--params"),
                            dir.filePath(QStringLiteral("none.ini")), data});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.contains("none.ini"));
}

void TstAnalyze::dumpPrintsDetailsAndComputedLines()
{
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("q.rrd0"), options(RuScenario::Quiet, 6));
    const Run run = runRrdcli({QStringLiteral("dump"), QStringLiteral("--frame"), QStringLiteral("5"),
                            QStringLiteral("--params"), writeParams(dir, everythingOn()), data});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("[Details]"));
    QCOMPARE(lines.value(1), QStringLiteral("Format:\tRRD0"));
    RuSimulator simulator(options(RuScenario::Quiet, 6));
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(simulator.frameTimeMicros(5) / 1000, Qt::UTC);
    QVERIFY2(lines.value(2).startsWith(QStringLiteral("m. time:\t")
                                       + time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))),
             qPrintable(lines.value(2)));
    const int computed = lines.indexOf(QStringLiteral("[Computed]"));
    QVERIFY(computed > 2);
    QCOMPARE(lines.value(computed + 1), QStringLiteral("Avalanche 0:"));
    QVERIFY(lines.contains(QStringLiteral("Avalanche 2:")));
    QVERIFY(!lines.contains(QStringLiteral("Avalanche 1:")));
    QVERIFY(lines.contains(QStringLiteral("Rain:")));
}

void TstAnalyze::dumpReportsMissingFrame()
{
    QTemporaryDir dir;
    const QString data = record(dir, QStringLiteral("q.rrd0"), options(RuScenario::Quiet, 3));
    const Run run = runRrdcli({QStringLiteral("dump"), QStringLiteral("--frame"), QStringLiteral("3"), data});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("no frame 3"), run.err.constData());
}

QTEST_GUILESS_MAIN(TstAnalyze)
#include "tst_analyze.moc"
