#pragma once
// What the task tests share: simulated recordings, reading a file back, running a task on
// the pool for the length of a scope, and `rrdcli serve` as the radar.

#include "SkFrameStore.h"
#include "SkFrameTask.h"

#include "RuFile.h"
#include "RuSimulator.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFuture>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace tasktest {

constexpr int Long = 60000; // generous time-out of every wait, in ms

inline RuSimulatorOptions smallScene(int frames, int rangegates = 3)
{
    RuSimulatorOptions options;
    options.scenario = RuScenario::Avalanche;
    options.frames = frames;
    options.rangegates = rangegates;
    return options;
}

inline QString writeRecording(const QTemporaryDir &dir, const QString &name, int frames)
{
    const QString path = dir.filePath(name);
    RuSimulator simulator(smallScene(frames));
    QString error;
    if (!simulator.writeRecording(path, &error))
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(error));
    return path;
}

// Frames in a file, read to its end; -1 when it does not read cleanly to its end.
inline int framesInFile(const QString &path)
{
    RuFile file;
    file.open(path, 'r', 0);
    int n = 0;
    for (RuFrame frame; file.isOpen(); frame = RuFrame()) {
        if (!file.readFrame(frame))
            return file.atEnd() ? n : -1;
        ++n;
    }
    return -1;
}

inline void appendFrames(SkFrameStore &store, const RuSimulator &simulator, int first, int count)
{
    for (int i = first; i < first + count; ++i)
        QVERIFY(store.appendFrame(SkPacket(simulator.frame(i), -1), 0));
}

inline QString rrdcli()
{
    return QString::fromLocal8Bit(qgetenv("SK_BIN_DIR")) + QStringLiteral("/rrdcli");
}

// Reads the process's output until `done` holds for it; false on time-out.
template <typename Predicate>
bool readUntil(QProcess &p, QByteArray *out, Predicate done)
{
    QDeadlineTimer deadline(Long);
    while (!done(*out)) {
        if (deadline.hasExpired() || p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(200);
        out->append(p.readAllStandardOutput());
    }
    return true;
}

// Starts `rrdcli serve` with `args`; the port it serves on, or 0.
inline int startServe(QProcess &serve, const QStringList &args)
{
    serve.start(rrdcli(), QStringList{"serve"} + args);
    QByteArray served;
    if (!readUntil(serve, &served, [](const QByteArray &o) { return o.contains('\n'); }))
        return 0;
    static const QRegularExpression port(QStringLiteral("serving on 127\\.0\\.0\\.1:(\\d+)"));
    const QRegularExpressionMatch match = port.match(QString::fromLatin1(served));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// Starts a task on the pool and waits for its end when it goes out of scope.
template <typename Task>
struct Running
{
    std::unique_ptr<Task> task;
    QFuture<void> future;

    explicit Running(Task *t) : task(t), future(t->start()) {}
    ~Running()
    {
        if (!task->isDone())
            task->abort();
        future.waitForFinished();
        // Reading the flag the body set last orders its work before the deletion, also for
        // ThreadSanitizer, which cannot see inside the pool's own waiting.
        QVERIFY(task->isDone());
    }
    bool waitDone() { return QTest::qWaitFor([this] { return task->isDone(); }, Long); }
};

// A small tmpfs mounted for the life of the object (needs the right to mount).
struct SmallDisk
{
    QString path;
    bool mounted = false;
    QString why;

    SmallDisk(const QString &at, const QString &size) : path(at)
    {
        QDir().mkpath(path);
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", path});
        mounted = mount.waitForFinished(Long) && mount.exitStatus() == QProcess::NormalExit
                  && mount.exitCode() == 0;
        why = QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
    }
    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {path});
    }
    // Fills the disk with one file; false when it did not fill up.
    bool fill(const QString &filler)
    {
        QFile file(filler);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'x');
        while (file.write(block) == block.size() && file.flush()) {
        }
        return true;
    }
};

} // namespace tasktest
