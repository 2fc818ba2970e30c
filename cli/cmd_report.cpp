// rrdcli report: what the detectors saw in a recording, as one self-contained HTML page to
// mail after an event:
//
//   rrdcli report SOURCE... (--params FILE.ini | --process-params) -o REPORT.html
//
// The detectors run over every frame as in `rrdcli analyze`; the page holds the recording's
// facts, the alarm log, the activity over the whole recording and the views of each alarm,
// drawn by the viewer's plots. The only command that draws: rrdcli gives it a QApplication
// on the offscreen platform.

#include "Analysis.h"
#include "CommandLine.h"
#include "OutputDevice.h"
#include "ProgressLine.h"
#include "StopRequest.h"
#include "commands.h"

#include "SkReportCollector.h"
#include "SkReportPage.h"

#include <QApplication>

namespace {

const QString Command = QStringLiteral("report");

struct Analysed
{
    SkReportCollector data;
    RuParameterSet parameters;
};

// Runs the detectors over the sources into `out`; -1 when done, else the exit status (the
// failure printed).
int analyse(const QCommandLineParser &parser, const QStringList &sources, qint64 max,
            qint64 seconds, Analysed *out)
{
    const bool processParams = parser.isSet(QStringLiteral("process-params"));
    RuAlarmCalculator calculator;
    if (!processParams && !cli::loadParameterOption(Command, parser.value(QStringLiteral("params")), &calculator))
        return cli::ExitFailure;
    cli::FrameRun run(sources, int(seconds));
    cli::ProgressLine progress(Command);
    run.setProgress(&progress);
    RuFrame frame;
    while ((max == 0 || run.framesRead() < max) && run.next(Command, &frame)) {
        const qint64 n = run.framesRead() - 1;
        if (n == 0) {
            QString error;
            if (processParams && !cli::loadProcessParameters(frame, &calculator, &error)) {
                progress.finish();
                cli::printError(Command, error);
                return cli::ExitFailure;
            }
            cli::warnIfAllDetectorsOff(Command, calculator);
            out->parameters = RuParameterSet::fromCalculator(calculator);
            out->data.setWaterlevelRangegate(calculator.waterlevelParams(0).rangegate);
        }
        calculator.processFrame(frame, frame.timeMicros());
        out->data.add(n, frame, calculator.lastResult());
    }
    progress.finish();
    if (run.framesRead() == 0) {
        if (!run.hadErrors() && !cli::StopRequest::requested())
            cli::printError(Command, QStringLiteral("the sources hold no frame: no report is written"));
        return cli::StopRequest::requested() ? cli::StopRequest::exitStatus() : cli::ExitFailure;
    }
    return run.hadErrors() ? cli::ExitFailure : -1;
}

bool writePage(const QString &path, const QByteArray &html)
{
    OutputDevice out(path);
    if (!out.open() || !out.write(html.constData(), html.size()) || !out.commit()) {
        cli::printError(Command, out.errorString());
        return false;
    }
    return true;
}

} // namespace

int runReport(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the detectors over every frame of the sources, in order, and writes one "
        "self-contained HTML page (pictures inside, nothing fetched, no scripts) to mail after "
        "an event: the sources, time span, frames, range gates and settings; the alarm log "
        "with UTC times, range gates and their distance from the radar; the activity over the "
        "whole recording with its events; for each alarm on, its range gate over time and "
        "the frame at the alarm, as the viewer shows them."));
    const QCommandLineOption params = cli::paramsOption();
    const QCommandLineOption processParams = cli::processParamsOption();
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The page to write (- for standard output)."),
                                    QStringLiteral("REPORT.html"));
    const QCommandLineOption maxFrames =
        cli::maxFramesOption(QStringLiteral("Read at most N frames (of all sources together)."));
    parser.addOptions({params, processParams, output, maxFrames, cli::timeoutOption()});
    parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("Sources to report on, in order."),
                                 QStringLiteral("SOURCE..."));
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    if (parser.isSet(params) == parser.isSet(processParams))
        return cli::usageError(Command, QStringLiteral("give the settings with --params FILE.ini or --process-params"));
    if (!parser.isSet(output))
        return cli::usageError(Command, QStringLiteral("give the page to write with -o REPORT.html"));
    const QStringList sources = parser.positionalArguments();
    if (sources.isEmpty())
        return cli::usageError(Command, QStringLiteral("no SOURCE given"));
    qint64 max = 0;
    qint64 seconds = 0;
    const int limits = cli::readLimits(parser, Command, &maxFrames, &max, &seconds);
    if (limits >= 0)
        return limits;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        cli::printError(Command, QStringLiteral("the report is drawn by widgets: it needs a QApplication"));
        return cli::ExitFailure;
    }

    cli::StopRequest stop;
    Analysed analysed;
    const int failed = analyse(parser, sources, max, seconds, &analysed);
    if (failed >= 0 && analysed.data.frames() == 0)
        return failed;
    SkReportContext context;
    context.sources = sources;
    context.settingsOrigin = parser.isSet(params)
                                 ? parser.value(params)
                                 : QStringLiteral("the radar's process parameters of the first frame");
    context.program = QStringLiteral("rrdcli ") + QCoreApplication::applicationVersion();
    const SkReportPage page(analysed.data, analysed.parameters, context);
    if (!writePage(parser.value(output), page.html()))
        return cli::ExitFailure;
    if (cli::StopRequest::requested()) {
        cli::printError(Command, QStringLiteral("stopped by %1 after %2 frames: the report holds them")
                                     .arg(cli::StopRequest::signalName())
                                     .arg(analysed.data.frames()));
        return cli::StopRequest::exitStatus();
    }
    return failed >= 0 ? failed : cli::ExitOk;
}
