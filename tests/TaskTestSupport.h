#pragma once
// What the task tests share: simulated recordings, reading a file back, running a task on
// the pool for the length of a scope, and `rrdcli serve` as the radar.

#include "SkFrameStore.h"
#include "SkFrameTask.h"
#include "SmallDisk.h"

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

} // namespace tasktest
