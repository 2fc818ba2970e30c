// The record task with an injected clock: minute-file names and rotation, moves to "alarm"
// (also for an alarm that has ended or is reported late), house-keeping, and its end; and the
// record folder's check, free space and scan for earlier minute files.

#include "SkFrameTaskRecord.h"
#include "SkRecordFolder.h"
#include "SkStoreMetaTypes.h"
#include "TaskTestSupport.h"

#include <QDir>
#include <QSemaphore>
#include <QTest>

#include <atomic>

using namespace tasktest;

namespace {

const QDateTime Base(QDate(2024, 2, 1), QTime(6, 0, 0), Qt::UTC);

// A clock that moves on by `step` seconds at every reading (the task reads it once per
// frame), and can hold the task at one reading until the test lets it go.
struct StepClock
{
    explicit StepClock(int stepSeconds) : step(stepSeconds) {}
    const int step;
    std::atomic_int readings{0};
    int holdAt = -1;
    QSemaphore reached;
    QSemaphore go;

    SkFrameTaskRecord::Clock function()
    {
        return [this] {
            const int k = readings++;
            if (k == holdAt) {
                reached.release();
                go.acquire();
            }
            return Base.addSecs(qint64(k) * step);
        };
    }
    bool waitReadings(int n)
    {
        return QTest::qWaitFor([this, n] { return readings.load() >= n; }, Long);
    }
};

QString nameAt(int seconds)
{
    return SkFrameTaskRecord::minuteFileName(Base.addSecs(seconds));
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

struct Recording
{
    QTemporaryDir dir;
    SkFrameStore store;
    StepClock clock;
    std::unique_ptr<Running<SkFrameTaskRecord>> run;
    RuSimulator simulator{smallScene(200, 2)};

    Recording(int step, int maxFiles = 0, int minFree = 0,
              const SkFrameTaskRecord::FileList &old = {})
        : clock(step)
    {
        store.clear();
        store.setMaxSize(1000);
        auto *task = new SkFrameTaskRecord(&store, dir.path(), maxFiles, minFree, old);
        task->setClock(clock.function());
        run.reset(new Running<SkFrameTaskRecord>(task));
    }
    SkFrameTaskRecord *task() { return run->task.get(); }
    QString data() const { return dir.filePath("rdata"); }
    QString alarm() const { return dir.filePath("alarm"); }

    // The task starts at the newest frame: it gets frame 0 alone first, then the rest.
    void feed(int frames)
    {
        appendFrames(store, simulator, 0, 1);
        QVERIFY(clock.waitReadings(1));
        appendFrames(store, simulator, 1, frames - 1);
    }
    // Waits until every frame has been written, then stops the task.
    void finish(int frames)
    {
        QVERIFY(clock.waitReadings(frames));
        task()->abort();
        QVERIFY(run->waitDone());
        QCOMPARE(task()->status(), SkTaskAborted);
    }
};

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { skRegisterStoreMetaTypes(); }

    void minuteFileNameIsUtcStart();
    void rotatesEveryMinuteAndClosesLastFileOnStop();
    void movesFilesTouchingAnAlarm_data();
    void movesFilesTouchingAnAlarm();
    void movesFileWhoseAlarmIsReportedLate();
    void deletesOldestFiles_data();
    void deletesOldestFiles();
    void endsWhenItFallsBehind();
    void drainWritesEveryStoredFrameBeforeStopping();
    void newWindowStartsNewFile();
    void recordFolderSaysWhetherItCanBeUsed_data();
    void recordFolderSaysWhetherItCanBeUsed();
    void oldMinuteFilesAreFoundBelowOldestFirst_data();
    void oldMinuteFilesAreFoundBelowOldestFirst();
};

void TestRecord::minuteFileNameIsUtcStart()
{
    const QDateTime start(QDate(2018, 4, 18), QTime(12, 23, 15, 400), Qt::UTC);
    QCOMPARE(SkFrameTaskRecord::minuteFileName(start), QStringLiteral("20180418T122315Z.rrd0.gz"));
    QCOMPARE(SkFrameTaskRecord::minuteFileName(start.toOffsetFromUtc(7200)),
             QStringLiteral("20180418T122315Z.rrd0.gz"));
}

void TestRecord::rotatesEveryMinuteAndClosesLastFileOnStop()
{
    Recording rec(1); // one frame per second
    QCOMPARE(rec.task()->name(), QStringLiteral("Record"));
    rec.feed(150);
    rec.finish(150);
    QCOMPARE(filesIn(rec.data()), (QStringList{nameAt(0), nameAt(62), nameAt(124)}));
    // The frame that comes more than 60 s after the start is the last of its file.
    QCOMPARE(framesInFile(rec.data() + "/" + nameAt(0)), 62);
    QCOMPARE(framesInFile(rec.data() + "/" + nameAt(62)), 62);
    QCOMPARE(framesInFile(rec.data() + "/" + nameAt(124)), 26);
    QVERIFY(filesIn(rec.alarm()).isEmpty());
    QVERIFY(!QFileInfo::exists(rec.dir.filePath("log"))); // nothing writes logs there
}

void TestRecord::movesFilesTouchingAnAlarm_data()
{
    QTest::addColumn<int>("on");
    QTest::addColumn<int>("off");
    QTest::addColumn<QList<int>>("alarmFiles");
    // Files hold frames 0-61, 62-123 and 124-149 (the last one closed on stop).
    QTest::newRow("no alarm") << -1 << -1 << QList<int>{};
    QTest::newRow("alarm still on") << 70 << -1 << QList<int>{1, 2};
    QTest::newRow("alarm on at a file's last frame") << 61 << -1 << QList<int>{0, 1, 2};
    QTest::newRow("alarm ended") << 70 << 80 << QList<int>{1};
    QTest::newRow("ended alarm across two files") << 50 << 70 << QList<int>{0, 1};
    QTest::newRow("ended at a file's first frame") << 20 << 124 << QList<int>{0, 1, 2};
}

void TestRecord::movesFilesTouchingAnAlarm()
{
    QFETCH(int, on);
    QFETCH(int, off);
    QFETCH(QList<int>, alarmFiles);
    Recording rec(1);
    if (on >= 0)
        rec.task()->onAlarmStatusChanged(on, true);
    if (off >= 0)
        rec.task()->onAlarmStatusChanged(off, false);
    rec.feed(150);
    rec.finish(150);
    const QStringList names{nameAt(0), nameAt(62), nameAt(124)};
    QStringList inAlarm, inData;
    for (int i = 0; i < names.size(); ++i)
        (alarmFiles.contains(i) ? inAlarm : inData).append(names.at(i));
    QCOMPARE(filesIn(rec.alarm()), inAlarm);
    QCOMPARE(filesIn(rec.data()), inData);
    for (const QString &name : inAlarm)
        QVERIFY(framesInFile(rec.alarm() + "/" + name) > 0);
}

void TestRecord::movesFileWhoseAlarmIsReportedLate()
{
    Recording rec(1);
    rec.clock.holdAt = 100; // the first file (frames 0-61) is finished by then
    rec.feed(150);
    QVERIFY(rec.clock.reached.tryAcquire(1, Long));
    QCOMPARE(filesIn(rec.data()).first(), nameAt(0));
    rec.task()->onAlarmStatusChanged(30, true);
    rec.task()->onAlarmStatusChanged(40, false);
    rec.clock.go.release();
    rec.finish(150);
    QCOMPARE(filesIn(rec.alarm()), QStringList{nameAt(0)});
    QCOMPARE(filesIn(rec.data()), (QStringList{nameAt(62), nameAt(124)}));
}

void TestRecord::deletesOldestFiles_data()
{
    QTest::addColumn<int>("maxFiles");
    QTest::addColumn<int>("minFree");
    QTest::addColumn<int>("oldFiles");
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("firstKept");
    QTest::addColumn<int>("oldKept");
    QTest::newRow("13th file over a limit of 12") << 12 << 0 << 0 << 13 << 2 << 0;
    QTest::newRow("12 files within the limit") << 12 << 0 << 0 << 12 << 0 << 0;
    QTest::newRow("10 files, disk short") << 0 << 101 << 0 << 10 << 0 << 0;
    QTest::newRow("11 files, disk short") << 0 << 101 << 0 << 11 << 2 << 0;
    QTest::newRow("old files go first") << 12 << 0 << 3 << 11 << 0 << 1;
}

void TestRecord::deletesOldestFiles()
{
    QFETCH(int, maxFiles);
    QFETCH(int, minFree);
    QFETCH(int, oldFiles);
    QFETCH(int, files);
    QFETCH(int, firstKept);
    QFETCH(int, oldKept);
    QTemporaryDir oldDir;
    SkFrameTaskRecord::FileList old;
    for (int i = 0; i < oldFiles; ++i) {
        const QString path = oldDir.filePath(QStringLiteral("old%1.rrd0.gz").arg(i));
        QFile(path).open(QIODevice::WriteOnly);
        old.append({Base.addDays(-10 + i), path});
    }
    // 31 s per frame: every file holds 3 frames, and the last one is finished.
    Recording rec(31, maxFiles, minFree, old);
    rec.feed(3 * files);
    rec.finish(3 * files);
    QStringList kept;
    for (int j = firstKept; j < files; ++j)
        kept.append(nameAt(93 * j));
    QCOMPARE(filesIn(rec.data()), kept);
    QCOMPARE(filesIn(oldDir.path()).size(), oldKept);
    if (oldKept)
        QCOMPARE(filesIn(oldDir.path()).first(), QStringLiteral("old%1.rrd0.gz").arg(oldFiles - 1));
}

void TestRecord::endsWhenItFallsBehind()
{
    QTemporaryDir dir;
    SkFrameStore store;
    store.clear();
    store.setMaxSize(3);
    StepClock clock(1);
    clock.holdAt = 1;
    auto *task = new SkFrameTaskRecord(&store, dir.path(), 0, 0, {});
    task->setClock(clock.function());
    Running<SkFrameTaskRecord> run(task);
    const RuSimulator simulator(smallScene(10, 2));
    appendFrames(store, simulator, 0, 1);
    QVERIFY(clock.waitReadings(1));
    appendFrames(store, simulator, 1, 1);
    QVERIFY(clock.reached.tryAcquire(1, Long));
    // While the task writes frame 1, frames 2 and 3 come and go.
    store.releaseFrames(2);
    appendFrames(store, simulator, 2, 3);
    store.releaseFrames(2);
    appendFrames(store, simulator, 5, 2);
    clock.go.release();
    QVERIFY(run.waitDone());
    // Frames 2 to 4 were never recorded: that is a failure, not a success.
    QCOMPARE(task->status(), SkTaskFailed);
    QCOMPARE(task->errorString(), QStringLiteral("Recording fell behind: frame 2 has already left the store"));
    const QStringList files = filesIn(dir.filePath("rdata"));
    QCOMPARE(files.size(), 1);
    QCOMPARE(framesInFile(dir.filePath("rdata/") + files.first()), 2);
}

void TestRecord::drainWritesEveryStoredFrameBeforeStopping()
{
    Recording rec(1);
    rec.clock.holdAt = 5;
    rec.feed(50);
    QVERIFY(rec.clock.reached.tryAcquire(1, Long));
    rec.task()->drainAndStop();
    rec.clock.go.release();
    QVERIFY(rec.run->waitDone());
    QCOMPARE(rec.task()->status(), SkTaskSucceeded);
    QCOMPARE(rec.clock.readings.load(), 50);
    QCOMPARE(filesIn(rec.data()), QStringList{nameAt(0)});
    QCOMPARE(framesInFile(rec.data() + "/" + nameAt(0)), 50);
}

void TestRecord::newWindowStartsNewFile()
{
    Recording rec(1);
    rec.feed(10);
    QVERIFY(rec.clock.waitReadings(10));
    // A reopened stream numbers its frames from 0 again: the file of the old window ends.
    rec.store.clear();
    rec.store.setMaxSize(100);
    appendFrames(rec.store, rec.simulator, 20, 5);
    rec.finish(15);
    QCOMPARE(filesIn(rec.data()), (QStringList{nameAt(0), nameAt(10)}));
    QCOMPARE(framesInFile(rec.data() + "/" + nameAt(0)), 10);
    QCOMPARE(framesInFile(rec.data() + "/" + nameAt(10)), 5);
}

void TestRecord::recordFolderSaysWhetherItCanBeUsed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::newRow("no path") << "" << int(SkRecordFolder::NotSet);
    QTest::newRow("missing") << "missing" << int(SkRecordFolder::Missing);
    QTest::newRow("a file") << "file" << int(SkRecordFolder::NotAFolder);
    QTest::newRow("read-only folder") << "read-only" << int(SkRecordFolder::NotWritable);
    QTest::newRow("writable folder") << "folder" << int(SkRecordFolder::Usable);
}

