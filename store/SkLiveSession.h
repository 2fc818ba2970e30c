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
//
// The session is in one State at a time. Its transitions (anything not listed keeps it):
//
//   Idle, AwaitingSettings, SettingsMissing, Analysing, BatchOffered, Complete
//       open(), reopen()      -> AwaitingSettings with process parameters, else Analysing
//   AwaitingSettings
//       first frame arrives   -> Analysing when it carries the radar's settings
//                                (processParametersTaken), else SettingsMissing
//                                (processParametersMissing)
//       load ends, no frame   -> SettingsMissing (processParametersMissing), then Complete
//   SettingsMissing
//       a full window         -> moves on by a batch as in Analysing, without waiting for
//                                results (none come): a paused file offers it instead
//       load has ended        -> Complete (analysisComplete)
//       restartAlarm()        -> AwaitingSettings: the oldest frame held is looked at again
//   any of the first six
//       restartAlarm(calculator), takeProcessParameters()
//                             -> Analysing, over every frame held
//   Analysing, BatchOffered, Complete
//       restartAlarm()        -> Analysing
//   Analysing
//       full window analysed  -> the window moves on by a batch when playing or on a stream;
//                                a paused file goes to BatchOffered (nextBatchAvailable)
//   BatchOffered
//       releaseNextBatch()    -> Analysing
//   Analysing, BatchOffered
//       load has ended and every frame stored has its result
//                             -> Complete (analysisComplete)
//   any but Stopped
//       stop()                -> Stopping: the loader, then the alarm task, then the
//                                recorder once it has written every frame that arrived
//       abort()               -> Aborting: every task at once (also from Stopping)
//   Stopping, Aborting
//       every task has ended  -> Stopped (stopped); the session takes nothing more
//
// Whether a recording runs is not part of the state: it is the record task's presence.

#include "RuAlarmCalculator.h"
#include "RuAlarmEvent.h"
#include "RuAlarmResult.h"
#include "SkAlarmScript.h"
#include "SkFrameTaskLoad.h"
#include "SkFrameTaskRecord.h"
#include "SkPacket.h"

#include <QFutureSynchronizer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class SkBatchPacer;
class SkFrameStore;
class SkFrameTask;
class SkFrameTaskAlarm;
class SkStreamMonitor;

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

    enum State {
        Idle,             // nothing opened yet
        AwaitingSettings, // the alarm computation waits for the first frame's settings
        SettingsMissing,  // the first frame carried none: frames go through, none is analysed
        Analysing,        // results arrive in frame order and the window moves on
        BatchOffered,     // a paused file's window is full and analysed: releaseNextBatch()
        Complete,         // the load has ended and every frame it stored has its result
        Stopping,         // stop(): the tasks end one after the other
        Aborting,         // abort(): the tasks end at once
        Stopped           // every task has ended
    };
    Q_ENUM(State)

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
    // Take the settings from the radar's process parameters of the first frame of each open,
    // on top of the calculator's (the first frame must carry them; otherwise
    // processParametersMissing()). The alarm computation starts once, when they are there.
    void setProcessParameters(bool on) { m_processParams = on; }
    bool isTakingProcessParameters() const { return m_processParams; }
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
    // restarts the alarm computation and starts the new load. A stream's store holds up to
    // half a window more (at least a batch): frames that arrive while this thread is too busy
    // to take results wait there, and the next batch takes them out again.
    void open(const QStringList &sources, int windowSize, int batchSize);
    // Opens the last sources again with the current window and batch sizes.
    void reopen();
    QStringList sources() const { return m_sources; }
    int windowSize() const { return m_windowSize; }
    int batchSize() const { return m_batchSize; }
    void setBatchSize(int frames) { m_batchSize = frames; }
    // True when the sources of the last open are a stream.
    bool isStream() const { return m_stream; }
    // How the stream of the last open is doing (NoStream for files). Owned here.
    const SkStreamMonitor *streamMonitor() const { return m_streamMonitor.get(); }

    // Play: a full window moves on by a batch as soon as every frame it holds has its result.
    // Pause: nextBatchAvailable() is emitted instead and releaseNextBatch() moves on. A
    // stream moves on either way: the radar does not wait, and what is not taken in is lost
    // to detection and recording; pausing a stream only freezes what a front end shows.
    void setPlaying(bool playing) { m_playing = playing; }
    bool isPlaying() const { return m_playing; }
    void releaseNextBatch();

    // ---- Alarm computation -----------------------------------------------------------------

    // Restarts the alarm computation over every frame held, from the oldest, with the
    // current settings (the viewer's "Recalculate"). alarmRestarting() comes first.
    void restartAlarm();
    // The same with new settings.
    void restartAlarm(const RuAlarmCalculator &calculator);
    // The radar's settings carried by `packet` on top of `base`, then restartAlarm() with them
    // (the parameter dock's "PP"). False, and nothing restarted, when the packet carries
    // none; processParametersTaken() precedes the restart otherwise.
    bool takeProcessParameters(const SkPacket &packet, const RuAlarmCalculator &base);
    // The frame whose result is expected next (-1: any).
    int nextAlarmFrame() const;

    // ---- Recording and the alarm script ----------------------------------------------------

    void startRecording(const RecordOptions &options);
    // Stops the recording at once; the minute file being written is completed.
    void stopRecording();
    bool isRecording() const { return m_recorder != nullptr; }
    // What the recordings of this session have done so far, the running one included.
    struct RecordCounts
    {
        qint64 files = 0;        // minute files completed
        qint64 frames = 0;       // frames in them
        qint64 movedToAlarm = 0; // files moved to "alarm"
        qint64 deleted = 0;      // files deleted to keep the disk from filling
        int lastFrame = -1;      // the newest frame the running recording has written
        qint64 runningFrames = 0; // frames the running recording has written, open file too
        QString runningFile;     // the minute file it writes now (empty: none yet)
    };
    RecordCounts recordCounts() const;
    // Starts the alarm script now (the options dialog's "Test" button).
    void runAlarmScript();

    // ---- Ending ----------------------------------------------------------------------------

    // Orderly stop: the load task first, so nothing new arrives, then the alarm task, the
    // record task last after it has written every frame that arrived. stopped() follows.
    void stop();
    // Aborts every task at once (a recording completes its current file); stopped() follows.
    void abort();
    State state() const { return m_state; }
    // Stopping, aborting or stopped.
    bool isStopping() const;
    // True while any task runs.
    bool isRunning() const;

