#pragma once
// The alarm log as CSV: one writer for `rrdcli analyze --log` (and the other commands that
// print log rows) and the viewer's "Export log...", so that a log exported from the window
// and the one the command line prints for the same file are the same bytes.
//
// Rows are "frame,event,details" or, with the time column, "frame,time,event,details"; the
// time is the frame's in UTC, ISO 8601 to the millisecond, empty for a frame without one.
// Every line ends with a line break; texts are UTF-8.

#include "RuAlarmEvent.h"

#include <QByteArray>
#include <QString>

// A CSV field, quoted when it holds a separator, a quote or a line break.
QByteArray ruCsvField(const QString &text);

// The header line.
QByteArray ruAlarmLogCsvHeader(bool withTime);

// The time column's text of a frame stamped `timeMicros` (since 1970 UTC), e.g.
// "2024-02-01T06:03:21.000Z"; a time between two milliseconds counts as the earlier one.
QByteArray ruAlarmLogCsvTime(qint64 timeMicros);

// One row; `time` null leaves the time column out, an empty one writes it empty.
QByteArray ruAlarmLogCsvRow(qint64 frame, const QByteArray *time, const QString &tag,
                            const QString &detail);
inline QByteArray ruAlarmLogCsvRow(qint64 frame, const RuAlarmEvent &event)
{
    return ruAlarmLogCsvRow(frame, nullptr, event.tag, event.detail);
}
