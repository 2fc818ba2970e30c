// rrdcli analyze: runs the detector engine over every frame of the sources, in order, and
// prints per frame either one JSON object (--jsonl, the default):
//
//   {"frame":0,"time_us":1706767200000000,
//    "avalanche":[{"status":1,"event":false,"sumsum":0.0,"peak_rg":0,"hits":0,"symmetric":0,
//                  "group":[first,last,count,peak_rg,peak,summed,0]}, ... 3 entries],
//    "rain":[{"status":2,"activity":1.0}, ... 3],"waterlevel":[{"status":2,"value":0.0}, ... 3],
//    "live":{"channel0":[...],"activity":[...],"mode":[...],"max":[...],"median":[...]}}
//
// (on one line), or the rows of the alarm log as CSV (--log): "frame,event,details", with
// --log-time "frame,time,event,details" (the frame's UTC time, ISO 8601).
// Floats are printed with the shortest digits that read back as the same float.

#include "Analysis.h"
#include "CommandLine.h"
#include "ProgressLine.h"
#include "SourceList.h"
#include "StopRequest.h"
#include "commands.h"

#include "RuAlarmEvents.h"
#include "RuAlarmLogCsv.h"
#include "RuNumberText.h"

#include <QByteArray>

#include <cmath>
#include <cstdio>

