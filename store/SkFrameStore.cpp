#include "SkFrameStore.h"

#include <QDebug>

#include <chrono>
#include <utility>

namespace {

constexpr int InitialCapacity = 100;
using Lock = std::unique_lock<std::mutex>;
using Clock = std::chrono::steady_clock;

// One wait on `condition` until `deadline`; false once the deadline has passed.
bool waitOnce(std::condition_variable &condition, Lock &lock, unsigned long timeout,
              Clock::time_point deadline)
{
    if (timeout == ULONG_MAX) {
        condition.wait(lock);
        return true;
    }
    return condition.wait_until(lock, deadline) == std::cv_status::no_timeout;
}

Clock::time_point deadlineFor(unsigned long timeout)
{
    if (timeout == ULONG_MAX)
        return Clock::time_point::max();
    const auto limit = std::chrono::milliseconds(qMin<unsigned long>(timeout, 1UL << 40));
    return Clock::now() + limit;
}

bool isSet(const std::atomic_bool *flag)
{
    return flag && flag->load();
}

} // namespace

SkFrameStore::SkFrameStore(QObject *parent) : QObject(parent), m_frames(InitialCapacity) {}

SkFrameStore::~SkFrameStore() = default;

bool SkFrameStore::fullLocked() const
{
    return m_end == m_start + m_frames.size();
}

int SkFrameStore::slotOf(int n) const
{
    return n % m_frames.size();
}

const SkPacket &SkFrameStore::heldPacket(int n) const
{
    return m_frames.at(slotOf(n));
}

void SkFrameStore::clear()
{
    Lock lock(m_mutex);
    m_start = m_end = 0;
    m_frames.clear();
    ++m_generation;
    ++m_wakeups;
    m_frameAdded.notify_all();
    m_spaceFreed.notify_all();
    emit dataRangeChanged(0, 0);
}

void SkFrameStore::setMaxSize(int n)
{
    Lock lock(m_mutex);
    n = qMax(0, n);
    // A frame's slot depends on the capacity: the frames kept move to their new slots, and
    // a smaller ring keeps the newest of them.
    QVector<SkPacket> held;
    held.reserve(m_end - m_start);
    for (int i = m_start; i < m_end; ++i)
        held.append(heldPacket(i));
    const int oldStart = m_start;
    m_start = qMax(m_start, m_end - n);
    m_frames = QVector<SkPacket>(n);
    for (int i = m_start; i < m_end; ++i)
        m_frames[slotOf(i)] = held.at(i - oldStart);
    m_spaceFreed.notify_all();
    if (m_start != oldStart)
        emit dataRangeChanged(m_start, m_end - m_start);
}

int SkFrameStore::maxSize() const
{
    Lock lock(m_mutex);
    return m_frames.size();
}

bool SkFrameStore::appendFrame(SkPacket p, unsigned long timeout)
{
    Lock lock(m_mutex);
    return appendLocked(lock, p, timeout, AnyGeneration, nullptr);
}

bool SkFrameStore::appendFrame(SkPacket p, unsigned long timeout, quint64 generation,
                               const std::atomic_bool *abortFlag)
{
    Lock lock(m_mutex);
    return appendLocked(lock, p, timeout, generation, abortFlag);
}

bool SkFrameStore::appendLocked(Lock &lock, SkPacket &p, unsigned long timeout,
                                quint64 generation, const std::atomic_bool *abortFlag)
{
    const Clock::time_point deadline = deadlineFor(timeout);
    const quint64 wakeups = m_wakeups;
    const auto current = [&] { return generation == AnyGeneration || generation == m_generation; };
    // A caller with an abort flag keeps waiting through wake-ups meant for others: a file
    // load must not lose a frame because the record task was stopped.
    while (fullLocked() && current() && !isSet(abortFlag)
           && (abortFlag || wakeups == m_wakeups)) {
        if (!waitOnce(m_spaceFreed, lock, timeout, deadline))
            break;
    }
    if (fullLocked() || !current())
        return false;
    p.setFrameNumber(m_end);
    m_frames[slotOf(m_end)] = p;
    ++m_end;
    m_start = qMax(m_start, m_end - m_frames.size());
    m_frameAdded.notify_all();
    emit dataRangeChanged(m_start, m_end - m_start);
    return true;
}

