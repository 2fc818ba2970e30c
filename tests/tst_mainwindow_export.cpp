// The export service on its own, with the frames of a real recording: saving them never
// replaces an open source (by its name, a symbolic or a hard link), never leaves a partial
// file under the name asked for, and says how many frames it wrote; snapshots are named by the
// frame's time and number and never overwrite an earlier one.

#include "MainWindowTestSupport.h"
#include "TaskTestSupport.h"

#include "SkExportService.h"
#include "SkFrameStore.h"
#include "SkLiveSession.h"
#include "rrd.h"

#include <QPixmap>
#include <QSignalSpy>

#include <unistd.h>

using namespace mwtest;

class TestMainWindowExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void savingOntoAnOpenSourceIsRefused_data();
    void savingOntoAnOpenSourceIsRefused();
    void savingReplacesAnOutputOnlyWhenComplete();
    void snapshotsAreNamedByFrameTimeAndNumber();

private:
    QTemporaryDir m_dir;
    QString m_source;
    QVector<SkPacket> m_packets;
};

void TestMainWindowExport::initTestCase()
{
    registerTypes();
    QVERIFY(m_dir.isValid());
    m_source = writeRecording(m_dir, QStringLiteral("source.rrd0.gz"), scene(RuScenario::Quiet, 150, 4));
    SkLiveSession session;
    QSignalSpy complete(&session, &SkLiveSession::analysisComplete);
    // A window smaller than the file, as a user views a long recording.
    session.open({m_source}, 50, 50);
    QVERIFY(QTest::qWaitFor([&] { return session.store()->endFrame() - session.store()->startFrame() == 50; }, Long));
    m_packets = SkExportService::heldPackets(session.store());
    QCOMPARE(m_packets.size(), 50);
    QCOMPARE(m_packets.first().frameNumber(), 0);
}

void TestMainWindowExport::savingOntoAnOpenSourceIsRefused_data()
{
    QTest::addColumn<QString>("link");
    QTest::newRow("the source") << QString();
    QTest::newRow("a symbolic link") << "symbolic";
    QTest::newRow("a hard link") << "hard";
}

void TestMainWindowExport::savingOntoAnOpenSourceIsRefused()
{
    QFETCH(QString, link);
    QString path = m_source;
    if (link == QLatin1String("symbolic")) {
        path = m_dir.filePath(QStringLiteral("symbolic.rrd0.gz"));
        QVERIFY(QFile::link(m_source, path));
    } else if (link == QLatin1String("hard")) {
        path = m_dir.filePath(QStringLiteral("hard.rrd0.gz"));
        QVERIFY(::link(QFile::encodeName(m_source).constData(), QFile::encodeName(path).constData()) == 0);
    }
    SkExportService exports(nullptr);
    QSignalSpy failure(&exports, &SkExportService::failure);
    QVERIFY(!exports.saveFrames(path, m_packets, {m_source}));
    QCOMPARE(failure.count(), 1);
    QCOMPARE(failure.last().at(0).toString(),
             QStringLiteral("Not saved: %1 is being viewed; save the frames under another name").arg(path));
    QCOMPARE(tasktest::framesInFile(m_source), 150);
    QFile::remove(path == m_source ? QString() : path);
}

void TestMainWindowExport::savingReplacesAnOutputOnlyWhenComplete()
{
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("saved.rrd0.gz"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier") == 7);
    old.close();
    SkExportService exports(nullptr);
    QSignalSpy message(&exports, &SkExportService::message);
    QSignalSpy progress(&exports, &SkExportService::progress);
    bool onlyTheOldFileWhileWriting = true;
    connect(&exports, &SkExportService::progress, this, [&] {
        QFile current(path);
        onlyTheOldFileWhileWriting &= current.open(QIODevice::ReadOnly) && current.readAll() == "earlier";
    });
    QVERIFY(exports.saveFrames(path, m_packets, {m_source}));
    QVERIFY(onlyTheOldFileWhileWriting);
    QCOMPARE(progress.count(), 51);
    QCOMPARE(message.last().at(0).toString(), QStringLiteral("50 frames saved to %1").arg(path));
    QCOMPARE(tasktest::framesInFile(path), 50);
    // Nothing of the temporary file is left beside it.
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"saved.rrd0.gz"});

    // An output that cannot be made is named with the reason; the old file stays.
    QSignalSpy failure(&exports, &SkExportService::failure);
    QVERIFY(!exports.saveFrames(QStringLiteral("/proc/saved.rrd0.gz"), m_packets, {m_source}));
    QVERIFY2(failure.last().at(0).toString().startsWith("Open failed! /proc/saved.rrd0.gz: "),
             qPrintable(failure.last().at(0).toString()));
    QCOMPARE(tasktest::framesInFile(path), 50);
}

void TestMainWindowExport::snapshotsAreNamedByFrameTimeAndNumber()
{
    QTemporaryDir out;
    SkExportService exports(nullptr);
    QPixmap picture(40, 30);
    picture.fill(Qt::darkBlue);
    const SkPacket frame7 = m_packets.at(7);
    // Frame 7 of the simulation was taken at 06:00:07 UTC.
    const QString first = exports.saveSnapshot(picture, frame7, out.path());
    QCOMPARE(first, out.filePath(QStringLiteral("snap-20240201T060007000Z-0007.png")));
    const QString second = exports.saveSnapshot(picture, frame7, out.path());
    QCOMPARE(second, out.filePath(QStringLiteral("snap-20240201T060007000Z-0007-2.png")));
    QCOMPARE(QImage(first).size(), QSize(40, 30));
    QVERIFY(QFileInfo::exists(second));

    RuSimulatorOptions raw = scene(RuScenario::Quiet, 3, 2);
    raw.format = RRD_FORMAT_RAW;
    const RuFrame untimed = RuSimulator(raw).frame(2);
    QCOMPARE(SkExportService::snapshotName(SkPacket(untimed, 2)), QStringLiteral("snap-notime-0002.png"));
}

QTEST_MAIN(TestMainWindowExport)
#include "tst_mainwindow_export.moc"
