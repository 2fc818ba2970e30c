#include "SkActivityMarkerLevels.h"

#include "RuAlarmCalculator.h"

SkActivityMarkerLevels SkActivityMarkerLevels::fromCalculator(const RuAlarmCalculator &calculator)
{
    const RuRainParams &rain = calculator.rainParams(0);
    const RuWaterlevelParams &water = calculator.waterlevelParams(0);
    SkActivityMarkerLevels levels;
    levels.rainAlarmOn = rain.thresholdAlarmOn;
    levels.rainAlarmOff = rain.thresholdAlarmOff != 0.0f ? rain.thresholdAlarmOff
                                                        : rain.thresholdAlarmOn;
    levels.waterlevelIncidentOn = water.thresholdIncidentOn;
    levels.waterlevelIncidentOff = water.thresholdIncidentOff;
    levels.waterlevelAlarmOn = water.thresholdAlarmOn;
    levels.waterlevelAlarmOff = water.thresholdAlarmOff;
    return levels;
}
