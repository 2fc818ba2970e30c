#pragma once
// Every setting of the detector engine as one value, in the shape the parameter docks and
// parameter files hold it: the live value boxes are kept apart from the "Enable Live" switch
// that gates them, so that a file reads back exactly as it was written.

#include "RuAlarmParams.h"
#include "RuAlarmResult.h"
#include "RuAvalancheParams.h"
#include "RuLiveEnables.h"
#include "RuRainParams.h"
#include "RuWaterlevelParams.h"

#include <array>

class RuAlarmCalculator;

struct RuParameterSet
{
    static constexpr int Detectors = RuAlarmResult::Detectors;

    // Defaults are the engine's own (everything disabled).
    RuAlarmParams general;
    bool liveEnable = false;
    RuLiveEnables liveBoxes;
    std::array<bool, Detectors> avalancheEnable{};
    std::array<RuAvalancheParams, Detectors> avalanche;
    bool rainEnable = false;        // the docks offer rain and water-level detector 0 only
    RuRainParams rain;
    bool waterlevelEnable = false;
    RuWaterlevelParams waterlevel;

    // The live values the engine computes: each box gated by "Enable Live".
    RuLiveEnables effectiveLiveEnables() const;

    // The settings a calculator holds (the live switch is on when any live value is).
    static RuParameterSet fromCalculator(const RuAlarmCalculator &calculator);
    // Hands every setting to the calculator, which then starts afresh at its next frame.
    void applyTo(RuAlarmCalculator &calculator) const;
};
