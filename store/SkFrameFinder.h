#pragma once
// Finds the frame an operator names, by its number or by a date and time, among the frames the
// store holds: the frame itself, the held frame nearest to the time, or what is held instead.
//
// What may be typed (leading and trailing blanks ignored):
// - a frame number: "1234";
// - a date and time: "2024-02-01 06:05", "2024-02-01 06:05:30", "2024-02-01 06:05:30.250"
//   (a "T" may stand for the blank, up to six decimals of a second);
// - a time of day alone: "06:05:30", on a day the caller gives (the day of the frame shown).
// Times are read in the zone the window shows them in, `offsetHours` east of UTC.
//
// The answer carries numbers and times only; the front end words it.

#include <QDate>
#include <QString>

class SkFrameStore;

class SkFrameFinder
{
public:
    struct Target
    {
        enum Kind { Invalid, Number, Time };
        Kind kind = Invalid;
        int frame = -1;    // Number
        qint64 micros = 0; // Time: microseconds since 1970 UTC
    };

    enum class Outcome {
        Found,        // `frame` is the frame named, or the held frame nearest to the time
        NoLonger,     // before the frames held (they left the store, or never were)
        NotYet,       // after the frames held (not loaded or not received yet)
        Empty,        // the store holds no frame
        NoTimes,      // the frames held carry no time (RAW frames)
    };

    struct Answer
    {
        Outcome outcome = Outcome::Empty;
        int frame = -1;
        qint64 frameMicros = 0; // the time of `frame`, when found by time
        // The frames held, and the times of the earliest and latest of them (when they carry
        // times).
        int first = 0;
        int last = -1;
        bool timed = false;
        qint64 firstMicros = 0;
        qint64 lastMicros = 0;
    };

    // `day` is the day a time of day alone falls on (in the zone of `offsetHours`); without
    // one such a text is invalid.
    static Target parse(const QString &text, int offsetHours, const QDate &day = QDate());
    // The day, in the zone `offsetHours` east of UTC, of a time in microseconds since 1970.
    static QDate dayOf(qint64 micros, int offsetHours);

    // An invalid target finds nothing (Empty).
    static Answer find(const SkFrameStore &store, const Target &target);
};
