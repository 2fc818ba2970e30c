// The viewer's operations, driven as a user drives them: recording a live stream from
// `rrdcli serve` with the alarm script, saving the frames in memory, the spreadsheet exports
// (unzipped and read back), the snapshot, and the command console against `rrdcli cmdport`.
// Dialogs and questions are answered as they come up; settings live in a temporary folder.

#include "CmdportProcess.h"
#include "MainWindowTestSupport.h"

#include "SkAlarmLogModel.h"
#include "TaskTestSupport.h"

#include "SkActivityCurveData.h"
#include "SkDialogConfigure.h"
#include "SkDialogContrl.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkPlotActivities.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QXmlStreamReader>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>

using namespace mwtest;
using rrdclitest::ServeProcess;

namespace {

// The cells of the workbook's first sheet: "B3" → its number or text.
QMap<QString, QString> readSheet(const QString &path)
{
    QMap<QString, QString> cells;
    archive *zip = archive_read_new();
    archive_read_support_format_zip(zip);
    if (archive_read_open_filename(zip, QFile::encodeName(path).constData(), 65536) != ARCHIVE_OK) {
        archive_read_free(zip);
        return cells;
    }
    QByteArray xml;
    archive_entry *entry = nullptr;
    while (archive_read_next_header(zip, &entry) == ARCHIVE_OK) {
        if (qstrcmp(archive_entry_pathname(entry), "xl/worksheets/sheet1.xml") != 0)
            continue;
        char buffer[65536];
        la_ssize_t n;
        while ((n = archive_read_data(zip, buffer, sizeof buffer)) > 0)
            xml.append(buffer, int(n));
    }
    archive_read_free(zip);
    QXmlStreamReader reader(xml);
    QString cell;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("c"))
            cell = reader.attributes().value(QLatin1String("r")).toString();
        else if (reader.name() == QLatin1String("v") || reader.name() == QLatin1String("t"))
            cells.insert(cell, reader.readElementText());
    }
    return cells;
}

// A frame time as a spreadsheet serial date (days since 30 December 1899).
double serialDate(qint64 micros)
{
    return double(micros) / 86400e6 + 25569.0;
}

bool shown(const QSignalSpy &messages, const QString &text)
{
    return std::any_of(messages.cbegin(), messages.cend(),
                       [&](const QList<QVariant> &m) { return m.value(0).toString() == text; });
}

template <typename T>
T *option(SkMainWindow &window, const char *name)
{
    return child<T>(window.findChild<SkDialogConfigure *>(), name);
}

// A window playing a quiet stream of `rrdcli serve`, for the recording tests.
struct StreamWindow
{
    ServeProcess serve{{"--scenario", "quiet", "--frames", "100", "--rate", "20", "--loop"}};
    std::unique_ptr<SkMainWindow> window;
    QAction *record = nullptr;

    // False when the stream did not come up or recording was not offered.
    bool open()
    {
        if (serve.port() == 0)
            return false;
        window = std::make_unique<SkMainWindow>(QStringList{serve.address()});
        record = action(window.get(), "actionRecordStart");
        return QTest::qWaitFor([this] { return record->isEnabled(); }, Long);
    }
};

} // namespace

class TestMainWindowOps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void recordIsOfferedForStreamsOnly();
    void recordStartIsRefused_data();
    void recordStartIsRefused();
    void oldFilesAreScannedWithQuestions();
    void recordsIntoASubfolderNamedByTheStartTime();
    void recorderFailureStaysInTheStatusBar();
    void recordsAStreamAndMovesTheAlarmFile();
    void testButtonRunsTheAlarmScript();
    void savesTheFramesInMemory();
    void savingOntoTheViewedFileIsRefused();
    void savingToAFolderThatIsNoneIsReported();
    void exportsARowOfFramesOfBothSizes();
    void exportsPlotsWithAndWithoutHeader();
    void snapshotGoesToTheFolderChosenOnce();
    void consoleSaysWhenItIsNotConnected();
    void consoleOpensFromTheWindow();

private:
    QTemporaryDir m_configDir;
    QTemporaryDir m_dir;
    QString m_small; // 40 frames, 20 range gates
};

