#pragma once
// The operator's known events, read from a CSV file, and how a parameter set of a sweep did
// against them.
//
// The file holds one event a line, `start,end[,detector]`: start and end both frame numbers
// (as the alarm log counts them) or both UTC times (2024-02-01T06:03:45Z, 2024-02-01
// 06:03:45.500, a time without zone being UTC), the detector one of av00, av01, av02, rain0,
// waterlevel0 or empty for any. Blank lines and lines starting with # are passed over, and so
// is a first line `start,end,...`.
//
// An alarm on lies within an event when its detector is the event's (or the event names
// none) and its time lies between the event's start and end, widened by the tolerance on
// both sides; an event given in frame numbers spans the times of those frames. Frames
// without a time (RAW) are matched by frame number alone, and there the tolerance and the
// delay do not apply. An event is caught when an alarm on lies within it, else missed; an
// alarm on within no event is a false alarm. The delay of a caught event runs from its start
// to the first alarm within it (negative when the alarm came inside the tolerance before).
//
// The score is 2 caught / (2 caught + missed + false alarms): 1 when every event alarms and
// nothing else does, 0 when no event is caught; a missed event and a false alarm weigh the
// same.

#include "SweepTally.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace cli {

struct SweepEvent
{
    int line = 0;            // in the file, from 1
    bool byFrame = true;     // start and end are frame numbers, else microseconds since 1970
    qint64 start = 0;
    qint64 end = 0;          // inclusive
    int detector = -1;       // SweepTally::detectorKeys() index; -1 any
};

struct SweepScore
{
    int caught = 0;
    int missed = 0;
    int falseAlarms = 0;
    bool hasDelay = false;
    double meanDelaySeconds = 0.0;
    double score = 0.0;

    // Better first: higher score, then fewer false alarms, then a shorter mean delay.
    static bool better(const SweepScore &a, const SweepScore &b);
};

class SweepEvents
{
public:
    // False with the reason, naming the file and line, in `error`.
    static bool read(const QString &path, SweepEvents *events, QString *error);

    bool isEmpty() const { return m_events.isEmpty(); }
    const QVector<SweepEvent> &events() const { return m_events; }

    // `frameTimes` holds the time of every frame read, by frame number.
    SweepScore score(const SweepTally &tally, const QVector<qint64> &frameTimes,
                     double toleranceSeconds) const;
    // Why events cannot be caught in these frames, one text per such event: one that starts
    // after the last frame, or is given as times while the frames carry none.
    QStringList unreachable(const QVector<qint64> &frameTimes) const;

private:
    QVector<SweepEvent> m_events;
};

} // namespace cli
