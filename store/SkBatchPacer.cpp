#include "SkBatchPacer.h"

#include "SkFrameStore.h"

#include <QDebug>

SkBatchPacer::Verdict SkBatchPacer::onAlarmCalculated(int frameno)
{
    if (m_nextAlarmFrame != -1 && m_nextAlarmFrame != frameno) {
        qDebug() << "mnw: ignoring result for" << frameno;
        return Ignore;
    }
    m_nextAlarmFrame = frameno + 1;
    return m_store->isFullUpTo(frameno) ? BatchDue : Accept;
}
