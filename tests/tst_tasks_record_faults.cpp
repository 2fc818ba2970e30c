// The record task when the file system lets it down: a full disk or a file-size limit in the
// middle of a minute file, a name that is taken, frames of another size, and moves and
// deletions that fail. Nothing may be lost or overwritten without a report.

#include "SkFrameTaskRecord.h"
#include "SkStoreMetaTypes.h"
#include "TaskTestSupport.h"

#include <QDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace tasktest;

namespace {

const QDateTime Base(QDate(2024, 2, 1), QTime(6, 0, 0), Qt::UTC);

// A clock that moves on by `step` seconds at every reading.
SkFrameTaskRecord::Clock steppingClock(int step)
{
    auto readings = std::make_shared<std::atomic_int>(0);
    return [readings, step] { return Base.addSecs(qint64(readings->fetch_add(1)) * step); };
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// Times of the frames of the files in name order; empty when one does not read cleanly.
QList<qint64> framesOf(const QString &folder)
{
    QList<qint64> times;
    for (const QString &name : filesIn(folder)) {
        RuFile file;
        file.open(folder + QLatin1Char('/') + name, 'r', 0);
        RuFrame frame;
        while (file.isOpen() && file.readFrame(frame)) {
            times.append(frame.timeMicros());
            frame = RuFrame();
        }
        if (!file.atEnd())
            return {};
    }
    return times;
}

// A soft limit on the size of the files this process writes, for the life of the object.
struct FileSizeLimit
{
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    void lift() { setrlimit(RLIMIT_FSIZE, &saved); }
    ~FileSizeLimit() { lift(); }
};

using Failure = SkFrameTaskRecord::Failure;

} // namespace

class TestRecordFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { skRegisterStoreMetaTypes(); }

    void keepsEveryFrameThroughAFailedWrite_data();
    void keepsEveryFrameThroughAFailedWrite();
    void neverOverwritesAndSplitsByRangeGates();
    void reportsFailedMovesAndDeletions();
    void writesTheFramesOfARemovedFolderAgain_data();
    void writesTheFramesOfARemovedFolderAgain();
};

void TestRecordFaults::keepsEveryFrameThroughAFailedWrite_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("full disk, freed later") << "disk";
    QTest::newRow("file size limit, lifted later") << "limit";
}

void TestRecordFaults::keepsEveryFrameThroughAFailedWrite()
{
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const QString record = dir.filePath("disk");
    std::unique_ptr<SmallDisk> disk;
    std::unique_ptr<FileSizeLimit> limit;
    if (fault == "disk") {
        disk.reset(new SmallDisk(record, "2m"));
        if (!disk->mounted)
            QSKIP(qPrintable("cannot mount a tmpfs here: " + disk->why));
        QVERIFY(disk->fill(record + "/filler"));
    } else {
        QDir().mkpath(record);
    }
    const int frames = 40;
    const RuSimulator simulator(smallScene(frames, 2));
    SkFrameStore store;
    store.clear();
    store.setMaxSize(1000);
    appendFrames(store, simulator, 0, frames);
    QList<qint64> expected;
    for (int i = 0; i < frames; ++i)
        expected.append(simulator.frame(i).timeMicros());

    auto *task = new SkFrameTaskRecord(&store, record, 0, 0, {});
    task->setStartFrame(-1);
    task->setClock(steppingClock(5)); // a file is finished after 13 frames
    QList<Failure> failures;
    QObject receiver;
    connect(task, &SkFrameTaskRecord::fileFailed, &receiver, [&] {
        failures += task->takeFailures();
        // House-keeping (or the operator) makes room before the task tries again.
        if (disk)
            QFile::remove(record + "/filler");
        if (limit)
            limit->lift();
    });
    if (fault == "limit")
        limit.reset(new FileSizeLimit(16 * 1024));
    Running<SkFrameTaskRecord> run(task);
    QTRY_VERIFY_WITH_TIMEOUT(!failures.isEmpty(), Long);
    task->drainAndStop();
    QVERIFY(run.waitDone());
    QVERIFY2(task->status() == SkTaskSucceeded, qPrintable(task->errorString()));
    QVERIFY(failures.first().file.startsWith(record + "/rdata/"));
    const QString cause = fault == "disk" ? std::strerror(ENOSPC) : std::strerror(EFBIG);
    QVERIFY2(failures.first().cause.contains(cause), qPrintable(failures.first().cause));
    // Every frame once, in order, in files that read cleanly; the broken file is gone.
    QCOMPARE(framesOf(record + "/rdata"), expected);
}

