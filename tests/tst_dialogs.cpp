// The viewer's dialogs, driven offscreen as a user would: forms, the recent list and folder
// history, stream addresses, the options blob and record-path check, and the command console
// against a real `rrdcli cmdport`.

#include "CmdportProcess.h"

#include "SkDialogAbout.h"
#include "SkDialogConfigure.h"
#include "SkDialogContrl.h"
#include "SkDialogEditCmds.h"
#include "SkDialogOpenFile.h"
#include "SkDialogOpenStream.h"
#include "SkWPlainTextEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDataStream>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <functional>

#if defined(__SANITIZE_ADDRESS__)
// Qt 5's offscreen platform never frees its screen objects when the application ends.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}
#endif

Q_DECLARE_METATYPE(QwtLinearColorMap::Mode)

namespace {

template <typename T>
T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

// Runs `handle` on the next modal dialog (a nested event loop of the code under test) until it
// returns true. The returned flag turns true once it has.
std::shared_ptr<bool> whenModal(std::function<bool(QWidget *)> handle)
{
    auto done = std::make_shared<bool>(false);
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, handle, done] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && handle(modal)) {
            *done = true;
            timer->deleteLater();
            timer->stop();
        }
    });
    timer->start(20);
    return done;
}

QString writeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Labels and buttons that show less than their whole text, across or (wrapped) down.
QStringList cutTexts(QWidget *dialog)
{
    QStringList cut;
    const QList<QWidget *> widgets = dialog->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!w->isVisible())
            continue;
        const auto *label = qobject_cast<QLabel *>(w);
        const bool button = qobject_cast<QAbstractButton *>(w) != nullptr;
        if ((label && !label->wordWrap() && !label->text().isEmpty()) || button) {
            if (w->width() < w->minimumSizeHint().width())
                cut << w->objectName();
        } else if (label && label->wordWrap() && w->height() < label->heightForWidth(w->width())) {
            cut << w->objectName();
        }
    }
    return cut;
}

// The window that owns the options dialog, as far as the dialog knows it.
class ScriptWindow : public QWidget
{
    Q_OBJECT
public:
    int requests = 0;
public slots:
    void onRunAlarmScriptRequested() { ++requests; }
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void openFileFormHasItsWidgets();
    void recentListMovesRepeatsAndKeepsTheNewest();
    void historyHoldsEachFolderOnce();
    void moveKeepsBlocksAndStopsAtTheEnds_data();
    void moveKeepsBlocksAndStopsAtTheEnds();
    void emptyListButtonsDoNothing();
    void removeAndSortWorkOnTheList();
    void addFilesAppendsTheChosenFiles();
    void execFileDialogOnlyRecordsTheChoice();

    void openStreamFormHasItsWidgets();
    void streamAddressTakesTheDottedQuad_data();
    void streamAddressTakesTheDottedQuad();
    void setStreamAddressPutsHostAndPortFirst();

    void aboutShowsTheBuildVersionAndTexts();

    void configureStartsWithDefaults();
    void colorModeFollowsTheColorBox_data();
    void colorModeFollowsTheColorBox();
    void configureStateRoundTrips();
    void invalidStateChangesNothing_data();
    void invalidStateChangesNothing();
    void storedListSizeZeroKeepsTheSpinBox();
    void recordPathCheckColoursAndShowsFreeSpace();
    void testButtonAsksTheWindowToRunTheScript();
    void languageChangeKeepsWhatTheUserSet();

    void consoleFormHasItsWidgets();
    void statusWithoutConnectionSendsNothing();
    void consoleSendsSingleCommandsAndShowsAnswers();
    void sequenceWithWindowsLineEndsGoesOutAsLines();
    void refusedConnectionIsReported();
    void sequencesAreEditedStoredAndLoaded();
    void consoleTakesTheStreamHost();

    void rendersEveryDialogReadably();

private:
    QTemporaryDir m_configDir;
};

