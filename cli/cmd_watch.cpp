// rrdcli watch: the viewer's live pipeline without a window. The load task, the alarm task and
// (with --record) the record task run on one frame store exactly as the viewer runs them in
// play mode; every alarm-log event is printed as a CSV row the moment its result arrives, an
// avalanche alarm on or off is reported to the record task, and an avalanche alarm on starts
// the alarm script. Files end when read; a stream runs until Ctrl+C or SIGTERM.

#include "Analysis.h"
#include "CommandLine.h"
#include "StopSignals.h"
#include "commands.h"

#include "RuAlarmCalculator.h"
#include "RuAlarmEvents.h"
#include "RuFile.h"
#include "SkAlarmScript.h"
#include "SkBatchPacer.h"
#include "SkFrameStore.h"
#include "SkFrameTaskAlarm.h"
#include "SkFrameTaskLoad.h"
#include "SkFrameTaskRecord.h"
#include "SkStoreMetaTypes.h"
#include "rrd.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QFutureSynchronizer>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const QString Command = QStringLiteral("watch");
// A running alarm script gets this long to finish when the program ends.
constexpr int ScriptGraceMs = 3000;

struct WatchConfig
{
    QStringList sources;
    RuAlarmCalculator calculator;
    bool processParams = false;
    int maxFrames = 1000;
    int batch = 500;
    bool record = false;
    QString recordPath;
    int maxFiles = 0;
    int minFree = 5;
    SkFrameTaskRecord::FileList oldFiles;
    QString alarmScript;
};

// ---- Output ---------------------------------------------------------------------------------

void printRow(int frame, const RuAlarmEvent &event)
{
    const QByteArray row = cli::alarmLogRow(frame, event);
    std::fwrite(row.constData(), 1, static_cast<size_t>(row.size()), stdout);
}

// The window's status-bar message for a task that has ended.
QString taskMessage(const SkFrameTask *task)
{
    switch (task->status()) {
    case SkTaskSucceeded:
        return QStringLiteral("Task %1 finished succesfully!").arg(task->description());
    case SkTaskAborted:
        return QStringLiteral("Task %1 aborted on user request!").arg(task->description());
    default:
        return QStringLiteral("Task %1 finished with error '%2'")
            .arg(task->description(), task->errorString());
    }
}

// ---- The pipeline ---------------------------------------------------------------------------

class WatchSession : public QObject
{
public:
    explicit WatchSession(WatchConfig config);
    ~WatchSession() override;

    void start();
    // Stops the tasks in order (load, alarm, record) and ends the event loop with `status`.
    void stop(int status);

private:
    template <typename Task>
    Task *launch(std::unique_ptr<Task> &holder, Task *task);
    void startAlarmTask();
    void onFirstFrame();
    void onAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &result);
    void onTaskFinished(SkFrameTask *task);
    void finishWhenAnalysed();
    void advanceStop();

    WatchConfig m_config;
    SkFrameStore m_store;
    SkBatchPacer m_pacer{&m_store};
    SkAlarmScript m_script;
    std::unique_ptr<SkFrameTaskLoad> m_loader;
    std::unique_ptr<SkFrameTaskAlarm> m_alarm;
    std::unique_ptr<SkFrameTaskRecord> m_recorder;
    QFutureSynchronizer<void> m_futures;
    QMetaObject::Connection m_firstFrame;
    int m_lastResult = -1;
    bool m_stopping = false;
    int m_status = cli::ExitOk;
};

WatchSession::WatchSession(WatchConfig config) : m_config(std::move(config))
{
    m_store.clear();
    m_store.setMaxSize(m_config.maxFrames);
    m_script.setScriptPath(m_config.alarmScript);
    connect(&m_script, &SkAlarmScript::message, this,
            [](const QString &text, int) { cli::printError(Command, text); });
    connect(&m_store, &SkFrameStore::alarmCalculated, this, &WatchSession::onAlarmCalculated);
}

