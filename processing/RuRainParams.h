#pragma once
// Settings of one rain detector.

#include <QVector>

struct RuRainParams
{
    float thresholdAlarmOn = 0.0f;   // 0 = never
    float thresholdAlarmOff = 0.0f;  // 0 = use thresholdAlarmOn
    int chBegin = 0;                 // first channel summed
    int chWidth = 512;               // channels summed
    int avgTime = 1;                 // frames in the rain time average
    int avgSpectrum = 0;             // radius of the rain spectral average
    int bgFrameDelay = 100;          // row-sum vectors in the rain background queue
    QVector<int> rangegatesToIgnore;
};
