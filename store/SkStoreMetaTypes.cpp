#include "SkStoreMetaTypes.h"

#include "RuAlarmEvent.h"
#include "RuMetaTypes.h"
#include "SkActivityPlotId.h"
#include "SkAlarmScript.h"
#include "SkFrameTask.h"
#include "SkFrameTaskStatus.h"

#include <QMetaType>
#include <QPointF>
#include <QVector>

void skRegisterStoreMetaTypes()
{
    qRegisterMetaType<SkFrameTask *>("SkFrameTask*");
    qRegisterMetaType<QVector<double>>("QVector<double>");
    qRegisterMetaType<QVector<QPointF>>("QVector<QPointF>");
    ruRegisterMetaTypes();
    qRegisterMetaType<SkFrameTaskStatus>("SkFrameTaskStatus");
    qRegisterMetaType<SkActivityPlotId>("SkActivityPlotId");
    qRegisterMetaType<QVector<RuAlarmEvent>>("QVector<RuAlarmEvent>");
    qRegisterMetaType<SkAlarmScript::Outcome>("SkAlarmScript::Outcome");
}