void TestRecord::recordFolderSaysWhetherItCanBeUsed()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    QTemporaryDir dir;
    QString path = kind.isEmpty() ? QString() : dir.filePath(kind);
    if (kind == "file")
        writeRecording(dir, kind, 1);
    if (kind == "folder" || kind == "read-only")
        QVERIFY(QDir().mkpath(path));
    if (kind == "read-only") {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        // Root writes anywhere the file system lets it: take a folder the kernel keeps.
        if (QFileInfo(path).isWritable())
            path = QStringLiteral("/proc/sys");
        if (QFileInfo(path).isWritable())
            QSKIP("no folder here refuses writing");
    }
    const SkRecordFolder folder(path);
    QCOMPARE(int(folder.status()), status);
    QCOMPARE(folder.isUsable(), status == SkRecordFolder::Usable);
    const SkRecordFolder::FreeSpace space = folder.freeSpace();
    if (status == SkRecordFolder::NotSet) {
        QVERIFY(folder.absolutePath().isEmpty());
        QVERIFY(!space.isKnown());
        QVERIFY(!space.isBelow(101)); // an unknown share is never short
    }
    if (status == SkRecordFolder::Usable) {
        QCOMPARE(folder.absolutePath(), QFileInfo(path).absoluteFilePath());
        QVERIFY2(space.percent > 0 && space.percent <= 100, qPrintable(QString::number(space.percent)));
        QVERIFY(space.totalTiB > 0);
        QVERIFY(space.isBelow(101));
        QVERIFY(!space.isBelow(0));
    }
}

