#pragma once
// An alarm on that a report pictures: the frames around it, as the viewer holds them, and
// the range gate shown over time.

#include "SkPacket.h"

#include <QVector>

struct SkReportAlarm
{
    int row = 0;          // the alarm's row in the report's log
    qint64 frame = 0;
    int rangegate = 0;    // the range gate of the view over time
    QVector<SkPacket> window; // consecutive frames, the alarm's among them
    int at = 0;           // the alarm's frame in `window`
};
