#pragma once
// Which live values the engine computes. All off until the user switches them on.

struct RuLiveEnables
{
    bool channel0 = false;
    bool activity = false;       // "#-Sum"
    bool mainVelocity = false;   // "Mode"
    bool maxVelocity = false;
    bool medianVelocity = false;

    bool any() const { return channel0 || activity || mainVelocity || maxVelocity || medianVelocity; }
    bool anyVelocity() const { return mainVelocity || maxVelocity || medianVelocity; }
};
