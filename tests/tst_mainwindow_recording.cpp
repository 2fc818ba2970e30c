// The recording controller on its own, over a live session and the options dialog: recording
// is offered for a stream from `rrdcli serve` once its frames arrive and never for files, a
// record path that cannot be used is refused with the reason, and stopping says what was
// written, which the minute files on the disk confirm.

#include "MainWindowTestSupport.h"
#include "TaskTestSupport.h"

#include "SkDialogConfigure.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "SkRecordingController.h"

#include <QDirIterator>
#include <QSignalSpy>

using namespace mwtest;

namespace {

// A session playing a stream of `rrdcli serve`, with the options and the controller over it.
struct Recorder
{
    ServeProcess serve{{"--scenario", "avalanche", "--frames", "300", "--rate", "50", "--loop"}};
    SkLiveSession session;
    SkDialogConfigure options;
    SkRecordingController controller{&session, &options, nullptr};

    bool openStream()
    {
        if (serve.port() == 0)
            return false;
        QSignalSpy available(&controller, &SkRecordingController::availableChanged);
        session.open({serve.address()}, 200, 1);
        return controller.isAvailable() || available.wait(Long);
    }
    void setRecordPath(const QString &path)
    {
        child<QLineEdit>(&options, "lineEditRecPath")->setText(path);
    }
};

// Frames in the minute files below `folder`, and how many files hold them.
QPair<int, int> minuteFiles(const QString &folder)
{
    int frames = 0, files = 0;
    QDirIterator it(folder, {QStringLiteral("*.rrd0.gz")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        frames += tasktest::framesInFile(it.next());
        ++files;
    }
    return {frames, files};
}

} // namespace

class TestMainWindowRecording : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onlyAStreamWithFramesIsRecorded();
    void unusableRecordPathIsRefused_data();
    void unusableRecordPathIsRefused();
    void stoppingSaysWhatWasWritten();
    void openingFilesEndsTheRecording();

private:
    QTemporaryDir m_dir;
    QString m_file;
};

void TestMainWindowRecording::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // No documents folder to fall back on.
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    registerTypes();
    m_file = writeRecording(m_dir, QStringLiteral("file.rrd0.gz"), scene(RuScenario::Quiet, 40));
}

void TestMainWindowRecording::onlyAStreamWithFramesIsRecorded()
{
    Recorder r;
    r.setRecordPath(m_dir.path());
    QSignalSpy complete(&r.session, &SkLiveSession::analysisComplete);
    r.session.open({m_file}, 100, 50);
    QVERIFY(complete.wait(Long));
    QVERIFY(!r.controller.isAvailable());
    QVERIFY(!r.controller.toggle());
    QVERIFY(!r.session.isRecording());
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("rdata"))));

    QVERIFY(r.openStream());
    QVERIFY(r.session.store()->endFrame() > 0);
}

void TestMainWindowRecording::unusableRecordPathIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("seen");
    QTest::newRow("none set") << QString()
                              << "Error recording|No record path is set!|Recording not possible! "
                                 "Choose a record path in the options.";
    QTest::newRow("missing folder") << "@dir/missing"
                                    << "Error recording|Record path is not writeable!|Recording "
                                       "not possible! Choose a new path!";
    QTest::newRow("a file") << "@file"
                            << "Error recording|Record path is not writeable!|Recording not "
                               "possible! Choose a new path!";
}

void TestMainWindowRecording::unusableRecordPathIsRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, seen);
    path.replace(QStringLiteral("@dir"), m_dir.path()).replace(QStringLiteral("@file"), m_file);
    Recorder r;
    QVERIFY(r.openStream());
    r.setRecordPath(path);
    QStringList boxes;
    answerBoxes({QMessageBox::Ok}, &boxes);
    QVERIFY(!r.controller.toggle());
    QCOMPARE(boxes, QStringList{seen});
    QVERIFY(!r.session.isRecording());
}

void TestMainWindowRecording::stoppingSaysWhatWasWritten()
{
    QTemporaryDir records;
    Recorder r;
    QVERIFY(r.openStream());
    r.setRecordPath(records.path());
    QSignalSpy messages(&r.controller, &SkRecordingController::message);
    QVERIFY(r.controller.toggle());
    QVERIFY(r.controller.isRecording());
    QCOMPARE(messages.last().at(0).toString(), QStringLiteral("Recording to %1").arg(records.path()));
    const int enough = r.session.store()->endFrame() + 30;
    QVERIFY(QTest::qWaitFor([&] { return r.session.store()->endFrame() > enough; }, Long));

    QSignalSpy recording(&r.controller, &SkRecordingController::recordingChanged);
    QVERIFY(!r.controller.toggle());
    QCOMPARE(recording.count(), 1);
    QVERIFY(QTest::qWaitFor([&] { return messages.last().at(0).toString().startsWith("Recording stopped"); }, Long));
    const QPair<int, int> written = minuteFiles(records.path());
    QVERIFY(written.first >= 30);
    QCOMPARE(messages.last().at(0).toString(),
             QStringLiteral("Recording stopped: %1 frames written to %3 (minute files: %2)")
                 .arg(written.first)
                 .arg(written.second)
                 .arg(records.path()));
    QCOMPARE(messages.last().at(1).toInt(), 0);
}

void TestMainWindowRecording::openingFilesEndsTheRecording()
{
    QTemporaryDir records;
    Recorder r;
    QVERIFY(r.openStream());
    r.setRecordPath(records.path());
    QVERIFY(r.controller.toggle());
    QSignalSpy available(&r.controller, &SkRecordingController::availableChanged);
    r.session.open({m_file}, 100, 50);
    QVERIFY(!r.session.isRecording());
    QCOMPARE(available.count(), 1);
    QVERIFY(!r.controller.isAvailable());
}

QTEST_MAIN(TestMainWindowRecording)
#include "tst_mainwindow_recording.moc"