WatchSession::~WatchSession()
{
    for (SkFrameTask *task : {static_cast<SkFrameTask *>(m_loader.get()),
                              static_cast<SkFrameTask *>(m_alarm.get()),
                              static_cast<SkFrameTask *>(m_recorder.get())}) {
        if (task && !task->isDone())
            task->abort();
    }
    m_futures.waitForFinished();
    m_script.finish(ScriptGraceMs);
}

template <typename Task>
Task *WatchSession::launch(std::unique_ptr<Task> &holder, Task *task)
{
    holder.reset(task);
    connect(task, &SkFrameTask::finished, this, &WatchSession::onTaskFinished,
            Qt::QueuedConnection);
    m_futures.addFuture(task->start());
    return task;
}

void WatchSession::start()
{
    if (m_config.record) {
        auto *recorder = new SkFrameTaskRecord(&m_store, m_config.recordPath, m_config.maxFiles,
                                               m_config.minFree, m_config.oldFiles);
        // Everything analysed is recorded, however late the task's thread gets going.
        recorder->setStartFrame(-1);
        launch(m_recorder, recorder);
    }
    // With the radar's own settings the alarm task waits for the first frame to read them.
    if (m_config.processParams)
        m_firstFrame = connect(&m_store, &SkFrameStore::dataRangeChanged, this,
                               [this](int, int len) {
                                   if (len > 0)
                                       onFirstFrame();
                               });
    else
        startAlarmTask();
    auto *loader = new SkFrameTaskLoad(&m_store, m_config.sources);
    connect(loader, &SkFrameTask::framesDropped, this, [](int n) {
        cli::printError(Command, QStringLiteral("%1 Frames dropped!").arg(n));
    });
    launch(m_loader, loader);
}

void WatchSession::startAlarmTask()
{
    auto *alarm = new SkFrameTaskAlarm(&m_store);
    *alarm->calculator() = m_config.calculator;
    m_pacer.restart(m_store.startFrame());
    launch(m_alarm, alarm);
}

void WatchSession::onFirstFrame()
{
    // Appends queued before the disconnect still arrive here.
    disconnect(m_firstFrame);
    if (m_stopping || m_alarm)
        return;
    // Nothing is released before the first result, so the oldest frame is frame 0.
    const SkPacket first = m_store.waitFrame(-1, 0);
    QString error;
    if (!cli::loadProcessParameters(first.frame(), &m_config.calculator, &error)) {
        cli::printError(Command, error);
        stop(cli::ExitUsage);
        return;
    }
    startAlarmTask();
}

void WatchSession::onAlarmCalculated(int frameno, const SkAlarmResultSharedPtr &result)
{
    const SkBatchPacer::Verdict verdict = m_pacer.onAlarmCalculated(frameno);
    if (verdict == SkBatchPacer::Ignore)
        return;
    if (verdict == SkBatchPacer::BatchDue)
        m_store.releaseFrames(m_config.batch);
    m_lastResult = frameno;
    if (result) {
        for (const RuAlarmEvent &event : ruAlarmEvents(*result)) {
            printRow(frameno, event);
            if (event.isAvalancheAlarmOn()) {
                if (m_recorder)
                    m_recorder->onAlarmStatusChanged(frameno, true);
                m_script.run();
            } else if (event.isAvalancheAlarmOff() && m_recorder) {
                m_recorder->onAlarmStatusChanged(frameno, false);
            }
        }
        std::fflush(stdout);
    }
    finishWhenAnalysed();
}

void WatchSession::onTaskFinished(SkFrameTask *task)
{
    const bool failed = task->status() == SkTaskFailed;
    if (failed || (!m_stopping && task != m_loader.get()))
        cli::printError(Command, taskMessage(task));
    if (m_stopping) {
        if (failed)
            m_status = cli::ExitFailure;
        advanceStop();
        return;
    }
    if (task == m_loader.get()) {
        if (failed)
            m_status = cli::ExitFailure;
        finishWhenAnalysed();
    } else if (task == m_alarm.get()) {
        stop(cli::ExitFailure);
    }
}

