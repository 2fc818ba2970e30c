// rrdcli simulate: writes a recording made by the radar simulator.

#include "CommandLine.h"
#include "commands.h"

#include "ProgressLine.h"
#include "StopRequest.h"

#include "RuFile.h"
#include "RuFrame.h"
#include "RuSimulator.h"

namespace {

const QString Command = QStringLiteral("simulate");

// Writes the recording frame by frame, so that a stop signal ends it at a frame boundary
// with a complete file. The frames written, or -1 with the cause in `error`.
qint64 writeRecording(const RuSimulator &simulator, const QString &path, QString *error)
{
    const RuSimulatorOptions &options = simulator.options();
    RuFile file(path, 'w');
    if (!file.isOpen()) {
        *error = file.errorString();
        return -1;
    }
    cli::ProgressLine progress(Command);
    progress.setTotal(options.frames);
    RuFrame frame(rrd_frame_new(uint32_t(options.format), options.rangegates));
    qint64 written = 0;
    for (int i = 0; i < options.frames && !cli::StopRequest::requested(); ++i) {
        if (frame.isNull() || simulator.fill(i, frame.record()) != 0) {
            *error = QStringLiteral("out of memory");
            return -1;
        }
        if (file.writeFrame(frame) != 0) {
            *error = file.errorString();
            return -1;
        }
        ++written;
        progress.frameDone();
    }
    progress.finish();
    if (!file.isOpen()) {
        *error = file.errorString();
        return -1;
    }
    if (!file.close()) {
        *error = file.errorString();
        return -1;
    }
    return written;
}

} // namespace

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
    cli::StopRequest stop;
    const qint64 written = writeRecording(simulator, path, &error);
    if (written < 0) {
        cli::printError(Command, QStringLiteral("%1: %2").arg(path, error));
        return cli::ExitFailure;
    }
    if (cli::StopRequest::requested()) {
        cli::printError(Command, QStringLiteral("stopped by %1: %2 of %3 frames written to %4")
                                     .arg(cli::StopRequest::signalName())
                                     .arg(written)
                                     .arg(options.frames)
                                     .arg(path));
        return cli::StopRequest::exitStatus();
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
