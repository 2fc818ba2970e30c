// The viewer's persistent state: the program store read at start and written at close, the
// parameter files with their "Last Used Parameters" menu, the clipboard export, the options
// dialog's state and the language switch, on real INI files in a private configuration folder.

#include "MainWindowTestSupport.h"

#include "RuAlarmCalculator.h"
#include "RuFile.h"
#include "RuParameterTable.h"
#include "SkDialogConfigure.h"
#include "SkDialogOpenFile.h"
#include "SkLiveSession.h"
#include "SkParameterFiles.h"
#include "SkParameterWidgets.h"
#include "SkPlotActivities.h"
#include "SkPlotSpectrogram.h"

#include <qwt_plot_curve.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>

#include <memory>

using namespace mwtest;

namespace {

QMenu *recentMenu(const SkMainWindow &window)
{
    return child<QMenu>(&window, "menuLast_Parameters");
}

QStringList recentTexts(const SkMainWindow &window)
{
    QStringList texts;
    const auto actions = recentMenu(window)->actions();
    for (QAction *a : actions)
        if (a->data().isValid())
            texts << a->text();
    return texts;
}

QAction *recentAction(const SkMainWindow &window, const QString &text)
{
    const auto actions = recentMenu(window)->actions();
    for (QAction *a : actions)
        if (a->data().isValid() && a->text() == text)
            return a;
    return nullptr;
}

// Answers the next message box with `button` once it is shown; the text it showed lands in
// `*text`.
void answerNextMessageBox(QMessageBox::StandardButton button, QString *text)
{
    QTimer::singleShot(0, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            answerNextMessageBox(button, text);
            return;
        }
        *text = box->windowTitle() + QLatin1Char('|') + box->informativeText();
        box->button(button)->click();
    });
}

void setOptions(SkDialogConfigure *dialog)
{
    child<QComboBox>(dialog, "colorMapMode")->setCurrentIndex(0);
    child<QSpinBox>(dialog, "spinBoxGpFileList")->setValue(7);
    child<QCheckBox>(dialog, "checkBoxRecSubfolder")->setChecked(true);
    child<QSpinBox>(dialog, "spinBoxRecMaxFiles")->setValue(12);
    child<QSpinBox>(dialog, "spinBoxRecPreserveDiskSpace")->setValue(9);
    child<QLineEdit>(dialog, "lineEditTriggerAlarm")->setText(QStringLiteral("/bin/true"));
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstStartHasTheDefaults();
    void closingAndReopeningKeepsTheState();
    void damagedStoredValuesKeepTheDefaults();
    void exportedFileHoldsEveryKeyAndImportsBack();
    void recentListKeepsTheNewestWithinTheLimit();
    void missingRecentFileAsksBeforeRemoving();
    void deleteAllEntriesAsksFirst();
    void unwritableParameterFileIsReported_data();
    void unwritableParameterFileIsReported();
    void importWarnsOfWhatItCouldNotUse_data();
    void importWarnsOfWhatItCouldNotUse();
    void clipboardGetsTheIniText();
    void processParametersTravelIntoTheFile();
    void languageSwitchesToGermanAndBack();
    void commandLineChoosesLanguageAndDialogPicture_data();
    void commandLineChoosesLanguageAndDialogPicture();

private:
    QTemporaryDir m_dir;
};

void TestSettings::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
}

void TestSettings::init()
{
    QSettings().clear();
}