void TestMainWindowOps::initTestCase()
{
    QVERIFY(m_configDir.isValid() && m_dir.isValid());
    // No documents folder for recording to fall back on.
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configDir.path()));
    registerTypes();
    QCoreApplication::setOrganizationName(QStringLiteral("SkarnelTest"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_mainwindow_ops"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_configDir.path());
    m_small = writeRecording(m_dir, QStringLiteral("small.rrd0.gz"), scene(RuScenario::Avalanche, 40));
}

void TestMainWindowOps::init()
{
    QSettings().clear();
}

// ---- Recording --------------------------------------------------------------------------------

// Files are on the disk already: "Start Record" stays off for them.
void TestMainWindowOps::recordIsOfferedForStreamsOnly()
{
    {
        SkMainWindow window({m_small});
        QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
        QVERIFY(complete.wait(Long));
        QVERIFY(window.store()->endFrame() > 0);
        QVERIFY(!action(&window, "actionRecordStart")->isEnabled());
    }
    StreamWindow s;
    QVERIFY(s.open());
    QVERIFY(!s.record->isChecked());
}

void TestMainWindowOps::recordStartIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("informative");
    const QString choose = QStringLiteral("Recording not possible! Choose a new path!");
    QTest::newRow("none set") << QString() << "No record path is set!"
                              << "Recording not possible! Choose a record path in the options.";
    QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("missing/folder"))
                                    << "Record path is not writeable!" << choose;
    QTest::newRow("a file") << m_small << "Record path is not writeable!" << choose;
}

void TestMainWindowOps::recordStartIsRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(QString, informative);
    StreamWindow s;
    QVERIFY(s.open());
    option<QLineEdit>(*s.window, "lineEditRecPath")->setText(path);
    QStringList seen;
    answerBoxes({QMessageBox::Ok}, &seen);
    s.record->trigger();
    QCOMPARE(seen, QStringList{QStringLiteral("Error recording|%1|%2").arg(text, informative)});
    QVERIFY(!s.record->isChecked());
    QVERIFY(s.record->isEnabled()); // the user may correct the path and retry
    QVERIFY(!s.window->session()->isRecording());
}

// 2500 earlier minute files: asked after 1000 and 2000, then whether to delete them, then,
// with a minimum of 99 % free, "Disk full"; No there leaves recording stopped.
void TestMainWindowOps::oldFilesAreScannedWithQuestions()
{
    QTemporaryDir base;
    for (int i = 0; i < 2500; ++i) {
        const QString folder = base.filePath(QStringLiteral("old%1/rdata").arg(i % 3));
        QDir().mkpath(folder);
        QFile(QStringLiteral("%1/%2.rrd0.gz").arg(folder).arg(i)).open(QIODevice::WriteOnly);
    }
    StreamWindow s;
    QVERIFY(s.open());
    SkMainWindow &window = *s.window;
    QAction *record = s.record;
    option<QLineEdit>(window, "lineEditRecPath")->setText(base.path());
    option<QCheckBox>(window, "checkBoxRecImport")->setChecked(true);
    option<QSpinBox>(window, "spinBoxRecPreserveDiskSpace")->setValue(99);
    QStringList seen;
    answerBoxes({QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes, QMessageBox::No}, &seen);
    record->trigger();
    QCOMPARE(seen.size(), 4);
    const QString scanning = QStringLiteral("Long duration of file scannning|%1 *.rrd0.gz files found.|"
                                            "Should I continue scanning and import files?");
    QCOMPARE(seen.at(0), scanning.arg(1000));
    QCOMPARE(seen.at(1), scanning.arg(2000));
    const QRegularExpression space(QStringLiteral("Currently available: \\d+\\.\\d% of \\d+\\.\\d\\dTiB$"));
    QVERIFY2(seen.at(2).startsWith(QStringLiteral("Found files for deleting|2500 *.rrd0.gz files found for deleting!|"
                                                  "Delete files as necessary?\nOldest files first.\n")),
             qPrintable(seen.at(2)));
    QVERIFY2(space.match(seen.at(2)).hasMatch(), qPrintable(seen.at(2)));
    QVERIFY2(seen.at(3).startsWith(QStringLiteral("Disk full|2500 *.rrd0.gz files found for deleting!|"
                                                  "Minimal free disk space (99%) reached!\nContinue recording?\n")),
             qPrintable(seen.at(3)));
    QVERIFY(!record->isChecked());
    QVERIFY(!window.session()->isRecording());
}