namespace {

const QString Command = QStringLiteral("analyze");

QByteArray jsonFloat(float value)
{
    if (!std::isfinite(value))
        return QByteArrayLiteral("null");
    QByteArray text = ruFloatText(value).toLatin1();
    // Whole numbers keep a fraction so that readers see a float, as for 0.0.
    if (!text.contains('.') && !text.contains('e'))
        text += ".0";
    return text;
}

QByteArray jsonBool(bool value) { return value ? QByteArrayLiteral("true") : QByteArrayLiteral("false"); }

QByteArray jsonList(const QVector<quint16> &values)
{
    QByteArray text = "[";
    for (int i = 0; i < values.size(); ++i) {
        if (i)
            text += ',';
        text += QByteArray::number(values[i]);
    }
    return text + ']';
}

QByteArray avalancheJson(const RuAvalancheResult &r)
{
    const RuAvalancheGroup &g = r.bestGroup;
    return QByteArrayLiteral("{\"status\":") + QByteArray::number(int(r.status))
           + QByteArrayLiteral(",\"event\":") + jsonBool(r.eventFound)
           + QByteArrayLiteral(",\"sumsum\":") + jsonFloat(r.sumSum)
           + QByteArrayLiteral(",\"peak_rg\":") + QByteArray::number(r.peakRangegate)
           + QByteArrayLiteral(",\"hits\":") + QByteArray::number(r.hits)
           + QByteArrayLiteral(",\"symmetric\":") + QByteArray::number(r.symmetricCount)
           + QByteArrayLiteral(",\"group\":[") + QByteArray::number(g.first) + ','
           + QByteArray::number(g.last) + ',' + QByteArray::number(g.count) + ','
           + QByteArray::number(g.peakRangegate) + ',' + jsonFloat(g.peak) + ','
           + jsonFloat(g.summed) + ',' + QByteArray::number(g.frame) + "]}";
}

QByteArray resultJson(qint64 frame, qint64 timeMicros, const RuAlarmResult &result)
{
    QByteArray line = QByteArrayLiteral("{\"frame\":") + QByteArray::number(frame)
                      + QByteArrayLiteral(",\"time_us\":") + QByteArray::number(timeMicros)
                      + QByteArrayLiteral(",\"avalanche\":[");
    for (int k = 0; k < RuAlarmResult::Detectors; ++k)
        line += (k ? "," : "") + avalancheJson(result.avalanche[k]);
    line += "],\"rain\":[";
    for (int k = 0; k < RuAlarmResult::Detectors; ++k)
        line += (k ? ",{\"status\":" : "{\"status\":")
                + QByteArray::number(int(result.rain[k].status)) + ",\"activity\":"
                + jsonFloat(result.rain[k].activity) + '}';
    line += "],\"waterlevel\":[";
    for (int k = 0; k < RuAlarmResult::Detectors; ++k)
        line += (k ? ",{\"status\":" : "{\"status\":")
                + QByteArray::number(int(result.waterlevel[k].status)) + ",\"value\":"
                + jsonFloat(result.waterlevel[k].value) + '}';
    const RuLiveValues &live = result.live;
    line += "],\"live\":{\"channel0\":" + jsonList(live.channel0)
            + ",\"activity\":" + jsonList(live.activity)
            + ",\"mode\":" + jsonList(live.mainVelocity)
            + ",\"max\":" + jsonList(live.maxVelocity)
            + ",\"median\":" + jsonList(live.medianVelocity) + "}}\n";
    return line;
}

// The log's rows of the frame; with `time`, that column after the frame number (empty for a
// frame that carries no time, RAW).
QByteArray logRows(qint64 frame, const RuAlarmResult &result, const RuFrame &stamp, bool withTime)
{
    const QByteArray time = withTime && stamp.hasStamp() ? ruAlarmLogCsvTime(stamp.timeMicros())
                                                         : QByteArray();
    QByteArray rows;
    for (const RuAlarmEvent &e : ruAlarmEvents(result))
        rows += ruAlarmLogCsvRow(frame, withTime ? &time : nullptr, e.tag, e.detail);
    return rows;
}

// Each line reaches a pipe or file as soon as it is computed, so a reader follows the
// frames as they come and nothing computed is lost when the run is stopped.
void write(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int runAnalyze(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the detectors over every frame of the sources, in order, and prints one JSON "
        "object per frame (--jsonl, default) or the alarm log as CSV (--log). A source is a "
        "file, an archive, \"-\" for standard input, host:port for a stream, or a folder or "
        "wildcard of data files (a record folder's minute files, read in the order of the UTC "
        "start in their names, then files named otherwise). The detectors' history runs on "
        "from one source to the next. Without --params or --process-params the engine's "
        "built-in settings apply (all detectors off)."));
    const QCommandLineOption params = cli::paramsOption();
    const QCommandLineOption processParams = cli::processParamsOption();
    const QCommandLineOption jsonl(QStringLiteral("jsonl"),
                                   QStringLiteral("Print one JSON object per frame (default)."));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Print the alarm log as CSV: frame,event,details."));
    const QCommandLineOption logTimeOption(
        QStringLiteral("log-time"),
        QStringLiteral("With --log: a column time after frame, the frame's time in UTC "
                       "(ISO 8601, e.g. 2024-02-01T06:03:21.000Z; empty for RAW frames)."));
    const QCommandLineOption maxFrames =
        cli::maxFramesOption(QStringLiteral("Read at most N frames (of all sources together)."));
    const QCommandLineOption timeout = cli::timeoutOption();
    parser.addOptions({params, processParams, jsonl, log, logTimeOption, maxFrames, timeout});
    parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("Sources to analyse, in order."),
                                 QStringLiteral("SOURCE..."));
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    if (parser.isSet(params) && parser.isSet(processParams))
        return cli::usageError(Command, QStringLiteral("--params and --process-params exclude each other"));
    if (parser.isSet(jsonl) && parser.isSet(log))
        return cli::usageError(Command, QStringLiteral("--jsonl and --log exclude each other"));
    if (parser.isSet(logTimeOption) && !parser.isSet(log))
        return cli::usageError(Command, QStringLiteral("--log-time needs --log"));
    qint64 max = 0;
    qint64 seconds = 0;
    const int limits = cli::readLimits(parser, Command, &maxFrames, &max, &seconds);
    if (limits >= 0)
        return limits;
    if (parser.positionalArguments().isEmpty())
        return cli::usageError(Command, QStringLiteral("no SOURCE given"));
    QStringList sources;
    if (!cli::expandSources(Command, parser.positionalArguments(), &sources))
        return cli::ExitFailure;

    RuAlarmCalculator calculator;
    if (parser.isSet(params) && !cli::loadParameterOption(Command, parser.value(params), &calculator))
        return cli::ExitFailure;
    if (!parser.isSet(processParams))
        cli::warnIfAllDetectorsOff(Command, calculator);
    const bool asLog = parser.isSet(log);
    const bool withTime = parser.isSet(logTimeOption);
    if (asLog)
        write(ruAlarmLogCsvHeader(withTime));
    cli::StopRequest stop;
    cli::FrameRun run(sources, int(seconds));
    cli::ProgressLine progress(Command);
    run.setProgress(&progress);
    RuFrame frame;
    QString error;
    while ((max == 0 || run.framesRead() < max) && run.next(Command, &frame)) {
        const qint64 n = run.framesRead() - 1;
        if (n == 0 && parser.isSet(processParams)) {
            if (!cli::loadProcessParameters(frame, &calculator, &error)) {
                progress.finish();
                cli::printError(Command, error);
                return cli::ExitFailure;
            }
            cli::warnIfAllDetectorsOff(Command, calculator);
        }
        calculator.processFrame(frame, frame.timeMicros());
        const SkAlarmResultSharedPtr result = calculator.lastResult();
        if (result && asLog)
            write(logRows(n, *result, frame, withTime));
        else if (result)
            write(resultJson(n, frame.timeMicros(), *result));
    }
    progress.finish();
    if (cli::StopRequest::requested()) {
        cli::printError(Command, QStringLiteral("stopped by %1 after %2 frames")
                                     .arg(cli::StopRequest::signalName())
                                     .arg(run.framesRead()));
        return cli::StopRequest::exitStatus();
    }
    if (parser.isSet(processParams) && run.framesRead() == 0 && !run.hadErrors()) {
        cli::printError(Command, cli::noProcessParametersText());
        return cli::ExitFailure;
    }
    return run.hadErrors() ? cli::ExitFailure : cli::ExitOk;
}
