// rrdcli watch: the viewer's live session without a window. SkLiveSession runs the load, alarm
// and (with --record) record tasks exactly as the viewer runs them in play mode; this file
// reads the options and prints what the session reports: every alarm-log event as a CSV row
// the moment its result arrives, task ends, record faults and lost streams on standard error.
// Files end when read; a stream runs until Ctrl+C or SIGTERM. With --metrics the station's
// figures are offered over HTTP (WatchMetrics). Under systemd every line carries its severity
// for the journal.

#include "Analysis.h"
#include "CommandLine.h"
#include "StopSignals.h"
#include "WatchMetrics.h"
#include "commands.h"

#include "RuAlarmCalculator.h"
#include "RuAlarmLogCsv.h"
#include "RuFile.h"
#include "SkFrameTaskLoad.h"
#include "SkLiveSession.h"
#include "SkRecordFolder.h"
#include "SkStoreMetaTypes.h"
#include "rrd.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <type_traits>
#include <unistd.h>

namespace {

const QString Command = QStringLiteral("watch");

struct WatchConfig
{
    QStringList sources;
    RuAlarmCalculator calculator;
    bool processParams = false;
    int window = 1000;
    int batch = 500;
    qint64 maxFrames = 0;
    int timeoutSeconds = 10;
    bool reconnect = true;
    bool record = false;
    SkLiveSession::RecordOptions recordOptions;
    QString alarmScript;
    QString metrics;
};

// ---- Output ---------------------------------------------------------------------------------

// Alarms going on and off stand out in the journal; the other rows are information.
cli::Severity severityOf(const RuAlarmEvent &event)
{
    switch (event.status) {
    case RuStatusAlarmOn:
    case RuStatusAlarmOff:
    case RuStatusIncidentOn:
    case RuStatusIncidentOff:
        return cli::Severity::Notice;
    default:
        return cli::Severity::Info;
    }
}

void printRow(const QByteArray &row, cli::Severity severity)
{
    const QByteArray line = cli::journalPrefix(STDOUT_FILENO, severity) + row;
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
}

void printRows(int frame, const SkAlarmResultSharedPtr &, const QVector<RuAlarmEvent> &events)
{
    for (const RuAlarmEvent &event : events)
        printRow(ruAlarmLogCsvRow(frame, event), severityOf(event));
    std::fflush(stdout);
}

cli::Severity severityOf(SkAlarmScript::Outcome outcome)
{
    switch (outcome) {
    case SkAlarmScript::Failed: return cli::Severity::Error;
    case SkAlarmScript::Refused:
    case SkAlarmScript::Ending: return cli::Severity::Warning;
    case SkAlarmScript::Started:
    case SkAlarmScript::Succeeded: break;
    }
    return cli::Severity::Info;
}

// Prints what the session reports and turns it into the exit status.
class WatchPrinter : public QObject
{
public:
    explicit WatchPrinter(SkLiveSession *session);
    int status() const { return m_status; }
    // Ends the watch with at least `status`.
    void stop(int status);

private:
    void onTaskFinished(const SkFrameTask *task, int status, const QString &message);

