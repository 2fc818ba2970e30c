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

#if defined(__SANITIZE_THREAD__)
// Every program of the store calls skRegisterStoreMetaTypes(), which brings this along.
// Qt 5 is not built for ThreadSanitizer and its QMutex sleeps on futexes the sanitizer cannot
// see, so Qt's own hand-overs look like races: the thread pool's queue, wait conditions and
// list of idle threads, the runnable QtConcurrent::run builds, the event a queued signal
// posts (the queue it grows, the arguments the receiver unpacks, the event it deletes) and
// QTest's watchdog. Our code synchronises through std::mutex and atomics, which it sees.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QWaitCondition::wakeAll\n"
           "race:QThreadPoolPrivate::reset\n"
           "race:QThreadPoolPrivate::enqueueTask\n"
           "race:qtconcurrentrun.h\n"
           "race:QListData::detach_grow\n"
           "race:QListData::realloc_grow\n"
           "race:QArrayData::allocate\n"
           "race:QCoreApplicationPrivate::sendPostedEvents\n"
           "race:QCoreApplication::removePostedEvents\n"
           "race:QMetaType::destroy\n"
           "race_top:memmove\n"
           "race_top:qobjectdefs_impl.h\n"
           "race:QTest::qRun\n";
}
#endif

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