// A finished load ends the session once every frame it stored has its result.
void WatchSession::finishWhenAnalysed()
{
    if (m_stopping || !m_loader || !m_loader->isDone())
        return;
    const int end = m_store.endFrame();
    if (end == 0) {
        if (m_config.processParams && m_status == cli::ExitOk) {
            cli::printError(Command, QStringLiteral("No process parameters found in rrd_info"));
            m_status = cli::ExitUsage;
        }
        stop(m_status);
    } else if (m_alarm && m_lastResult == end - 1) {
        stop(m_status);
    }
}

void WatchSession::stop(int status)
{
    if (!m_stopping) {
        m_stopping = true;
        m_status = std::max(m_status, status);
    }
    advanceStop();
}

// The tasks stop one after the other: the loader first, so nothing new arrives, the record
// task last: it writes every frame that arrived and closes its file completely.
void WatchSession::advanceStop()
{
    for (SkFrameTask *task : {static_cast<SkFrameTask *>(m_loader.get()),
                              static_cast<SkFrameTask *>(m_alarm.get())}) {
        if (!task || task->isDone())
            continue;
        if (!task->abortRequested())
            task->abort();
        return; // its finished signal brings us back here
    }
    if (m_recorder && !m_recorder->isDone()) {
        m_recorder->drainAndStop();
        return;
    }
    QCoreApplication::exit(m_status);
}

// ---- Options --------------------------------------------------------------------------------

