// rrdcli export: the matrices the viewer shows under "Show What", for every frame of the
// sources that carries them, into a NumPy archive or CSV:
//
//   rrdcli export --type original|filtered|background|normalized|halfsym [--frames A:B]
//                 [--params FILE | --process-params] [--format npz|csv] -o OUT SOURCE...
//
// One detector engine runs over all frames of the sources in order, as in `analyze`, so frame
// numbers agree with it; frames before A are analysed too, so a derived matrix carries the
// whole history as in the viewer. Each frame becomes a packet, and the packet's own
// hasMatrix/matrix decide what is exported. OUT appears only when it is complete.

#include "Analysis.h"
#include "CommandLine.h"
#include "CsvMatrixSink.h"
#include "NpzMatrixSink.h"
#include "ProgressLine.h"
#include "StopRequest.h"
#include "commands.h"

#include "RcOutputFile.h"
#include "SkPacket.h"

#include <QRegularExpression>

#include <memory>

namespace {

const QString Command = QStringLiteral("export");

struct TypeName
{
    const char *name;
    SkPacketTypeEnum type;
};

const TypeName typeNames[] = {
    {"original", SkPacketTypeEnum::Original},
    {"filtered", SkPacketTypeEnum::OriginalFiltered},
    {"background", SkPacketTypeEnum::AvalancheBackground},
    {"normalized", SkPacketTypeEnum::AvalancheNormalized},
    {"halfsym", SkPacketTypeEnum::LiveHalfSym},
};

bool toType(const QString &name, SkPacketTypeEnum *type)
{
    for (const TypeName &t : typeNames) {
        if (name == QLatin1String(t.name)) {
            *type = t.type;
            return true;
        }
    }
    return false;
}

// Frames [begin, end); end -1 when open.
struct FrameRange
{
    qint64 begin = 0;
    qint64 end = -1;

    bool parse(const QString &text)
    {
        const QRegularExpression form(QStringLiteral("^(\\d*):(\\d*)$"));
        const QRegularExpressionMatch m = form.match(text);
        if (!m.hasMatch())
            return false;
        const qint64 limit = 1LL << 40;
        if (!m.captured(1).isEmpty() && !cli::toInt(m.captured(1), 0, limit, &begin))
            return false;
        if (!m.captured(2).isEmpty() && !cli::toInt(m.captured(2), 0, limit, &end))
            return false;
        return end < 0 || begin < end;
    }
    QString text() const
    {
        return QString::number(begin) + ':' + (end < 0 ? QString() : QString::number(end));
    }
};

struct Request
{
    SkPacketTypeEnum type = SkPacketTypeEnum::Original;
    FrameRange range;
    bool csv = false;
    QString output;
    QStringList sources;
    QString paramsFile;
    bool processParams = false;
    int timeout = 10;
};

// "npz" or "csv" by the file's ending, or nothing.
QString formatByName(const QString &path)
{
    for (const QString &format : {QStringLiteral("npz"), QStringLiteral("csv")}) {
        if (path.endsWith(QLatin1Char('.') + format, Qt::CaseInsensitive))
            return format;
    }
    return QString();
}

// Fills `request` from the command line; -1 when it is complete, else the exit status.
int readRequest(const QStringList &args, Request *request)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports the matrix of one packet type (the viewer's \"Show What\") of every frame that\n"
        "carries it into a NumPy archive (data: float32 frames x range gates x 1024, frame and\n"
        "time_us: int64) or CSV (frame,time_us,rangegate,c0,...,c1023). One detector engine\n"
        "runs over all frames of the sources in order, numbered from 0 as by analyze.\n"
        "Without --params or --process-params every detector is off and only original exists."));
    const QCommandLineOption type(QStringLiteral("type"),
                                  QStringLiteral("original, filtered, background, normalized or halfsym."),
                                  QStringLiteral("TYPE"));
    const QCommandLineOption frames(
        QStringLiteral("frames"),
        QStringLiteral("Export frames A to B-1 (either may be left out); earlier frames are "
                       "still analysed."),
        QStringLiteral("A:B"));
    const QCommandLineOption params = cli::paramsOption();
    const QCommandLineOption processParams = cli::processParamsOption();
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("npz or csv (default: by OUT's ending, .npz or .csv)."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The file to write (- for standard output, as CSV "
                                                   "unless --format npz)."),
                                    QStringLiteral("OUT"));
    const QCommandLineOption timeout = cli::timeoutOption();
    parser.addOptions({type, frames, params, processParams, format, output, timeout});
    parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("Sources, in order."),
                                 QStringLiteral("SOURCE..."));
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;

    if (!parser.isSet(type))
        return cli::usageError(Command, QStringLiteral("--type is missing"));
    if (!toType(parser.value(type), &request->type))
        return cli::usageError(Command, QStringLiteral("unknown --type '%1' (original, filtered, "
                                                       "background, normalized, halfsym)")
                                            .arg(parser.value(type)));
    if (parser.isSet(frames) && !request->range.parse(parser.value(frames)))
        return cli::usageError(Command, QStringLiteral("--frames needs A:B with whole numbers "
                                                       "A < B (either may be left out)"));
    if (parser.isSet(params) && parser.isSet(processParams))
        return cli::usageError(Command, QStringLiteral("--params and --process-params exclude each other"));
    request->paramsFile = parser.value(params);
    request->processParams = parser.isSet(processParams);
    request->output = parser.value(output);
    if (request->output.isEmpty())
        return cli::usageError(Command, QStringLiteral("the output file (-o OUT) is missing"));
    // Standard output takes the lines of a CSV as they come; an archive needs --format.
    const QString defaultFormat = request->output == QLatin1String("-") ? QStringLiteral("csv")
                                                                         : formatByName(request->output);
    const QString formatName = parser.isSet(format) ? parser.value(format) : defaultFormat;
    if (formatName.isEmpty())
        return cli::usageError(Command, QStringLiteral("OUT ends neither in .npz nor in .csv: "
                                                       "give --format npz or --format csv"));
    if (formatName != QLatin1String("npz") && formatName != QLatin1String("csv"))
        return cli::usageError(Command, QStringLiteral("unknown --format '%1' (npz, csv)").arg(formatName));
    request->csv = formatName == QLatin1String("csv");
    qint64 seconds = 0;
    const int limits = cli::readLimits(parser, Command, nullptr, nullptr, &seconds);
    if (limits >= 0)
        return limits;
    request->timeout = int(seconds);
    request->sources = parser.positionalArguments();
    if (request->sources.isEmpty())
        return cli::usageError(Command, QStringLiteral("no SOURCE given"));
    // The output replaces its file only at the end, which would destroy a source just read.
    for (const QString &source : request->sources) {
        if (RcOutputFile::sameFile(source, request->output)) {
            cli::printError(Command, QStringLiteral("%1 is one of the sources; choose another OUT")
                                         .arg(request->output));
            return cli::ExitFailure;
        }
    }
    return -1;
}

