#pragma once
// What one rain detector found in one frame.

#include "RuAlarmStatus.h"

#include <QVector>

struct RuRainResult
{
    RuAlarmStatus status = RuStatusDisabled;
    QVector<float> ratios;         // per range gate: current over background; 0 when ignored
    float activity = 0.0f;
    float summedCurrent = 0.0f;
    float summedBackground = 0.0f;
};