void TestDialogs::initTestCase()
{
    QVERIFY(m_configDir.isValid());
    qRegisterMetaType<QwtLinearColorMap::Mode>("QwtLinearColorMap::Mode");
    QCoreApplication::setOrganizationName(QStringLiteral("SkarnelTest"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_dialogs"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_configDir.path());
}

void TestDialogs::init()
{
    QSettings().clear();
}

// ---- open files ------------------------------------------------------------------------

void TestDialogs::openFileFormHasItsWidgets()
{
    SkDialogOpenFile dialog(10);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Open Files"));
    QCOMPARE(dialog.size(), QSize(664, 426));
    auto *list = child<QListWidget>(&dialog, "fileNamesList");
    QCOMPARE(list->dragDropMode(), QAbstractItemView::InternalMove);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    const QList<QPair<const char *, QString>> buttons = {
        {"addFilesPushButton", "Add Files"},   {"removeFilesPushButton", "Remove Files"},
        {"removeAllPushButton", "Remove All"}, {"moveUpPushButton", "Move Up"},
        {"moveDownPushButton", "Move Down"},   {"sortPushButton", "Sort Files"}};
    for (const auto &b : buttons)
        QCOMPARE(child<QPushButton>(&dialog, b.first)->text(), b.second);
    QCOMPARE(child<QLabel>(&dialog, "label_2")->text(), QStringLiteral("Files to open "));
    auto *maxSize = child<QSpinBox>(&dialog, "maxSizeSpinBox");
    QCOMPARE(QList<int>({maxSize->minimum(), maxSize->maximum(), maxSize->singleStep(), maxSize->value()}),
             QList<int>({100, 20000, 100, 4000}));
    QCOMPARE(maxSize->suffix(), QStringLiteral(" frames"));
    auto *batch = child<QSpinBox>(&dialog, "batchSizeSpinBox");
    QCOMPARE(QList<int>({batch->minimum(), batch->maximum(), batch->singleStep(), batch->value()}),
             QList<int>({1, 5000, 100, 1000}));
    const QString help = child<QLabel>(&dialog, "label_4")->text();
    QVERIFY(help.contains(QStringLiteral("&quot;Max\u00a0Size&quot;")));
    QVERIFY(help.contains(QStringLiteral("&quot;Batch\u00a0Size&quot;")));
    QCOMPARE(child<QLabel>(&dialog, "label_4")->minimumWidth(), 200);

    QFileDialog *files = dialog.fileDialog();
    QVERIFY(files->testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(files->viewMode(), QFileDialog::Detail);
    QCOMPARE(files->fileMode(), QFileDialog::ExistingFiles);
    QCOMPARE(files->nameFilters(),
             QStringList{QStringLiteral("Radar Data Files (*.rrd *.rrd0 *.rrd.gz *.rrd0.gz *.zip *.raw)")});

    dialog.setMaxSize(1000);
    dialog.setBatchSize(500);
    QCOMPARE(dialog.maxSize(), 1000);
    QCOMPARE(dialog.batchSize(), 500);
}

void TestDialogs::recentListMovesRepeatsAndKeepsTheNewest()
{
    QTemporaryDir dir;
    SkDialogOpenFile dialog(10);
    QSignalSpy changed(&dialog, &SkDialogOpenFile::recentFilesChanged);
    QStringList files;
    for (int i = 0; i < 11; ++i)
        files << writeFile(dir.filePath(QStringLiteral("f%1.rrd").arg(i)));

    dialog.setRecentFiles(files.mid(0, 3));
    QCOMPARE(dialog.recentFiles(), files.mid(0, 3));
    QCOMPARE(changed.count(), 1);
    // Setting a list replaces the old one; a repeated path moves to the newest end.
    dialog.setRecentFiles({files[1], files[2], files[1]});
    QCOMPARE(dialog.recentFiles(), QStringList({files[2], files[1]}));
    // Eleven distinct files keep the newest ten.
    dialog.setRecentFiles(files);
    QCOMPARE(dialog.recentFiles(), files.mid(1));
    // Case matters: another spelling is another entry.
    dialog.setRecentFiles({files[0], files[0].toUpper()});
    QCOMPARE(dialog.recentFiles().size(), 2);
    QCOMPARE(changed.count(), 4);
}

void TestDialogs::historyHoldsEachFolderOnce()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("b")));
    SkDialogOpenFile dialog(2);
    const QString a1 = writeFile(dir.filePath(QStringLiteral("a1.rrd")));
    const QString a2 = writeFile(dir.filePath(QStringLiteral("a2.rrd")));
    const QString b1 = writeFile(dir.filePath(QStringLiteral("b/b1.rrd")));
    const QString folderA = QDir::toNativeSeparators(QFileInfo(a1).canonicalPath());
    const QString folderB = QDir::toNativeSeparators(QFileInfo(b1).canonicalPath());

    dialog.setRecentFiles({a1, a2});
    QCOMPARE(dialog.fileDialog()->history().count(folderA), 1);
    // A missing file adds no folder; the history is bounded like the list (the file dialog
    // adds the folder it shows when asked for its history).
    dialog.setRecentFiles({dir.filePath(QStringLiteral("gone/x.rrd")), b1, b1});
    const QStringList history = dialog.fileDialog()->history();
    QVERIFY2(history.count(folderB) == 1 && history.size() <= 3, qPrintable(history.join('|')));
    QVERIFY(!history.contains(QString()));
}

void TestDialogs::moveKeepsBlocksAndStopsAtTheEnds_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("order");
    QTest::newRow("up one") << QList<int>{2} << -1 << "acbde";
    QTest::newRow("up block") << QList<int>{2, 3} << -1 << "acdbe";
    QTest::newRow("up two apart") << QList<int>{1, 4} << -1 << "baced";
    QTest::newRow("up with first selected") << QList<int>{0, 3} << -1 << "abcde";
    QTest::newRow("down one") << QList<int>{1} << +1 << "acbde";
    QTest::newRow("down block") << QList<int>{1, 2} << +1 << "adbce";
    QTest::newRow("down with last selected") << QList<int>{1, 4} << +1 << "abcde";
}

void TestDialogs::moveKeepsBlocksAndStopsAtTheEnds()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, step);
    QFETCH(QString, order);
    SkDialogOpenFile dialog(10);
    auto *list = child<QListWidget>(&dialog, "fileNamesList");
    list->addItems({"a", "b", "c", "d", "e"});
    for (int i : selected)
        list->item(i)->setSelected(true);
    child<QPushButton>(&dialog, step < 0 ? "moveUpPushButton" : "moveDownPushButton")->click();
    QCOMPARE(dialog.fileNames().join(QString()), order);
    // The moved items stay selected, so pressing again moves them on.
    QStringList stillSelected;
    for (QListWidgetItem *item : list->selectedItems())
        stillSelected << item->text();
    QCOMPARE(stillSelected.size(), selected.size());
}

void TestDialogs::emptyListButtonsDoNothing()
{
    SkDialogOpenFile dialog(10);
    for (const char *name : {"moveUpPushButton", "moveDownPushButton", "removeFilesPushButton",
                             "sortPushButton", "removeAllPushButton"})
        child<QPushButton>(&dialog, name)->click();
    QVERIFY(dialog.fileNames().isEmpty());
}

