// The alarm log as an operator's console: filtering its rows by detector and kind (remembered
// for the next window), rows of alarms that are on drawn apart, the log exported as CSV equal
// to what `rrdcli analyze --log --log-time` prints for the same file, and the status bar's
// indicator of the alarms on now. The window runs offscreen on simulated recordings.

#include "MainWindowTestSupport.h"
#include "RrdcliTestSupport.h"

#include "RuAlarmEvents.h"
#include "RuAlarmLogCsv.h"
#include "RuFile.h"
#include "SkAlarmLogModel.h"
#include "SkAlarmLogView.h"
#include "SkLiveSession.h"
#include "SkParameterWidgets.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolButton>

using namespace mwtest;

namespace {

QAbstractItemModel *shownLog(const SkMainWindow &window)
{
    return child<SkAlarmLogView>(&window, "tableLog")->model();
}

QStringList shownTags(const SkMainWindow &window)
{
    const QAbstractItemModel *model = shownLog(window);
    QStringList tags;
    for (int r = 0; r < model->rowCount(); ++r)
        tags << model->index(r, SkAlarmLogModel::EventColumn).data().toString();
    return tags;
}

QStringList allTags(const SkMainWindow &window)
{
    QStringList tags;
    for (int r = 0; r < window.alarmLog()->rowCount(); ++r)
        tags << window.alarmLog()->entry(r).tag;
    return tags;
}

// Unchecks the menu entries named (their object names are "logShow_" and the settings' key).
void hide(const SkMainWindow &window, const QStringList &keys)
{
    for (const QString &key : keys)
        action(&window, qPrintable(QStringLiteral("logShow_") + key))->setChecked(false);
}

// The radar's settings of the simulated scenes, also for formats without a parameter block.
void useRadarSettings(SkMainWindow &window)
{
    RuAlarmCalculator calculator;
    calculator.fromProcessParameters(RuSimulator(scene(RuScenario::Avalanche, 1)).frameInfo(0));
    SkParameterWidgets(&window).setParameterSet(RuParameterSet::fromCalculator(calculator));
}

// The first `frames` frames of the scene: its alarm is still on at the end.
QString cutRecording(const QTemporaryDir &dir, const QString &name, RuScenario scenario, int frames)
{
    const RuSimulator simulator(scene(scenario, 600));
    RuFile out;
    const QString path = dir.filePath(name);
    out.open(path, 'w');
    for (int i = 0; i < frames; ++i)
        out.writeFrame(simulator.frame(i));
    if (!out.close())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

} // namespace

class TestAlarmLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void csvFieldsAndTimes_data();
    void csvFieldsAndTimes();
    void filterShowsTheChosenRows_data();
    void filterShowsTheChosenRows();
    void filteredRowLeadsToItsFrame();
    void exportEqualsRrdcliAnalyzeLog_data();
    void exportEqualsRrdcliAnalyzeLog();
    void exportThatCannotBeWrittenSaysWhy();
    void rowsOfAlarmsOnAreColoured_data();
    void rowsOfAlarmsOnAreColoured();
    void indicatorFollowsAnAvalancheAndItsEnd();
    void indicatorClearsWhenTheAnalysisRestarts();

private:
    QTemporaryDir m_dir;
    QString m_mixed;
};

void TestAlarmLog::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
    m_mixed = writeRecording(m_dir, QStringLiteral("mixed.rrd0.gz"), scene(RuScenario::Mixed, 1200));
}

