#include "SkJobScheduler.h"

#include "SkCallQueue.h"

#include <QDebug>

SkJobScheduler::SkJobScheduler(QObject *parent) : QObject(parent), m_calls(new SkCallQueue(this))
{
}

SkJobScheduler::~SkJobScheduler()
{
    shutdown();
}

QString SkJobScheduler::kindName(Kind kind)
{
    static const char *const names[KindCount] = {"frame", "row", "column", "info", "rg sum"};
    return QString::fromLatin1(names[kind]);
}

void SkJobScheduler::schedule(Kind kind, Job job)
{
    if (m_shutdown)
        return;
    Slot &slot = m_slots[kind];
    if (slot.running) {
        qDebug().noquote() << "mnw: extract" << kindName(kind) << "deferred";
        slot.waiting = std::move(job);
        return;
    }
    start(kind, std::move(job));
}

void SkJobScheduler::start(Kind kind, Job job)
{
    Slot &slot = m_slots[kind];
    slot.running = true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        slot.handed = std::move(job);
    }
    if (slot.thread.joinable())
        slot.handedOver.notify_one();
    else
        slot.thread = std::thread(&SkJobScheduler::work, this, kind);
}

// A job handed over before the scheduler stopped still runs: it counts as started.
void SkJobScheduler::work(Kind kind)
{
    Slot &slot = m_slots[kind];
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        slot.handedOver.wait(lock, [&] { return slot.handed || m_stopping; });
        if (!slot.handed)
            return;
        Job job = std::move(slot.handed);
        slot.handed = nullptr;
        lock.unlock();
        job();
        job = nullptr;
        m_calls->post([this, kind] { onFinished(kind); });
        lock.lock();
    }
}

void SkJobScheduler::onFinished(Kind kind)
{
    Slot &slot = m_slots[kind];
    slot.running = false;
    if (slot.waiting && !m_shutdown) {
        Job next = std::move(slot.waiting);
        slot.waiting = nullptr;
        start(kind, std::move(next));
        return;
    }
    if (isIdle())
        emit idle();
}

void SkJobScheduler::deliver(std::function<void()> call)
{
    m_calls->post(std::move(call));
}

bool SkJobScheduler::isRunning(Kind kind) const
{
    return m_slots[kind].running;
}

bool SkJobScheduler::hasWaiting(Kind kind) const
{
    return bool(m_slots[kind].waiting);
}

bool SkJobScheduler::isIdle() const
{
    for (const Slot &slot : m_slots) {
        if (slot.running || slot.waiting)
            return false;
    }
    return true;
}

void SkJobScheduler::shutdown()
{
    m_shutdown = true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    for (Slot &slot : m_slots) {
        slot.waiting = nullptr;
        slot.handedOver.notify_one();
        if (slot.thread.joinable())
            slot.thread.join();
        slot.running = false;
    }
}