signals:
    // A result in frame order (results out of order are dropped before this), with its
    // alarm-log events in the order of the log: derived here, once, and the same events
    // drive the recorder and the alarm script. Log, markers and watch's rows take them.
    void alarmCalculated(int frameno, const SkAlarmResultSharedPtr &result,
                         const QVector<RuAlarmEvent> &events);
    // An avalanche alarm went on (true) or off (false) while recording; the recorder has it.
    void alarmStatusChanged(int frameNo, bool state);
    // The alarm computation starts again: a front end clears its curves, markers and log now.
    void alarmRestarting(int firstFrame);
    // Paused with a full, analysed window (with the settings missing: a full window): the next
    // batch may be released.
    void nextBatchAvailable();
    // A file load has ended and every frame it stored has its result (also after a failed
    // load, at once when nothing was stored, and without results when the settings are
    // missing).
    void analysisComplete();
    // A task ended; `message` is its status-bar text ("Task %1 finished succesfully!" ...).
    // Its class tells which task it was (qobject_cast); `task` is deleted after the signal
    // has been delivered, so receivers connect directly and do not keep it.
    void taskFinished(const SkFrameTask *task, int status, const QString &message);
    void framesDropped(int nframes);
    // The first frame of an open carries no detector settings (or the load ended without a
    // frame); the alarm task is not started, and the frames go on through the window unanalysed
    // until restartAlarm(calculator) or takeProcessParameters().
    void processParametersMissing(const QString &message);
    // The radar's settings were taken from a frame (the first of an open, or the packet of
    // takeProcessParameters()); the alarm computation runs with `calculator` from now on.
    void processParametersTaken(const RuAlarmCalculator &calculator);
    // The recorder could not write, close, move or delete `file`.
    void recordError(const QString &file, const QString &cause);
    // A recording started, was stopped, or ended on its own (see taskFinished for why).
    void recordingChanged(bool recording);
    // "stream lost: <reason>" and "stream back".
    void streamLost(const QString &reason);
    void streamBack();
    // The alarm script's outcome, with the time the text should stay visible (0 = until the
    // next message).
    void scriptMessage(const QString &text, int timeoutMs, SkAlarmScript::Outcome outcome);
    // stop() or abort() has ended every task.
    void stopped();

private:
    void startLoad();
    void onStreamEvent(const SkFrameTaskLoad::StreamEvent &event);
    void restartAlarmTask();
    void startAlarmTask();
    void awaitSettings();
    void onFirstFrame();
    void passFramesWithoutResults();
    void moveWindowOnWithoutResults();
    bool applyProcessParameters(const SkPacket &packet, RuAlarmCalculator *calculator,
                                QString *why) const;
    void onStoreAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &result);
    void moveWindowOn(int frameno);
    void handleEvents(int frameno, const QVector<RuAlarmEvent> &events);
    void onTaskFinished(SkFrameTask *task);
    void onLoadEnded();
    bool loadEnded() const;
    void checkAnalysisComplete();
    void advanceStop();
    void abortTask(SkFrameTask *task);
    template <typename Task>
    QFuture<void> launch(std::unique_ptr<Task> &holder, Task *task);
    bool isCurrentResult(int frameno, const SkAlarmResultSharedPtr &result) const;
    template <typename Task>
    void retire(std::unique_ptr<Task> &holder);
    bool hasEnded(const SkFrameTask *task) const;
    // Adds the counts of `task` when it is a recorder (one about to be deleted leaves them to
    // the session this way).
    static void addRecordCounts(RecordCounts *counts, const SkFrameTask *task);

    std::unique_ptr<SkFrameStore> m_store;
    std::unique_ptr<SkBatchPacer> m_pacer;
    std::unique_ptr<SkAlarmScript> m_script;
    std::unique_ptr<SkStreamMonitor> m_streamMonitor;
    std::unique_ptr<SkFrameTaskLoad> m_loader;
    std::unique_ptr<SkFrameTaskAlarm> m_alarm;
    std::unique_ptr<SkFrameTaskRecord> m_recorder;
    // Tasks replaced or stopped whose bodies have not returned yet; deleted when they finish.
    std::vector<std::unique_ptr<SkFrameTask>> m_retired;
    QFutureSynchronizer<void> m_futures;
    QFuture<void> m_alarmFuture;
    // Tasks whose finished signal has been handled here.
    QSet<const SkFrameTask *> m_ended;
    // Open while AwaitingSettings: the store's announcement of the first frame.
    QMetaObject::Connection m_firstFrame;
    // Open while SettingsMissing: the window moves on as frames arrive.
    QMetaObject::Connection m_passingFrames;

    State m_state = Idle;
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
    int m_lastResult = -1;
    bool m_batchOffered = false; // a paused file's full window, without results, was offered
    RecordCounts m_endedRecordings; // of recorders already deleted
    ScriptPolicy m_scriptPolicy = ScriptWhileRecording;
};