void TestAlarmLog::csvFieldsAndTimes_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<qint64>("micros");
    QTest::addColumn<QByteArray>("row");
    QTest::newRow("plain") << "AV0-1 ALARM ON" << "Avalanche0-1 Alarm" << qint64(1706767401000000)
                           << QByteArray("7,2024-02-01T06:03:21.000Z,AV0-1 ALARM ON,Avalanche0-1 Alarm\n");
    QTest::newRow("comma and quote") << "WL0" << "a,\"b\"" << qint64(1706767401999999)
                                     << QByteArray("7,2024-02-01T06:03:21.999Z,WL0,\"a,\"\"b\"\"\"\n");
    QTest::newRow("line break") << "X" << "one\ntwo" << qint64(0)
                                << QByteArray("7,1970-01-01T00:00:00.000Z,X,\"one\ntwo\"\n");
    // Before 1970 a time between two milliseconds is the earlier one, as after it.
    QTest::newRow("before 1970") << "X" << "y" << qint64(-1500)
                                 << QByteArray("7,1969-12-31T23:59:59.998Z,X,y\n");
}

void TestAlarmLog::csvFieldsAndTimes()
{
    QFETCH(QString, tag);
    QFETCH(QString, detail);
    QFETCH(qint64, micros);
    QFETCH(QByteArray, row);
    const QByteArray time = ruAlarmLogCsvTime(micros);
    QCOMPARE(ruAlarmLogCsvRow(7, &time, tag, detail), row);
}

void TestAlarmLog::filterShowsTheChosenRows_data()
{
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QString>("shownPattern"); // the tags that stay
    QTest::newRow("everything") << QStringList() << ".";
    QTest::newRow("avalanche 0 only")
        << QStringList{"AV0-1", "AV0-2", "WL0", "RAIN0"} << "AV0-0|^ERROR";
    QTest::newRow("no rain, no water level") << QStringList{"WL0", "RAIN0"} << "AV0-";
    QTest::newRow("alarms on and off")
        << QStringList{"prealarm", "incident", "other"} << "ALARM (ON|OFF)|SPECIAL";
    QTest::newRow("pre-alarms of avalanche 0")
        << QStringList{"AV0-1", "AV0-2", "WL0", "RAIN0", "alarmon", "alarmoff", "incident", "other"}
        << "^AV0-0 PREALARM";
    QTest::newRow("water-level incidents")
        << QStringList{"AV0-0", "AV0-1", "AV0-2", "RAIN0", "prealarm", "alarmon", "alarmoff", "other"}
        << "^WL0 INCIDENT";
}

// The choice is kept for the next window, which shows the same rows.
void TestAlarmLog::filterShowsTheChosenRows()
{
    QFETCH(QStringList, hidden);
    QFETCH(QString, shownPattern);
    QSettings().remove(QStringLiteral("alarmLog"));
    const QRegularExpression shownTag(shownPattern);
    QStringList expected;
    int rows = 0;
    {
        SkMainWindow window({"--process-params", "--n", "1200", m_mixed});
        QVERIFY(analysed(window));
        hide(window, hidden);
        const QStringList all = allTags(window);
        rows = all.size();
        for (const QString &tag : all)
            if (tag.contains(shownTag))
                expected << tag;
        QVERIFY(!expected.isEmpty());
        QCOMPARE(expected.size() == all.size(), hidden.isEmpty());
        QCOMPARE(shownTags(window), expected);
        window.close();
    }
    SkMainWindow again({"--process-params", "--n", "1200", m_mixed});
    QVERIFY(analysed(again));
    QCOMPARE(shownTags(again), expected);
    const QString count = child<QLabel>(&again, "logRowsLabel")->text();
    QCOMPARE(count, hidden.isEmpty() ? QStringLiteral("%1 rows").arg(rows)
                                     : QStringLiteral("%1 of %2 rows shown").arg(expected.size()).arg(rows));
    for (const QString &key : hidden)
        QVERIFY(!action(&again, qPrintable(QStringLiteral("logShow_") + key))->isChecked());
}