void TestDialogs::removeAndSortWorkOnTheList()
{
    SkDialogOpenFile dialog(10);
    auto *list = child<QListWidget>(&dialog, "fileNamesList");
    list->addItems({"d", "b", "e", "a", "c"});
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    child<QPushButton>(&dialog, "removeFilesPushButton")->click();
    QCOMPARE(dialog.fileNames(), QStringList({"b", "a", "c"}));
    child<QPushButton>(&dialog, "sortPushButton")->click();
    QCOMPARE(dialog.fileNames(), QStringList({"a", "b", "c"}));
    child<QPushButton>(&dialog, "removeAllPushButton")->click();
    QVERIFY(dialog.fileNames().isEmpty());
}

void TestDialogs::addFilesAppendsTheChosenFiles()
{
    QTemporaryDir dir;
    const QString a = writeFile(dir.filePath(QStringLiteral("a.rrd0.gz")));
    const QString b = writeFile(dir.filePath(QStringLiteral("b.rrd")));
    SkDialogOpenFile dialog(10);
    dialog.setDirectoryUrl(QUrl::fromLocalFile(dir.path()));
    auto *list = child<QListWidget>(&dialog, "fileNamesList");
    list->addItem(QStringLiteral("first"));
    const auto chosen = whenModal([&](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        if (!files)
            return false;
        child<QLineEdit>(files, "fileNameEdit")->setText(QStringLiteral("\"b.rrd\" \"a.rrd0.gz\""));
        QMetaObject::invokeMethod(files, "accept");
        return true;
    });
    child<QPushButton>(&dialog, "addFilesPushButton")->click();
    QVERIFY(*chosen);
    QCOMPARE(dialog.fileNames(), QStringList({QStringLiteral("first"), b, a}));
    QCOMPARE(dialog.recentFiles(), QStringList({b, a}));
    QCOMPARE(QDir(dialog.directoryUrl().toLocalFile()).canonicalPath(), QDir(dir.path()).canonicalPath());

    // Cancel adds nothing.
    const auto cancelled = whenModal([](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        if (files)
            files->reject();
        return files != nullptr;
    });
    child<QPushButton>(&dialog, "addFilesPushButton")->click();
    QVERIFY(*cancelled);
    QCOMPARE(dialog.fileNames().size(), 3);
}

void TestDialogs::execFileDialogOnlyRecordsTheChoice()
{
    QTemporaryDir dir;
    const QString a = writeFile(dir.filePath(QStringLiteral("a.rrd")));
    SkDialogOpenFile dialog(10);
    QSignalSpy changed(&dialog, &SkDialogOpenFile::recentFilesChanged);
    dialog.setDirectoryUrl(QUrl::fromLocalFile(dir.path()));
    whenModal([&](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        if (!files)
            return false;
        child<QLineEdit>(files, "fileNameEdit")->setText(QStringLiteral("a.rrd"));
        QMetaObject::invokeMethod(files, "accept");
        return true;
    });
    QVERIFY(dialog.execFileDialog());
    QCOMPARE(dialog.fileDialog()->selectedFiles(), QStringList{a});
    QCOMPARE(dialog.recentFiles(), QStringList{a});
    QCOMPARE(changed.count(), 1);
    QVERIFY(dialog.fileNames().isEmpty());

    whenModal([](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        if (files)
            files->reject();
        return files != nullptr;
    });
    QVERIFY(!dialog.execFileDialog());
    QCOMPARE(changed.count(), 1);
}

// ---- open stream -----------------------------------------------------------------------

void TestDialogs::openStreamFormHasItsWidgets()
{
    SkDialogOpenStream dialog(3000, 200);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Open Stream"));
    QCOMPARE(dialog.size(), QSize(682, 230));
    QCOMPARE(dialog.maxSize(), 3000);
    QCOMPARE(dialog.batchSize(), 200);
    auto *address = child<QComboBox>(&dialog, "streamAddressComboBox");
    QVERIFY(address->isEditable());
    QCOMPARE(address->itemText(0), QStringLiteral("radar ip (192.168.1.30)"));
    QCOMPARE(address->itemText(1), QStringLiteral("radar ip (192.168.1.31)"));
    auto *port = child<QComboBox>(&dialog, "portComboBox");
    QVERIFY(port->isEditable());
    QCOMPARE(port->count(), 1);
    QCOMPARE(child<QLabel>(&dialog, "label_6")->text(), QStringLiteral("Host"));
    QCOMPARE(child<QLabel>(&dialog, "label_7")->text(), QStringLiteral("Port"));
    auto *maxSize = child<QSpinBox>(&dialog, "maxSizeSpinBox");
    QCOMPARE(QList<int>({maxSize->minimum(), maxSize->maximum(), maxSize->singleStep()}),
             QList<int>({10, 8000, 100}));
    auto *batch = child<QSpinBox>(&dialog, "batchSizeSpinBox");
    QCOMPARE(QList<int>({batch->minimum(), batch->maximum(), batch->singleStep()}),
             QList<int>({1, 4000, 100}));
    QCOMPARE(batch->toolTip(), QStringLiteral("Number of frames to advance if max size is reached."));
    QCOMPARE(dialog.streamAddress(), QStringLiteral("192.168.1.30:1023"));
}

void TestDialogs::streamAddressTakesTheDottedQuad_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("address");
    QTest::newRow("second entry") << "radar ip (192.168.1.31)" << "1023" << "192.168.1.31:1023";
    QTest::newRow("bare address") << "10.0.0.7" << "4000" << "10.0.0.7:4000";
    QTest::newRow("address inside words") << "north 10.1.2.3 slope 10.9.9.9" << "1023"
                                          << "10.1.2.3:1023";
    QTest::newRow("host name") << "radar.example" << "1023" << "radar.example:1023";
    QTest::newRow("blanks around") << " radar " << " 77 " << "radar:77";
}

