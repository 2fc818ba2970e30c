#pragma once
// One avalanche detector: finds blocks of range gates whose normalised spectrum rises above
// the background on one side of the zero channel ("events"), and turns the sequence of events
// into pre-alarms, alarms and alarm summaries. The engine runs three with their own settings.

#include "RuAvalancheParams.h"
#include "RuAvalancheResult.h"
#include "RuMatrix.h"
#include "RuRowCache.h"

#include <QVector>

class RuAvalancheDetector
{
public:
    // What the engine needs from one frame's decision.
    struct Outcome
    {
        bool eventFound = false;
        bool alarmOn = false;          // after this frame
        bool throwBackgroundAway = false; // repeated symmetric findings (status 16)
    };

    // Per-frame inputs shared by the three detectors.
    struct Input
    {
        const RuMatrix &normalised;
        const RuMatrix &asymmetry;     // N(r, c) + 1 - N(r, 1023 - c)
        qint64 time;                   // microseconds since 1970 UTC
        int frameCounter;
        int toWardSearch;
        // The rows of the two matrices as the detectors of this frame share them (reset for
        // this frame); null: computed for this detector alone.
        RuRowCache *normalisedRows = nullptr;
        RuRowCache *asymmetryRows = nullptr;
    };

    // Builds the active range gates for `rows` and clears everything else, a running alarm too.
    void initialise(const RuAvalancheParams &params, int rows);
    Outcome process(const RuAvalancheParams &params, const Input &in, RuAvalancheResult &result);
    bool alarmOn() const { return m_alarmOn; }
    const QVector<int> &activeRangegates() const { return m_active; }

private:
    void evaluate(const RuAvalancheParams &params, const Input &in, float threshold,
                  float eventLimit, RuAvalancheResult &result) const;
    void switchAlarmOn(const RuAvalancheParams &params, const Input &in,
                       RuAvalancheResult &result);
    void continueAlarm(const RuAvalancheParams &params, const Input &in,
                       const RuAvalancheResult &result);
    void accumulateSumSum(float sumSum, qint64 time);
    void checkSymmetry(RuAvalancheResult &result, Outcome &outcome);
    void forgetRememberedEvent();
    static int runLength(const RuAvalancheParams &params);

    QVector<int> m_active;
    QVector<int> m_special;
    QVector<int> m_noAlarm;
    int m_rows = 0;
    bool m_alarmOn = false;
    int m_rememberedPeak = 0;
    int m_rememberedFirst = 0;
    int m_memoryCountdown = 0;
    int m_previousPeak = 0;
    RuAvalancheGroup m_lastEventGroup;
    RuAvalancheGroup m_previousGroup;
    int m_symmetricCounter = 0;
    int m_symmetricHold = 0;
    int m_offCounter = 0;
    RuLastAlarm m_record;
};