// Through the filter a row still names its own frame, and new rows keep scrolling into view.
void TestAlarmLog::filteredRowLeadsToItsFrame()
{
    QSettings().remove(QStringLiteral("alarmLog"));
    SkMainWindow window({"--process-params", "--n", "1200", m_mixed});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    window.resize(1600, 1000);
    window.raiseDock(QStringLiteral("log"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    hide(window, {"prealarm", "incident", "other"});
    QVERIFY(!complete.isEmpty() || complete.wait(Long));
    auto *view = child<SkAlarmLogView>(&window, "tableLog");
    QTRY_VERIFY_WITH_TIMEOUT(view->isAtEnd(), Long);
    const QAbstractItemModel *model = view->model();
    QVERIFY(model->rowCount() >= 2);
    QVERIFY(model->rowCount() < window.alarmLog()->rowCount());
    const QModelIndex first = model->index(0, SkAlarmLogModel::EventColumn);
    const int frame = model->index(0, SkAlarmLogModel::FrameColumn).data().toInt();
    QVERIFY(first.data().toString().contains(QStringLiteral("ALARM ON")));
    QVERIFY(frame != window.shownFrame());
    view->scrollTo(first);
    const QPoint at = view->visualRect(first).center();
    // A double click starts with a click, as the mouse sends it.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == frame; }, Long));
    QSettings().remove(QStringLiteral("alarmLog"));
}

void TestAlarmLog::exportEqualsRrdcliAnalyzeLog_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<int>("format");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QString>("shownPattern"); // empty: "Export log...", every row
    QTest::newRow("avalanche, gzip") << int(RuScenario::Avalanche) << int(RRD_FORMAT_RRD0)
                                     << QStringList{"prealarm"} << QString();
    QTest::newRow("mixed, hidden rows still exported")
        << int(RuScenario::Mixed) << int(RRD_FORMAT_RRD0) << QStringList{"AV0-0", "other"} << QString();
    QTest::newRow("raw frames carry no time") << int(RuScenario::Avalanche) << int(RRD_FORMAT_RAW)
                                              << QStringList() << QString();
    QTest::newRow("shown rows only") << int(RuScenario::Mixed) << int(RRD_FORMAT_RRD0)
                                     << QStringList{"prealarm", "incident", "other"}
                                     << "ALARM (ON|OFF)|SPECIAL";
}

// The window's settings go to a parameter file, and rrdcli analyses the same file with it.
void TestAlarmLog::exportEqualsRrdcliAnalyzeLog()
{
    QFETCH(int, scenario);
    QFETCH(int, format);
    QFETCH(QStringList, hidden);
    QFETCH(QString, shownPattern);
    QSettings().remove(QStringLiteral("alarmLog"));
    RuSimulatorOptions options = scene(RuScenario(scenario), 900);
    options.format = format;
    options.processParams = format == RRD_FORMAT_RRD0;
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString path = writeRecording(m_dir, tag + QStringLiteral(".rrd"), options);
    SkMainWindow window({path});
    QVERIFY(analysed(window));
    useRadarSettings(window);
    child<QPushButton>(&window, "recalcPushButton")->click();
    QVERIFY(analysed(window));
    hide(window, hidden);
    const QString ini = m_dir.filePath(tag + QStringLiteral(".ini"));
    QVERIFY(window.exportParameters(ini));

    const rrdclitest::Run run =
        rrdclitest::runRrdcli({"analyze", "--log", "--log-time", "--params", ini, path});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.count('\n') > 3);
    QByteArray expected = run.out;
    if (!shownPattern.isEmpty()) {
        QList<QByteArray> lines = run.out.split('\n');
        expected = lines.takeFirst() + '\n';
        for (const QByteArray &line : qAsConst(lines))
            if (QString::fromUtf8(line).section(QLatin1Char(','), 2, 2).contains(QRegularExpression(shownPattern)))
                expected += line + '\n';
    }

    const QString csv = m_dir.filePath(tag + QStringLiteral(".csv"));
    answerFileDialog(csv);
    if (shownPattern.isEmpty())
        child<QToolButton>(&window, "logExportToolButton")->click();
    else
        action(&window, "logExportShownAction")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(csv), Long);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
    QVERIFY(window.statusBar()->currentMessage().contains(csv));
    QCOMPARE(QDir(m_dir.path()).entryList({tag + QStringLiteral(".csv*")}, QDir::Files),
             QStringList{tag + QStringLiteral(".csv")});
    QSettings().remove(QStringLiteral("alarmLog"));
}