void TestDialogs::streamAddressTakesTheDottedQuad()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, address);
    SkDialogOpenStream dialog(2000, 1000);
    child<QComboBox>(&dialog, "streamAddressComboBox")->setEditText(host);
    child<QComboBox>(&dialog, "portComboBox")->setEditText(port);
    QCOMPARE(dialog.streamAddress(), address);
}

void TestDialogs::setStreamAddressPutsHostAndPortFirst()
{
    SkDialogOpenStream dialog(2000, 1000);
    auto *address = child<QComboBox>(&dialog, "streamAddressComboBox");
    auto *port = child<QComboBox>(&dialog, "portComboBox");
    dialog.setStreamAddress(QStringLiteral("127.0.0.1:10233"));
    QCOMPARE(address->itemText(0), QStringLiteral("127.0.0.1"));
    QCOMPARE(address->currentIndex(), 0);
    QCOMPARE(port->itemText(0), QStringLiteral("10233"));
    QCOMPARE(dialog.streamAddress(), QStringLiteral("127.0.0.1:10233"));
    // Without a port the port box stays as it is.
    dialog.setStreamAddress(QStringLiteral("radar"));
    QCOMPARE(dialog.streamAddress(), QStringLiteral("radar:10233"));
    QCOMPARE(address->count(), 4);
}

// ---- about -----------------------------------------------------------------------------

void TestDialogs::aboutShowsTheBuildVersionAndTexts()
{
    SkDialogAbout dialog;
    QCOMPARE(SkDialogAbout::version(), QStringLiteral(SK_TEST_PROJECT_VERSION));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About (v%1)").arg(SK_TEST_PROJECT_VERSION));
    QCOMPARE(dialog.size(), QSize(640, 480));
    QVERIFY(dialog.styleSheet().startsWith(QStringLiteral("background-color: qlineargradient(")));
    auto *tabs = child<QTabWidget>(&dialog, "tabWidget");
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->tabText(0), QStringLiteral("License"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("General Terms"));
    auto *license = child<QTextEdit>(&dialog, "textEdit_2");
    auto *terms = child<QTextEdit>(&dialog, "textEdit");
    QVERIFY(license->isReadOnly() && terms->isReadOnly());
    QVERIFY(license->toPlainText().contains(QStringLiteral("Terms of use")));
    QVERIFY(terms->toPlainText().contains(QStringLiteral("General terms and conditions")));
    dialog.show();
    child<QDialogButtonBox>(&dialog, "buttonBox")->button(QDialogButtonBox::Close)->click();
    QVERIFY(!dialog.isVisible());
}

// ---- options ---------------------------------------------------------------------------

void TestDialogs::configureStartsWithDefaults()
{
    SkDialogConfigure dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
    QCOMPARE(dialog.size(), QSize(667, 406));
    auto *tabs = child<QTabWidget>(&dialog, "tabWidgetOptions");
    QCOMPARE(tabs->currentIndex(), 0);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    QCOMPARE(titles, QStringList({"General", "File", "Color", "Alarm", "Record"}));
    auto *language = child<QComboBox>(&dialog, "comboBoxLanguage");
    QCOMPARE(language->count(), 2);
    QCOMPARE(language->currentText(), QStringLiteral("English"));
    QCOMPARE(language->itemText(1), QStringLiteral("Deutsch"));
    QCOMPARE(child<QComboBox>(&dialog, "colorMapMode")->currentText(), QStringLiteral("Interpolate Colors"));
    QCOMPARE(dialog.colorMode(), QwtLinearColorMap::ScaledColors);
    QCOMPARE(dialog.parameterFileListSize(), 20);
    QCOMPARE(child<QSpinBox>(&dialog, "spinBoxGpFileList")->maximum(), 99);
    QCOMPARE(child<QGroupBox>(&dialog, "groupBox")->title(), QStringLiteral("Trigger "));
    QCOMPARE(dialog.recordMaxFiles(), 0);
    QCOMPARE(child<QSpinBox>(&dialog, "spinBoxRecMaxFiles")->maximum(), 100000);
    auto *preserve = child<QSpinBox>(&dialog, "spinBoxRecPreserveDiskSpace");
    QCOMPARE(QList<int>({preserve->minimum(), preserve->maximum(), preserve->value()}), QList<int>({1, 99, 5}));
    QCOMPARE(preserve->suffix(), QStringLiteral("%"));
    QCOMPARE(child<QLabel>(&dialog, "label_usednow")->text(), QStringLiteral("(used now)"));
    QCOMPARE(child<QLabel>(&dialog, "label_4")->text(), QStringLiteral("Import(rekursive) <*.rrd0.gz> files: "));
    auto *buttons = child<QDialogButtonBox>(&dialog, "buttonBox");
    QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Close);
}

void TestDialogs::colorModeFollowsTheColorBox_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QwtLinearColorMap::Mode>("mode");
    QTest::newRow("Fixed Colors") << 0 << QwtLinearColorMap::FixedColors;
    QTest::newRow("Interpolate Colors") << 1 << QwtLinearColorMap::ScaledColors;
}

void TestDialogs::colorModeFollowsTheColorBox()
{
    QFETCH(int, index);
    QFETCH(QwtLinearColorMap::Mode, mode);
    SkDialogConfigure dialog;
    auto *box = child<QComboBox>(&dialog, "colorMapMode");
    box->setCurrentIndex(1 - index);
    QSignalSpy spy(&dialog, &SkDialogConfigure::updateColorMode);
    box->setCurrentIndex(index);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QwtLinearColorMap::Mode>(), mode);
    QCOMPARE(dialog.colorMode(), mode);
}

