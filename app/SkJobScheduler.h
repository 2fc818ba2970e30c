#pragma once
// Runs the window's extraction jobs on the global thread pool, at most one per kind at a
// time, without ever losing the newest request: a job asked for while its kind still runs is
// kept (replacing any older waiting one) and started as soon as the running job ends. So after
// a quick series of requests the last one always runs, and what the window draws ends up
// matching what its controls name.

#include <QFutureWatcher>
#include <QObject>

#include <array>
#include <functional>

class SkJobScheduler : public QObject
{
    Q_OBJECT

public:
    enum Kind { Frame, Row, Column, Info, RgSum, KindCount };
    using Job = std::function<void()>;

    explicit SkJobScheduler(QObject *parent = nullptr);
    // Waits for the running jobs; waiting ones are dropped.
    ~SkJobScheduler() override;

    // Starts `job` now when nothing of `kind` runs, else keeps it to run next. A kind counts
    // as running until the signals its job emitted have reached this thread.
    void schedule(Kind kind, Job job);
    bool isRunning(Kind kind) const;
    bool hasWaiting(Kind kind) const;
    // Nothing runs and nothing waits.
    bool isIdle() const;
    // Drops the waiting jobs and waits for the running ones (closing the window).
    void shutdown();

    static QString kindName(Kind kind);

signals:
    // Every job has ended and none waits.
    void idle();

private:
    struct Slot
    {
        QFutureWatcher<void> *watcher = nullptr; // child of this object
        // Until the watcher's finished signal has been handled: the signals a job emits are
        // queued ahead of it, so its results have been delivered once this is false.
        bool running = false;
        Job waiting;
    };

    void start(Kind kind, Job job);
    void onFinished(Kind kind);

    std::array<Slot, KindCount> m_slots;
    bool m_shutdown = false;
};
