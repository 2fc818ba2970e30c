#pragma once
// The times of the frames the store holds, for the axes that show them: brought up to the
// store's window as it moves, reading only the frames not read before (one short hold of the
// store's lock per move). A window in which a frame carries no time (RAW frames) has no times.

#include <QVector>

class SkFrameStore;

class SkFrameTimes
{
public:
    // Follows the store's window [start, start + length); false when nothing changed.
    bool update(const SkFrameStore &store, int start, int length);
    // Forgets everything (a new open numbers its frames from 0 again).
    void clear();

    int firstFrame() const { return m_first; }
    // Microseconds since 1970 UTC of frames firstFrame(), firstFrame() + 1, ...; empty when a
    // frame held carries no time.
    QVector<qint64> times() const { return timesFrom(m_first); }
    // The times of the frames from `first` on.
    QVector<qint64> timesFrom(int first) const;

private:
    int m_first = 0;
    QVector<qint64> m_times;
    int m_untimed = 0; // frames held without a time
};
