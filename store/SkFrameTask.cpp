#include "SkFrameTask.h"

#include "SkFrameStore.h"

#include <QDebug>
#include <QThreadPool>
#include <QtConcurrent>

#include <exception>

namespace {

// Task bodies started through start() that have not returned yet.
std::atomic_int runningTasks{0};

} // namespace

SkFrameTask::SkFrameTask(SkFrameStore *store, const QString &name, QObject *parent)
    : QObject(parent), m_store(store), m_name(name)
{
}

SkFrameTask::~SkFrameTask() = default;

SkFrameTaskStatus SkFrameTask::status() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_status;
}

QString SkFrameTask::errorString() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_errorString;
}

void SkFrameTask::abort()
{
    qDebug().noquote() << "tsk:" << description() << "aborting...";
    m_abortRequested = true;
    if (m_store)
        m_store->wakeAll();
}

QString SkFrameTask::description() const
{
    return m_name;
}

void SkFrameTask::fail(const QString &text)
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_status = SkTaskFailed;
    m_errorString = text;
}

void SkFrameTask::run()
{
    try {
        process();
        if (m_abortRequested) {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            m_status = SkTaskAborted;
        }
    } catch (const QString &text) {
        qDebug().noquote() << "tsk: string caught" << text;
        fail(text);
    } catch (const std::exception &e) {
        qDebug().noquote() << "tsk: exception caught" << e.what();
        fail(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        qDebug().noquote() << "tsk: exception caught" << "unknown exception";
        fail(QStringLiteral("unknown exception"));
    }
    m_done = true;
    // The owner may delete the task as soon as this arrives: nothing touches it afterwards.
    emit finished(this);
}

QFuture<void> SkFrameTask::start()
{
    QThreadPool *pool = QThreadPool::globalInstance();
    const int running = ++runningTasks;
    if (pool->maxThreadCount() < running + 2)
        pool->setMaxThreadCount(running + 2);
    // The set-up done so far (a calculator, a clock) reaches the pool thread through the
    // pool's queue; the flag states that hand-over in a way ThreadSanitizer can follow too.
    m_started.store(true, std::memory_order_release);
    // A function and its argument rather than a lambda's capture: QtConcurrent's own code
    // then reads the task pointer it stored, and our first read on the pool thread is the flag.
    return QtConcurrent::run(pool, &SkFrameTask::runStarted, this);
}

void SkFrameTask::runStarted(SkFrameTask *task)
{
    if (task->m_started.load(std::memory_order_acquire))
        task->run();
    --runningTasks;
}