void TestRecord::oldMinuteFilesAreFoundBelowOldestFirst_data()
{
    QTest::addColumn<int>("stopAt");
    QTest::addColumn<int>("kept");
    QTest::newRow("the user waits") << 0 << 2500;
    QTest::newRow("the user stops at 2000") << 2000 << 0;
}

// Minute files in the folder and every folder below it, asking after every thousand; other
// files are not minute files.
void TestRecord::oldMinuteFilesAreFoundBelowOldestFirst()
{
    QFETCH(int, stopAt);
    QFETCH(int, kept);
    QTemporaryDir dir;
    const QStringList folders{"rdata", "alarm", "2024/deeper", ""};
    for (int i = 0; i < 2500; ++i) {
        const QString folder = dir.filePath(folders.at(i % folders.size()));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile(QStringLiteral("%1/%2.rrd0.gz").arg(folder).arg(i)).open(QIODevice::WriteOnly));
    }
    for (const char *other : {"rdata/a.rrd.gz", "rdata/b.rrd0", "notes.txt"})
        QVERIFY(QFile(dir.filePath(other)).open(QIODevice::WriteOnly));
    QList<int> asked;
    const SkFrameTaskRecord::FileList files =
        SkRecordFolder(dir.path()).oldMinuteFiles([&](int found) {
            asked.append(found);
            return found != stopAt;
        });
    QCOMPARE(asked, (QList<int>{1000, 2000}));
    QCOMPARE(files.size(), kept);
    for (int i = 0; i < files.size(); ++i) {
        const QFileInfo info(files.at(i).second);
        QVERIFY(info.isAbsolute() && info.fileName().endsWith(".rrd0.gz"));
        QCOMPARE(files.at(i).first, info.birthTime().isValid() ? info.birthTime() : info.lastModified());
        QVERIFY(i == 0 || files.at(i - 1).first <= files.at(i).first);
    }
    QVERIFY(SkRecordFolder(QString()).oldMinuteFiles().isEmpty());
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_tasks_record.moc"