void TestSettings::firstStartHasTheDefaults()
{
    SkMainWindow window(QStringList{});
    QVERIFY(window.tabifiedDockWidgets(child<QDockWidget>(&window, "dockDetails"))
                .contains(child<QDockWidget>(&window, "dockWidgetLog")));
    QVERIFY(window.tabifiedDockWidgets(child<QDockWidget>(&window, "dockWidgetLive"))
                .contains(child<QDockWidget>(&window, "dockWidgetRgSum")));
    QVERIFY(child<SkPlotActivities>(&window, "plotActivity")->isLegendShown());
    QVERIFY(action(&window, "showLegendAction")->isChecked());
    QVERIFY(window.writeXlsHeader());
    QCOMPARE(window.batchSizeStream(), 1);
    QCOMPARE(window.batchSizeFiles(), 500);
    QCOMPARE(window.maxFrames(), 1000);
    QCOMPARE(child<QComboBox>(&window, "peakShiftComboBox")->currentIndex(), 0);
    QCOMPARE(child<QComboBox>(window.configureDialog(), "comboBoxLanguage")->currentText(),
             QStringLiteral("English"));
    QCOMPARE(child<QComboBox>(window.configureDialog(), "colorMapMode")->currentText(),
             QStringLiteral("Interpolate Colors"));
    QCOMPARE(child<SkPlotSpectrogram>(&window, "plotCenter")->colorMode(),
             QwtLinearColorMap::ScaledColors);
    QVERIFY(recentTexts(window).isEmpty());
}

