#pragma once
// What one avalanche detector found in one frame.

#include "RuAlarmStatus.h"
#include "RuLastAlarm.h"

#include <QVector>

// A block of neighbouring qualifying range gates.
struct RuAvalancheGroup
{
    int first = 0;             // lowest range gate
    int last = 0;              // highest range gate
    int count = 0;             // range gates in the group
    int peakRangegate = 0;     // range gate of the highest row activity
    float peak = 0.0f;         // that row activity
    float summed = 0.0f;       // summed row activity
    int frame = 0;             // 0 in a best group; the frame counter in an alarm-off group
};

// Runs found in one range gate of the normalised matrix.
struct RuRangegateRuns
{
    QVector<int> starts;       // first channel of every run
    bool symmetric = false;    // runs only in the normalised matrix, none in the asymmetry
};

struct RuAvalancheResult
{
    RuAlarmStatus status = RuStatusDisabled;
    RuLastAlarm lastAlarm;
    bool eventFound = false;
    int peakRangegate = 0;
    float sumSum = 0.0f;       // total activity of the frame
    int hits = 0;              // runs counted over all qualifying range gates
    RuAvalancheGroup bestGroup;
    RuAvalancheGroup alarmOffGroup; // at alarm off: the last event's best group
    int symmetricCount = 0;
    QVector<RuRangegateRuns> runs;  // one entry per range gate
    QVector<float> rowActivity;     // one entry per range gate
};
