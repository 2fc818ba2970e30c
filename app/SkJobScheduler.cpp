#include "SkJobScheduler.h"

#include <QDebug>
#include <QtConcurrent>

SkJobScheduler::SkJobScheduler(QObject *parent) : QObject(parent)
{
    for (int k = 0; k < KindCount; ++k) {
        m_slots[k].watcher = new QFutureWatcher<void>(this);
        connect(m_slots[k].watcher, &QFutureWatcher<void>::finished, this,
                [this, k] { onFinished(static_cast<Kind>(k)); });
    }
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
    m_slots[kind].running = true;
    m_slots[kind].watcher->setFuture(QtConcurrent::run(std::move(job)));
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
    for (Slot &slot : m_slots) {
        slot.waiting = nullptr;
        slot.watcher->waitForFinished();
        slot.running = false;
    }
}