SkPacket SkFrameStore::waitFrame(int frameNo, unsigned long timeout,
                                 const std::atomic_bool *abortFlag, quint64 *generation)
{
    Lock lock(m_mutex);
    const Clock::time_point deadline = deadlineFor(timeout);
    const quint64 wakeups = m_wakeups;
    const quint64 startGeneration = m_generation;
    while ((m_start == m_end || frameNo >= m_end) && !isSet(abortFlag)
           && wakeups == m_wakeups && startGeneration == m_generation) {
        if (!waitOnce(m_frameAdded, lock, timeout, deadline))
            break;
    }
    if (generation)
        *generation = m_generation;
    if (m_start == m_end)
        return SkPacket();
    if (frameNo == -1)
        return heldPacket(m_start);
    if (frameNo == -2)
        return heldPacket(m_end - 1);
    if (frameNo < m_start) {
        SkPacket dropped;
        dropped.setFrameNumber(-2);
        return dropped;
    }
    return frameAt(frameNo);
}

void SkFrameStore::releaseFrames(int n)
{
    // Released packets are freed here, after the lock, rather than by the load task when it
    // overwrites their slots: the loader is the pipeline's slowest stage.
    QVector<SkPacket> released;
    {
        Lock lock(m_mutex);
        const int count = qBound(0, n, m_end - m_start);
        released.reserve(count);
        for (int i = m_start; i < m_start + count; ++i)
            released.append(std::exchange(m_frames[slotOf(i)], SkPacket()));
        m_start += count;
        m_spaceFreed.notify_all();
        emit dataRangeChanged(m_start, m_end - m_start);
    }
}

void SkFrameStore::clearAlarmResults()
{
    Lock lock(m_mutex);
    for (int i = m_start; i < m_end; ++i)
        m_frames[slotOf(i)].setAlarmResult(SkAlarmResultSharedPtr());
}

int SkFrameStore::startFrame() const
{
    Lock lock(m_mutex);
    return m_start;
}

int SkFrameStore::endFrame() const
{
    Lock lock(m_mutex);
    return m_end;
}

bool SkFrameStore::isFull() const
{
    Lock lock(m_mutex);
    return fullLocked();
}

quint64 SkFrameStore::generation() const
{
    Lock lock(m_mutex);
    return m_generation;
}

bool SkFrameStore::isFullUpTo(int frameNo) const
{
    Lock lock(m_mutex);
    return fullLocked() && m_end > m_start && frameNo == m_end - 1;
}

SkPacket SkFrameStore::frameAt(int n) const
{
    if (n < m_start || n >= m_end)
        return SkPacket();
    return heldPacket(n);
}

int SkFrameStore::frameCount() const
{
    return m_end - m_start;
}

std::mutex *SkFrameStore::mutex() const
{
    return &m_mutex;
}

void SkFrameStore::wakeAll()
{
    Lock lock(m_mutex);
    ++m_wakeups;
    m_frameAdded.notify_all();
    m_spaceFreed.notify_all();
}

void SkFrameStore::onAlarmCalculated(int frameno, SkAlarmResultSharedPtr result)
{
    attachResult(frameno, result, AnyGeneration);
}

void SkFrameStore::onAlarmCalculated(int frameno, SkAlarmResultSharedPtr result,
                                     quint64 generation)
{
    attachResult(frameno, result, generation);
}

// The signals go out after the lock is released: their receivers never need the store
// blocked, and the alarm task moves on sooner.
void SkFrameStore::attachResult(int frameno, const SkAlarmResultSharedPtr &result,
                                quint64 generation)
{
    int start = 0;
    {
        Lock lock(m_mutex);
        if (generation != AnyGeneration && generation != m_generation) {
            qWarning().noquote() << "str:" << this
                                 << "Store alarm calculated for a cleared window!" << frameno;
            return;
        }
        if (frameno < m_start || frameno >= m_end) {
            qWarning().noquote() << "str:" << this << "Store alarm calculated is out of range!"
                                 << frameno << "mFrames:"
                                 << QStringLiteral("[%1:%2;%3]").arg(m_start).arg(m_end).arg(m_end - m_start);
            return;
        }
        m_frames[slotOf(frameno)].setAlarmResult(result);
        start = m_start;
    }
    emit alarmRangeChanged(start, frameno - start);
    emit alarmCalculated(frameno, result);
}