void TestDialogs::configureStateRoundTrips()
{
    QTemporaryDir dir;
    SkDialogConfigure first;
    child<QComboBox>(&first, "colorMapMode")->setCurrentIndex(0);
    child<QSpinBox>(&first, "spinBoxGpFileList")->setValue(7);
    child<QComboBox>(&first, "comboBoxLanguage")->setCurrentIndex(1);
    first.setRecordPath(dir.path());
    child<QCheckBox>(&first, "checkBoxRecImport")->setChecked(true);
    child<QCheckBox>(&first, "checkBoxRecSubfolder")->setChecked(true);
    child<QSpinBox>(&first, "spinBoxRecMaxFiles")->setValue(1440);
    child<QSpinBox>(&first, "spinBoxRecPreserveDiskSpace")->setValue(12);
    child<QLineEdit>(&first, "lineEditTriggerAlarm")->setText(QStringLiteral("/opt/alarm \u00e4.sh"));
    const QByteArray state = first.saveState();

    // The stored layout: magic, version, colour mode first.
    QDataStream in(state);
    qint32 magic = 0, version = 0, mode = -1;
    in >> magic >> version >> mode;
    QCOMPARE(QList<qint32>({magic, version, mode}), QList<qint32>({52942, 1, 0}));

    SkDialogConfigure second;
    QSignalSpy colors(&second, &SkDialogConfigure::updateColorMode);
    QSignalSpy languages(&second, &SkDialogConfigure::languageChanged);
    QVERIFY(second.restoreState(state));
    QCOMPARE(colors.count(), 1);
    QCOMPARE(colors.at(0).at(0).value<QwtLinearColorMap::Mode>(), QwtLinearColorMap::FixedColors);
    QCOMPARE(languages.count(), 1);
    QCOMPARE(languages.at(0).at(0).toString(), QStringLiteral("Deutsch"));
    QCOMPARE(child<QComboBox>(&second, "colorMapMode")->currentIndex(), 0);
    QCOMPARE(second.parameterFileListSize(), 7);
    QCOMPARE(second.language(), QStringLiteral("Deutsch"));
    QCOMPARE(second.recordPath(), dir.path());
    QVERIFY(second.recordImportOldFiles());
    QVERIFY(second.recordSubfolder());
    QCOMPARE(second.recordMaxFiles(), 1440);
    QCOMPARE(second.recordPreserveDiskSpacePercent(), 12);
    QCOMPARE(second.alarmScriptPath(), QStringLiteral("/opt/alarm \u00e4.sh"));
    QVERIFY(child<QLabel>(&second, "label_usednow")->text().startsWith(QStringLiteral("Currently available: ")));
    QCOMPARE(second.saveState(), state);
}

void TestDialogs::invalidStateChangesNothing_data()
{
    SkDialogConfigure source;
    child<QComboBox>(&source, "colorMapMode")->setCurrentIndex(0);
    child<QLineEdit>(&source, "lineEditTriggerAlarm")->setText(QStringLiteral("/bin/true"));
    const QByteArray valid = source.saveState();
    // Writes a blob with the valid layout and the given numbers.
    const auto blob = [](qint32 magic, qint32 version, qint32 mode, qint32 list, qint32 language,
                         qint32 maxFiles, qint8 preserve) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << magic << version << mode << list << language << QStringLiteral("/tmp") << true
            << false << maxFiles << preserve << QStringLiteral("/bin/true");
        return bytes;
    };
    QTest::addColumn<QByteArray>("state");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("other magic") << blob(52943, 1, 0, 5, 1, 0, 5);
    QTest::newRow("other version") << blob(52942, 2, 0, 5, 1, 0, 5);
    QTest::newRow("colour mode 7") << blob(52942, 1, 7, 5, 1, 0, 5);
    QTest::newRow("list size -1") << blob(52942, 1, 0, -1, 1, 0, 5);
    QTest::newRow("language 2") << blob(52942, 1, 0, 5, 2, 0, 5);
    QTest::newRow("negative max files") << blob(52942, 1, 0, 5, 1, -3, 5);
    QTest::newRow("preserve 0%") << blob(52942, 1, 0, 5, 1, 0, 0);
    QTest::newRow("garbage") << QByteArray(64, '\xff');
    for (int length = 1; length < valid.size(); length += 3)
        QTest::addRow("cut at %d", length) << valid.left(length);
}

void TestDialogs::invalidStateChangesNothing()
{
    QFETCH(QByteArray, state);
    SkDialogConfigure dialog;
    const QByteArray before = dialog.saveState();
    QSignalSpy colors(&dialog, &SkDialogConfigure::updateColorMode);
    QSignalSpy languages(&dialog, &SkDialogConfigure::languageChanged);
    QVERIFY(!dialog.restoreState(state));
    QCOMPARE(dialog.saveState(), before);
    QCOMPARE(colors.count() + languages.count(), 0);
}

void TestDialogs::storedListSizeZeroKeepsTheSpinBox()
{
    SkDialogConfigure source;
    child<QSpinBox>(&source, "spinBoxGpFileList")->setValue(0);
    SkDialogConfigure dialog;
    child<QSpinBox>(&dialog, "spinBoxGpFileList")->setValue(9);
    QVERIFY(dialog.restoreState(source.saveState()));
    QCOMPARE(dialog.parameterFileListSize(), 9);
}

void TestDialogs::recordPathCheckColoursAndShowsFreeSpace()
{
    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath(QStringLiteral("file")));
    SkDialogConfigure dialog;
    auto *path = child<QLineEdit>(&dialog, "lineEditRecPath");
    auto *free = child<QLabel>(&dialog, "label_usednow");
    const QString red = QStringLiteral("background-color: rgb(239, 41, 41);");

    for (const QString &bad : {dir.filePath(QStringLiteral("missing")), file}) {
        path->clear();
        QTest::keyClicks(path, bad);
        QCOMPARE(path->styleSheet(), red);
        QCOMPARE(free->text(), QString());
    }
    path->clear();
    QTest::keyClicks(path, dir.path());
    QCOMPARE(path->styleSheet(), QString());
    static const QRegularExpression line(
        QStringLiteral("^Currently available: \\d+\\.\\d% of \\d+\\.\\d\\dTiB$"));
    QVERIFY2(line.match(free->text()).hasMatch(), qPrintable(free->text()));
    QVERIFY(dialog.checkRecordPath());
}