SkFrameTaskRecord::FileList findOldMinuteFiles(const QString &recordPath)
{
    SkFrameTaskRecord::FileList files;
    QDirIterator it(recordPath, {QStringLiteral("*.rrd0.gz")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QDateTime born = info.birthTime();
        files.append({born.isValid() ? born : info.lastModified(), info.absoluteFilePath()});
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    return files;
}

// Checks the record path as the viewer does before it records; false after printing why.
bool prepareRecording(WatchConfig *config, bool importOld)
{
    QDir().mkpath(config->recordPath);
    const QFileInfo path(config->recordPath);
    if (!path.isDir() || !path.isWritable()) {
        cli::printError(Command, QStringLiteral("Record path is not writeable!"));
        return false;
    }
    config->recordPath = path.absoluteFilePath();
    if (importOld)
        config->oldFiles = findOldMinuteFiles(config->recordPath);
    uint64_t total = 0, totalFree = 0, available = 0;
    if (rrd_disk_space(config->recordPath.toUtf8().constData(), &total, &totalFree, &available) == 0
        && total > 0) {
        const double percent = double(available) / double(total) * 100.0;
        if (percent < config->minFree)
            cli::printError(Command, QStringLiteral("Minimal free disk space (%1%) reached! "
                                                    "Currently available: %2% of %3TiB")
                                         .arg(config->minFree)
                                         .arg(percent, 0, 'f', 1)
                                         .arg(double(total) / double(1ULL << 40), 0, 'f', 2));
    }
    return true;
}

// Fills `config` from the command line; -1 to go on, otherwise the exit status.
int readOptions(const QStringList &args, WatchConfig *config)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the viewer's live pipeline without a window: loads the SOURCEs (files in order, or "
        "one stream host:port) into a frame store, runs the detectors over every frame and prints "
        "each alarm-log event as a CSV row (frame,event,details) as it happens. With --record the "
        "frames are written into one-minute files below DIR (\"rdata\", and \"alarm\" for files "
        "with an avalanche alarm); --alarm-script starts a program on every avalanche alarm on. "
        "Files end when read; a stream runs until Ctrl+C or SIGTERM."));
    const QCommandLineOption params = cli::paramsOption();
    const QCommandLineOption processParams = cli::processParamsOption();
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("Record the frames into minute files below DIR."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption maxFiles(QStringLiteral("max-files"),
                                      QStringLiteral("Keep at most N minute files (default 0 = no limit)."),
                                      QStringLiteral("N"));
    const QCommandLineOption minFree(QStringLiteral("min-free"),
                                     QStringLiteral("Free disk space to preserve, in percent (default 5)."),
                                     QStringLiteral("PCT"));
    const QCommandLineOption importOld(
        QStringLiteral("import-old"),
        QStringLiteral("Delete earlier minute files below DIR first when space is needed."));
    const QCommandLineOption script(QStringLiteral("alarm-script"),
                                    QStringLiteral("Program started on every avalanche alarm on."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption maxFrames(QStringLiteral("max-frames"),
                                       QStringLiteral("Frames held in memory (default 1000)."),
                                       QStringLiteral("N"));
    const QCommandLineOption batch(QStringLiteral("batch"),
                                   QStringLiteral("Frames released at once when the store is full "
                                                  "(default 500 for files, 1 for a stream)."),
                                   QStringLiteral("N"));
    parser.addOptions({params, processParams, record, maxFiles, minFree, importOld, script,
                       maxFrames, batch});
    parser.addPositionalArgument(QStringLiteral("SOURCE"),
                                 QStringLiteral("Files in order, or a stream host:port."),
                                 QStringLiteral("SOURCE..."));
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    config->sources = parser.positionalArguments();
    if (config->sources.isEmpty())
        return cli::usageError(Command, QStringLiteral("no SOURCE given"));
    if (parser.isSet(params) && parser.isSet(processParams))
        return cli::usageError(Command, QStringLiteral("--params and --process-params exclude each other"));
    if (!parser.isSet(record) && (parser.isSet(maxFiles) || parser.isSet(minFree) || parser.isSet(importOld)))
        return cli::usageError(Command, QStringLiteral("--max-files, --min-free and --import-old need --record"));
    const bool stream = std::any_of(config->sources.cbegin(), config->sources.cend(),
                                    [](const QString &s) { return RuFile::isStreamAddress(s); });
    qint64 value = 0;
    const auto number = [&](const QCommandLineOption &option, qint64 min, qint64 max, int *out) {
        if (!parser.isSet(option))
            return true;
        if (!cli::toInt(parser.value(option), min, max, &value))
            return false;
        *out = int(value);
        return true;
    };
    config->batch = stream ? 1 : 500;
    if (!number(maxFrames, 1, 10000000, &config->maxFrames) || !number(batch, 1, 10000000, &config->batch)
        || !number(maxFiles, 0, 100000, &config->maxFiles) || !number(minFree, 0, 100, &config->minFree))
        return cli::usageError(Command, QStringLiteral("--max-frames, --batch, --max-files and --min-free need whole numbers in range"));
    config->processParams = parser.isSet(processParams);
    QString error;
    if (parser.isSet(params) && !cli::loadParameterFile(parser.value(params), &config->calculator, &error)) {
        cli::printError(Command, error);
        return cli::ExitFailure;
    }
    config->alarmScript = parser.value(script);
    config->record = parser.isSet(record);
    config->recordPath = parser.value(record);
    if (config->record && !prepareRecording(config, parser.isSet(importOld)))
        return cli::ExitFailure;
    return -1;
}

} // namespace

int runWatch(const QStringList &args)
{
    WatchConfig config;
    const int status = readOptions(args, &config);
    if (status >= 0)
        return status;
    // The tasks' "tsk:" diagnostics are for the viewer's debug log, not for this output.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    skRegisterStoreMetaTypes();
    StopSignals stopSignals;
    WatchSession session(std::move(config));
    stopSignals.onSignal(&session, [&session] { session.stop(cli::ExitOk); });
    std::fputs("frame,event,details\n", stdout);
    std::fflush(stdout);
    session.start();
    return QCoreApplication::exec();
}
