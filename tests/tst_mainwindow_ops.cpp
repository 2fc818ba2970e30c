// The viewer's operations, driven as a user drives them: recording a live stream from
// `rrdcli serve` with the alarm script, saving the frames in memory, the spreadsheet exports
// (unzipped and read back), the snapshot, and the command console against `rrdcli cmdport`.
// Dialogs and questions are answered as they come up; settings live in a temporary folder.

#include "CmdportProcess.h"
#include "MainWindowTestSupport.h"

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
#include <QTableWidget>
#include <QTimer>
#include <QXmlStreamReader>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>

using namespace mwtest;
using rrdclitest::ServeProcess;

namespace {

// Calls `answer` with the next modal dialog of type T once it is shown (within 30 s).
template <typename T, typename F>
void whenModal(F answer)
{
    auto *timer = new QTimer;
    const QDeadlineTimer deadline(30000);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, deadline] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if ((!dialog || !dialog->isVisible()) && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog)
            answer(dialog);
    });
    timer->start(20);
}

// Answers the next file dialog with `path`; `proposed` receives what it proposed.
void answerFileDialog(const QString &path, QString *proposed = nullptr)
{
    whenModal<QFileDialog>([path, proposed](QFileDialog *dialog) {
        if (proposed)
            *proposed = dialog->selectedFiles().value(0);
        // As a user types it.
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// Answers the message boxes that come up, in order, with `buttons`; each box's text and
// informative text go to `seen`.
void answerBoxes(QList<QMessageBox::StandardButton> buttons, QStringList *seen)
{
    auto *timer = new QTimer;
    const QDeadlineTimer deadline(30000);
    QObject::connect(timer, &QTimer::timeout, [timer, buttons, seen, deadline]() mutable {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box->isVisible() && !buttons.isEmpty()) {
            *seen << box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|')
                         + box->informativeText();
            box->button(buttons.takeFirst())->click();
        }
        if (buttons.isEmpty() || deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

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

} // namespace

class TestMainWindowOps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void recordStartIsRefused_data();
    void recordStartIsRefused();
    void oldFilesAreScannedWithQuestions();
    void recordsIntoASubfolderNamedByTheStartTime();
    void recorderFailureStaysInTheStatusBar();
    void recordsAStreamAndMovesTheAlarmFile();
    void testButtonRunsTheAlarmScript();
    void savesTheFramesInMemory();
    void savingToAFolderThatIsNoneIsReported();
    void exportsARowOfFramesOfBothSizes();
    void exportsPlotsWithAndWithoutHeader();
    void snapshotIsNamedByTheFrameTime();
    void consoleOpensFromTheWindow();

private:
    QTemporaryDir m_configDir;
    QTemporaryDir m_dir;
    QString m_small; // 40 frames, 20 range gates
};

void TestMainWindowOps::initTestCase()
{
    QVERIFY(m_configDir.isValid() && m_dir.isValid());
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

void TestMainWindowOps::recordStartIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("missing/folder"));
    QTest::newRow("a file") << m_small;
}

void TestMainWindowOps::recordStartIsRefused()
{
    QFETCH(QString, path);
    SkMainWindow window({m_small});
    QAction *record = action(&window, "actionRecordStart");
    QVERIFY(QTest::qWaitFor([&] { return record->isEnabled(); }, Long));
    option<QLineEdit>(window, "lineEditRecPath")->setText(path);
    QString title, text, informative;
    whenModal<QMessageBox>([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        informative = box->informativeText();
        box->button(QMessageBox::Ok)->click();
    });
    record->trigger();
    QCOMPARE(title, QStringLiteral("Error recording"));
    QCOMPARE(text, QStringLiteral("Record path is not writeable!"));
    QCOMPARE(informative, QStringLiteral("Recording not possible! Choose a new path!"));
    QVERIFY(!record->isChecked());
    QVERIFY(record->isEnabled()); // the user may correct the path and retry
    QVERIFY(!window.session()->isRecording());
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
    SkMainWindow window({m_small});
    QAction *record = action(&window, "actionRecordStart");
    QVERIFY(QTest::qWaitFor([&] { return record->isEnabled(); }, Long));
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
    SkMainWindow window({m_small});
    QAction *record = action(&window, "actionRecordStart");
    QVERIFY(QTest::qWaitFor([&] { return record->isEnabled(); }, Long));
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
    SkMainWindow window({m_small});
    QAction *record = action(&window, "actionRecordStart");
    QVERIFY(QTest::qWaitFor([&] { return record->isEnabled(); }, Long));
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
    auto *log = child<QTableWidget>(&window, "tableLog");
    auto alarmsOn = [log] {
        return log->findItems(QStringLiteral("ALARM ON"), Qt::MatchContains).size();
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
// arrive and old ones leave, and the file holds the frames held when the save began.
void TestMainWindowOps::savesTheFramesInMemory()
{
    ServeProcess serve({"--scenario", "avalanche", "--frames", "300", "--process-params", "--rate", "400", "--loop"});
    QVERIFY(serve.port() != 0);
    SkMainWindow window({"--process-params", "--n", "500", serve.address()});
    QVERIFY(QTest::qWaitFor([&] { return window.store()->startFrame() > 20; }, Long));
    const QString path = m_dir.filePath(QStringLiteral("saved.rrd0.gz"));
    answerFileDialog(path);
    QSignalSpy moved(window.store(), &SkFrameStore::dataRangeChanged);
    const int endBefore = window.store()->endFrame();
    action(&window, "actionSave_frames")->trigger();
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("500 frames saved to %1").arg(path));
    // Far more frames arrived than were on their way when the save began.
    int endDuring = 0;
    for (const QList<QVariant> &range : qAsConst(moved))
        endDuring = qMax(endDuring, range.at(0).toInt() + range.at(1).toInt());
    qDebug() << "frames arrived while saving:" << endDuring - endBefore;
    QVERIFY(endDuring > endBefore + 20);
    QProcess info;
    info.start(rrdclitest::rrdcliPath(), {"info", path});
    QVERIFY(info.waitForFinished(Long));
    QCOMPARE(info.exitCode(), 0);
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(out.contains(QRegularExpression(QStringLiteral("format:\\s+RRD0\\n.*frames:\\s+500\\n"),
                                             QRegularExpression::DotMatchesEverythingOption)),
             qPrintable(out));
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
        std::lock_guard<std::mutex> lock(*window.store()->mutex());
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
        std::lock_guard<std::mutex> lock(*window.store()->mutex());
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

void TestMainWindowOps::snapshotIsNamedByTheFrameTime()
{
    QTemporaryDir cwd;
    const QString old = QDir::currentPath();
    QDir::setCurrent(cwd.path());
    {
        SkMainWindow empty(QStringList{});
        action(&empty, "snapShotAction")->trigger();
        QVERIFY(QDir(cwd.path()).entryList(QDir::Files).isEmpty());
        QVERIFY(empty.statusBar()->currentMessage().isEmpty());
    }
    SkMainWindow window({m_small});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    window.showFrame(7);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == 7; }, Long));
    action(&window, "snapShotAction")->trigger();
    qint64 micros;
    {
        std::lock_guard<std::mutex> lock(*window.store()->mutex());
        micros = window.store()->frameAt(7).frame().timeMicros();
    }
    const QString name = QStringLiteral("snap-%1.png")
                             .arg(QDateTime::fromMSecsSinceEpoch(micros / 1000).toLocalTime().toString(QStringLiteral("yyyy-MM-dd-hhmmsszzz")));
    const QString path = QDir(cwd.path()).absoluteFilePath(name);
    QDir::setCurrent(old);
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Screen capture saved as %1").arg(path));
    QImage image;
    QVERIFY(image.load(path, "PNG"));
    QVERIFY(image.width() > 100 && image.height() > 100);
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
