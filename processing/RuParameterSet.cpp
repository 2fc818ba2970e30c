#include "RuParameterSet.h"

#include "RuAlarmCalculator.h"

RuLiveEnables RuParameterSet::effectiveLiveEnables() const
{
    RuLiveEnables e;
    e.channel0 = liveEnable && liveBoxes.channel0;
    e.activity = liveEnable && liveBoxes.activity;
    e.mainVelocity = liveEnable && liveBoxes.mainVelocity;
    e.maxVelocity = liveEnable && liveBoxes.maxVelocity;
    e.medianVelocity = liveEnable && liveBoxes.medianVelocity;
    return e;
}

RuParameterSet RuParameterSet::fromCalculator(const RuAlarmCalculator &calculator)
{
    RuParameterSet set;
    set.general = calculator.alarmParams();
    set.liveBoxes = calculator.liveEnables();
    set.liveEnable = set.liveBoxes.any();
    for (int k = 0; k < Detectors; ++k) {
        set.avalancheEnable[k] = calculator.avalancheEnable(k);
        set.avalanche[k] = calculator.avalancheParams(k);
    }
    set.rainEnable = calculator.rainEnable(0);
    set.rain = calculator.rainParams(0);
    set.waterlevelEnable = calculator.waterlevelEnable(0);
    set.waterlevel = calculator.waterlevelParams(0);
    return set;
}

void RuParameterSet::applyTo(RuAlarmCalculator &calculator) const
{
    calculator.setAlarmParams(general);
    calculator.setLiveEnables(effectiveLiveEnables());
    for (int k = 0; k < Detectors; ++k) {
        calculator.setAvalancheEnable(k, avalancheEnable[k]);
        calculator.setAvalancheParams(k, avalanche[k]);
    }
    calculator.setRainEnable(0, rainEnable);
    calculator.setRainParams(0, rain);
    calculator.setWaterlevelEnable(0, waterlevelEnable);
    calculator.setWaterlevelParams(0, waterlevel);
}
