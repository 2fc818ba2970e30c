// rrdcli simulate: writes a recording made by the radar simulator.

#include "CommandLine.h"
#include "commands.h"

#include "RuSimulator.h"

namespace {
const QString Command = QStringLiteral("simulate");
}

int runSimulate(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a simulated recording: noise floor, clutter at channel 0 and the scenario's "
        "events. Gzip-compressed when FILE ends in \".gz\"; \"-\" writes to standard output."));
    cli::addScenarioOptions(parser);
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("File to write."), QStringLiteral("FILE"));
    parser.addOption(output);
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    if (!parser.positionalArguments().isEmpty())
        return cli::usageError(Command, QStringLiteral("unexpected argument '%1'")
                                            .arg(parser.positionalArguments().constFirst()));
    if (!parser.isSet(output) || parser.value(output).isEmpty())
        return cli::usageError(Command, QStringLiteral("-o FILE is required"));

    RuSimulatorOptions options;
    QString error;
    if (!cli::readScenarioOptions(parser, &options, &error))
        return cli::usageError(Command, error);

    const QString path = parser.value(output);
    const RuSimulator simulator(options);
    if (!simulator.writeRecording(path, &error)) {
        cli::printError(Command, QStringLiteral("%1: %2").arg(path, error));
        return cli::ExitFailure;
    }
    if (path != QLatin1String("-")) {
        static const char *const formats[] = {"", "RAW", "STAMPED", "RRD0"};
        cli::printOut(QStringLiteral("%1: %2 %3 frames of %4 range gates, scenario %5\n")
                          .arg(path)
                          .arg(options.frames)
                          .arg(QLatin1String(formats[options.format]))
                          .arg(options.rangegates)
                          .arg(RuSimulatorOptions::scenarioName(options.scenario)));
    }
    return cli::ExitOk;
}