void TestDialogs::testButtonAsksTheWindowToRunTheScript()
{
    ScriptWindow window;
    auto *dialog = new SkDialogConfigure(&window);
    child<QPushButton>(dialog, "pushButtonTestAlarmScript")->click();
    QCOMPARE(window.requests, 1);
    // Without such a window the button does nothing.
    SkDialogConfigure alone;
    child<QPushButton>(&alone, "pushButtonTestAlarmScript")->click();
}

// Switching the language sets the forms' texts again; values, lists and the version stay.
void TestDialogs::languageChangeKeepsWhatTheUserSet()
{
    QTemporaryDir dir;
    SkDialogConfigure configure;
    configure.setRecordPath(dir.path());
    child<QComboBox>(&configure, "colorMapMode")->setCurrentIndex(0);
    child<QComboBox>(&configure, "comboBoxLanguage")->setCurrentIndex(1);
    // Enter in the script field must not run the script.
    QVERIFY(!child<QPushButton>(&configure, "pushButtonTestAlarmScript")->autoDefault());
    const QByteArray state = configure.saveState();
    SkDialogAbout about;
    SkDialogContrl console;
    child<QLineEdit>(&console, "lineEditIpAddr")->setText(QStringLiteral("10.0.0.9"));
    SkDialogOpenFile openFile(10);
    for (QWidget *dialog : QList<QWidget *>{&configure, &about, &console, &openFile}) {
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(dialog, &change);
    }
    QCOMPARE(configure.saveState(), state);
    QCOMPARE(child<QComboBox>(&configure, "comboBoxLanguage")->count(), 2);
    QVERIFY(child<QLabel>(&configure, "label_usednow")->text().startsWith(QStringLiteral("Currently available: ")));
    QCOMPARE(about.windowTitle(), QStringLiteral("About (v%1)").arg(SK_TEST_PROJECT_VERSION));
    QVERIFY(!child<QTextEdit>(&about, "textEdit_2")->toPlainText().isEmpty());
    QCOMPARE(child<QLineEdit>(&console, "lineEditIpAddr")->text(), QStringLiteral("10.0.0.9"));
    QCOMPARE(openFile.fileDialog()->nameFilters().size(), 1);
}

// ---- command console -------------------------------------------------------------------

void TestDialogs::consoleFormHasItsWidgets()
{
    SkDialogContrl console;
    QCOMPARE(console.windowTitle(), QStringLiteral("Radar command port communication"));
    QCOMPARE(console.size(), QSize(750, 450));
    auto *address = child<QLineEdit>(&console, "lineEditIpAddr");
    QCOMPARE(address->text(), QStringLiteral("192.168.1.30"));
    QCOMPARE(address->styleSheet(), QStringLiteral("background-color: rgb(239, 41, 41);"));
    auto *port = child<QLineEdit>(&console, "lineEditIpPort");
    QCOMPARE(port->text(), QStringLiteral("123"));
    QCOMPARE(port->maxLength(), 5);
    QVERIFY(child<QPlainTextEdit>(&console, "plainTextEditServer")->isReadOnly());
    QVERIFY(qobject_cast<SkWPlainTextEdit *>(child<QPlainTextEdit>(&console, "plainTextEditCMD")));
    const QList<QPair<const char *, const char *>> buttons = {
        {"pushButtonConnect", "(Re)connect"}, {"pushButtonSendAll", "Send and execute"},
        {"pushButtonClear", "Clear both screens"}, {"pushButtonExit", "Exit"},
        {"pushButtonCStop", "STOP"}, {"pushButtonCStart", "START"}, {"pushButtonCWakeup", "WAKEUP"},
        {"pushButtonCSuspend", "SUSPEND"}, {"pushButtonCStatus", "STATUS"},
        {"pushButtonCSInit", "S small"}, {"pushButtonCSDefaultProfileStart", "S full"},
        {"pushButtonCS1", "S1"}, {"pushButtonCS2", "S2"}, {"pushButtonCS3", "S3"},
        {"pushButtonESSmall", "Edit"}, {"pushButtonESFull", "Edit"}, {"pushButtonES1", "Edit"},
        {"pushButtonES2", "Edit"}, {"pushButtonES3", "Edit"}};
    for (const auto &b : buttons)
        QCOMPARE(child<QPushButton>(&console, b.first)->text(), QLatin1String(b.second));
    auto *tabs = child<QTabWidget>(&console, "tabWidget");
    QCOMPARE(tabs->tabText(tabs->indexOf(child<QWidget>(&console, "tab_3"))), QStringLiteral("Commands"));
    QCOMPARE(tabs->tabText(tabs->indexOf(child<QWidget>(&console, "tab_4"))), QStringLiteral("Command sequence"));
}

void TestDialogs::statusWithoutConnectionSendsNothing()
{
    SkDialogContrl console;
    auto *address = child<QLineEdit>(&console, "lineEditIpAddr");
    address->setStyleSheet(QString());
    child<QPushButton>(&console, "pushButtonCStatus")->click();
    QCOMPARE(address->styleSheet(), QStringLiteral("background-color: rgb(239, 41, 41);"));
    // Nothing came back: the pane holds only the console's own note.
    QCOMPARE(child<QPlainTextEdit>(&console, "plainTextEditServer")->toPlainText(),
             QStringLiteral("Not connected: nothing was sent. Press \"(Re)connect\" first.\n"));
}