void TestSettings::closingAndReopeningKeepsTheState()
{
    const QString used = m_dir.filePath(QStringLiteral("used.ini"));
    QByteArray options;
    QString ini;
    {
        SkMainWindow window({QStringLiteral("--batch"), QStringLiteral("77"), QStringLiteral("--n"),
                             QStringLiteral("300")});
        window.resize(1200, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        child<QDockWidget>(&window, "dockComputed")->hide();
        action(&window, "showLegendAction")->setChecked(false);
        child<QComboBox>(&window, "peakShiftComboBox")->setCurrentIndex(2);
        child<QSpinBox>(&window, "timezoneSpinBox")->setValue(-3);
        child<QSpinBox>(&window, "rgSumChBeginSpinBox")->setValue(11);
        child<QSpinBox>(&window, "rgSumChLastSpinBox")->setValue(900);
        child<QComboBox>(&window, "liveShowWhatComboBox")->setCurrentIndex(3);
        child<SkDialogOpenFile>(&window, "SkDialogOpenFile")
            ->setRecentFiles({QStringLiteral("/data/a.rrd0.gz"), QStringLiteral("/data/b.rrd")});
        setOptions(window.configureDialog());
        child<QSpinBox>(&window, "alarmBackgroundDelaySpinBox")->setValue(42);
        child<QDoubleSpinBox>(&window, "alarmAv01ThresholdOnDoubleSpinBox")->setValue(3.5);
        child<QGroupBox>(&window, "scrollAreaWidgetContentsRain0")->setChecked(true);
        child<QCheckBox>(&window, "liveMaxVelocityCheckBox")->setChecked(false);
        child<QComboBox>(&window, "liveVelocitySourceComboBox")->setCurrentIndex(1);
        child<QLineEdit>(&window, "alarmAv02RangegatesToIgnore")->setText(QStringLiteral("3 4 9"));
        QVERIFY(window.exportParameters(used));
        options = window.configureDialog()->saveState();
        ini = window.parametersIniText();
        window.close();
    }
    const QSettings stored;
    for (const char *key : {"geometry", "windowState", "infoSplitterState", "fileDialog",
                            "fileDialogHistory", "fileDialogDirectoryUrl", "configureDialog",
                            "showActivityLegend", "writeXLSHeader", "framesBatchSizeStream",
                            "framesBatchSizeFiles", "framesMaxSize", "peakShift", "utcOffset",
                            "rgsum/chBegin", "rgsum/chLast", "recentPList",
                            "liveShowWhatComboBox", "av02/enablePreAlarmSameRgs"})
        QVERIFY2(stored.contains(QLatin1String(key)), key);

    SkMainWindow window(QStringList{});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(child<QDockWidget>(&window, "dockComputed")->isHidden());
    QVERIFY(!child<SkPlotActivities>(&window, "plotActivity")->isLegendShown());
    QVERIFY(!action(&window, "showLegendAction")->isChecked());
    QCOMPARE(window.batchSizeFiles(), 77);
    QCOMPARE(window.batchSizeStream(), 77);
    QCOMPARE(window.maxFrames(), 300);
    QCOMPARE(child<QComboBox>(&window, "peakShiftComboBox")->currentIndex(), 2);
    QCOMPARE(child<QSpinBox>(&window, "timezoneSpinBox")->value(), -3);
    QCOMPARE(child<QSpinBox>(&window, "rgSumChBeginSpinBox")->value(), 11);
    QCOMPARE(child<QSpinBox>(&window, "rgSumChLastSpinBox")->value(), 900);
    QCOMPARE(child<QComboBox>(&window, "liveShowWhatComboBox")->currentIndex(), 3);
    QCOMPARE(child<SkDialogOpenFile>(&window, "SkDialogOpenFile")->recentFiles(),
             (QStringList{QStringLiteral("/data/a.rrd0.gz"), QStringLiteral("/data/b.rrd")}));
    // The options, the colour mode they hand to the spectrogram, and every parameter.
    QCOMPARE(window.configureDialog()->saveState(), options);
    QCOMPARE(child<SkPlotSpectrogram>(&window, "plotCenter")->colorMode(),
             QwtLinearColorMap::FixedColors);
    QCOMPARE(window.parametersIniText(), ini);
    QCOMPARE(child<QLineEdit>(&window, "alarmAv02RangegatesToIgnore")->text(),
             QStringLiteral("3 4 9"));
    QCOMPARE(recentTexts(window), QStringList{used});
}

void TestSettings::damagedStoredValuesKeepTheDefaults()
{
    {
        QSettings settings;
        settings.setValue(QStringLiteral("configureDialog"), QByteArray("\x00\x00\xce\xce", 4));
        settings.setValue(QStringLiteral("recentPList"), QByteArray("\x00\x00\x00\x05xyz", 7));
        settings.setValue(QStringLiteral("framesMaxSize"), QStringLiteral("many"));
        settings.setValue(QStringLiteral("peakShift"), 17);
        settings.setValue(QStringLiteral("params/bgLength"), QStringLiteral("long"));
        settings.setValue(QStringLiteral("av00/enable"), QStringLiteral("perhaps"));
        settings.setValue(QStringLiteral("params/liveVelocitySource"), 5);
        settings.setValue(QStringLiteral("params/avgTime"), 4);
    }
    SkMainWindow window(QStringList{});
    QCOMPARE(window.maxFrames(), 1000);
    QCOMPARE(child<QComboBox>(&window, "peakShiftComboBox")->currentIndex(), 0);
    QCOMPARE(child<QSpinBox>(window.configureDialog(), "spinBoxGpFileList")->value(), 20);
    QVERIFY(recentTexts(window).isEmpty());
    QCOMPARE(child<QSpinBox>(&window, "alarmBackgroundLengthSpinBox")->value(), 10);
    QCOMPARE(child<QComboBox>(&window, "liveVelocitySourceComboBox")->currentIndex(), 0);
    QCOMPARE(child<QSpinBox>(&window, "alarmAvgTimeSpinBox")->value(), 4);
}

void TestSettings::exportedFileHoldsEveryKeyAndImportsBack()
{
    SkMainWindow window(QStringList{});
    const QString path = m_dir.filePath(QStringLiteral("export.ini"));
    child<QDoubleSpinBox>(&window, "alarmAv00ThresholdOnDoubleSpinBox")->setValue(2.7);
    child<QLineEdit>(&window, "alarmRain0RangegatesToIgnore")->setText(QStringLiteral("1 5"));
    QVERIFY(window.exportParameters(path));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Parameters written to ") + path);

    const QSettings file(path, QSettings::IniFormat);
    QCOMPARE(file.childGroups(),
             (QStringList{"av00", "av01", "av02", "params", "rain0", "waterlevel0"}));
    QStringList keys;
    for (const RuParameterTable::Key &key : RuParameterTable::keys())
        keys << key.key;
    QStringList fileKeys = file.allKeys();
    fileKeys.sort();
    keys.sort();
    QCOMPARE(fileKeys, keys);
    QCOMPARE(file.value(QStringLiteral("av00/threshold")).toString(), QStringLiteral("2.7"));
    // The engine reads the file the window wrote.
    RuParameterSet set;
    RuParameterTable::read(file, set);
    QCOMPARE(set.avalanche[0].thresholdOn, 2.7f);
    QCOMPARE(set.rain.rangegatesToIgnore, (QVector<int>{1, 5}));

    child<QDoubleSpinBox>(&window, "alarmAv00ThresholdOnDoubleSpinBox")->setValue(1.0);
    child<QLineEdit>(&window, "alarmRain0RangegatesToIgnore")->clear();
    QVERIFY(window.importParameters(path));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Parameters read from ") + path);
    QCOMPARE(child<QDoubleSpinBox>(&window, "alarmAv00ThresholdOnDoubleSpinBox")->value(), 2.7);
    QCOMPARE(child<QLineEdit>(&window, "alarmRain0RangegatesToIgnore")->text(), QStringLiteral("1 5"));
    QCOMPARE(recentTexts(window), QStringList{path});
}

void TestSettings::recentListKeepsTheNewestWithinTheLimit()
{
    SkMainWindow window(QStringList{});
    child<QSpinBox>(window.configureDialog(), "spinBoxGpFileList")->setValue(3);
    QStringList paths;
    for (const char *name : {"a.ini", "b.ini", "c.ini", "d.ini"})
        paths << m_dir.filePath(QLatin1String(name));
    for (const QString &p : paths)
        QVERIFY(window.exportParameters(p));
    QCOMPARE(recentTexts(window), paths.mid(1));
    // Using a listed file again moves it to the newest place, without a second entry.
    QVERIFY(window.importParameters(paths.at(1)));
    QCOMPARE(recentTexts(window), (QStringList{paths.at(2), paths.at(3), paths.at(1)}));

    // A long path is shown by its head and its tail.
    const QString deep = m_dir.filePath(QString(60, QLatin1Char('x')) + QLatin1Char('/')
                                        + QString(50, QLatin1Char('y')) + QStringLiteral(".ini"));
    QVERIFY(QDir().mkpath(QFileInfo(deep).path()));
    QVERIFY(window.exportParameters(deep));
    const QString shown = recentTexts(window).constLast();
    QCOMPARE(shown.size(), 48 + 3 + 49);
    QVERIFY(shown.startsWith(deep.left(48) + QStringLiteral("...")));
    QVERIFY(shown.endsWith(deep.right(49)));

    // The list is stored at close in the order of use.
    window.close();
    QDataStream in(QSettings().value(QStringLiteral("recentPList")).toByteArray());
    QMap<qint64, QString> stored;
    in >> stored;
    QCOMPARE(stored.values(), (QStringList{paths.at(3), paths.at(1), deep}));
}

void TestSettings::missingRecentFileAsksBeforeRemoving()
{
    SkMainWindow window(QStringList{});
    const QString path = m_dir.filePath(QStringLiteral("gone.ini"));
    QVERIFY(window.exportParameters(path));
    QVERIFY(QFile::remove(path));

    QString shown;
    answerNextMessageBox(QMessageBox::Cancel, &shown);
    recentMenu(window)->actions().constLast()->trigger();
    QCOMPARE(shown, QStringLiteral("Remove path entry?|The filename \"") + path
                        + QStringLiteral("\"\ndoes not exist anymore!\n\nShall I remove this entry?"));
    QCOMPARE(recentTexts(window), QStringList{path});

    answerNextMessageBox(QMessageBox::Ok, &shown);
    recentAction(window, path)->trigger();
    QTRY_VERIFY(recentTexts(window).isEmpty());
    // The menu's own entries stay.
    QVERIFY(recentMenu(window)->actions().contains(action(&window, "actionDelete_Parameters_entries")));
}

void TestSettings::deleteAllEntriesAsksFirst()
{
    SkMainWindow window(QStringList{});
    QVERIFY(window.exportParameters(m_dir.filePath(QStringLiteral("one.ini"))));
    QVERIFY(window.exportParameters(m_dir.filePath(QStringLiteral("two.ini"))));
    QString shown;
    answerNextMessageBox(QMessageBox::Cancel, &shown);
    action(&window, "actionDelete_Parameters_entries")->trigger();
    QCOMPARE(shown, QStringLiteral("Delete all entries!|Do You really want to delete all entries?"));
    QCOMPARE(recentTexts(window).size(), 2);
    answerNextMessageBox(QMessageBox::Ok, &shown);
    action(&window, "actionDelete_Parameters_entries")->trigger();
    QTRY_VERIFY(recentTexts(window).isEmpty());
    QCOMPARE(recentMenu(window)->actions().size(), 2);
}

void TestSettings::unwritableParameterFileIsReported_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.ini")));
    QFile plain(m_dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    QTest::newRow("path is a folder") << m_dir.filePath(QStringLiteral("folder.ini"))
                                      << QStringLiteral("the path is a folder");
    QTest::newRow("folder is a file") << m_dir.filePath(QStringLiteral("plain/p.ini"))
                                      << QStringLiteral("%1 is a file, not a folder")
                                             .arg(m_dir.filePath(QStringLiteral("plain")));
    QTest::newRow("below a file") << m_dir.filePath(QStringLiteral("plain/deeper/p.ini"))
                                  << QStringLiteral("the folder %1 cannot be made")
                                         .arg(m_dir.filePath(QStringLiteral("plain/deeper")));
}

void TestSettings::unwritableParameterFileIsReported()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    SkMainWindow window(QStringList{});
    QVERIFY(!window.exportParameters(path));
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("Parameters not written to %1: %2").arg(path, reason));
    QVERIFY(recentTexts(window).isEmpty());
}

