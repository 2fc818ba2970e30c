#include "RuWaterlevelDetector.h"

#include "RuConditioning.h"

void RuWaterlevelDetector::initialise(const RuWaterlevelParams &)
{
    m_alarmOn = false;
    m_incidentOn = false;
    m_switchTime = 0;
    m_samples.clear();
    m_runningSum = 0.0;
}

void RuWaterlevelDetector::process(const RuWaterlevelParams &params, const RuMatrix &m,
                                   qint64 time, RuWaterlevelResult &result)
{
    if (params.rangegate < 0 || params.rangegate >= m.rows())
        return;
    // A window reaching past the last channel is clipped to the row.
    const float v = static_cast<float>(ruWindowSum(m, params.rangegate, params.chBegin,
                                                   params.chWidth));
    m_runningSum += v;
    m_samples.push_back(v);
    const float value = static_cast<float>(m_runningSum / static_cast<double>(m_samples.size()));
    // The current value is part of the mean, so the oldest leaves once `samples` are held.
    if (static_cast<long long>(m_samples.size()) >= params.samples) {
        m_runningSum -= m_samples.front();
        m_samples.pop_front();
        if (m_samples.empty())
            m_runningSum = 0.0;
    }
    result.value = value;

    RuAlarmStatus status = alarmLevel(params, value, time);
    if (!m_alarmOn && status != RuStatusAlarmOff)
        status = incidentLevel(params, value, time);
    result.status = status;
}

RuAlarmStatus RuWaterlevelDetector::alarmLevel(const RuWaterlevelParams &params, float value,
                                               qint64 time)
{
    if (!m_alarmOn) {
        if (params.thresholdAlarmOn == 0.0f || value <= params.thresholdAlarmOn)
            return RuStatusQuiet;
        // The alarm supersedes the incident: after the alarm the incident has to rise anew.
        m_alarmOn = true;
        m_incidentOn = false;
        m_switchTime = time;
        return RuStatusAlarmOn;
    }
    if (params.thresholdAlarmOff == 0.0f || value <= params.thresholdAlarmOff) {
        m_alarmOn = false;
        m_switchTime = 0;
        return RuStatusAlarmOff;
    }
    return RuStatusAlarmContinues;
}

RuAlarmStatus RuWaterlevelDetector::incidentLevel(const RuWaterlevelParams &params, float value,
                                                  qint64 time)
{
    if (!m_incidentOn) {
        if (params.thresholdIncidentOn == 0.0f || value <= params.thresholdIncidentOn)
            return RuStatusQuiet;
        m_incidentOn = true;
        m_switchTime = time;
        return RuStatusIncidentOn;
    }
    if (params.thresholdIncidentOff == 0.0f || value <= params.thresholdIncidentOff) {
        m_incidentOn = false;
        m_switchTime = 0;
        return RuStatusIncidentOff;
    }
    return RuStatusIncident;
}
