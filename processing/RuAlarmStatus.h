#pragma once
// Status of one detector result. The numbers are part of the alarm log's vocabulary and of
// every exported result, so they never change.

#include <QtGlobal>

enum RuAlarmStatus : qint32 {
    RuStatusDisabled = 0,          // detector disabled, result untouched
    RuStatusEvaluated = 1,         // evaluated, nothing to report (initial value when enabled)
    RuStatusQuiet = 2,             // nothing to report, alarm off
    RuStatusPreAlarm = 3,          // avalanche: an event without alarm
    RuStatusPreAlarmSameRgs = 4,   // avalanche: pre-alarm on the remembered range gates
    RuStatusPreAlarmComing = 5,    // known to the log only
    RuStatusIncident = 6,          // water level: incident continues
    RuStatusIncidentOn = 7,        // water level
    RuStatusIncidentOff = 8,       // water level
    RuStatusAlarmContinues = 9,
    RuStatusAlarmOn = 10,
    RuStatusAlarmSpecial = 11,     // avalanche: alarm continues on a special range gate
    RuStatusAlarmOff = 12,
    RuStatusSymmetric = 13,        // avalanche: many symmetric range gates
    RuStatusPeakDrop = 14,         // central peak drop, frame skipped
    RuStatusPeakDropReset = 15,    // background reset after five central peak drops
    RuStatusSymmetricReset = 16,   // background reset after repeated symmetric findings
    RuStatusGeometryChanged = 17,
    RuStatusInvalid = 18
};