QString typeLabel(SkPacketTypeEnum type)
{
    return QLatin1Char('"') + skPacketTypeName(type) + QLatin1Char('"');
}

// What the settings in use lack for the matrix of `type`; empty when they have it.
QString settingsLack(SkPacketTypeEnum type, const RuAlarmCalculator &calculator)
{
    const RuLiveEnables &live = calculator.liveEnables();
    bool avalanche = false;
    for (int k = 0; k < RuAlarmResult::Detectors; ++k)
        avalanche = avalanche || calculator.avalancheEnable(k);
    switch (type) {
    case SkPacketTypeEnum::LiveHalfSym:
        return live.anyVelocity() ? QString()
                                  : QStringLiteral("a live velocity (params/liveEnable and one of "
                                                   "liveEnableMainVelocity, liveEnableMaxVelocity, "
                                                   "liveEnableMedianVelocity)");
    case SkPacketTypeEnum::AvalancheNormalized:
        return avalanche || live.activity ? QString()
                                          : QStringLiteral("an avalanche detector or the live "
                                                           "activity (params/liveEnableActivity)");
    default:
        return avalanche || live.any() ? QString()
                                       : QStringLiteral("an avalanche detector or a live value");
    }
}

// Why no frame carries the matrix: what the settings given lack, or else that the engine
// had no background for it yet.
QString missingMatrixReason(const Request &request, const RuAlarmCalculator &calculator)
{
    if (request.paramsFile.isEmpty() && !request.processParams)
        return QStringLiteral("the detectors compute it only when enabled: see --params and "
                              "--process-params");
    const QString lack = settingsLack(request.type, calculator);
    if (lack.isEmpty())
        return QStringLiteral("the detectors had no background for it yet");
    const QString settings = request.processParams
                                 ? QStringLiteral("the first frame's process parameters")
                                 : request.paramsFile;
    return QStringLiteral("%1 leave%2 off what it needs: %3")
        .arg(settings, request.processParams ? QString() : QStringLiteral("s"), lack);
}

// Why nothing was written, once all frames are read; empty when the export may be committed.
QString rangeProblem(const Request &request, const RuAlarmCalculator &calculator,
                     qint64 framesRead, qint64 exported)
{
    const FrameRange &r = request.range;
    const bool whole = r.begin == 0 && r.end < 0;
    const QString held = framesRead == 0 ? QStringLiteral("the sources hold no frame")
                                         : QStringLiteral("the sources hold frames 0:%1").arg(framesRead);
    if (r.begin >= framesRead)
        return whole ? held : QStringLiteral("frames %1 lie outside the sources: %2").arg(r.text(), held);
    if (r.end > framesRead)
        return QStringLiteral("frames %1 reach past the sources' end: %2").arg(r.text(), held);
    if (exported == 0)
        return QStringLiteral("no frame %1carries the %2 matrix: %3")
            .arg(whole ? QString() : QStringLiteral("of %1 ").arg(r.text()), typeLabel(request.type),
                 missingMatrixReason(request, calculator));
    return QString();
}

