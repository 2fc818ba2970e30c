#pragma once
// The first steps of the result handler that the viewer and `rrdcli watch` share: results
// are taken in frame order only, and the window moves on by a batch only once the alarm
// computation has reached the newest frame of a full window. Releasing earlier would throw
// away frames the alarm task has not analysed yet; it would meet the "already dropped"
// marker, start again from scratch, and alarms would be missed. A stream's store holds
// frames beyond its window while results wait to be taken; they are not waited for.

class SkFrameStore;

class SkBatchPacer
{
public:
    enum Verdict {
        Ignore,   // out of order: drop the result
        Accept,   // in order, the window stays
        BatchDue  // in order, and the next batch may go (play) or be offered (pause)
    };

    explicit SkBatchPacer(const SkFrameStore *store) : m_store(store) {}

    // Expect `firstFrame` next (-1: whatever comes), as when the alarm task is restarted.
    void restart(int firstFrame) { m_nextAlarmFrame = firstFrame; }
    int nextAlarmFrame() const { return m_nextAlarmFrame; }

    Verdict onAlarmCalculated(int frameno);

private:
    const SkFrameStore *m_store; // not owned
    int m_nextAlarmFrame = -1;
};
