#include "SkLiveSession.h"

#include "RuAlarmEvents.h"
#include "RuFile.h"
#include "SkAlarmScript.h"
#include "SkBatchPacer.h"
#include "SkFrameStore.h"
#include "SkFrameTaskAlarm.h"
#include "SkFrameTaskLoad.h"
#include "SkStreamMonitor.h"

#include <algorithm>
#include <stdexcept>

namespace {

// A running alarm script gets this long to finish when the session ends.
constexpr int ScriptGraceMs = 3000;

// The share of a stream's window its store may hold beyond it (at least a batch): the frames
// that arrive while this thread is busy and the window cannot move on.
constexpr int StreamHeadroomDivisor = 2;

const char *const NoSettingsText = "No process parameters found in rrd_info: the first frame "
                                   "carries no detector settings of the radar";

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
      m_script(new SkAlarmScript), m_streamMonitor(new SkStreamMonitor(m_store.get()))
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
        addRecordCounts(&m_endedRecordings, holder.get());
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

// ---- State ----------------------------------------------------------------------------------

bool SkLiveSession::isStopping() const
{
    return m_state == Stopping || m_state == Aborting || m_state == Stopped;
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
    if (isStopping())
        return;
    // The old load goes first: it must not append into the new window.
    retire(m_loader);
    m_store->clear();
    // The radar does not wait: its frames must find room while a result waits to be taken.
    const int headroom = m_stream ? std::max(m_windowSize / StreamHeadroomDivisor, m_batchSize) : 0;
    m_store->setMaxSize(m_windowSize, headroom);
    m_state = m_processParams ? AwaitingSettings : Analysing;
    restartAlarmTask();
    startLoad();
}

void SkLiveSession::startLoad()
{
    auto *loader = new SkFrameTaskLoad(m_store.get(), m_sources);
    loader->setReconnect(m_reconnect);
    loader->setFrameLimit(m_frameLimit);
    loader->setSilenceTimeout(m_streamTimeout);
    m_streamMonitor->start(m_stream ? m_sources.value(0) : QString());
    connect(loader, &SkFrameTask::framesDropped, this, &SkLiveSession::framesDropped);
    // A load replaced by a reopen speaks no more for the stream.
    connect(loader, &SkFrameTask::framesDropped, this, [this, loader](int frames) {
        if (loader == m_loader.get())
            m_streamMonitor->addDropped(frames);
    });
    connect(loader, &SkFrameTaskLoad::streamChanged, this, [this, loader] {
        const SkFrameTaskLoad::StreamEvent event = loader->takeStreamEvent();
        if (loader == m_loader.get())
            onStreamEvent(event);
    });
    launch(m_loader, loader);
}

void SkLiveSession::onStreamEvent(const SkFrameTaskLoad::StreamEvent &event)
{
    switch (event.kind) {
    case SkFrameTaskLoad::StreamEvent::Lost:
        m_streamMonitor->setLost(event.reason);
        emit streamLost(event.reason);
        break;
    case SkFrameTaskLoad::StreamEvent::Retrying:
        m_streamMonitor->setRetrying(event.retrySeconds);
        break;
    case SkFrameTaskLoad::StreamEvent::Connecting:
        m_streamMonitor->setConnecting();
        break;
    case SkFrameTaskLoad::StreamEvent::Back:
        m_streamMonitor->setBack();
        emit streamBack();
        break;
    }
}

void SkLiveSession::releaseNextBatch()
{
    if (m_state == BatchOffered)
        m_state = Analysing;
    m_batchOffered = false;
    m_store->releaseFrames(m_batchSize);
}

bool SkLiveSession::loadEnded() const
{
    return m_loader && hasEnded(m_loader.get());
}

void SkLiveSession::onLoadEnded()
{
    if (m_state == AwaitingSettings && m_store->endFrame() == 0) {
        disconnect(m_firstFrame);
        m_state = SettingsMissing;
        // A failed load has said why already.
        if (m_loader->status() == SkTaskSucceeded)
            emit processParametersMissing(tr(NoSettingsText));
    }
    checkAnalysisComplete();
}

// ---- Alarm computation ----------------------------------------------------------------------

void SkLiveSession::restartAlarm(const RuAlarmCalculator &calculator)
{
    if (isStopping())
        return;
    m_calculator = calculator;
    m_state = Analysing;
    restartAlarmTask();
}

void SkLiveSession::restartAlarm()
{
    if (isStopping())
        return;
    if (m_state == SettingsMissing)
        m_state = AwaitingSettings;
    else if (m_state != AwaitingSettings)
        m_state = Analysing;
    restartAlarmTask();
}

bool SkLiveSession::takeProcessParameters(const SkPacket &packet, const RuAlarmCalculator &base)
{
    RuAlarmCalculator calculator = base;
    if (isStopping() || !applyProcessParameters(packet, &calculator, nullptr))
        return false;
    emit processParametersTaken(calculator);
    restartAlarm(calculator);
    return true;
}

// Drops the results of the old computation and starts the new one, or waits for the settings.
void SkLiveSession::restartAlarmTask()
{
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
    disconnect(m_firstFrame);
    disconnect(m_passingFrames);
    m_batchOffered = false;
    emit alarmRestarting(first);
    if (m_state == AwaitingSettings)
        awaitSettings();
    else
        startAlarmTask();
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

// The radar's own settings come with the first frame. Nothing is released before the first
// result, so the oldest frame held is the first one; a restart after the settings were found
// missing looks at the oldest frame still held.
void SkLiveSession::awaitSettings()
{
    m_firstFrame = connect(
        m_store.get(), &SkFrameStore::dataRangeChanged, this,
        [this](int, int len) {
            if (len > 0)
                onFirstFrame();
        },
        Qt::QueuedConnection);
    if (m_store->endFrame() > m_store->startFrame())
        onFirstFrame();
}

void SkLiveSession::onFirstFrame()
{
    // Appends queued before the disconnect still arrive here.
    if (m_state != AwaitingSettings) {
        disconnect(m_firstFrame);
        return;
    }
    // A range announced by the window before a reopen finds the store empty: wait on.
    const SkPacket first = m_store->waitFrame(-1, 0);
    if (!first.hasFrame())
        return;
    disconnect(m_firstFrame);
    QString why;
    if (!applyProcessParameters(first, &m_calculator, &why)) {
        m_state = SettingsMissing;
        emit processParametersMissing(why);
        passFramesWithoutResults();
        return;
    }
    m_state = Analysing;
    emit processParametersTaken(m_calculator);
    startAlarmTask();
}

// The radar's settings of the packet's frame on top of `calculator`; false with the reason
// when it carries none.
bool SkLiveSession::applyProcessParameters(const SkPacket &packet, RuAlarmCalculator *calculator,
                                           QString *why) const
{
    if (!packet.hasFrame() || !packet.frame().hasInfo()) {
        if (why)
            *why = tr(NoSettingsText);
        return false;
    }
    RuAlarmCalculator taken = *calculator;
    try {
        taken.fromProcessParameters(packet.frame().info());
    } catch (const std::invalid_argument &e) {
        if (why)
            *why = QString::fromUtf8(e.what());
        return false;
    }
    *calculator = taken;
    return true;
}

void SkLiveSession::onStoreAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &result)
{
    // A result of a task already replaced may still be on its way here.
    if (!m_alarm || !isCurrentResult(frameno, result))
        return;
    const SkBatchPacer::Verdict verdict = m_pacer->onAlarmCalculated(frameno);
    if (verdict == SkBatchPacer::Ignore)
        return;
    if (verdict == SkBatchPacer::BatchDue)
        moveWindowOn(frameno);
    m_lastResult = frameno;
    const QVector<RuAlarmEvent> events = result ? ruAlarmEvents(*result) : QVector<RuAlarmEvent>();
    emit alarmCalculated(frameno, result, events);
    handleEvents(frameno, events);
    checkAnalysisComplete();
}

// The window is full and every frame in it analysed, up to `frameno`, whose result is being
// handled now. The frames of a stream that wait beyond the window go with the batch, as far
// as their results have been handled: the store is back at its window.
void SkLiveSession::moveWindowOn(int frameno)
{
    if (m_state != Analysing)
        return;
    if (m_playing || m_stream) {
        m_store->releaseBatch(m_batchSize, frameno);
        return;
    }
    m_state = BatchOffered;
    emit nextBatchAvailable();
}

// No result will come while the settings are missing: the frames go through the window as
// they arrive, so a stream is still shown and recorded instead of dropped at a full store.
void SkLiveSession::passFramesWithoutResults()
{
    m_passingFrames = connect(
        m_store.get(), &SkFrameStore::dataRangeChanged, this,
        [this] { moveWindowOnWithoutResults(); }, Qt::QueuedConnection);
    moveWindowOnWithoutResults();
}

void SkLiveSession::moveWindowOnWithoutResults()
{
    if (m_state != SettingsMissing)
        return;
    const int newest = m_store->endFrame() - 1;
    if (!m_store->isFullUpTo(newest))
        return;
    if (m_playing || m_stream)
        m_store->releaseBatch(m_batchSize, newest);
    else if (!m_batchOffered) {
        m_batchOffered = true;
        emit nextBatchAvailable();
    }
}

// The result the store holds for the frame: one computed before a restart or reopen is not.
bool SkLiveSession::isCurrentResult(int frameno, const SkAlarmResultSharedPtr &result) const
{
    return m_store->frameAt(frameno).alarmResult() == result;
}

void SkLiveSession::handleEvents(int frameno, const QVector<RuAlarmEvent> &events)
{
    for (const RuAlarmEvent &event : events) {
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
    if (!loadEnded())
        return;
    const int end = m_store->endFrame();
    switch (m_state) {
    case AwaitingSettings:
        if (end != 0)
            return;
        break;
    case SettingsMissing:
        break; // no frame waits for a result
    case Analysing:
    case BatchOffered:
        if (end != 0 && m_lastResult != end - 1)
            return;
        break;
    default:
        return;
    }
    m_state = Complete;
    emit analysisComplete();
}

// ---- Recording and the alarm script ---------------------------------------------------------

void SkLiveSession::startRecording(const RecordOptions &options)
{
    if (isStopping())
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

void SkLiveSession::addRecordCounts(RecordCounts *counts, const SkFrameTask *task)
{
    const auto *recorder = qobject_cast<const SkFrameTaskRecord *>(task);
    if (!recorder)
        return;
    counts->files += recorder->filesWritten();
    counts->frames += recorder->framesWritten();
    counts->movedToAlarm += recorder->filesMovedToAlarm();
    counts->deleted += recorder->filesDeleted();
}

SkLiveSession::RecordCounts SkLiveSession::recordCounts() const
{
    RecordCounts counts = m_endedRecordings;
    addRecordCounts(&counts, m_recorder.get());
    for (const auto &task : m_retired)
        addRecordCounts(&counts, task.get());
    if (m_recorder) {
        counts.lastFrame = m_recorder->lastFrameWritten();
        counts.runningFrames = m_recorder->framesRecorded();
        counts.runningFile = m_recorder->currentFile();
    }
    return counts;
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
    emit taskFinished(task, task->status(), taskMessage(task));
    const auto retired = std::find_if(m_retired.begin(), m_retired.end(),
                                      [task](const auto &t) { return t.get() == task; });
    if (retired != m_retired.end()) {
        addRecordCounts(&m_endedRecordings, task);
        m_retired.erase(retired);
    } else {
        m_ended.insert(task);
        if (task == m_loader.get()) {
            m_streamMonitor->setEnded(task->status() == SkTaskFailed ? task->errorString()
                                                                     : QString());
            onLoadEnded();
        } else if (task == m_recorder.get() && !isStopping()) {
            // Ended on its own (fell behind, or could not go on): recording is over.
            stopRecording();
        }
    }
    if (isStopping())
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
    if (isStopping())
        return;
    m_state = Stopping;
    disconnect(m_firstFrame);
    disconnect(m_passingFrames);
    advanceStop();
}

void SkLiveSession::abort()
{
    if (m_state == Aborting || m_state == Stopped)
        return;
    m_state = Aborting;
    disconnect(m_firstFrame);
    disconnect(m_passingFrames);
    for (SkFrameTask *task : {static_cast<SkFrameTask *>(m_loader.get()),
                              static_cast<SkFrameTask *>(m_alarm.get()),
                              static_cast<SkFrameTask *>(m_recorder.get())}) {
        if (task)
            abortTask(task);
    }
    advanceStop();
}

// The tasks stop one after the other: the loader first, so nothing new arrives, the record
// task last: when stopping, it writes every frame that arrived and closes its file completely.
void SkLiveSession::advanceStop()
{
    if (m_state == Stopped)
        return;
    for (SkFrameTask *task : {static_cast<SkFrameTask *>(m_loader.get()),
                              static_cast<SkFrameTask *>(m_alarm.get())}) {
        if (!task || hasEnded(task))
            continue;
        abortTask(task);
        return; // its finished signal brings us back here
    }
    if (m_recorder && !hasEnded(m_recorder.get())) {
        if (m_state == Stopping)
            m_recorder->drainAndStop();
        else
            abortTask(m_recorder.get());
        return;
    }
    if (!m_retired.empty())
        return;
    m_state = Stopped;
    emit stopped();
}
