#pragma once
// The detectors whose alarm is on, as the alarm log tells it: an "alarm on" row starts one,
// its "off" row ends it. Each is kept with the frame (and its time text) it went on at, and
// named as the log's tags name it ("AV0-1", "RAIN0", "WL0").

#include "RuAlarmEvent.h"

#include <QMap>
#include <QString>
#include <QStringList>

class SkActiveAlarms
{
public:
    struct Since
    {
        int frame = -1;
        QString time; // the log's time text (UTC) of that frame; empty when it has none
        int row = -1; // the log's row that says it went on
    };

    // Follows the event logged in `row`; true when the set of alarms on changed.
    bool follow(RuAlarmEvent::Source source, int detector, int status, int row, int frame,
                const QString &time);
    bool isEmpty() const { return m_on.isEmpty(); }
    void clear() { m_on.clear(); }

    // Names of the detectors in alarm: avalanche 0 to 2, then rain, then water level.
    QStringList names() const;
    Since since(const QString &name) const { return m_on.value(keyOf(name)).since; }
    Since since(RuAlarmEvent::Source source, int detector) const
    {
        return m_on.value(keyOf(source, detector)).since;
    }

private:
    struct On
    {
        QString name;
        Since since;
    };
    // Ordered as the log orders a frame's events.
    static int keyOf(RuAlarmEvent::Source source, int detector) { return source * 100 + detector; }
    int keyOf(const QString &name) const;

    QMap<int, On> m_on;
};
