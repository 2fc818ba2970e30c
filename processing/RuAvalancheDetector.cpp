#include "RuAvalancheDetector.h"

#include <algorithm>

void RuAvalancheDetector::initialise(const RuAvalancheParams &params, int rows)
{
    *this = RuAvalancheDetector();
    m_rows = std::max(rows, 0);
    for (int r = std::max(params.firstRangegate, 0); r < m_rows; ++r) {
        if (params.rangegateLimit != 0 && r >= params.rangegateLimit)
            break;
        if (!params.rangegatesToIgnore.contains(r))
            m_active.append(r);
    }
    m_special = params.rangegatesSpecial;
    m_noAlarm = params.rangegatesNoAlarm;
}

RuAvalancheDetector::Outcome RuAvalancheDetector::process(const RuAvalancheParams &params,
                                                          const Input &in,
                                                          RuAvalancheResult &result)
{
    Outcome outcome;
    const int toWard = in.toWardSearch;
    result.status = RuStatusEvaluated;
    if (m_alarmOn) {
        const float off = params.thresholdOff != 0.0f ? params.thresholdOff : params.thresholdOn;
        evaluate(params, in, off, params.sumPerRowMin, result);
    } else {
        evaluate(params, in, params.thresholdOn, params.sumSumMin, result);
    }
    const int peak = result.peakRangegate;
    const int first = result.bestGroup.first;

    if (!result.eventFound) {
        if (m_alarmOn && m_offCounter < toWard) {
            result.status = RuStatusAlarmContinues;
            ++m_offCounter;
        }
    } else if (!m_alarmOn) {
        result.status = RuStatusPreAlarm;
        if (m_rememberedFirst != 0) {
            const int approach = m_rememberedFirst - first;
            if (params.enablePreAlarmSameRgs && m_rememberedPeak == peak && m_rememberedFirst == first)
                result.status = RuStatusPreAlarmSameRgs;
            else if ((approach == 1 || approach == 2) && !m_noAlarm.contains(first))
                switchAlarmOn(params, in, result);
        }
        m_rememberedPeak = peak;
        m_rememberedFirst = first;
        m_memoryCountdown = std::max(toWard, 1) + 1;
    } else {
        result.status = RuStatusAlarmContinues;
        m_offCounter = 0;
        continueAlarm(params, in, result);
    }

    if (m_offCounter == 0) {
        m_lastEventGroup = result.bestGroup;
        m_lastEventGroup.frame = in.frameCounter;
        m_record.lastEventTime = in.time;
        m_record.lastEventFrame = in.frameCounter;
    }

    if (result.status == RuStatusAlarmContinues && result.bestGroup.summed > 0.0f) {
        for (int r = result.bestGroup.first; r <= result.bestGroup.last; ++r) {
            if (m_active.contains(r) && m_special.contains(r)) {
                result.status = RuStatusAlarmSpecial;
                break;
            }
        }
    }

    if (!m_alarmOn)
        checkSymmetry(result, outcome);

    if (result.status == RuStatusEvaluated) {
        if (m_alarmOn) {
            result.status = RuStatusAlarmOff;
            result.peakRangegate = m_previousPeak;
            result.alarmOffGroup = m_lastEventGroup;
            m_record.alarmOffTime = in.time;
            m_record.alarmOffFrame = in.frameCounter;
            m_record.valid = true;
            result.lastAlarm = m_record;
        } else {
            result.status = RuStatusQuiet;
        }
        m_alarmOn = false;
    }

    m_previousPeak = peak;
    m_previousGroup = result.bestGroup;
    if (m_memoryCountdown != 0 && --m_memoryCountdown == 0)
        forgetRememberedEvent();
    if (m_alarmOn)
        forgetRememberedEvent();
    if (m_record.valid)
        result.lastAlarm = m_record;

    outcome.eventFound = result.eventFound;
    outcome.alarmOn = m_alarmOn;
    return outcome;
}

void RuAvalancheDetector::forgetRememberedEvent()
{
    m_rememberedPeak = 0;
    m_rememberedFirst = 0;
    m_memoryCountdown = 0;
}

void RuAvalancheDetector::switchAlarmOn(const RuAvalancheParams &params, const Input &in,
                                        RuAvalancheResult &result)
{
    result.status = RuStatusAlarmOn;
    m_alarmOn = true;
    m_offCounter = 0;
    m_record = RuLastAlarm();
    m_record.channelMaps.resize(m_rows);
    m_record.alarmOnTime = in.time;
    m_record.alarmOnFrame = in.frameCounter;
    m_record.borderLeft = params.borderLeft;
    m_record.borderRight = params.borderRight;
    accumulateSumSum(result.sumSum, in.time);
}

void RuAvalancheDetector::continueAlarm(const RuAvalancheParams &params, const Input &in,
                                        const RuAvalancheResult &result)
{
    accumulateSumSum(result.sumSum, in.time);
    const int length = runLength(params);
    const int maps = std::min(m_record.channelMaps.size(), result.runs.size());
    for (int r = 0; r < maps; ++r) {
        const QVector<int> &starts = result.runs.at(r).starts;
        if (starts.isEmpty())
            continue;
        QBitArray &map = m_record.channelMaps[r];
        if (map.isEmpty())
            map.resize(RuMatrix::ColsAtCompileTime);
        for (int s : starts)
            map.fill(true, s, std::min(s + length, static_cast<int>(RuMatrix::ColsAtCompileTime)));
    }
}

void RuAvalancheDetector::accumulateSumSum(float sumSum, qint64 time)
{
    m_record.summedSumSum += sumSum;
    if (sumSum > m_record.highestSumSum) {
        m_record.highestSumSum = sumSum;
        m_record.highestSumSumTime = time;
    }
}

void RuAvalancheDetector::checkSymmetry(RuAvalancheResult &result, Outcome &outcome)
{
    if (result.symmetricCount > m_active.size() / 2) {
        result.status = RuStatusSymmetric;
        forgetRememberedEvent();
        ++m_symmetricCounter;
        m_symmetricHold = 10;
        if (m_symmetricCounter > 3) {
            outcome.throwBackgroundAway = true;
            result.status = RuStatusSymmetricReset;
            m_symmetricCounter = 0;
        }
    } else if (m_symmetricHold == 0) {
        m_symmetricCounter = 0;
    } else {
        --m_symmetricHold;
    }
}