void TestMainWindowOps::recordsIntoASubfolderNamedByTheStartTime()
{
    QTemporaryDir base;
    StreamWindow s;
    QVERIFY(s.open());
    SkMainWindow &window = *s.window;
    QAction *record = s.record;
    option<QLineEdit>(window, "lineEditRecPath")->setText(base.path());
    option<QCheckBox>(window, "checkBoxRecSubfolder")->setChecked(true);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    record->trigger();
    QVERIFY(record->isChecked());
    QVERIFY(window.session()->isRecording());
    const QStringList folders = QDir(base.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(folders.size(), 1);
    const QDateTime started = QDateTime::fromString(folders.first(), QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QVERIFY2(started.isValid(), qPrintable(folders.first()));
    QVERIFY(QDateTime(started.date(), started.time(), Qt::UTC) >= before.addSecs(-1));
    QTRY_VERIFY(QFileInfo(base.filePath(folders.first() + QStringLiteral("/rdata"))).isDir());
    record->trigger();
    QVERIFY(!record->isChecked());
    QVERIFY(!window.session()->isRecording());
}

// A record path whose "rdata" is a file: the recorder's failure stays in the status bar.
void TestMainWindowOps::recorderFailureStaysInTheStatusBar()
{
    QTemporaryDir base;
    QFile blocker(base.filePath(QStringLiteral("rdata")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StreamWindow s;
    QVERIFY(s.open());
    SkMainWindow &window = *s.window;
    QAction *record = s.record;
    option<QLineEdit>(window, "lineEditRecPath")->setText(base.path());
    record->trigger();
    QVERIFY(record->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(window.statusBar()->currentMessage().startsWith(
                                 QStringLiteral("Recording: %1/rdata").arg(base.path())),
                             Long);
    record->trigger();
    QVERIFY(!record->isChecked());
}

void TestMainWindowOps::recordsAStreamAndMovesTheAlarmFile()
{
    ServeProcess serve({"--scenario", "avalanche", "--frames", "300", "--process-params", "--rate", "50", "--loop"});
    QVERIFY(serve.port() != 0);
    QTemporaryDir base;
    // The script runs for a while: the alarms of the other two detectors find it running.
    const QString ran = base.filePath(QStringLiteral("ran.txt"));
    const QString script = base.filePath(QStringLiteral("alarm.sh"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("#!/bin/sh\necho alarm >> '%1'\nsleep 2\n").arg(ran).toUtf8());
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    const QString records = base.filePath(QStringLiteral("records"));
    QVERIFY(QDir().mkpath(records));

    SkMainWindow window({"--process-params", "--n", "200", serve.address()});
    option<QLineEdit>(window, "lineEditRecPath")->setText(records);
    option<QLineEdit>(window, "lineEditTriggerAlarm")->setText(script);
    QAction *record = action(&window, "actionRecordStart");
    QVERIFY(QTest::qWaitFor([&] { return record->isEnabled(); }, Long));
    record->trigger();
    QVERIFY(window.session()->isRecording());
    QSignalSpy messages(window.statusBar(), &QStatusBar::messageChanged);
    const SkAlarmLogModel *log = window.alarmLog();
    auto alarmsOn = [log] {
        return log->rowCount() == 0
                   ? 0
                   : log->match(log->index(0, SkAlarmLogModel::EventColumn), Qt::DisplayRole,
                                QStringLiteral("ALARM ON"), -1, Qt::MatchContains)
                         .size();
    };
    QVERIFY(QTest::qWaitFor([&] { return alarmsOn() >= 3; }, Long));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(ran), Long);
    // The recorder writes a few frames past the alarm before it stops.
    const int after = window.store()->endFrame() + 10;
    QVERIFY(QTest::qWaitFor([&] { return window.store()->endFrame() > after; }, Long));
    record->trigger();
    QVERIFY(!record->isChecked());
    const QRegularExpression minuteFile(QStringLiteral("^\\d{8}T\\d{6}Z(-\\d+)?\\.rrd0\\.gz$"));
    QStringList moved;
    QVERIFY(QTest::qWaitFor([&] {
        moved = QDir(records + QStringLiteral("/alarm")).entryList(QDir::Files);
        return !moved.isEmpty();
    }, Long));
    QVERIFY2(minuteFile.match(moved.first()).hasMatch(), qPrintable(moved.first()));
    QTRY_VERIFY_WITH_TIMEOUT(!window.session()->isRecording(), Long);
    // Stopping says what was written, as the minute files hold it.
    const auto stopped = [&] {
        return std::any_of(messages.cbegin(), messages.cend(), [](const QList<QVariant> &m) {
            return m.value(0).toString().startsWith(QLatin1String("Recording stopped: "));
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(stopped(), Long);
    int frames = 0, files = 0;
    for (QDirIterator it(records, {"*.rrd0.gz"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); ++files)
        frames += tasktest::framesInFile(it.next());
    QVERIFY(frames > 10);
    QVERIFY(shown(messages, QStringLiteral("Recording stopped: %1 frames written to %3 (minute files: %2)")
                                .arg(frames).arg(files).arg(records)));
    QVERIFY(!shown(messages, QStringLiteral("Task Record aborted on user request!")));
    // Started by the first alarm on, refused for the next two while it ran.
    QTRY_VERIFY_WITH_TIMEOUT(shown(messages, QStringLiteral("Alarm script %1 finished successfully!").arg(script)), Long);
    QVERIFY(shown(messages, QStringLiteral("Alarm script already running!")));
    QFile ranFile(ran);
    QVERIFY(ranFile.open(QIODevice::ReadOnly));
    QCOMPARE(ranFile.readAll(), QByteArray("alarm\n"));
}

void TestMainWindowOps::testButtonRunsTheAlarmScript()
{
    QTemporaryDir base;
    const QString script = base.filePath(QStringLiteral("fails.sh"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 3\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    SkMainWindow window(QStringList{});
    auto *path = option<QLineEdit>(window, "lineEditTriggerAlarm");
    auto *test = option<QPushButton>(window, "pushButtonTestAlarmScript");
    path->setText(base.filePath(QStringLiteral("missing.sh")));
    test->click();
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("File %1 not found!").arg(base.filePath(QStringLiteral("missing.sh"))));
    path->setText(script);
    test->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(),
                              QStringLiteral("Alarm script %1 failed!").arg(script), Long);
}

// ---- Saving frames ----------------------------------------------------------------------------

// The stream goes on while the frames are saved: the store is not locked meanwhile, new frames
// arrive and old ones leave, and the file holds the frames held when the save began: the
// window (one frame may have just left it) and what waits beyond it while this busy thread
// takes results; message and file agree.
void TestMainWindowOps::savesTheFramesInMemory()
{
    ServeProcess serve({"--scenario", "avalanche", "--frames", "300", "--process-params", "--rate", "400", "--loop"});
    QVERIFY(serve.port() != 0);
    SkMainWindow window({"--process-params", "--n", "500", serve.address()});
    QVERIFY(QTest::qWaitFor([&] { return window.store()->startFrame() > 20; }, Long));
    const QString path = m_dir.filePath(QStringLiteral("saved.rrd0.gz"));
    answerFileDialog(path);
    // Not a QSignalSpy on the store: the loader thread emits its signals too, and a spy appends
    // to its list from whichever thread emits, unlocked. The store's end is read under its lock.
    const int endBefore = window.store()->endFrame();
    action(&window, "actionSave_frames")->trigger();
    const QString shown = window.statusBar()->currentMessage();
    const QRegularExpressionMatch saved =
        QRegularExpression(QStringLiteral("^(\\d+) frames saved to (.+)$")).match(shown);
    QVERIFY2(saved.hasMatch(), qPrintable(shown));
    QCOMPARE(saved.captured(2), path);
    const int count = saved.captured(1).toInt();
    QVERIFY2(count >= 499 && count <= 500 + 250, qPrintable(shown));
    // More frames arrived than the one that may have been on its way when the save began: the
    // window went on releasing frames while the file was written.
    const int endAfter = window.store()->endFrame();
    qDebug() << "frames arrived while saving:" << endAfter - endBefore;
    QVERIFY(endAfter > endBefore + 2);
    QProcess info;
    info.start(rrdclitest::rrdcliPath(), {"info", path});
    QVERIFY(info.waitForFinished(Long));
    QCOMPARE(info.exitCode(), 0);
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(out.contains(QRegularExpression(QStringLiteral("format:\\s+RRD0\\n.*frames:\\s+%1\\n").arg(count),
                                             QRegularExpression::DotMatchesEverythingOption)),
             qPrintable(out));
}

// A recording of 1500 frames viewed 500 at a time: saving onto it, even through a link and
// after the file dialog's own "replace?" question, leaves it whole.
void TestMainWindowOps::savingOntoTheViewedFileIsRefused()
{
    const QString viewed = writeRecording(m_dir, QStringLiteral("viewed.rrd0.gz"), scene(RuScenario::Quiet, 1500, 3));
    const QString link = m_dir.filePath(QStringLiteral("link.rrd0.gz"));
    QVERIFY(QFile::link(viewed, link));
    SkMainWindow window({"--n", "500", viewed});
    QVERIFY(QTest::qWaitFor([&] { return action(&window, "nextBatchAction")->isEnabled(); }, Long));
    answerFileDialog(link);
    QStringList asked;
    answerBoxes({QMessageBox::Yes}, &asked);
    action(&window, "actionSave_frames")->trigger();
    QCOMPARE(asked.size(), 1);
    const QString refusal = QStringLiteral("Not saved: %1 is being viewed; save the frames under another name").arg(link);
    QCOMPARE(window.statusBar()->currentMessage(), refusal);
    // Too long for the status bar maybe: the whole text is in its tool tip and in a box.
    QCOMPARE(window.statusBar()->toolTip(), refusal);
    auto *box = window.findChild<QMessageBox *>(QStringLiteral("failureBox"));
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->text(), refusal);
    QCOMPARE(tasktest::framesInFile(viewed), 1500);
}

void TestMainWindowOps::savingToAFolderThatIsNoneIsReported()
{
    SkMainWindow window({m_small});
    QVERIFY(QTest::qWaitFor([&] { return window.store()->endFrame() == 40; }, Long));
    // Nobody creates files in /proc, not even root.
    const QString path = QStringLiteral("/proc/saved.rrd0.gz");
    answerFileDialog(path);
    action(&window, "actionSave_frames")->trigger();
    QVERIFY2(window.statusBar()->currentMessage().startsWith(QStringLiteral("Open failed! %1: ").arg(path)),
             qPrintable(window.statusBar()->currentMessage()));
}

// ---- Spreadsheets -----------------------------------------------------------------------------

// Frames of 20 and of 5 range gates; row 12 exists only in the first.
void TestMainWindowOps::exportsARowOfFramesOfBothSizes()
{
    const QString narrow = writeRecording(m_dir, QStringLiteral("narrow.rrd0.gz"), scene(RuScenario::Quiet, 10, 5));
    SkMainWindow window({m_small, narrow});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    child<QSpinBox>(&window, "extractRowSpinBox")->setValue(12);
    const QLocale locale;
    QString proposed;
    const QString path = m_dir.filePath(QStringLiteral("row.xlsx"));
    answerFileDialog(path, &proposed);
    action(&window, "exportRowAction")->trigger();
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Exported to %1").arg(path));
    QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("small-12.xlsx"));
    QCOMPARE(QLocale(), locale);
    const QMap<QString, QString> cells = readSheet(path);
    std::vector<float> values(1024);
    {
        const SkPacket first = window.store()->frameAt(0);
        first.matrixRow(SkPacketTypeEnum::Original, 12, values.data());
        QCOMPARE(cells.value("B1").toDouble(), serialDate(first.frame().timeMicros()));
    }
    QCOMPARE(cells.value("A1"), QStringLiteral("0"));
    QCOMPARE(cells.value("C1").toFloat(), values[0]);
    QCOMPARE(cells.value("AML1").toFloat(), values[1023]);
    QCOMPARE(cells.value("A40"), QStringLiteral("39"));
    QVERIFY(cells.contains("AML40"));
    // The narrow frames: their number only.
    QCOMPARE(cells.value("A41"), QStringLiteral("40"));
    QCOMPARE(cells.value("A50"), QStringLiteral("49"));
    QVERIFY(!cells.contains("B41") && !cells.contains("C50") && !cells.contains("A51") && !cells.contains("AMM1"));
}

void TestMainWindowOps::exportsPlotsWithAndWithoutHeader()
{
    SkMainWindow window({m_small});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("plots"))));
    const QString path = m_dir.filePath(QStringLiteral("plots/av.xlsx"));
    answerFileDialog(path);
    QStringList entries;
    auto *timer = new QTimer(&window);
    connect(timer, &QTimer::timeout, [&, timer] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        timer->stop();
        for (QAction *a : menu->actions())
            entries << a->text();
        if (qEnvironmentVariableIsSet("SK_OPS_PNG_DIR"))
            menu->grab().save(qEnvironmentVariable("SK_OPS_PNG_DIR") + QStringLiteral("/export-menu.png"));
        menu->setActiveAction(menu->actions().at(1)); // "Export plot Avalanche 0 .."
        QTest::keyClick(menu, Qt::Key_Return);
    });
    timer->start(20);
    auto *plot = child<SkPlotActivities>(&window, "plotActivity");
    emit plot->customContextMenuRequested(QPoint(10, 10));
    QCOMPARE(entries.size(), 11);
    QCOMPARE(entries.first(), QStringLiteral("Show Legend"));
    QCOMPARE(entries.at(9), QStringLiteral("Export plot Max Velocity .."));
    QTRY_COMPARE(window.statusBar()->currentMessage(), QStringLiteral("Exported to %1").arg(path));
    QCOMPARE(QSettings().value("exportPlotDir").toString(), m_dir.filePath(QStringLiteral("plots")));

    const QMap<QString, QString> cells = readSheet(path);
    QCOMPARE(cells.value("A1"), QStringLiteral("Avalanche 0"));
    QCOMPARE(cells.value("A2"), QStringLiteral("(a.u.)"));
    QCOMPARE(cells.value("A3"), QStringLiteral("Date"));
    QCOMPARE(cells.value("B3"), QStringLiteral("Rangegate"));
    QCOMPARE(cells.value("C3"), QStringLiteral("Date (text)"));
    QCOMPARE(cells.value("B4"), QStringLiteral("0"));
    const QVector<QPointF> points = plot->series(SkActivityAvalanche0).first()->points();
    QVERIFY(!points.isEmpty());
    {
        const qint64 micros = window.store()->frameAt(int(points.first().x())).frame().timeMicros();
        QCOMPARE(cells.value("A5").toDouble(), serialDate(micros));
        QCOMPARE(cells.value("C5"), QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC)
                                        .toString(QStringLiteral("dd.MM.yyyy hh.mm.ss.zzz")));
    }
    QCOMPARE(cells.value("B5").toDouble(), points.first().y());
    QVERIFY(cells.contains(QStringLiteral("B%1").arg(4 + points.size())));

    // No header: data from the first row; the next export starts in the remembered folder.
    QSettings().setValue("writeXLSHeader", false);
    QString proposed;
    const QString velocity = m_dir.filePath(QStringLiteral("plots/velocity.xlsx"));
    answerFileDialog(velocity, &proposed);
    window.exportPlot(SkActivityMaxVelocity);
    QCOMPARE(proposed, m_dir.filePath(QStringLiteral("plots/small-MaxVelocity.xlsx")));
    const QMap<QString, QString> speeds = readSheet(velocity);
    const auto live = plot->series(SkActivityMaxVelocity);
    QVERIFY(!live.isEmpty());
    QCOMPARE(speeds.value("B1").toDouble(), live.first()->points().first().y());
    QCOMPARE(speeds.value(QStringLiteral("%1%2").arg(QChar('A' + live.size() + 1)).arg(1)).size(), 23);
}

// ---- Snapshot and console ---------------------------------------------------------------------

// The first snapshot asks for its folder, the next ones go there; their names carry the
// frame's time and number; the working folder gets none.
void TestMainWindowOps::snapshotGoesToTheFolderChosenOnce()
{
    QTemporaryDir cwd, folder;
    const QString old = QDir::currentPath();
    QDir::setCurrent(cwd.path());
    {
        SkMainWindow empty(QStringList{});
        action(&empty, "snapShotAction")->trigger(); // no frame: nothing asked, written or said
        QVERIFY(empty.statusBar()->currentMessage().isEmpty());
    }
    SkMainWindow window({m_small});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    window.showFrame(7);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == 7; }, Long));
    answerFileDialog(folder.path());
    action(&window, "snapShotAction")->trigger();
    // Frame 7 of the simulation was taken at 06:00:07 UTC.
    const QString first = folder.filePath(QStringLiteral("snap-20240201T060007000Z-0007.png"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Screen capture saved as %1").arg(first));
    QImage image;
    QVERIFY(image.load(first, "PNG"));
    QVERIFY(image.width() > 100 && image.height() > 100);

    window.showFrame(8);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == 8; }, Long));
    auto asked = std::make_shared<bool>(false);
    whenModal<QFileDialog>([asked](QFileDialog *dialog) {
        *asked = true;
        dialog->reject();
    });
    action(&window, "snapShotAction")->trigger();
    QVERIFY(!*asked);
    QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("snap-20240201T060008000Z-0008.png"))));
    QVERIFY(QDir(cwd.path()).entryList(QDir::Files).isEmpty());
    QDir::setCurrent(old);
}

