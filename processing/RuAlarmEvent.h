#pragma once
// One notable detector event of a frame, as the alarm log and the activity plot's markers
// show it.

#include "RuAlarmStatus.h"

#include <QString>

struct RuAlarmEvent
{
    enum Source { Avalanche, Rain, Waterlevel };

    Source source = Avalanche;
    int detector = 0;          // index of the detector within its kind
    int status = RuStatusDisabled;
    QString tag;               // log column "Event", e.g. "AV0-1 ALARM ON"
    QString marker;            // marker text on the activity plot (may hold a line break)
    QString detail;            // log column "Details": the marker text, avalanche texts on one line

    // Avalanche alarm on/off: what a recording and the alarm script react to.
    bool isAvalancheAlarmOn() const { return source == Avalanche && status == RuStatusAlarmOn; }
    bool isAvalancheAlarmOff() const { return source == Avalanche && status == RuStatusAlarmOff; }
};
