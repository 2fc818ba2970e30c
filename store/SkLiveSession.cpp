#include "SkLiveSession.h"

#include "RuAlarmEvents.h"
#include "RuFile.h"
#include "SkAlarmScript.h"
#include "SkBatchPacer.h"
#include "SkFrameStore.h"
#include "SkFrameTaskAlarm.h"
#include "SkFrameTaskLoad.h"


#include <algorithm>
#include <stdexcept>

namespace {

// A running alarm script gets this long to finish when the session ends.
constexpr int ScriptGraceMs = 3000;

// The status-bar message for a task that has ended.
QString taskMessage(const SkFrameTask *task)
{
    switch (task->status()) {
    case SkTaskSucceeded:
        return SkLiveSession::tr("Task %1 finished succesfully!").arg(task->description());
    case SkTaskAborted:
        return SkLiveSession::tr("Task %1 aborted on user request!").arg(task->description());
    default:
        return SkLiveSession::tr("Task %1 finished with error '%2'")
            .arg(task->description(), task->errorString());
    }
}

} // namespace

SkLiveSession::SkLiveSession(QObject *parent)
    : QObject(parent), m_store(new SkFrameStore), m_pacer(new SkBatchPacer(m_store.get())),
      m_script(new SkAlarmScript)
{
    connect(m_script.get(), &SkAlarmScript::message, this, &SkLiveSession::scriptMessage);
    // Queued also when the store emits on this thread: the handler calls back into the store.
    connect(m_store.get(), &SkFrameStore::alarmCalculated, this,
            &SkLiveSession::onStoreAlarmCalculated, Qt::QueuedConnection);
}

SkLiveSession::~SkLiveSession()
{
    for (SkFrameTask *task : {static_cast<SkFrameTask *>(m_loader.get()),
                              static_cast<SkFrameTask *>(m_alarm.get()),
                              static_cast<SkFrameTask *>(m_recorder.get())}) {
        if (task && !task->isDone())
            task->abort();
    }
    m_store->wakeAll();
    m_futures.waitForFinished();
    // Reading the flag each body set last orders its work before the deletion, also for
    // ThreadSanitizer, which cannot see inside the futures' waiting.
    for (const SkFrameTask *task : {static_cast<const SkFrameTask *>(m_loader.get()),
                                    static_cast<const SkFrameTask *>(m_alarm.get()),
                                    static_cast<const SkFrameTask *>(m_recorder.get())}) {
        if (task)
            task->isDone();
    }
    for (const auto &task : m_retired)
        task->isDone();
    m_script->finish(ScriptGraceMs);
}

SkFrameStore *SkLiveSession::store() const
{
    return m_store.get();
}

void SkLiveSession::setCalculator(const RuAlarmCalculator &calculator)
{
    m_calculator = calculator;
}

void SkLiveSession::setAlarmScript(const QString &path)
{
    m_script->setScriptPath(path);
}

template <typename Task>
QFuture<void> SkLiveSession::launch(std::unique_ptr<Task> &holder, Task *task)
{
    holder.reset(task);
    connect(task, &SkFrameTask::finished, this, &SkLiveSession::onTaskFinished,
            Qt::QueuedConnection);
    const QFuture<void> future = task->start();
    m_futures.addFuture(future);
    return future;
}

void SkLiveSession::abortTask(SkFrameTask *task)
{
    if (!task->isDone() && !task->abortRequested())
        task->abort();
}

// A task that is replaced: asked to stop and kept until its finished signal has arrived.
template <typename Task>
void SkLiveSession::retire(std::unique_ptr<Task> &holder)
{
    if (!holder)
        return;
    if (hasEnded(holder.get())) {
        m_ended.remove(holder.get());
        holder.reset();
        return;
    }
    abortTask(holder.get());
    m_retired.push_back(std::unique_ptr<SkFrameTask>(holder.release()));
}

bool SkLiveSession::hasEnded(const SkFrameTask *task) const
{
    return m_ended.contains(task);
}

// ---- Loading --------------------------------------------------------------------------------

void SkLiveSession::open(const QStringList &sources, int windowSize, int batchSize)
{
    m_sources = sources;
    m_windowSize = std::max(1, windowSize);
    m_batchSize = std::max(1, batchSize);
    m_stream = std::any_of(sources.cbegin(), sources.cend(),
                           [](const QString &s) { return RuFile::isStreamAddress(s); });
    reopen();
}

void SkLiveSession::reopen()
{
    if (m_stopping)
        return;
    // The old load goes first: it must not append into the new window.
    retire(m_loader);
    m_loadDone = false;
    m_completeSent = false;
    m_batchOffered = false;
    m_store->clear();
    m_store->setMaxSize(m_windowSize);
    m_paramsLoaded = !m_processParams;
    restartAlarm();
    startLoad();
}

