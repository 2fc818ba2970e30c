#pragma once
// A long-running piece of work on the frame store: the body (process) runs once on a thread
// of the global pool while the object itself belongs to the user-interface thread. The base
// gives every task a name, a cooperative abort request, a final status with an error text and
// the finished signal, after which the owner deletes the task.

#include "SkFrameTaskStatus.h"

#include <QFuture>
#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

class SkFrameStore;

class SkFrameTask : public QObject
{
    Q_OBJECT

public:
    SkFrameTask(SkFrameStore *store, const QString &name, QObject *parent = nullptr);
    ~SkFrameTask() override;

    QString name() const { return m_name; }
    SkFrameTaskStatus status() const;
    QString errorString() const;
    bool isDone() const { return m_done.load(); }
    bool abortRequested() const { return m_abortRequested.load(); }

    // Runs the body on the calling thread and emits finished; a task runs once.
    void run();
    // Runs run() on the global thread pool. Task bodies block for their whole life, so the
    // pool is widened to keep a thread free for the other tasks and the extraction jobs.
    QFuture<void> start();

public slots:
    // Asks the body to stop and wakes the store, so a task asleep in a store wait notices at
    // once. Does not wait for the body to end; takes the store's lock for a moment.
    virtual void abort();
    virtual QString description() const;

signals:
    void framesDropped(int nframes);
    void finished(SkFrameTask *task);

protected:
    // The body; reports failure by throwing std::exception or QString.
    virtual void process() = 0;

    SkFrameStore *store() const { return m_store; }
    const std::atomic_bool *abortFlag() const { return &m_abortRequested; }

private:
    // The body of start() on the pool thread.
    static void runStarted(SkFrameTask *task);
    void fail(const QString &text);

    SkFrameStore *m_store; // not owned
    const QString m_name;
    std::atomic_bool m_abortRequested{false};
    std::atomic_bool m_started{false};
    std::atomic_bool m_done{false};
    mutable std::mutex m_stateMutex; // status and error text are read from other threads
    SkFrameTaskStatus m_status = SkTaskSucceeded;
    QString m_errorString;
};