    SkLiveSession *m_session; // not owned
    int m_status = cli::ExitOk;
};

WatchPrinter::WatchPrinter(SkLiveSession *session) : m_session(session)
{
    const auto print = [](cli::Severity severity, const QString &text) {
        cli::printMessage(Command, severity, text);
    };
    connect(session, &SkLiveSession::alarmCalculated, this, &printRows);
    connect(session, &SkLiveSession::taskFinished, this, &WatchPrinter::onTaskFinished);
    // A finished load ends the watch once every frame it stored has its result.
    connect(session, &SkLiveSession::analysisComplete, this, [this] { stop(m_status); });
    connect(session, &SkLiveSession::framesDropped, this, [print](int n) {
        print(cli::Severity::Warning, QStringLiteral("%1 Frames dropped!").arg(n));
    });
    connect(session, &SkLiveSession::scriptMessage, this,
            [print](const QString &text, int, SkAlarmScript::Outcome outcome) {
                print(severityOf(outcome), text);
            });
    connect(session, &SkLiveSession::recordError, this,
            [print](const QString &file, const QString &cause) {
                print(cli::Severity::Error, QStringLiteral("recording: %1: %2").arg(file, cause));
            });
    connect(session, &SkLiveSession::streamLost, this, [print](const QString &reason) {
        print(cli::Severity::Warning, QStringLiteral("stream lost: %1").arg(reason));
    });
    connect(session, &SkLiveSession::streamBack, this,
            [print] { print(cli::Severity::Notice, QStringLiteral("stream back")); });
    connect(session, &SkLiveSession::processParametersMissing, this, [this](const QString &text) {
        cli::printError(Command, text);
        stop(cli::ExitFailure);
    });
    connect(session, &SkLiveSession::stopped, this, [this] { QCoreApplication::exit(m_status); });
}

void WatchPrinter::stop(int status)
{
    m_status = std::max(m_status, status);
    m_session->stop();
}

void WatchPrinter::onTaskFinished(const SkFrameTask *task, int status, const QString &message)
{
    const bool failed = status == SkTaskFailed;
    const bool loader = qobject_cast<const SkFrameTaskLoad *>(task) != nullptr;
    if (failed || (!m_session->isStopping() && !loader))
        cli::printError(Command, message);
    if (failed)
        m_status = cli::ExitFailure;
    // The alarm and record tasks only end on their own when they cannot go on.
    if (!loader && !m_session->isStopping())
        stop(cli::ExitFailure);
}

// ---- Options --------------------------------------------------------------------------------

// Checks the record path as the viewer does before it records; false after printing why.
bool prepareRecording(WatchConfig *config, bool importOld)
{
    SkLiveSession::RecordOptions &rec = config->recordOptions;
    if (!rec.path.isEmpty())
        QDir().mkpath(rec.path);
    const SkRecordFolder folder(rec.path);
    switch (folder.status()) {
    case SkRecordFolder::Usable:
        break;
    case SkRecordFolder::NotSet:
        cli::printError(Command, QStringLiteral("No record path is set!"));
        return false;
    default:
        cli::printError(Command, QStringLiteral("Record path is not writeable!"));
        return false;
    }
    rec.path = folder.absolutePath();
    if (importOld)
        rec.oldFiles = folder.oldMinuteFiles();
    const SkRecordFolder::FreeSpace space = folder.freeSpace();
    if (space.isBelow(rec.minFreePercent))
        cli::printWarning(Command, QStringLiteral("Minimal free disk space (%1%) reached! "
                                                  "Currently available: %2% of %3TiB")
                                       .arg(rec.minFreePercent)
                                       .arg(space.percent, 0, 'f', 1)
                                       .arg(space.totalTiB, 0, 'f', 2));
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
        "Files end when read; a stream runs until Ctrl+C or SIGTERM, and is reached again when "
        "it is lost (\"stream lost: <reason>\", \"stream back\"), also when it stays silent "
        "for --timeout seconds. --metrics offers the station's figures (frames, alarms, "
        "recording, disk) to a monitoring system at http://ADDRESS:PORT/metrics."));
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
    const QCommandLineOption window(QStringLiteral("window"),
                                    QStringLiteral("Frames held in memory (default 1000)."),
                                    QStringLiteral("N"));
    const QCommandLineOption maxFrames(QStringLiteral("max-frames"),
                                       QStringLiteral("Read at most N frames (default 0 = all)."),
                                       QStringLiteral("N"));
    const QCommandLineOption timeout = cli::timeoutOption();
    const QCommandLineOption noReconnect(
        QStringLiteral("no-reconnect"),
        QStringLiteral("End with exit status 1 when the stream is lost, instead of reaching it "
                       "again after 1, 2, 4 ... 30 s."));
    const QCommandLineOption batch(QStringLiteral("batch"),
                                   QStringLiteral("Frames released at once when the store is full "
                                                  "(default 500 for files, 1 for a stream)."),
                                   QStringLiteral("N"));
    const QCommandLineOption metrics(
        QStringLiteral("metrics"),
        QStringLiteral("Serve the station's figures in Prometheus' text format at "
                       "http://ADDRESS:PORT/metrics (e.g. 127.0.0.1:9641; port 0 picks a free one)."),
        QStringLiteral("ADDRESS:PORT"));
    parser.addOptions({params, processParams, record, maxFiles, minFree, importOld, script,
                       window, maxFrames, batch, timeout, noReconnect, metrics});
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
    const auto number = [&](const QCommandLineOption &option, qint64 min, qint64 max, auto *out) {
        if (!parser.isSet(option))
            return true;
        if (!cli::toInt(parser.value(option), min, max, &value))
            return false;
        *out = static_cast<std::remove_pointer_t<decltype(out)>>(value);
        return true;
    };
    config->batch = stream ? 1 : 500;
    SkLiveSession::RecordOptions &rec = config->recordOptions;
    if (!number(window, 1, 10000000, &config->window) || !number(batch, 1, 10000000, &config->batch)
        || !number(maxFrames, 0, std::numeric_limits<qint64>::max(), &config->maxFrames)
        || !number(maxFiles, 0, 100000, &rec.maxFiles) || !number(minFree, 0, 100, &rec.minFreePercent))
        return cli::usageError(Command, QStringLiteral("--window, --max-frames, --batch, --max-files and --min-free need whole numbers in range"));
    qint64 seconds = 0;
    const int limits = cli::readLimits(parser, Command, nullptr, nullptr, &seconds);
    if (limits >= 0)
        return limits;
    config->timeoutSeconds = int(seconds);
    config->reconnect = !parser.isSet(noReconnect);
    config->processParams = parser.isSet(processParams);
    if (parser.isSet(params) && !cli::loadParameterOption(Command, parser.value(params), &config->calculator))
        return cli::ExitFailure;
    if (!config->processParams)
        cli::warnIfAllDetectorsOff(Command, config->calculator);
    config->alarmScript = parser.value(script);
    if (parser.isSet(script)) {
        const QFileInfo info(config->alarmScript);
        if (!info.isFile())
            return cli::usageError(Command, QStringLiteral("--alarm-script: %1 not found").arg(config->alarmScript));
        if (!info.isExecutable())
            return cli::usageError(Command, QStringLiteral("--alarm-script: %1 is not executable").arg(config->alarmScript));
    }
    config->metrics = parser.value(metrics);
    if (parser.isSet(metrics) && !WatchMetrics::isAddress(config->metrics))
        return cli::usageError(Command, QStringLiteral("--metrics needs ADDRESS:PORT with a numeric "
                                                       "IPv4 address, e.g. 127.0.0.1:9641 or 0.0.0.0:9641"));
    config->record = parser.isSet(record);
    rec.path = parser.value(record);
    // Everything analysed is recorded, however late the record task's thread gets going.
    rec.startFrame = -1;
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
    auto session = std::make_unique<SkLiveSession>();
    session->setCalculator(config.calculator);
    session->setProcessParameters(config.processParams);
    session->setReconnect(config.reconnect);
    session->setStreamTimeout(config.timeoutSeconds);
    session->setFrameLimit(config.maxFrames);
    session->setAlarmScript(config.alarmScript);
    session->setScriptPolicy(SkLiveSession::ScriptAlways);
    WatchPrinter printer(session.get());
    std::unique_ptr<WatchMetrics> metrics;
    if (!config.metrics.isEmpty()) {
        metrics = std::make_unique<WatchMetrics>(session.get(), config.record ? config.recordOptions.path : QString());
        QString error;
        if (!metrics->listen(config.metrics, &error)) {
            cli::printError(Command, error);
            return cli::ExitFailure;
        }
        const QString host = config.metrics.left(config.metrics.lastIndexOf(QLatin1Char(':')));
        cli::printMessage(Command, cli::Severity::Info,
                          QStringLiteral("metrics at http://%1:%2/metrics").arg(host).arg(metrics->port()));
    }
    stopSignals.onSignal(session.get(), [&printer] {
        printer.stop(cli::ExitOk);
        // The loader is asked to stop first, so a read this breaks off (standard input or a
        // stream that stays open but silent) ends the load rather than failing it.
        rrd_request_stop();
    });
    printRow(QByteArrayLiteral("frame,event,details\n"), cli::Severity::Info);
    std::fflush(stdout);
    session->open(config.sources, config.window, config.batch);
    if (config.record)
        session->startRecording(config.recordOptions);
    const int exitStatus = QCoreApplication::exec();
    metrics.reset();
    // Ended while the printer still listens: an alarm script that is still running says so.
    session.reset();
    return exitStatus;
}
