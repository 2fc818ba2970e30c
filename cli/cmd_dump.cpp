// rrdcli dump: the texts of the viewer's two frame docks for one frame. Runs the detectors
// over the frames up to and including frame N (so that its result has its history), then
// prints
//
//   [Details]
//   <the frame's process parameters, one line each>
//
//   [Computed]
//   <what the detectors computed for it, one line each>
//
// A frame without rrd_info has no detail lines; with all detectors off there are no computed
// lines.

#include "Analysis.h"
#include "CommandLine.h"
#include "commands.h"

#include "RuAlarmDetails.h"
#include "RuFrameDetails.h"

namespace {

const QString Command = QStringLiteral("dump");

QString section(const char *title, const QStringList &lines)
{
    QString text = QLatin1String(title) + QLatin1Char('\n');
    for (const QString &line : lines)
        text += line + QLatin1Char('\n');
    return text;
}

} // namespace

int runDump(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the process parameters of frame N of SOURCE and, after running the detectors "
        "over the frames up to it, what they computed for it. A source is a file, an archive, "
        "\"-\" for standard input or host:port for a stream."));
    const QCommandLineOption frameOption(QStringLiteral("frame"),
                                         QStringLiteral("The frame to show, counted from 0 (default 0)."),
                                         QStringLiteral("N"));
    const QCommandLineOption params = cli::paramsOption();
    const QCommandLineOption processParams = cli::processParamsOption();
    const QCommandLineOption timeout = cli::timeoutOption();
    parser.addOptions({frameOption, params, processParams, timeout});
    parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("The source to read."));
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    qint64 wanted = 0;
    if (parser.isSet(frameOption)
        && !cli::toInt(parser.value(frameOption), 0, 1LL << 40, &wanted))
        return cli::usageError(Command, QStringLiteral("--frame needs a whole number from 0"));
    qint64 seconds = 0;
    const int limits = cli::readLimits(parser, Command, nullptr, nullptr, &seconds);
    if (limits >= 0)
        return limits;
    const QStringList sources = parser.positionalArguments();
    if (sources.size() != 1)
        return cli::usageError(Command, QStringLiteral("give exactly one SOURCE"));

    if (parser.isSet(params) && parser.isSet(processParams))
        return cli::usageError(Command, QStringLiteral("--params and --process-params exclude each other"));

    RuAlarmCalculator calculator;
    if (parser.isSet(params) && !cli::loadParameterOption(Command, parser.value(params), &calculator))
        return cli::ExitFailure;
    if (!parser.isSet(processParams))
        cli::warnIfAllDetectorsOff(Command, calculator);
    cli::FrameRun run(sources, int(seconds));
    RuFrame frame;
    QString error;
    while (run.framesRead() <= wanted && run.next(Command, &frame)) {
        if (run.framesRead() == 1 && parser.isSet(processParams)) {
            if (!cli::loadProcessParameters(frame, &calculator, &error)) {
                cli::printError(Command, error);
                return cli::ExitFailure;
            }
            cli::warnIfAllDetectorsOff(Command, calculator);
        }
        calculator.processFrame(frame, frame.timeMicros());
    }
    if (run.framesRead() <= wanted) {
        if (!run.hadErrors())
            cli::printError(Command, QStringLiteral("%1 has no frame %2 (it holds %3)")
                                         .arg(sources.first())
                                         .arg(wanted)
                                         .arg(run.framesRead()));
        return cli::ExitFailure;
    }
    const SkAlarmResultSharedPtr result = calculator.lastResult();
    cli::printOut(section("[Details]", ruFrameDetails(frame)) + QLatin1Char('\n')
                  + section("[Computed]", result ? ruAlarmDetails(*result) : QStringList()));
    return cli::ExitOk;
}
