#pragma once
// Summary of an avalanche detector's running or last completed alarm.

#include <QBitArray>
#include <QVector>
#include <QtGlobal>

struct RuLastAlarm
{
    bool valid = false;              // set when the alarm has gone off
    qint64 alarmOnTime = 0;          // microseconds since 1970 UTC
    int alarmOnFrame = 0;            // the engine's frame counter
    qint64 lastEventTime = 0;
    int lastEventFrame = 0;
    qint64 alarmOffTime = 0;         // when the alarm was actually switched off
    int alarmOffFrame = 0;
    float highestSumSum = 0.0f;
    qint64 highestSumSumTime = 0;
    int borderLeft = 0;              // borders in force at alarm on
    int borderRight = 0;
    float summedSumSum = 0.0f;       // sum of sums accumulated over the alarm
    // Per range gate: 1024 bits, the channels covered by runs during the alarm; empty for a
    // range gate that had none.
    QVector<QBitArray> channelMaps;
};
