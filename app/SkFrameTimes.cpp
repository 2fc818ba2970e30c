#include "SkFrameTimes.h"

#include "SkFrameStore.h"

#include <limits>

namespace {

constexpr qint64 NoTime = std::numeric_limits<qint64>::min();

} // namespace

bool SkFrameTimes::update(const SkFrameStore &store, int start, int length)
{
    const int end = start + length;
    const int knownEnd = m_first + m_times.size();
    if (start == m_first && end == knownEnd)
        return false;
    // A window that starts before the one known, or has shrunk, belongs to another open.
    if (start < m_first || end < knownEnd || start > knownEnd) {
        clear();
        m_first = start;
    }
    const int drop = start - m_first;
    for (int i = 0; i < drop; ++i)
        m_untimed -= m_times[i] == NoTime ? 1 : 0;
    if (drop > 0)
        m_times.remove(0, drop);
    m_first = start;
    const QVector<SkPacket> added = store.heldPackets(m_first + m_times.size(), end);
    for (const SkPacket &packet : added) {
        const bool timed = packet.frame().hasStamp();
        m_untimed += timed ? 0 : 1;
        m_times.append(timed ? packet.frame().timeMicros() : NoTime);
    }
    return true;
}

void SkFrameTimes::clear()
{
    m_first = 0;
    m_times.clear();
    m_untimed = 0;
}

QVector<qint64> SkFrameTimes::timesFrom(int first) const
{
    const int skip = first - m_first;
    if (m_untimed > 0 || skip < 0 || skip > m_times.size())
        return QVector<qint64>();
    return m_times.mid(skip);
}