void SkLiveSession::startLoad()
{
    auto *loader = new SkFrameTaskLoad(m_store.get(), m_sources);
    loader->setReconnect(m_reconnect);
    loader->setFrameLimit(m_frameLimit);
    loader->setSilenceTimeout(m_streamTimeout);
    connect(loader, &SkFrameTask::framesDropped, this, &SkLiveSession::framesDropped);
    connect(loader, &SkFrameTaskLoad::streamChanged, this, [this, loader] {
        for (const SkFrameTaskLoad::StreamEvent &event : loader->takeStreamEvents()) {
            if (event.lost)
                emit streamLost(event.reason);
            else
                emit streamBack();
        }
    });
    launch(m_loader, loader);
}

void SkLiveSession::releaseNextBatch()
{
    m_batchOffered = false;
    m_store->releaseFrames(m_batchSize);
}

// ---- Alarm computation ----------------------------------------------------------------------

void SkLiveSession::restartAlarm(const RuAlarmCalculator &calculator)
{
    m_calculator = calculator;
    m_paramsLoaded = true;
    restartAlarm();
}

void SkLiveSession::restartAlarm()
{
    if (m_stopping)
        return;
    if (m_alarm) {
        // The old task must not attach a result after the store has dropped them: it is
        // waited for, which takes at most the computation of one frame.
        abortTask(m_alarm.get());
        m_alarmFuture.waitForFinished();
    }
    retire(m_alarm);
    m_store->clearAlarmResults();
    const int first = m_store->startFrame();
    m_pacer->restart(first);
    m_lastResult = first - 1;
    m_completeSent = false;
    emit alarmRestarting(first);
    disconnect(m_firstFrame);
    m_awaitingFirstFrame = false;
    if (m_paramsLoaded) {
        startAlarmTask();
        return;
    }
    // The radar's own settings come with the first frame: wait for it.
    m_awaitingFirstFrame = true;
    m_firstFrame = connect(
        m_store.get(), &SkFrameStore::dataRangeChanged, this,
        [this](int, int len) {
            if (len > 0)
                onFirstFrame();
        },
        Qt::QueuedConnection);
}

void SkLiveSession::startAlarmTask()
{
    auto *alarm = new SkFrameTaskAlarm(m_store.get());
    *alarm->calculator() = m_calculator;
    m_alarmFuture = launch(m_alarm, alarm);
}

int SkLiveSession::nextAlarmFrame() const
{
    return m_pacer->nextAlarmFrame();
}

void SkLiveSession::onFirstFrame()
{
    // Appends queued before the disconnect still arrive here.
    if (!m_awaitingFirstFrame || m_stopping || m_alarm || m_paramsLoaded) {
        disconnect(m_firstFrame);
        return;
    }
    // Nothing is released before the first result, so the oldest frame is the first. A range
    // announced by the window before a reopen finds the store empty: wait on.
    const SkPacket first = m_store->waitFrame(-1, 0);
    if (!first.hasFrame())
        return;
    disconnect(m_firstFrame);
    m_awaitingFirstFrame = false;
    if (!first.frame().info()) {
        emit processParametersMissing(tr("No process parameters found in rrd_info: the first "
                                         "frame carries no detector settings of the radar"));
        return;
    }
    try {
        m_calculator.fromProcessParameters(first.frame().info());
    } catch (const std::invalid_argument &e) {
        emit processParametersMissing(QString::fromUtf8(e.what()));
        return;
    }
    m_paramsLoaded = true;
    startAlarmTask();
}

void SkLiveSession::onStoreAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &result)
{
    // A result of a task already replaced may still be on its way here.
    if (!m_alarm || !isCurrentResult(frameno, result))
        return;
    const SkBatchPacer::Verdict verdict = m_pacer->onAlarmCalculated(frameno);
    if (verdict == SkBatchPacer::Ignore)
        return;
    if (verdict == SkBatchPacer::BatchDue) {
        if (m_playing && !m_stopping) {
            m_store->releaseFrames(m_batchSize);
        } else if (!m_batchOffered) {
            m_batchOffered = true;
            emit nextBatchAvailable();
        }
    }
    m_lastResult = frameno;
    emit alarmCalculated(frameno, result);
    if (result)
        handleEvents(frameno, *result);
    checkAnalysisComplete();
}

// The result the store holds for the frame: one computed before a restart or reopen is not.
bool SkLiveSession::isCurrentResult(int frameno, const SkAlarmResultSharedPtr &result) const
{
    std::lock_guard<std::mutex> lock(*m_store->mutex());
    return m_store->frameAt(frameno).alarmResult() == result;
}

