#pragma once
// The alarm-log events of one result: what the viewer's log and markers and `rrdcli analyze
// --log` show. The texts are fixed English (the log is not translated).

#include "RuAlarmEvent.h"
#include "RuAlarmResult.h"

#include <QVector>

// Events of avalanche detectors 0, 1, 2, then rain detector 0, then water-level detector 0.
QVector<RuAlarmEvent> ruAlarmEvents(const RuAlarmResult &result);

// The event of avalanche detector `index` for its result, if its status is one the log shows.
bool ruAvalancheEvent(int index, const RuAvalancheResult &result, RuAlarmEvent *event);
bool ruRainEvent(int index, const RuRainResult &result, RuAlarmEvent *event);
bool ruWaterlevelEvent(int index, const RuWaterlevelResult &result, RuAlarmEvent *event);

// The detector's name as the log's tags begin with it: "AV0-1", "RAIN0", "WL0".
QString ruAlarmDetectorName(RuAlarmEvent::Source source, int index);

// Avalanche statuses whose event names a group of range gates (its text spans lines, which the
// log flattens).
bool ruAvalancheStatusNamesGroup(int status);
