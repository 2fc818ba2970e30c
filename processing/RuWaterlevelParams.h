#pragma once
// Settings of one water-level detector.

struct RuWaterlevelParams
{
    int chBegin = 0;                   // first channel summed
    int chWidth = 0;                   // channels summed
    int rangegate = 0;                 // the one range gate watched
    int samples = 80;                  // frames in the moving mean
    float thresholdIncidentOn = 0.0f;  // 0 = never
    float thresholdIncidentOff = 0.0f; // 0 = off at once
    float thresholdAlarmOn = 0.0f;     // 0 = never
    float thresholdAlarmOff = 0.0f;    // 0 = off at once
};