namespace {

// Connects `console` to `cmdport`; false when it does not turn green.
bool connectConsole(SkDialogContrl &console, CmdportProcess &cmdport)
{
    child<QLineEdit>(&console, "lineEditIpAddr")->setText(QStringLiteral("127.0.0.1"));
    child<QLineEdit>(&console, "lineEditIpPort")->setText(QString::number(cmdport.port()));
    child<QPushButton>(&console, "pushButtonConnect")->click();
    auto *address = child<QLineEdit>(&console, "lineEditIpAddr");
    return QTest::qWaitFor([address] { return address->styleSheet() == QLatin1String("background: lightgreen"); },
                           10000);
}

} // namespace

void TestDialogs::consoleSendsSingleCommandsAndShowsAnswers()
{
    CmdportProcess cmdport;
    QVERIFY(cmdport.port() != 0);
    SkDialogContrl console;
    console.show();
    QVERIFY(connectConsole(console, cmdport));
    auto *answers = child<QPlainTextEdit>(&console, "plainTextEditServer");
    child<QPushButton>(&console, "pushButtonCStatus")->click();
    QTRY_VERIFY(answers->toPlainText().contains(QStringLiteral("STATE STOPPED")));
    for (const char *button : {"pushButtonCStart", "pushButtonCSuspend", "pushButtonCWakeup",
                               "pushButtonCStop", "pushButtonCStart", "pushButtonCStatus"})
        child<QPushButton>(&console, button)->click();
    QTRY_VERIFY(answers->toPlainText().contains(QStringLiteral("STATE RUNNING")));
    const QString shown = answers->toPlainText();
    QVERIFY2(shown.startsWith(QStringLiteral("OK STATUS\nSTATE STOPPED\n")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("OK START\nOK SUSPEND\nOK WAKEUP\nOK STOP\nOK START\nOK STATUS\n")));
    QVERIFY(!shown.contains(QLatin1Char('\r')));
    // The answers are drawn in blue.
    QTextCursor cursor(answers->document());
    cursor.movePosition(QTextCursor::End);
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(Qt::blue));
    QVERIFY(cmdport.waitForLog(QStringLiteral("> WAKEUP\n")));

    child<QPushButton>(&console, "pushButtonClear")->click();
    QVERIFY(answers->toPlainText().isEmpty());
    // Closing hides the console; the connection stays.
    child<QPushButton>(&console, "pushButtonExit")->click();
    QVERIFY(!console.isVisible());
    child<QPushButton>(&console, "pushButtonCStatus")->click();
    QTRY_VERIFY(answers->toPlainText().contains(QStringLiteral("OK STATUS")));
}

void TestDialogs::sequenceWithWindowsLineEndsGoesOutAsLines()
{
    CmdportProcess cmdport;
    SkDialogContrl console;
    console.show();
    QVERIFY(connectConsole(console, cmdport));
    auto *pane = child<SkWPlainTextEdit>(&console, "plainTextEditCMD");
    QGuiApplication::clipboard()->setText(QStringLiteral("STOP\r\nPARAM RANGE 600\r\nSTART\r\n"));
    pane->paste();
    child<QPushButton>(&console, "pushButtonSendAll")->click();
    auto *answers = child<QPlainTextEdit>(&console, "plainTextEditServer");
    QTRY_COMPARE(answers->toPlainText(), QStringLiteral("OK STOP\nOK PARAM RANGE 600\nOK START\n"));
    QVERIFY(!pane->toPlainText().isEmpty());
    QVERIFY(cmdport.waitForLog(QStringLiteral("> START\n")));
    const QString log = cmdport.log();
    QVERIFY2(!log.contains(QStringLiteral("> \n")) && !log.contains(QStringLiteral("\\x0d")),
             qPrintable(log));

    // Line ends of any convention become line feeds, ending with exactly one.
    QCOMPARE(SkDialogContrl::commandLines(QStringLiteral("\rA\r\nB\rC")), QStringLiteral("\nA\nB\nC\n"));
    QCOMPARE(SkDialogContrl::commandLines(QStringLiteral("A\n")), QStringLiteral("A\n"));
}

void TestDialogs::refusedConnectionIsReported()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();

    SkDialogContrl console;
    console.show();
    child<QLineEdit>(&console, "lineEditIpAddr")->setText(QStringLiteral("127.0.0.1"));
    child<QLineEdit>(&console, "lineEditIpPort")->setText(QString::number(port));
    QString title, text;
    const auto answered = whenModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
        return true;
    });
    child<QPushButton>(&console, "pushButtonConnect")->click();
    QTRY_VERIFY(*answered);
    QCOMPARE(title, QStringLiteral("Radar command port"));
    QCOMPARE(text, QStringLiteral("The connection was refused by the peer. Make sure the radar "
                                  "command port is running, and check that the host name and "
                                  "port settings are correct."));
    QVERIFY(child<QPushButton>(&console, "pushButtonConnect")->isEnabled());
    QCOMPARE(child<QLineEdit>(&console, "lineEditIpAddr")->styleSheet(),
             QStringLiteral("background-color: rgb(239, 41, 41);"));

    // A port that is no port is named before any connection is tried.
    for (const char *bad : {"0", "70000", "12a"}) {
        child<QLineEdit>(&console, "lineEditIpPort")->setText(QLatin1String(bad));
        const auto named = whenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return false;
            text = box->text();
            box->button(QMessageBox::Ok)->click();
            return true;
        });
        child<QPushButton>(&console, "pushButtonConnect")->click();
        QVERIFY(*named);
        QCOMPARE(text, QStringLiteral("The port must be a number from 1 to 65535."));
    }
}