void TestRecordFaults::neverOverwritesAndSplitsByRangeGates()
{
    QTemporaryDir dir;
    const QString name = SkFrameTaskRecord::minuteFileName(Base);
    const QString stem = name.left(name.size() - int(qstrlen(".rrd0.gz")));
    QDir().mkpath(dir.filePath("rdata"));
    QFile precious(dir.filePath("rdata/" + name));
    QVERIFY(precious.open(QIODevice::WriteOnly));
    precious.write("an earlier recording");
    precious.close();

    SkFrameStore store;
    store.clear();
    store.setMaxSize(100);
    appendFrames(store, RuSimulator(smallScene(10, 2)), 0, 4);
    appendFrames(store, RuSimulator(smallScene(10, 3)), 4, 3);
    auto *task = new SkFrameTaskRecord(&store, dir.path(), 0, 0, {});
    task->setStartFrame(-1);
    task->setClock([] { return Base; }); // every file starts within the same second
    Running<SkFrameTaskRecord> run(task);
    task->drainAndStop();
    QVERIFY(run.waitDone());
    QVERIFY2(task->status() == SkTaskSucceeded, qPrintable(task->errorString()));

    QCOMPARE(filesIn(dir.filePath("rdata")),
             (QStringList{stem + "-1.rrd0.gz", stem + "-2.rrd0.gz", name}));
    QVERIFY(precious.open(QIODevice::ReadOnly));
    QCOMPARE(precious.readAll(), QByteArray("an earlier recording"));
    QCOMPARE(framesInFile(dir.filePath("rdata/" + stem + "-1.rrd0.gz")), 4);
    QCOMPARE(framesInFile(dir.filePath("rdata/" + stem + "-2.rrd0.gz")), 3);
}

void TestRecordFaults::reportsFailedMovesAndDeletions()
{
    QTemporaryDir dir;
    // "alarm" is taken by a plain file, so nothing can move there.
    QFile blocker(dir.filePath("alarm"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // An old "file" that is a folder with content cannot be deleted.
    const QString stubborn = dir.filePath("old/stubborn.rrd0.gz");
    QVERIFY(QDir().mkpath(stubborn));
    QFile(stubborn + "/inside").open(QIODevice::WriteOnly);

    SkFrameStore store;
    store.clear();
    store.setMaxSize(100);
    // 31 s per frame: every file holds 3 frames; the 12th file is over the limit of 11.
    const int frames = 36;
    appendFrames(store, RuSimulator(smallScene(frames, 2)), 0, frames);
    auto *task = new SkFrameTaskRecord(&store, dir.path(), 11, 0, {{Base.addDays(-1), stubborn}});
    task->setStartFrame(-1);
    task->setClock(steppingClock(31));
    task->onAlarmStatusChanged(34, true);
    QList<Failure> failures;
    QObject receiver;
    connect(task, &SkFrameTaskRecord::fileFailed, &receiver, [&] { failures += task->takeFailures(); });
    Running<SkFrameTaskRecord> run(task);
    task->drainAndStop();
    QVERIFY(run.waitDone());
    QVERIFY2(task->status() == SkTaskSucceeded, qPrintable(task->errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 3, Long);
    QCOMPARE(failures.at(0).file, dir.filePath("alarm"));
    QCOMPARE(failures.at(0).cause, QStringLiteral("cannot create the folder"));
    QCOMPARE(failures.at(1).file, stubborn);
    QVERIFY2(failures.at(1).cause.startsWith("cannot delete: "), qPrintable(failures.at(1).cause));
    QVERIFY(failures.at(2).file.startsWith(dir.filePath("rdata/")));
    QVERIFY2(failures.at(2).cause.startsWith("cannot move to " + dir.filePath("alarm/")),
             qPrintable(failures.at(2).cause));
    QVERIFY(QFileInfo::exists(failures.at(2).file)); // the file stays where it was
    QVERIFY(QFileInfo(stubborn).isDir());
}

// Each row: the frames stored before the record folder is deleted, and those after it. The
// deletion is noticed when the minute file ends (13 frames at 5 s each) or when the task ends.
void TestRecordFaults::writesTheFramesOfARemovedFolderAgain_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("noticed at the minute's end") << 5 << 25;
    QTest::newRow("noticed at the end") << 5 << 3;
}

void TestRecordFaults::writesTheFramesOfARemovedFolderAgain()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QTemporaryDir dir;
    const QString record = dir.filePath("record");
    const RuSimulator simulator(smallScene(before + after, 2));
    SkFrameStore store;
    store.clear();
    store.setMaxSize(1000);
    appendFrames(store, simulator, 0, before);
    auto *task = new SkFrameTaskRecord(&store, record, 0, 0, {});
    task->setStartFrame(-1);
    task->setClock(steppingClock(5));
    QList<Failure> failures;
    QObject receiver;
    connect(task, &SkFrameTaskRecord::fileFailed, &receiver, [&] { failures += task->takeFailures(); });
    Running<SkFrameTaskRecord> run(task);
    QTRY_VERIFY_WITH_TIMEOUT(!filesIn(record + "/rdata").isEmpty(), Long);
    QVERIFY(QDir(record).removeRecursively());
    appendFrames(store, simulator, before, after);
    task->drainAndStop();
    QVERIFY(run.waitDone());
    QVERIFY2(task->status() == SkTaskSucceeded, qPrintable(task->errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, Long);
    QVERIFY(failures.first().file.startsWith(record + "/rdata/"));
    QVERIFY2(failures.first().cause.startsWith("the file was removed while it was written"),
             qPrintable(failures.first().cause));
    // Every frame once, in order, in the folder made again.
    QList<qint64> expected;
    for (int i = 0; i < before + after; ++i)
        expected.append(simulator.frame(i).timeMicros());
    QCOMPARE(framesOf(record + "/rdata"), expected);
}

QTEST_GUILESS_MAIN(TestRecordFaults)
#include "tst_tasks_record_faults.moc"
