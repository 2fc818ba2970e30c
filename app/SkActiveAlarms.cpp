#include "SkActiveAlarms.h"

#include "RuAlarmEvents.h"

bool SkActiveAlarms::follow(RuAlarmEvent::Source source, int detector, int status, int row,
                            int frame, const QString &time)
{
    const int key = keyOf(source, detector);
    if (status == RuStatusAlarmOn) {
        // A repeated "on" keeps the frame the alarm first went on at.
        if (m_on.contains(key))
            return false;
        m_on.insert(key, {ruAlarmDetectorName(source, detector), {frame, time, row}});
        return true;
    }
    return status == RuStatusAlarmOff && m_on.remove(key) > 0;
}

QStringList SkActiveAlarms::names() const
{
    QStringList names;
    for (const On &on : m_on)
        names << on.name;
    return names;
}

int SkActiveAlarms::keyOf(const QString &name) const
{
    for (auto it = m_on.cbegin(); it != m_on.cend(); ++it)
        if (it.value().name == name)
            return it.key();
    return -1;
}