// A folder that does not exist: the failure names the file and the reason, and nothing is left.
void TestAlarmLog::exportThatCannotBeWrittenSaysWhy()
{
    SkMainWindow window({"--process-params", "--n", "1200", m_mixed});
    QVERIFY(analysed(window));
    const QString csv = m_dir.filePath(QStringLiteral("missing/log.csv"));
    answerFileDialog(csv);
    child<QToolButton>(&window, "logExportToolButton")->click();
    QMessageBox *box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((box = window.findChild<QMessageBox *>(QStringLiteral("failureBox"))), Long);
    QVERIFY2(box->text().startsWith(QStringLiteral("Export to %1 failed: ").arg(csv)), qPrintable(box->text()));
    QVERIFY(box->text().size() > QStringLiteral("Export to %1 failed: ").arg(csv).size());
    QVERIFY(!QFileInfo::exists(QFileInfo(csv).path()));
}

void TestAlarmLog::rowsOfAlarmsOnAreColoured_data()
{
    QTest::addColumn<bool>("cut");
    QTest::newRow("every alarm ended") << false;
    QTest::newRow("an avalanche alarm still on") << true;
}

// Under the window's own style sheet: from an alarm's "on" row up to its "off" row the rows of
// that detector are red while it is on and lighter once it has ended, with black text; every
// other row keeps the table's colours.
void TestAlarmLog::rowsOfAlarmsOnAreColoured()
{
    QFETCH(bool, cut);
    enum State { None, Ended, OnNow };
    QFile css(QStringLiteral(":/sk/skarnel.css"));
    QVERIFY(css.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(css.readAll()));
    const int end = RuSimulator(scene(RuScenario::Avalanche, 600)).timeline().avalanche.begin + 10;
    const QString path = cut ? cutRecording(m_dir, QStringLiteral("cut-colours.rrd0"), RuScenario::Avalanche, end)
                             : m_mixed;
    SkMainWindow window({"--process-params", "--n", "1200", path});
    window.resize(1600, 1000);
    window.raiseDock(QStringLiteral("log"));
    window.show();
    QVERIFY(analysed(window));

    // The states the tags give: a span per "on" row, ended by its detector's "off" row.
    const SkAlarmLogModel *log = window.alarmLog();
    QVector<State> expected(log->rowCount(), None);
    QMap<QString, QVector<int>> spans;
    for (int r = 0; r < log->rowCount(); ++r) {
        const SkAlarmLogModel::Entry &e = log->entry(r);
        const QString name = ruAlarmDetectorName(e.source, e.detector);
        if (e.tag.endsWith(QLatin1String(" ALARM ON")) && !spans.contains(name))
            spans.insert(name, {});
        if (e.tag.endsWith(QLatin1String(" ALARM OFF"))) {
            for (int row : spans.take(name))
                expected[row] = Ended;
        } else if (spans.contains(name)) {
            spans[name] << r;
        }
    }
    for (const QVector<int> &span : qAsConst(spans))
        for (int row : span)
            expected[row] = OnNow;
    QCOMPARE(expected.contains(OnNow), cut);
    QVERIFY(expected.contains(cut ? OnNow : Ended));

    auto *view = child<SkAlarmLogView>(&window, "tableLog");
    view->selectionModel()->clear();
    for (int r = 0; r < log->rowCount(); ++r) {
        const QModelIndex cell = view->model()->index(r, SkAlarmLogModel::EventColumn);
        view->scrollTo(cell);
        const QImage picture = view->viewport()->grab().toImage();
        const QPoint inside = view->visualRect(cell).topRight() + QPoint(-3, 2);
        const QColor seen = picture.pixelColor(inside * picture.devicePixelRatio());
        const State state = seen.red() < 240 || seen.green() > 240 ? None
                            : seen.green() < 190                   ? OnNow
                                                                   : Ended;
        QVERIFY2(state == expected.at(r), qPrintable(QStringLiteral("row %1 %2").arg(r).arg(log->entry(r).tag)));
        if (state != None)
            QCOMPARE(cell.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
    }
    qApp->setStyleSheet(QString());
}

// The indicator names the avalanche detector from its "on" row to its "off" row, and says
// since which frame; afterwards it is clear again.
void TestAlarmLog::indicatorFollowsAnAvalancheAndItsEnd()
{
    const QString path = writeRecording(m_dir, QStringLiteral("avalanche.rrd0.gz"),
                                        scene(RuScenario::Avalanche, 600));
    SkMainWindow window({"--process-params", path});
    auto *indicator = child<QLabel>(&window, "alarmIndicator");
    QCOMPARE(indicator->text(), QStringLiteral("Alarm: clear"));
    QStringList seen;
    QStringList tips;
    connect(window.alarmLog(), &SkAlarmLogModel::activeAlarmsChanged, this, [&] {
        seen << indicator->text();
        tips << indicator->toolTip();
    });
    QVERIFY(analysed(window));

    // What the log's rows say is on, in the order the log names detectors.
    const QStringList order{"AV0-0", "AV0-1", "AV0-2", "RAIN0", "WL0"};
    QMap<int, QString> on;
    QStringList expected;
    QStringList expectedTips;
    const SkAlarmLogModel *log = window.alarmLog();
    for (int r = 0; r < log->rowCount(); ++r) {
        const SkAlarmLogModel::Entry &e = log->entry(r);
        const QString name = e.tag.section(QLatin1Char(' '), 0, 0);
        if (e.tag.endsWith(QLatin1String(" ALARM ON")))
            on.insert(order.indexOf(name), QStringLiteral("%1 on since frame %2 (%3 UTC)")
                                               .arg(name).arg(e.frame).arg(SkAlarmLogModel::timeText(e)));
        else if (e.tag.endsWith(QLatin1String(" ALARM OFF")))
            on.remove(order.indexOf(name));
        else
            continue;
        QStringList names;
        for (const QString &line : qAsConst(on))
            names << line.section(QLatin1Char(' '), 0, 0);
        expected << (on.isEmpty() ? QStringLiteral("Alarm: clear") : QStringLiteral("ALARM: ") + names.join(QStringLiteral(", ")));
        expectedTips << (on.isEmpty() ? QStringLiteral("No detector is in alarm") : on.values().join(QLatin1Char('\n')));
    }
    QVERIFY(expected.size() >= 2);
    QCOMPARE(seen, expected);
    QCOMPARE(tips, expectedTips);
    QCOMPARE(indicator->text(), QStringLiteral("Alarm: clear"));
}

void TestAlarmLog::indicatorClearsWhenTheAnalysisRestarts()
{
    const RuSimulator simulator(scene(RuScenario::Avalanche, 600));
    const int cut = simulator.timeline().avalanche.begin + 10;
    const QString path = cutRecording(m_dir, QStringLiteral("cut.rrd0"), RuScenario::Avalanche, cut);
    SkMainWindow window({"--process-params", path});
    QVERIFY(analysed(window));
    auto *indicator = child<QLabel>(&window, "alarmIndicator");
    const QString alarm = indicator->text();
    QVERIFY2(alarm.startsWith(QLatin1String("ALARM: AV0-0")), qPrintable(alarm));
    QStringList seen;
    connect(window.alarmLog(), &SkAlarmLogModel::activeAlarmsChanged, this,
            [&] { seen << indicator->text(); });
    child<QPushButton>(&window, "recalcPushButton")->click();
    QVERIFY(analysed(window));
    QCOMPARE(seen.first(), QStringLiteral("Alarm: clear"));
    QCOMPARE(seen.last(), alarm);
}

QTEST_MAIN(TestAlarmLog)
#include "tst_alarm_log.moc"
