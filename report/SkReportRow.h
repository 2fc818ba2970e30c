#pragma once
// One row of a report's alarm log: the event as `rrdcli analyze --log` prints it, with its
// time and the range gates it concerns, and their distance from the radar when the frame's
// parameter block gives the range-gate width.

#include "RuAlarmEvent.h"

#include <QPair>
#include <QString>
#include <QVector>

struct SkReportRow
{
    qint64 frame = 0;
    qint64 timeMicros = 0;       // 0 for a frame without time (RAW)
    RuAlarmEvent event;
    // Spans of range gates, each [first, last]: an avalanche group, the two range gates that
    // make the rain activity, the water level's range gate; empty when the event names none.
    QVector<QPair<int, int>> rangegates;
    double rangegateWidth = 0.0; // metres; 0 when the frame does not say

    QString detectorName() const;
    // "16-19", "7, 12"; empty without range gates.
    QString rangegateText() const;
    // "800-1000 m" from the radar, each span from the near edge of its first range gate to
    // the far edge of its last; empty without range gates or width.
    QString distanceText() const;
};
