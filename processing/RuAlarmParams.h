#pragma once
// General settings of the detector engine. Defaults are the engine's own, used until a
// parameter file, the dock or the radar's process parameters say otherwise.

struct RuAlarmParams
{
    int bgLength = 10;        // frames averaged into one background candidate
    int bgDelay = 40;         // candidates the background lags behind
    int avgTime = 1;          // frames in the time average
    int avgSpectrum = 0;      // radius n of the spectral average over 2n+1 channels
    int toWardSearch = 10;    // frames an approaching event is searched for, and the alarm-off delay
    int liveChBegin = 100;    // first channel of the live activity window
    int liveChEnd = 924;      // end (exclusive) of the live activity window
    int liveVelocityChBegin = 20;
    float liveVelocityLowLimit = 50.0f;
    int liveVelocitySource = 0; // 0 = filtered ("Raw"), 1 = normalised ("Normalized")
};