// Ends a stopped export: what it holds so far is a whole archive or table of the frames
// read, so it is written, and the exit status tells that the run was cut short.
int finishStopped(MatrixSink *sink, qint64 framesRead, qint64 exported, qint64 first, qint64 last)
{
    const QString stopped = QStringLiteral("stopped by %1 after %2 frames read")
                                .arg(cli::StopRequest::signalName())
                                .arg(framesRead);
    if (exported == 0 && !sink->streams()) {
        cli::printError(Command, stopped + QStringLiteral("; %1 not written").arg(sink->output().name()));
    } else if (!sink->commit()) {
        cli::printError(Command, stopped + QStringLiteral("; ") + sink->errorString());
    } else {
        cli::printError(Command, stopped + QStringLiteral(": %1 holds %2 frames from %3 to %4")
                                     .arg(sink->output().name())
                                     .arg(exported)
                                     .arg(first)
                                     .arg(last));
    }
    return cli::StopRequest::exitStatus();
}

int runExportRequest(const Request &request)
{
    RuAlarmCalculator calculator;
    if (!request.paramsFile.isEmpty()
        && !cli::loadParameterOption(Command, request.paramsFile, &calculator))
        return cli::ExitFailure;
    // Taken before the output opens, so that a signal never finds a half-made file.
    cli::StopRequest stop;
    std::unique_ptr<MatrixSink> sink;
    if (request.csv)
        sink.reset(new CsvMatrixSink(request.output));
    else
        sink.reset(new NpzMatrixSink(request.output));
    if (!sink->open()) {
        cli::printError(Command, sink->errorString());
        return cli::ExitFailure;
    }
    // What a failure leaves: nothing, except the lines a stream has taken already.
    const QString notWritten = sink->output().name()
                               + (sink->streams() ? QStringLiteral(" is incomplete")
                                                  : QStringLiteral(" not written"));

    // The Original matrix is the frame itself: no engine needed.
    const bool analyse = request.type != SkPacketTypeEnum::Original;
    cli::FrameRun run(request.sources, request.timeout);
    cli::ProgressLine progress(Command);
    run.setProgress(&progress);
    qint64 exported = 0;
    qint64 first = -1;
    qint64 last = -1;
    RuFrame frame;
    QString error;
    while ((request.range.end < 0 || run.framesRead() < request.range.end)
           && run.next(Command, &frame)) {
        const qint64 n = run.framesRead() - 1;
        // The run ends at B, whatever the sources hold (each source sets its own total).
        if (request.range.end > 0)
            progress.setTotal(request.range.end);
        if (n == 0 && request.processParams
            && !cli::loadProcessParameters(frame, &calculator, &error)) {
            progress.finish();
            cli::printError(Command, error);
            return cli::ExitFailure;
        }
        if (analyse)
            calculator.processFrame(frame, frame.timeMicros());
        if (n < request.range.begin)
            continue;
        SkPacket packet(frame, int(n));
        if (analyse)
            packet.setAlarmResult(calculator.lastResult());
        if (!packet.hasMatrix(request.type))
            continue;
        if (!sink->add(n, frame.timeMicros(), *packet.matrix(request.type))) {
            progress.finish();
            cli::printError(Command, sink->errorString() + QStringLiteral("; ") + notWritten);
            return cli::ExitFailure;
        }
        first = exported++ == 0 ? n : first;
        last = n;
    }
    progress.finish();
    if (cli::StopRequest::requested())
        return finishStopped(sink.get(), run.framesRead(), exported, first, last);
    if (request.processParams && run.framesRead() == 0 && !run.hadErrors()) {
        cli::printError(Command, cli::noProcessParametersText());
        return cli::ExitFailure;
    }
    if (run.hadErrors()) {
        cli::printError(Command, notWritten);
        return cli::ExitFailure;
    }
    const QString problem = rangeProblem(request, calculator, run.framesRead(), exported);
    if (!problem.isEmpty()) {
        cli::printError(Command, problem + QStringLiteral("; ") + notWritten);
        return cli::ExitFailure;
    }
    if (!sink->commit()) {
        cli::printError(Command, sink->errorString());
        return cli::ExitFailure;
    }
    return cli::ExitOk;
}

} // namespace

int runExport(const QStringList &args)
{
    Request request;
    const int status = readRequest(args, &request);
    return status >= 0 ? status : runExportRequest(request);
}
