#include "SkFrameTaskAlarm.h"

#include "RuAlarmCalculator.h"
#include "SkFrameStore.h"

#include <climits>

SkFrameTaskAlarm::SkFrameTaskAlarm(SkFrameStore *store, QObject *parent)
    : SkFrameTask(store, QStringLiteral("Alarm"), parent),
      m_calculator(new RuAlarmCalculator), m_generation(store->generation())
{
}

SkFrameTaskAlarm::~SkFrameTaskAlarm() = default;

void SkFrameTaskAlarm::process()
{
    const RuAlarmCalculator snapshot = *m_calculator;
    int next = -1;
    while (!abortRequested()) {
        quint64 generation = 0;
        const SkPacket packet = store()->waitFrame(next, ULONG_MAX, abortFlag(), &generation);
        if (abortRequested())
            break;
        if (generation != m_generation) {
            // The store was cleared: its frames are new ones, evaluated from the oldest with
            // the configured settings and no history.
            m_generation = generation;
            *m_calculator = snapshot;
            next = -1;
        } else if (packet.hasFrame()) {
            next = packet.frameNumber() + 1;
            m_calculator->processFrame(packet.frame(), packet.frame().timeMicros());
            store()->onAlarmCalculated(packet.frameNumber(), m_calculator->lastResult(),
                                       m_generation);
        } else if (packet.frameNumber() == -2) {
            // The frame wanted has left the store: start again at its oldest frame.
            *m_calculator = snapshot;
            next = -1;
        }
    }
}
