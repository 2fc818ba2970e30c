#pragma once
// Heights of the rain and water-level markers on the activity plot's right axis: the
// thresholds the detectors were given, so a marker sits where its curve crossed.

class RuAlarmCalculator;

struct SkActivityMarkerLevels
{
    double rainAlarmOn = 0.0;
    double rainAlarmOff = 0.0;
    double waterlevelIncidentOn = 0.0;
    double waterlevelIncidentOff = 0.0;
    double waterlevelAlarmOn = 0.0;
    double waterlevelAlarmOff = 0.0;

    // The thresholds of rain detector 0 and water-level detector 0 of `calculator`. A rain
    // alarm-off threshold of 0 means the alarm-on threshold, and so does its marker's height.
    static SkActivityMarkerLevels fromCalculator(const RuAlarmCalculator &calculator);
};
