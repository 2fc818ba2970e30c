#include "SweepTally.h"

namespace cli {

namespace {

int detectorOf(const RuAlarmEvent &event)
{
    switch (event.source) {
    case RuAlarmEvent::Avalanche: return event.detector;
    case RuAlarmEvent::Rain: return 3;
    case RuAlarmEvent::Waterlevel: return 4;
    }
    return -1;
}

bool isPreAlarm(const RuAlarmEvent &event)
{
    if (event.source == RuAlarmEvent::Waterlevel)
        return event.status == RuStatusIncidentOn;
    return event.source == RuAlarmEvent::Avalanche
           && (event.status == RuStatusPreAlarm || event.status == RuStatusPreAlarmSameRgs
               || event.status == RuStatusPreAlarmComing);
}

} // namespace

const std::array<QString, SweepTally::Detectors> &SweepTally::detectorKeys()
{
    static const std::array<QString, Detectors> keys = {
        QStringLiteral("av00"), QStringLiteral("av01"), QStringLiteral("av02"),
        QStringLiteral("rain0"), QStringLiteral("waterlevel0")};
    return keys;
}

int SweepTally::detectorIndex(const QString &key)
{
    for (int i = 0; i < Detectors; ++i)
        if (detectorKeys()[i] == key)
            return i;
    return -1;
}

void SweepTally::count(qint64 frame, qint64 timeMicros, const RuAlarmEvent &event)
{
    // The log holds rain and water-level detector 0 only, the ones parameter files set.
    const int detector = detectorOf(event);
    if (detector < 0)
        return;
    if (event.status == RuStatusAlarmOn) {
        ++alarms[detector];
        alarmsOn.append({frame, timeMicros, detector});
    } else if (isPreAlarm(event)) {
        ++preAlarms[detector];
    }
}

} // namespace cli