// Pressing a command button without a connection sends nothing and says why.
void TestMainWindowOps::consoleSaysWhenItIsNotConnected()
{
    SkMainWindow window(QStringList{});
    action(&window, "actionOpen_CMD_Port")->trigger();
    auto *console = window.findChild<SkDialogContrl *>();
    QVERIFY(QTest::qWaitForWindowExposed(console));
    child<QPushButton>(console, "pushButtonCStatus")->click();
    QCOMPARE(child<QPlainTextEdit>(console, "plainTextEditServer")->toPlainText(),
             QStringLiteral("Not connected: nothing was sent. Press \"(Re)connect\" first.\n"));
    QCOMPARE(child<QLineEdit>(console, "lineEditIpAddr")->styleSheet(),
             QStringLiteral("background-color: rgb(239, 41, 41);"));
}

// With SK_OPS_PNG_DIR set the console's picture is kept there.
void TestMainWindowOps::consoleOpensFromTheWindow()
{
    CmdportProcess cmdport;
    QVERIFY(cmdport.port() != 0);
    QSettings().setValue(QStringLiteral("streamAddress"), QStringLiteral("127.0.0.1:4000"));
    SkMainWindow window(QStringList{});
    auto *console = window.findChild<SkDialogContrl *>();
    QVERIFY(console && !console->isVisible());
    action(&window, "actionOpen_CMD_Port")->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(console));
    auto *address = child<QLineEdit>(console, "lineEditIpAddr");
    QCOMPARE(address->text(), QStringLiteral("127.0.0.1"));
    child<QLineEdit>(console, "lineEditIpPort")->setText(QString::number(cmdport.port()));
    child<QPushButton>(console, "pushButtonConnect")->click();
    QTRY_COMPARE(address->styleSheet(), QStringLiteral("background: lightgreen"));
    child<QPushButton>(console, "pushButtonCStart")->click();
    child<QPushButton>(console, "pushButtonCStatus")->click();
    auto *answers = child<QPlainTextEdit>(console, "plainTextEditServer");
    QTRY_VERIFY(answers->toPlainText().contains(QStringLiteral("STATE RUNNING")));
    QVERIFY(cmdport.waitForLog(QStringLiteral("> STATUS\n")));
    const QString dir = qEnvironmentVariable("SK_OPS_PNG_DIR");
    if (!dir.isEmpty())
        QVERIFY(console->grab().save(dir + QStringLiteral("/console.png")));
}

QTEST_MAIN(TestMainWindowOps)
#include "tst_mainwindow_ops.moc"
