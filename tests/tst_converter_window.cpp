// The converter's window, driven as a user would: files picked in the browser, the list
// ordered, options set, the conversion run on the window's thread, the outcome read from the
// status bar and the output file.

#include "RcMainWindow.h"
#include "RrdcliTestSupport.h"
#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"

#include <QComboBox>
#include <QFileSystemModel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#if defined(__SANITIZE_ADDRESS__)
// Qt 5's offscreen platform never frees its screen objects when the application ends. Full
// stacks let the suppression recognise them by the plugin that made them; every other leak
// is still reported.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}
#endif

namespace {

// A recording of `frames` frames whose times start at `firstSecond` seconds after the
// simulator's default start, so that each frame of a test names itself by its time.
void writeRecording(const QString &path, int firstSecond, int frames)
{
    RuSimulatorOptions options;
    options.frames = frames;
    options.rangegates = 2;
    options.startMicros += qint64(firstSecond) * 1000000;
    QString error;
    QVERIFY2(RuSimulator(options).writeRecording(path, &error), qPrintable(error));
}

// Seconds after the default start of every frame in `path`.
QList<int> frameSeconds(const QString &path)
{
    const qint64 start = RuSimulatorOptions().startMicros;
    QList<int> seconds;
    RuFile file(path, 'r');
    RuFrame frame;
    while (file.readFrame(frame)) {
        seconds << int((frame.timeMicros() - start) / 1000000);
        frame = RuFrame();
    }
    return seconds;
}

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

} // namespace

class TestConverterWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<RcMainWindow> m_window;

    template<typename T>
    T *child(const char *name) const
    {
        T *widget = m_window->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QListWidget *list() const { return child<QListWidget>("listWidget"); }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    QString statusText() const { return child<QStatusBar>("statusBar")->currentMessage(); }

    // Clicks Convert and waits for the finishing message in the status bar.
    void convertAndWait()
    {
        QSignalSpy message(child<QStatusBar>("statusBar"), &QStatusBar::messageChanged);
        click("convertBt");
        QVERIFY(!child<QPushButton>("convertBt")->isEnabled());
        QVERIFY(child<QPushButton>("cancelBt")->isEnabled());
        while (statusText().isEmpty())
            QVERIFY(message.wait(60000));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init()
    {
        m_window = std::make_unique<RcMainWindow>();
    }
    void cleanup() { m_window.reset(); }

    void startsIdleWithTheDefaults()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("RcMainWindow"));
        QVERIFY(child<QPushButton>("convertBt")->isEnabled());
        QVERIFY(!child<QPushButton>("cancelBt")->isEnabled());
        QCOMPARE(child<QSpinBox>("framesDropCountSB")->value(), 0);
        QCOMPARE(child<QSpinBox>("rangeAvgSB")->value(), 1);
        QCOMPARE(child<QSpinBox>("rangeAvgSB")->minimum(), 1);
        QVERIFY(child<QComboBox>("outputFilenameCB")->isEditable());
        // The browser starts at the current directory.
        const auto *view = child<QTreeView>("fileView");
        const auto *model = qobject_cast<const QFileSystemModel *>(view->model());
        QVERIFY(model);
        QCOMPARE(model->filePath(view->currentIndex()), QDir::currentPath());
    }

    void movesSelectedEntriesOnePlaceAsABlock_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("order");
        QTest::newRow("block up") << QList<int>{1, 2} << "filesUpBt" << "bcad";
        QTest::newRow("block down") << QList<int>{1, 2} << "filesDownBt" << "adbc";
        QTest::newRow("two apart up") << QList<int>{1, 3} << "filesUpBt" << "badc";
        QTest::newRow("first selected: nothing moves up") << QList<int>{0, 2} << "filesUpBt" << "abcd";
        QTest::newRow("last selected: nothing moves down") << QList<int>{1, 3} << "filesDownBt" << "abcd";
        QTest::newRow("first selected still moves down") << QList<int>{0} << "filesDownBt" << "bacd";
        QTest::newRow("nothing selected") << QList<int>{} << "filesUpBt" << "abcd";
    }
    void movesSelectedEntriesOnePlaceAsABlock()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QString, button);
        QFETCH(QString, order);
        list()->addItems({"a", "b", "c", "d"});
        for (int row : selected)
            list()->item(row)->setSelected(true);
        click(button.toLatin1().constData());
        QCOMPARE(entries(list()).join(QString()), order);
        // The moved entries stay selected, so the block can be moved on.
        QStringList stillSelected;
        for (const QListWidgetItem *item : list()->selectedItems())
            stillSelected << item->text();
        stillSelected.sort();
        QStringList wanted;
        for (int row : selected)
            wanted << QString(QChar('a' + row));
        QCOMPARE(stillSelected, wanted);
    }

    void emptyListIgnoresTheListButtons()
    {
        for (const char *button : {"filesUpBt", "filesDownBt", "filesSortBt", "filesRemoveBt"})
            click(button);
        QCOMPARE(list()->count(), 0);
    }

    void removesSelectedAndDoubleClickedEntries()
    {
        list()->addItems({"a", "b", "c", "d"});
        list()->item(0)->setSelected(true);
        list()->item(2)->setSelected(true);
        click("filesRemoveBt");
        QCOMPARE(entries(list()), (QStringList{"b", "d"}));
        const QRect rect = list()->visualItemRect(list()->item(1));
        // A double click arrives after the press and release of its first click.
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(entries(list()), QStringList{"b"});
    }

    void convertsTheListedFilesInOrder()
    {
        const QString early = m_dir.filePath(QStringLiteral("early.rrd0"));
        const QString late = m_dir.filePath(QStringLiteral("late.rrd0.gz"));
        writeRecording(early, 0, 5);
        writeRecording(late, 100, 5);

        // Pick both in the browser (late first) and add them.
        auto *view = child<QTreeView>("fileView");
        auto *model = qobject_cast<QFileSystemModel *>(view->model());
        view->selectionModel()->clearSelection();
        for (const QString &name : {late, early}) {
            const QModelIndex index = model->index(name);
            QVERIFY(index.isValid());
            view->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        click("filesAddBt");
        QCOMPARE(entries(list()), (QStringList{late, early}));

        list()->item(1)->setSelected(true);
        click("filesUpBt");
        QCOMPARE(entries(list()), (QStringList{early, late}));
        click("filesDownBt");
        QCOMPARE(entries(list()), (QStringList{late, early}));
        click("filesSortBt");
        QCOMPARE(entries(list()), (QStringList{early, late}));

        child<QSpinBox>("framesDropCountSB")->setValue(2);
        child<QSpinBox>("rangeAvgSB")->setValue(2);
        const QString output = m_dir.filePath(QStringLiteral("joined.rrd0"));
        child<QComboBox>("outputFilenameCB")->setEditText(output);
        convertAndWait();

        QCOMPARE(statusText(), QStringLiteral("Finished! "));
        QVERIFY(child<QPushButton>("convertBt")->isEnabled());
        QVERIFY(!child<QPushButton>("cancelBt")->isEnabled());
        QCOMPARE(child<QProgressBar>("progressBar")->maximum(), 400);
        // The last progress comes after the finishing message.
        QTRY_COMPARE_WITH_TIMEOUT(child<QProgressBar>("progressBar")->value(), 400, 60000);
        // Frames 0, 3, 6 and 9 of the concatenation; the frame keeps its own parameter block.
        QCOMPARE(frameSeconds(output), (QList<int>{0, 3, 101, 104}));
    }

    void reportsAFailureInTheStatusBar()
    {
        const QString present = m_dir.filePath(QStringLiteral("present.rrd0"));
        writeRecording(present, 0, 3);
        list()->addItems({present, m_dir.filePath(QStringLiteral("absent.rrd0"))});
        const QString output = m_dir.filePath(QStringLiteral("failed.rrd0"));
        child<QComboBox>("outputFilenameCB")->setEditText(output);
        convertAndWait();
        QCOMPARE(statusText(), QStringLiteral("Failed! Inputfile open failed! %1: No such file or directory")
                                   .arg(m_dir.filePath(QStringLiteral("absent.rrd0"))));
        QVERIFY(child<QPushButton>("convertBt")->isEnabled());
        QVERIFY(!QFile::exists(output));
    }

    void cancelStopsTheConversionAndSaysSo()
    {
        const QString input = m_dir.filePath(QStringLiteral("repeated.rrd0"));
        writeRecording(input, 0, 50);
        // Far more frames than the worker can convert before the click below arrives.
        for (int i = 0; i < 400; ++i)
            list()->addItem(input);
        const QString output = m_dir.filePath(QStringLiteral("cancelled.rrd0"));
        child<QComboBox>("outputFilenameCB")->setEditText(output);
        click("convertBt");
        click("cancelBt");
        QCOMPARE(statusText(), QStringLiteral("Finished! Aborted..."));
        QVERIFY(child<QPushButton>("convertBt")->isEnabled());
        QVERIFY(!child<QPushButton>("cancelBt")->isEnabled());
        QVERIFY(frameSeconds(output).size() < 400 * 50);

        // The thread is reused: a second conversion runs to its end.
        list()->clear();
        list()->addItem(input);
        convertAndWait();
        QCOMPARE(statusText(), QStringLiteral("Finished! "));
        QCOMPARE(frameSeconds(output).size(), 50);
    }

    // Qt's own options (-style ...) pass; anything else is a slip, answered with the usage
    // instead of a window that ignores it.
    void refusesWhatItDoesNotKnow_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("refused");
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "--frobnicate";
        QTest::newRow("argument") << QStringList{"-style", "fusion", "a.rrd0"} << "a.rrd0";
    }
    void refusesWhatItDoesNotKnow()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, refused);
        rrdclitest::RunOptions offscreen;
        offscreen.environment = QProcessEnvironment::systemEnvironment();
        offscreen.environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        offscreen.timeoutMs = 30000; // a window that opens stays open
        const rrdclitest::Run r = rrdclitest::runProgram(rrdclitest::binary(QStringLiteral("converter")), args, offscreen);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("converter: unknown option or argument '" + refused.toLocal8Bit()
                                + "'\nUsage: converter"),
                 r.err.constData());
    }
};

QTEST_MAIN(TestConverterWindow)
#include "tst_converter_window.moc"