void TestDialogs::sequencesAreEditedStoredAndLoaded()
{
    SkDialogContrl console;
    auto *pane = child<QPlainTextEdit>(&console, "plainTextEditCMD");
    pane->setPlainText(QStringLiteral("left over"));
    child<QPushButton>(&console, "pushButtonCSDefaultProfileStart")->click();
    QVERIFY(pane->toPlainText().isEmpty());

    // The edit dialog of "S full" offers the 28-line default; Ok stores it.
    QString offered;
    auto done = whenModal([&](QWidget *modal) {
        auto *edit = qobject_cast<SkDialogEditCmds *>(modal);
        if (!edit)
            return false;
        offered = child<QPlainTextEdit>(edit, "plainTextEdit")->toPlainText();
        child<QDialogButtonBox>(edit, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        return true;
    });
    child<QPushButton>(&console, "pushButtonESFull")->click();
    QVERIFY(*done);
    const QStringList lines = offered.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 28);
    QCOMPARE(lines.at(7), QStringLiteral("PARAM RANGE 1000"));
    QCOMPARE(lines.last(), QStringLiteral("STATUS"));
    QCOMPARE(SkDialogEditCmds::defaultSequence(1).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 15);
    child<QPushButton>(&console, "pushButtonCSDefaultProfileStart")->click();
    QCOMPARE(pane->toPlainText().trimmed(), offered.trimmed());

    // S1: typed text stored, then Reset empties it and Cancel keeps the stored text.
    done = whenModal([&](QWidget *modal) {
        auto *edit = qobject_cast<SkDialogEditCmds *>(modal);
        if (!edit)
            return false;
        child<QPlainTextEdit>(edit, "plainTextEdit")->setPlainText(QStringLiteral("STATUS\nSTART"));
        child<QDialogButtonBox>(edit, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        return true;
    });
    child<QPushButton>(&console, "pushButtonES1")->click();
    QVERIFY(*done);
    done = whenModal([&](QWidget *modal) {
        auto *edit = qobject_cast<SkDialogEditCmds *>(modal);
        if (!edit)
            return false;
        child<QPushButton>(edit, "pushButtonReset")->click();
        offered = child<QPlainTextEdit>(edit, "plainTextEdit")->toPlainText();
        child<QDialogButtonBox>(edit, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
        return true;
    });
    child<QPushButton>(&console, "pushButtonES1")->click();
    QVERIFY(*done);
    QVERIFY(offered.isEmpty());
    child<QPushButton>(&console, "pushButtonCS1")->click();
    QCOMPARE(pane->toPlainText(), QStringLiteral("STATUS\nSTART"));
    child<QPushButton>(&console, "pushButtonCS2")->click();
    QVERIFY(pane->toPlainText().isEmpty());

    // A damaged store reads as empty.
    QSettings().setValue(QStringLiteral("sCmdList"), QByteArray("\x00\x00\x7f\xff garbage", 12));
    QVERIFY(SkDialogEditCmds::storedSequences().isEmpty());
    child<QPushButton>(&console, "pushButtonCS1")->click();
    QVERIFY(pane->toPlainText().isEmpty());
}

void TestDialogs::consoleTakesTheStreamHost()
{
    QSettings().setValue(QStringLiteral("streamAddress"), QStringLiteral("10.20.30.40:1023"));
    SkDialogContrl console;
    console.show();
    QCOMPARE(child<QLineEdit>(&console, "lineEditIpAddr")->text(), QStringLiteral("10.20.30.40"));
}

// ---- looking at them -------------------------------------------------------------------

// Every dialog at the size of its form, every tab: no label or button shows less than its text.
// With SK_DIALOGS_PNG_DIR set the pictures are kept there.
void TestDialogs::rendersEveryDialogReadably()
{
    QTemporaryDir temporary;
    const QString dir = qEnvironmentVariableIsSet("SK_DIALOGS_PNG_DIR")
                            ? qEnvironmentVariable("SK_DIALOGS_PNG_DIR")
                            : temporary.path();
    QSettings().setValue(QStringLiteral("sCmdList"), QByteArray());
    SkDialogOpenFile openFile(10);
    openFile.findChild<QListWidget *>()->addItems({QStringLiteral("/data/2024-02-01/avalanche.rrd0.gz"),
                                                   QStringLiteral("/data/2024-02-01/rain.rrd0.gz")});
    SkDialogOpenStream openStream(2000, 1000);
    SkDialogAbout about;
    SkDialogConfigure configure;
    configure.setRecordPath(temporary.path());
    SkDialogContrl console;
    SkDialogEditCmds edit(2, SkDialogEditCmds::defaultSequence(2));
    const QList<QPair<QString, QDialog *>> dialogs = {
        {"openfile", &openFile}, {"openstream", &openStream}, {"about", &about},
        {"options", &configure}, {"console", &console},       {"editcmds", &edit}};
    for (const auto &d : dialogs) {
        const QSize formSize = d.second->size();
        d.second->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.second));
        // The form's size holds everything: the dialog does not grow when shown.
        QCOMPARE(d.second->size(), formSize);
        auto *tabs = d.second->findChild<QTabWidget *>();
        const int pages = tabs ? tabs->count() : 1;
        for (int page = 0; page < pages; ++page) {
            if (tabs)
                tabs->setCurrentIndex(page);
            QCoreApplication::processEvents();
            const QString name = QStringLiteral("%1/%2-%3.png").arg(dir, d.first).arg(page);
            QVERIFY(d.second->grab().save(name));
            const QStringList cut = cutTexts(d.second);
            QVERIFY2(cut.isEmpty(), qPrintable(name + QStringLiteral(": ") + cut.join(' ')));
        }
        if (tabs)
            tabs->setCurrentIndex(0);
        d.second->hide();
    }
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
