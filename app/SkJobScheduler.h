#pragma once
// Runs the window's extraction jobs, at most one per kind at a time, without ever losing the
// newest request: a job asked for while its kind still runs is kept (replacing any older
// waiting one) and started as soon as the running job ends. So after a quick series of
// requests the last one always runs, and what the window draws ends up matching what its
// controls name.
//
// Each kind has a thread of its own (started with its first job), so the jobs of one view never
// wait behind the tasks and jobs of others. A job and its end are handed over under a mutex of
// ours, which ThreadSanitizer can follow through a build of Qt without it.

#include <QObject>

#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class SkCallQueue;

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
    // as running until the end of its job has reached this thread.
    void schedule(Kind kind, Job job);
    // From a running job: `call` runs on this object's thread before the job's end is handled
    // there. Results and ends share one queue, so a kind is never seen idle while a result it
    // made is still on its way (a queue of their own could be woken later, by another thread).
    void deliver(std::function<void()> call);
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
        // This thread's view: running until the job's end has been handled here.
        bool running = false;
        Job waiting;
        // The job handed to the kind's thread, under m_mutex.
        Job handed;
        std::condition_variable handedOver;
        std::thread thread;
    };

    void start(Kind kind, Job job);
    void work(Kind kind);
    void onFinished(Kind kind);

    std::array<Slot, KindCount> m_slots;
    std::mutex m_mutex;
    bool m_stopping = false; // under m_mutex: the threads end once their job has run
    bool m_shutdown = false;
    SkCallQueue *m_calls; // child: the jobs' results and ends, in the order they were posted
};
