#include "SkStreamMonitor.h"

#include "SkFrameStore.h"

#include <algorithm>

namespace {

// The weight of the newest gap in the smoothed frame interval: a few frames follow a change
// of rate, a single late frame does not swing it.
constexpr qint64 IntervalSmoothing = 4;

} // namespace

SkStreamMonitor::SkStreamMonitor(const SkFrameStore *store, QObject *parent)
    : QObject(parent), m_store(store)
{
    connect(store, &SkFrameStore::dataRangeChanged, this, &SkStreamMonitor::onStoreChanged);
}

void SkStreamMonitor::start(const QString &address)
{
    m_address = address;
    m_reason.clear();
    m_retrySeconds = 0;
    m_sinceFrame.invalidate();
    m_intervalMs = 0;
    m_gapIsInterval = false;
    m_storeEnd = m_store->endFrame();
    m_received = 0;
    m_dropped = 0;
    enter(address.isEmpty() ? NoStream : Connecting);
}

void SkStreamMonitor::addDropped(int frames)
{
    if (m_state == NoStream)
        return;
    m_dropped += frames;
    // A dropped frame has arrived too: the stream is not silent.
    framesArrived(frames);
}

void SkStreamMonitor::setLost(const QString &reason)
{
    m_reason = reason;
    m_gapIsInterval = false;
    enter(Lost);
}

void SkStreamMonitor::setRetrying(int seconds)
{
    m_retrySeconds = seconds;
    enter(Retrying);
}

void SkStreamMonitor::setConnecting()
{
    enter(Connecting);
}

void SkStreamMonitor::setBack()
{
    m_reason.clear();
    enter(Receiving);
}

void SkStreamMonitor::setEnded(const QString &reason)
{
    if (m_state == NoStream)
        return;
    m_reason = reason;
    enter(Ended);
}

int SkStreamMonitor::retrySecondsLeft() const
{
    if (m_state != Retrying)
        return 0;
    const qint64 leftMs = m_retrySeconds * 1000LL - m_inState.elapsed();
    return int(std::max<qint64>(0, (leftMs + 999) / 1000));
}

qint64 SkStreamMonitor::msecsSinceFrame() const
{
    return m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : -1;
}

void SkStreamMonitor::enter(State state)
{
    m_inState.start();
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

// The store announces appends (queued from the load task) and its window moving on alike:
// only a larger end is news. Its end is read now, so that an announcement from before a
// clear() counts nothing.
void SkStreamMonitor::onStoreChanged()
{
    const qint64 end = m_store->endFrame();
    if (m_state != NoStream && end > m_storeEnd)
        framesArrived(end - m_storeEnd);
    m_storeEnd = end;
}

void SkStreamMonitor::framesArrived(qint64 frames)
{
    if (m_gapIsInterval) {
        const qint64 gap = m_sinceFrame.elapsed() / std::max<qint64>(1, frames);
        m_intervalMs = m_intervalMs == 0
                           ? gap
                           : (m_intervalMs * (IntervalSmoothing - 1) + gap) / IntervalSmoothing;
    }
    m_sinceFrame.start();
    m_gapIsInterval = true;
    m_received += frames;
    if (m_state == Connecting) {
        // The frame that ends a loss arrives before the loader says the stream is back.
        m_reason.clear();
        enter(Receiving);
    }
}
