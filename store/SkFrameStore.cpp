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

SkFrameStore::SkFrameStore(QObject *parent)
    : QObject(parent), m_capacity(InitialCapacity), m_window(InitialCapacity)
{
}

SkFrameStore::~SkFrameStore() = default;

bool SkFrameStore::fullLocked() const
{
    return m_end == m_start + m_capacity;
}

int SkFrameStore::slotOf(int n) const
{
    return n % m_capacity;
}

const SkPacket &SkFrameStore::heldPacket(int n) const
{
    return m_frames.at(slotOf(n));
}

void SkFrameStore::storeInSlot(int n, const SkPacket &p)
{
    const int slot = slotOf(n);
    if (slot >= m_frames.size())
        m_frames.resize(slot + 1); // grows geometrically, up to the capacity
    m_frames[slot] = p;
}

void SkFrameStore::clear()
{
    QVector<SkPacket> dropped;
    {
        Lock lock(m_mutex);
        m_start = m_end = 0;
        dropped.swap(m_frames);
        m_capacity = 0;
        m_window = 0;
        m_cache.clear();
        ++m_generation;
        ++m_wakeups;
        m_frameAdded.notify_all();
        m_spaceFreed.notify_all();
    }
    emit dataRangeChanged(0, 0);
}

void SkFrameStore::setMaxSize(int n, int headroom)
{
    int start = 0;
    int count = 0;
    bool moved = false;
    QVector<SkPacket> old;
    {
        Lock lock(m_mutex);
        m_window = qMax(0, n);
        n = m_window + qMax(0, headroom);
        // A frame's slot depends on the capacity: the frames kept move to their new slots, and
        // a smaller ring keeps the newest of them.
        const int oldStart = m_start;
        QVector<SkPacket> held;
        held.reserve(m_end - m_start);
        for (int i = m_start; i < m_end; ++i)
            held.append(heldPacket(i));
        m_start = qMax(m_start, m_end - n);
        old.swap(m_frames);
        m_capacity = n;
        m_cache.clear();
        for (int i = m_start; i < m_end; ++i)
            storeInSlot(i, held.at(i - oldStart));
        m_spaceFreed.notify_all();
        moved = m_start != oldStart;
        start = m_start;
        count = m_end - m_start;
    }
    if (moved)
        emit dataRangeChanged(start, count);
}

int SkFrameStore::maxSize() const
{
    Lock lock(m_mutex);
    return m_window;
}

bool SkFrameStore::appendFrame(SkPacket p, unsigned long timeout)
{
    return appendAndEmit(p, timeout, AnyGeneration, nullptr);
}

bool SkFrameStore::appendFrame(SkPacket p, unsigned long timeout, quint64 generation,
                               const std::atomic_bool *abortFlag)
{
    return appendAndEmit(p, timeout, generation, abortFlag);
}

bool SkFrameStore::appendAndEmit(SkPacket &p, unsigned long timeout, quint64 generation,
                                 const std::atomic_bool *abortFlag)
{
    int start = 0;
    int count = 0;
    {
        Lock lock(m_mutex);
        if (!appendLocked(lock, p, timeout, generation, abortFlag))
            return false;
        start = m_start;
        count = m_end - m_start;
    }
    emit dataRangeChanged(start, count);
    return true;
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
    storeInSlot(m_end, p);
    ++m_end;
    m_start = qMax(m_start, m_end - m_capacity);
    m_frameAdded.notify_all();
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
    return frameAtLocked(frameNo);
}

void SkFrameStore::releaseFrames(int n)
{
    QVector<SkPacket> released;
    int start = 0;
    int count = 0;
    {
        Lock lock(m_mutex);
        releaseLocked(n, &released);
        start = m_start;
        count = m_end - m_start;
    }
    emit dataRangeChanged(start, count);
}

void SkFrameStore::releaseBatch(int batch, int lastHandled)
{
    QVector<SkPacket> released;
    int start = 0;
    int count = 0;
    {
        Lock lock(m_mutex);
        const int beyondWindow = qMax(0, m_end - m_start - m_window);
        releaseLocked(qMin(batch + beyondWindow, lastHandled + 1 - m_start), &released);
        start = m_start;
        count = m_end - m_start;
    }
    emit dataRangeChanged(start, count);
}

// The released packets go to `released`, which the caller frees after the lock, rather than
// the load task when it overwrites their slots: the loader is the pipeline's slowest stage.
void SkFrameStore::releaseLocked(int n, QVector<SkPacket> *released)
{
    const int releasing = qBound(0, n, m_end - m_start);
    released->reserve(releasing);
    for (int i = m_start; i < m_start + releasing; ++i)
        released->append(std::exchange(m_frames[slotOf(i)], SkPacket()));
    m_start += releasing;
    forgetCached(-1);
    m_spaceFreed.notify_all();
}

void SkFrameStore::clearAlarmResults()
{
    Lock lock(m_mutex);
    m_cache.clear();
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
    return m_end > m_start && m_end - m_start >= m_window && frameNo >= m_start + m_window - 1
           && frameNo < m_end;
}

SkPacket SkFrameStore::frameAt(int n) const
{
    Lock lock(m_mutex);
    return frameAtLocked(n);
}

SkPacket SkFrameStore::frameAtLocked(int n) const
{
    if (n < m_start || n >= m_end)
        return SkPacket();
    return heldPacket(n);
}

QVector<SkPacket> SkFrameStore::heldPackets(int first, int end) const
{
    Lock lock(m_mutex);
    first = qMax(first, m_start);
    end = qMin(end, m_end);
    QVector<SkPacket> packets;
    packets.reserve(qMax(0, end - first));
    for (int n = first; n < end; ++n)
        packets.append(heldPacket(n));
    return packets;
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
        forgetCached(frameno);
        start = m_start;
    }
    emit alarmRangeChanged(start, frameno - start);
    emit alarmCalculated(frameno, result);
}

SkPacket::MatrixPtr SkFrameStore::cachedMatrix(int frameNo, SkPacketTypeEnum type)
{
    for (int i = 0; i < m_cache.size(); ++i) {
        if (m_cache.at(i).frameNo == frameNo && m_cache.at(i).type == type) {
            const CachedMatrix hit = m_cache.takeAt(i);
            m_cache.append(hit);
            return hit.matrix;
        }
    }
    forgetCached(-1);
    if (m_cache.size() >= CachedMatrices)
        m_cache.removeFirst();
    const SkPacket::MatrixPtr m = heldPacket(frameNo).matrix(type);
    m_cache.append({frameNo, type, m});
    return m;
}

// Drops the cached matrices of frame `frameNo` (its result changed), and those of frames
// that have left the store.
void SkFrameStore::forgetCached(int frameNo)
{
    for (int i = m_cache.size() - 1; i >= 0; --i) {
        const int n = m_cache.at(i).frameNo;
        if (n == frameNo || n < m_start)
            m_cache.removeAt(i);
    }
}
