#pragma once
// One water-level detector: watches the spectral energy in a channel window of one range
// gate and raises an incident level and an alarm level on the moving mean of that energy.

#include "RuMatrix.h"
#include "RuWaterlevelParams.h"
#include "RuWaterlevelResult.h"

#include <QtGlobal>

#include <deque>

class RuWaterlevelDetector
{
public:
    // Clears the moving mean and both levels.
    void initialise(const RuWaterlevelParams &params);
    // `m` is the frame matrix as the engine hands it on (spectrally averaged when the engine
    // averages). Leaves the status alone when the watched range gate is not in the frame.
    void process(const RuWaterlevelParams &params, const RuMatrix &m, qint64 time,
                 RuWaterlevelResult &result);

    bool alarmOn() const { return m_alarmOn; }
    bool incidentOn() const { return m_incidentOn; }
    qint64 switchTime() const { return m_switchTime; } // 0 after a switch off
    int sampleCount() const { return static_cast<int>(m_samples.size()); }

private:
    RuAlarmStatus alarmLevel(const RuWaterlevelParams &params, float value, qint64 time);
    RuAlarmStatus incidentLevel(const RuWaterlevelParams &params, float value, qint64 time);

    bool m_alarmOn = false;
    bool m_incidentOn = false;
    qint64 m_switchTime = 0;
    std::deque<float> m_samples;   // oldest first
    double m_runningSum = 0.0;     // double: a float sum keeps the error of a spike for good
};
