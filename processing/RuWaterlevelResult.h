#pragma once
// What one water-level detector found in one frame.

#include "RuAlarmStatus.h"

struct RuWaterlevelResult
{
    RuAlarmStatus status = RuStatusDisabled;
    float value = 0.0f;            // moving mean of the watched channel sum
};