void TestSettings::importWarnsOfWhatItCouldNotUse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("status");   // the status bar, after the file's path
    QTest::addColumn<QString>("detail");   // in the warning box's informative text
    QTest::addColumn<double>("threshold"); // av00/threshold after the import
    QTest::newRow("unknown key") << QByteArray("[av00]\nthreshold=2.5\nthreshhold=1\n") << true
                                 << " with 1 warning(s)" << "unknown key av00/threshhold" << 2.5;
    QTest::newRow("bad value and stray line")
        << QByteArray("[av00]\nthreshold=high\nno key here\n") << true << " with 2 warning(s)"
        << "av00/threshold" << 1.0;
    QTest::newRow("binary") << QByteArray("\x1f\x8b\x08\x00\x00\x00", 6) << false
                            << " is not a parameter file: it holds binary data, not INI text"
                            << QString() << 1.0;
}

// A value the file cannot give keeps the dock's, and the user is told which: in the status
// bar, in a box (the first warning, all in its details) and in the log. A file that is no
// parameter file changes nothing and says why.
void TestSettings::importWarnsOfWhatItCouldNotUse()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, read);
    QFETCH(QString, status);
    QFETCH(QString, detail);
    QFETCH(double, threshold);
    const QString path = m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentDataTag()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    SkMainWindow window(QStringList{});
    child<QDoubleSpinBox>(&window, "alarmAv00ThresholdOnDoubleSpinBox")->setValue(1.0);
    QStringList boxes;
    if (read)
        answerBoxes({QMessageBox::Ok}, &boxes);
    QCOMPARE(window.importParameters(path), read);
    QCOMPARE(window.statusBar()->currentMessage(),
             (read ? QStringLiteral("Parameters read from ") + path
                   : QStringLiteral("Parameters not read: ") + path) + status);
    QCOMPARE(child<QDoubleSpinBox>(&window, "alarmAv00ThresholdOnDoubleSpinBox")->value(), threshold);
    QCOMPARE(boxes.size(), read ? 1 : 0);
    if (read)
        QVERIFY2(boxes.first().contains(path + QStringLiteral(": ")) && boxes.first().contains(detail),
                 qPrintable(boxes.first()));
}