void SkLiveSession::handleEvents(int frameno, const RuAlarmResult &result)
{
    for (const RuAlarmEvent &event : ruAlarmEvents(result)) {
        emit alarmEvent(frameno, event);
        if (event.isAvalancheAlarmOn()) {
            if (m_recorder) {
                m_recorder->onAlarmStatusChanged(frameno, true);
                emit alarmStatusChanged(frameno, true);
            }
            if (m_recorder || m_scriptPolicy == ScriptAlways)
                m_script->run();
        } else if (event.isAvalancheAlarmOff() && m_recorder) {
            m_recorder->onAlarmStatusChanged(frameno, false);
            emit alarmStatusChanged(frameno, false);
        }
    }
}

// A finished file load is complete once every frame it stored has its result.
void SkLiveSession::checkAnalysisComplete()
{
    if (m_stopping || !m_loadDone || m_completeSent)
        return;
    const int end = m_store->endFrame();
    if (end == 0 || (m_alarm && m_lastResult == end - 1)) {
        m_completeSent = true;
        emit analysisComplete();
    }
}

// ---- Recording and the alarm script ---------------------------------------------------------

void SkLiveSession::startRecording(const RecordOptions &options)
{
    if (m_stopping)
        return;
    stopRecording();
    auto *recorder = new SkFrameTaskRecord(m_store.get(), options.path, options.maxFiles,
                                           options.minFreePercent, options.oldFiles);
    recorder->setStartFrame(options.startFrame);
    connect(recorder, &SkFrameTaskRecord::fileFailed, this, [this, recorder] {
        for (const SkFrameTaskRecord::Failure &failure : recorder->takeFailures())
            emit recordError(failure.file, failure.cause);
    });
    launch(m_recorder, recorder);
    emit recordingChanged(true);
}

void SkLiveSession::stopRecording()
{
    if (!m_recorder)
        return;
    retire(m_recorder);
    emit recordingChanged(false);
}

void SkLiveSession::runAlarmScript()
{
    m_script->run();
}

// ---- Ending ---------------------------------------------------------------------------------

void SkLiveSession::onTaskFinished(SkFrameTask *task)
{
    // Always true once finished is emitted; reading it orders the body's work before the
    // task's deletion here.
    if (!task->isDone())
        return;
    emit taskFinished(task->name(), task->status(), taskMessage(task));
    const auto retired = std::find_if(m_retired.begin(), m_retired.end(),
                                      [task](const auto &t) { return t.get() == task; });
    if (retired != m_retired.end()) {
        m_retired.erase(retired);
    } else {
        m_ended.insert(task);
        if (task == m_loader.get()) {
            m_loadDone = true;
            checkAnalysisComplete();
        } else if (task == m_recorder.get() && !m_stopping) {
            // Ended on its own (fell behind, or could not go on): recording is over.
            stopRecording();
        }
    }
    if (m_stopping)
        advanceStop();
}

bool SkLiveSession::isRunning() const
{
    for (const SkFrameTask *task : {static_cast<const SkFrameTask *>(m_loader.get()),
                                    static_cast<const SkFrameTask *>(m_alarm.get()),
                                    static_cast<const SkFrameTask *>(m_recorder.get())}) {
        if (task && !hasEnded(task))
            return true;
    }
    return !m_retired.empty();
}

void SkLiveSession::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_drainRecorder = true;
    disconnect(m_firstFrame);
    advanceStop();
}

void SkLiveSession::abort()
{
    if (m_stopping && !m_drainRecorder)
        return;
    m_stopping = true;
    m_drainRecorder = false;
    disconnect(m_firstFrame);
    for (SkFrameTask *task : {static_cast<SkFrameTask *>(m_loader.get()),
                              static_cast<SkFrameTask *>(m_alarm.get()),
                              static_cast<SkFrameTask *>(m_recorder.get())}) {
        if (task)
            abortTask(task);
    }
    advanceStop();
}

// The tasks stop one after the other: the loader first, so nothing new arrives, the record
// task last: it writes every frame that arrived and closes its file completely.
void SkLiveSession::advanceStop()
{
    for (SkFrameTask *task : {static_cast<SkFrameTask *>(m_loader.get()),
                              static_cast<SkFrameTask *>(m_alarm.get())}) {
        if (!task || hasEnded(task))
            continue;
        abortTask(task);
        return; // its finished signal brings us back here
    }
    if (m_recorder && !hasEnded(m_recorder.get())) {
        if (m_drainRecorder)
            m_recorder->drainAndStop();
        else
            abortTask(m_recorder.get());
        return;
    }
    if (!m_retired.empty() || m_stoppedSent)
        return;
    m_stoppedSent = true;
    emit stopped();
}
