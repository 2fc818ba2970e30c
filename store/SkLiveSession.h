#pragma once
// One live session over a frame store: the load task that fills it, the alarm task that
// analyses every frame in order, the batch pacing that slides the window on, the record task
// and the alarm script. The viewer's main window and `rrdcli watch` are two front ends over
// this class: they choose what to open and how, and show what its signals report.
//
// Everything here lives on the thread that owns the session (the user-interface thread);
// the tasks run on the global thread pool and reach the session through queued signals.
//
// Typical use:
//     SkLiveSession session;
//     session.setCalculator(calculator);          // or setProcessParameters(true)
//     session.open({"radar:4000"}, 1000, 1);      // window of 1000 frames, batch 1
//     session.startRecording(options);            // optional, any time
//     ...
//     session.stop();                             // orderly: stopped() follows
//
// Reopening, restarting the alarm computation and recording may follow in any order; the
// session keeps the order the tasks need (abort the old load before the store is cleared,
// restart the alarm task after it, tell the recorder about alarms only while it records).

#include "RuAlarmCalculator.h"
#include "RuAlarmEvent.h"
#include "RuAlarmResult.h"
#include "SkFrameTaskLoad.h"
#include "SkFrameTaskRecord.h"

#include <QFutureSynchronizer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class SkAlarmScript;
class SkBatchPacer;
class SkFrameStore;
class SkFrameTask;
class SkFrameTaskAlarm;

class SkLiveSession : public QObject
{
    Q_OBJECT

public:
    // What a recording needs; the front end has checked the path (writable, disk space).
    struct RecordOptions
    {
        QString path;                          // base folder, holds "rdata" and "alarm"
        int maxFiles = 0;                      // 0 = no limit
        int minFreePercent = 5;
        SkFrameTaskRecord::FileList oldFiles;  // earlier minute files, oldest first
        // -2: from the newest frame on (the viewer records from the moment asked),
        // -1: every frame the store still holds (watch records everything it analyses).
        int startFrame = -2;
    };

    // When the alarm script runs on an avalanche alarm on.
    enum ScriptPolicy {
        ScriptWhileRecording, // the viewer: only while a recording runs
        ScriptAlways          // rrdcli watch: on every alarm on
    };

    explicit SkLiveSession(QObject *parent = nullptr);
    // Aborts every task and waits for their bodies (each ends within about a second).
    ~SkLiveSession() override;

    // The frame store, for the extraction jobs and views of a front end. Owned here.
    SkFrameStore *store() const;

    // ---- Settings, taken by the next open() or restartAlarm() ------------------------------

    // The detector settings of the alarm computation.
    void setCalculator(const RuAlarmCalculator &calculator);
    const RuAlarmCalculator &calculator() const { return m_calculator; }
    // Take the settings from the radar's process parameters of the first frame of each open
    // instead (the first frame must carry them; otherwise processParametersMissing()).
    void setProcessParameters(bool on) { m_processParams = on; }
    // A lost stream is reconnected with back-off (1, 2, 4 ... 30 s); off: the load task ends
    // with an error. On by default.
    void setReconnect(bool on) { m_reconnect = on; }
    // Read at most `frames` frames per open (0 = no limit), as `--max-frames` does.
    void setFrameLimit(qint64 frames) { m_frameLimit = frames; }
    // A stream without a frame for `seconds` is lost (0 = never), as `--timeout` says.
    void setStreamTimeout(int seconds) { m_streamTimeout = seconds; }
    void setAlarmScript(const QString &path);
    void setScriptPolicy(ScriptPolicy policy) { m_scriptPolicy = policy; }

    // ---- Loading ---------------------------------------------------------------------------

    // Opens `sources` (files in order, or one stream address) into a window of `windowSize`
    // frames that moves on by `batchSize` frames: aborts the old load, clears the store,
    // restarts the alarm computation and starts the new load.
    void open(const QStringList &sources, int windowSize, int batchSize);
    // Opens the last sources again with the current window and batch sizes.
    void reopen();
    QStringList sources() const { return m_sources; }
    int windowSize() const { return m_windowSize; }
    int batchSize() const { return m_batchSize; }
    void setBatchSize(int frames) { m_batchSize = frames; }
    // True when the sources of the last open are a stream.
    bool isStream() const { return m_stream; }

    // Play: a full window moves on by a batch as soon as every frame it holds has its result.
    // Pause: nextBatchAvailable() is emitted instead and releaseNextBatch() moves on.
    void setPlaying(bool playing) { m_playing = playing; }
    bool isPlaying() const { return m_playing; }
    void releaseNextBatch();

    // ---- Alarm computation -----------------------------------------------------------------

