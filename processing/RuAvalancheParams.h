#pragma once
// Settings of one avalanche detector (there are three, run on the same normalised frame).

#include <QVector>

struct RuAvalancheParams
{
    int firstRangegate = 0;          // range gates below it are not evaluated
    int rangegateLimit = 0;          // when non-zero, range gates from it upwards are not evaluated
    QVector<int> rangegatesToIgnore;
    QVector<int> rangegatesSpecial;  // raise the special message during an alarm
    QVector<int> rangegatesNoAlarm;  // an approaching event there does not switch the alarm on
    int borderLeft = 20;             // channels cut off at the low end
    int borderRight = 20;            // channels cut off at the high end
    float thresholdOn = 2.4f;        // normalised level a channel must exceed
    float thresholdOff = 2.4f;       // level while the alarm is on; 0 = use thresholdOn
    int lengthMin = 8;               // channels in one run
    int perRowMin = 2;               // runs a range gate needs
    int perColMin = 2;               // consecutive range gates a group needs
    float sumPerRowMin = 280.0f;     // row activity a range gate needs
    float sumSumMin = 900.0f;        // total activity an event needs
    bool enablePreAlarmSameRgs = true;
};
