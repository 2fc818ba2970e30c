#pragma once
// Heights of the rain and water-level markers on the activity plot's right axis: the
// thresholds the detectors were given, so a marker sits where its curve crossed.

struct SkActivityMarkerLevels
{
    double rainAlarmOn = 0.0;
    double rainAlarmOff = 0.0;
    double waterlevelIncidentOn = 0.0;
    double waterlevelIncidentOff = 0.0;
    double waterlevelAlarmOn = 0.0;
    double waterlevelAlarmOff = 0.0;
};