void TestSettings::clipboardGetsTheIniText()
{
    SkMainWindow window(QStringList{});
    child<QSpinBox>(&window, "alarmWaterlevel0SamplesSpinBox")->setValue(81);
    action(&window, "actionExport_Parameters_to_Clipboard")->trigger();
    const QString text = QApplication::clipboard()->text();
    QVERIFY2(text.startsWith(QStringLiteral("[av00]\n")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\n[waterlevel0]\n")));
    QVERIFY(text.contains(QStringLiteral("\nsamples=81\n")));
    QVERIFY(text.contains(QStringLiteral("\nthreshold=2.4\n")));
    QCOMPARE(text.count(QStringLiteral("enablePreAlarmSameRgs=")), 3);
}

// "PP" takes the radar's own settings into the dock; an export then holds exactly them.
void TestSettings::processParametersTravelIntoTheFile()
{
    const QString recording = writeRecording(m_dir, QStringLiteral("pp.rrd0.gz"),
                                             scene(RuScenario::Avalanche, 30));
    SkMainWindow window({recording});
    QSignalSpy complete(window.session(), &SkLiveSession::analysisComplete);
    QVERIFY(complete.wait(Long));
    window.showFrame(2);
    QVERIFY(QTest::qWaitFor([&] { return window.isPlotSettled() && window.drawnFrame() == 2; }, Long));
    child<QPushButton>(&window, "readPPPushButton")->click();

    RuFile file;
    file.open(recording, 'r', 0);
    RuFrame first;
    QVERIFY(file.readFrame(first));
    RuAlarmCalculator radar;
    radar.fromProcessParameters(first.info());
    const RuParameterSet expected = RuParameterSet::fromCalculator(radar);

    const QString path = m_dir.filePath(QStringLiteral("pp.ini"));
    QVERIFY(window.exportParameters(path));
    RuParameterSet read;
    RuParameterTable::read(QSettings(path, QSettings::IniFormat), read);
    QCOMPARE(read.general.bgDelay, expected.general.bgDelay);
    QCOMPARE(read.general.toWardSearch, expected.general.toWardSearch);
    for (int k = 0; k < RuParameterSet::Detectors; ++k) {
        QCOMPARE(read.avalancheEnable[k], expected.avalancheEnable[k]);
        QCOMPARE(read.avalanche[k].lengthMin, expected.avalanche[k].lengthMin);
        QCOMPARE(read.avalanche[k].thresholdOn, expected.avalanche[k].thresholdOn);
        QCOMPARE(read.avalanche[k].rangegatesNoAlarm, expected.avalanche[k].rangegatesNoAlarm);
    }
    QCOMPARE(read.waterlevel.samples, expected.waterlevel.samples);

    // Imported settings reach the frames held only through "Recalculate": the window says so.
    QVERIFY(window.importParameters(path));
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("Parameters read from %1: press \"Recalculate\" to analyse the frames in "
                            "memory with them").arg(path));
}

// The options' language box switches every text of the window, the dialogs and the plots;
// the choice is kept with the options.
void TestSettings::languageSwitchesToGermanAndBack()
{
    auto window = std::make_unique<SkMainWindow>(QStringList{});
    auto *language = child<QComboBox>(window->configureDialog(), "comboBoxLanguage");
    auto *showHow = child<QComboBox>(window.get(), "showHowComboBox");
    auto *plot = child<SkPlotActivities>(window.get(), "plotActivity");
    language->setCurrentText(QStringLiteral("Deutsch"));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(child<QMenu>(window.get(), "menuFile")->title(), QStringLiteral("&Datei"));
    QCOMPARE(action(window.get(), "actionLoad_Parameters")->text(),
             QStringLiteral("Parameter importieren.."));
    QCOMPARE(action(window.get(), "showLegendAction")->text(), QStringLiteral("Legende anzeigen"));
    QCOMPARE(showHow->itemText(1), QStringLiteral("Range-Gates"));
    QCOMPARE(plot->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("Lawine (w. E.)"));
    QCOMPARE(plot->curve(SkActivityPlotId(3))->title().text(), QStringLiteral("Pegel (w. E.)"));
    auto *centre = child<SkPlotSpectrogram>(window.get(), "plotCenter");
    QCOMPARE(centre->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("Range-Gate"));
    showHow->setCurrentIndex(2);
    QCOMPARE(centre->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("Frame (ab dem ersten gehaltenen)"));
    QCOMPARE(window->configureDialog()->windowTitle(), QStringLiteral("Optionen"));
    QCOMPARE(child<QDockWidget>(window.get(), "dockComputed")->windowTitle(),
             QStringLiteral("Berechnet"));
    window->statusBar()->clearMessage();
    QMetaObject::invokeMethod(window.get(), "on_readPPPushButton_clicked");
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Derzeit kein Frame vorhanden"));

    // A new start comes up in German.
    window->close();
    window.reset(); // takes its translator along
    window = std::make_unique<SkMainWindow>(QStringList{});
    QCoreApplication::sendPostedEvents();
    QCOMPARE(child<QMenu>(window.get(), "menuFile")->title(), QStringLiteral("&Datei"));
    QCOMPARE(child<QComboBox>(window.get(), "showHowComboBox")->itemText(2),
             QStringLiteral("Geschwindigkeiten"));

    child<QComboBox>(window->configureDialog(), "comboBoxLanguage")->setCurrentText(QStringLiteral("English"));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(child<QMenu>(window.get(), "menuFile")->title(), QStringLiteral("&File"));
    QCOMPARE(child<QComboBox>(window.get(), "showHowComboBox")->itemText(2), QStringLiteral("Velocities"));
    QCOMPARE(child<SkPlotActivities>(window.get(), "plotActivity")->axisTitle(QwtPlot::yLeft).text(),
             QStringLiteral("Avalanche (a.u.)"));
    QCOMPARE(action(window.get(), "showLegendAction")->text(), QStringLiteral("Show Legend"));
    QCOMPARE(child<SkPlotSpectrogram>(window.get(), "plotCenter")->axisTitle(QwtPlot::yLeft).text(),
             QStringLiteral("Range gate"));
}

void TestSettings::commandLineChoosesLanguageAndDialogPicture_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("errors");
    QTest::newRow("German") << QStringList{"--language", "Deutsch"} << "&Datei" << 0;
    QTest::newRow("English") << QStringList{"--language", "English"} << "&File" << 0;
    QTest::newRow("unknown") << QStringList{"--language", "Klingon"} << "&File" << 1;
    QTest::newRow("dialog") << QStringList{"--grab-dialog", "options"} << "&File" << 0;
    QTest::newRow("no such dialog") << QStringList{"--grab-dialog", "console"} << "&File" << 1;
}

void TestSettings::commandLineChoosesLanguageAndDialogPicture()
{
    QFETCH(QStringList, args);
    QFETCH(QString, menu);
    QFETCH(int, errors);
    auto window = std::make_unique<SkMainWindow>(args);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(window->commandLine().errors.size(), errors);
    QCOMPARE(child<QMenu>(window.get(), "menuFile")->title(), menu);
    window->configureDialog()->setLanguage(QStringLiteral("English"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