    // Restarts the alarm computation over every frame held, from the oldest, with the
    // current settings (the viewer's "Recalculate"). alarmRestarting() comes first.
    void restartAlarm();
    // The same with new settings.
    void restartAlarm(const RuAlarmCalculator &calculator);
    // The frame whose result is expected next (-1: any).
    int nextAlarmFrame() const;

    // ---- Recording and the alarm script ----------------------------------------------------

    void startRecording(const RecordOptions &options);
    // Stops the recording at once; the minute file being written is completed.
    void stopRecording();
    bool isRecording() const { return m_recorder != nullptr; }
    // Starts the alarm script now (the options dialog's "Test" button).
    void runAlarmScript();

    // ---- Ending ----------------------------------------------------------------------------

    // Orderly stop: the load task first, so nothing new arrives, then the alarm task, the
    // record task last after it has written every frame that arrived. stopped() follows.
    void stop();
    // Aborts every task at once (a recording completes its current file); stopped() follows.
    void abort();
    bool isStopping() const { return m_stopping; }
    // True while any task runs.
    bool isRunning() const;

signals:
    // A result in frame order (results out of order are dropped before this).
    void alarmCalculated(int frameno, const SkAlarmResultSharedPtr &result);
    // Each alarm-log event of an accepted result, in the order of the log.
    void alarmEvent(int frameno, const RuAlarmEvent &event);
    // An avalanche alarm went on (true) or off (false) while recording; the recorder has it.
    void alarmStatusChanged(int frameNo, bool state);
    // The alarm computation starts again: a front end clears its curves, markers and log now.
    void alarmRestarting(int firstFrame);
    // Paused with a full, analysed window: the next batch may be released.
    void nextBatchAvailable();
    // A file load has ended and every frame it stored has its result (also after a failed
    // load, and at once when nothing was stored).
    void analysisComplete();
    // A task ended; `message` is its status-bar text ("Task %1 finished succesfully!" ...).
    void taskFinished(const QString &taskName, int status, const QString &message);
    void framesDropped(int nframes);
    // The first frame of an open carries no detector settings; the alarm task is not started.
    void processParametersMissing(const QString &message);
    // The recorder could not write, close, move or delete `file`.
    void recordError(const QString &file, const QString &cause);
    // A recording started, was stopped, or ended on its own (see taskFinished for why).
    void recordingChanged(bool recording);
    // "stream lost: <reason>" and "stream back".
    void streamLost(const QString &reason);
    void streamBack();
    // The alarm script's outcome, with the time the text should stay visible (0 = until the
    // next message).
    void scriptMessage(const QString &text, int timeoutMs);
    // stop() or abort() has ended every task.
    void stopped();

private:
    void startLoad();
    void startAlarmTask();
    void onFirstFrame();
    void onStoreAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &result);
    void handleEvents(int frameno, const RuAlarmResult &result);
    void onTaskFinished(SkFrameTask *task);
    void checkAnalysisComplete();
    void advanceStop();
    void abortTask(SkFrameTask *task);
    template <typename Task>
    QFuture<void> launch(std::unique_ptr<Task> &holder, Task *task);
    bool isCurrentResult(int frameno, const SkAlarmResultSharedPtr &result) const;
    template <typename Task>
    void retire(std::unique_ptr<Task> &holder);
    bool hasEnded(const SkFrameTask *task) const;

    std::unique_ptr<SkFrameStore> m_store;
    std::unique_ptr<SkBatchPacer> m_pacer;
    std::unique_ptr<SkAlarmScript> m_script;
    std::unique_ptr<SkFrameTaskLoad> m_loader;
    std::unique_ptr<SkFrameTaskAlarm> m_alarm;
    std::unique_ptr<SkFrameTaskRecord> m_recorder;
    // Tasks replaced or stopped whose bodies have not returned yet; deleted when they finish.
    std::vector<std::unique_ptr<SkFrameTask>> m_retired;
    QFutureSynchronizer<void> m_futures;
    QFuture<void> m_alarmFuture;
    // Tasks whose finished signal has been handled here.
    QSet<const SkFrameTask *> m_ended;
    QMetaObject::Connection m_firstFrame;

    RuAlarmCalculator m_calculator;
    QStringList m_sources;
    int m_windowSize = 1000;
    int m_batchSize = 500;
    qint64 m_frameLimit = 0;
    int m_streamTimeout = SkFrameTaskLoad::DefaultSilenceSeconds;
    bool m_stream = false;
    bool m_processParams = false;
    bool m_reconnect = true;
    bool m_playing = true;
    bool m_batchOffered = false;
    bool m_stopping = false;
    bool m_drainRecorder = false;
    bool m_stoppedSent = false;
    bool m_loadDone = false;
    bool m_completeSent = false;
    bool m_paramsLoaded = true;
    bool m_awaitingFirstFrame = false;
    int m_lastResult = -1;
    ScriptPolicy m_scriptPolicy = ScriptWhileRecording;
};
