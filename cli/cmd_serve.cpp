// rrdcli serve: the radar's data stream for the viewer, tests and demos.

#include "CommandLine.h"
#include "StopSignals.h"
#include "RuFrameServer.h"
#include "commands.h"

#include <QCoreApplication>


namespace {

const QString Command = QStringLiteral("serve");

} // namespace

int runServe(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves frames over TCP as the radar's data stream does: every connection receives whole "
        "frames from a frame boundary at the given rate; nothing is read from clients. Frames "
        "come from the SOURCEs (read in order) or from the simulator (--scenario, quiet when "
        "no SOURCE is given). The clock "
        "starts with the first connection. Without --loop the server ends after the last frame. "
        "Ctrl+C or SIGTERM end it."));
    parser.addOptions({
        {QStringLiteral("host"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
         QStringLiteral("address"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"), QStringLiteral("Port to listen on (default 1023)."),
         QStringLiteral("port"), QStringLiteral("1023")},
        {QStringLiteral("rate"),
         QStringLiteral("Frames per second (default: one frame per --interval-ms, i.e. 1)."),
         QStringLiteral("HZ")},
        {QStringLiteral("loop"), QStringLiteral("Start over after the last frame, for ever.")},
    });
    cli::addScenarioOptions(parser);
    parser.addPositionalArgument(QStringLiteral("SOURCE"),
                                 QStringLiteral("Files, archives or streams to serve."),
                                 QStringLiteral("[SOURCE...]"));
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;

    const QStringList sources = parser.positionalArguments();
    // Like simulate, the quiet scenario unless something else is asked for.
    const bool scenario = sources.isEmpty();
    if (parser.isSet(QStringLiteral("scenario")) && !sources.isEmpty())
        return cli::usageError(Command, QStringLiteral("give either SOURCE... or --scenario NAME"));
    RuSimulatorOptions options;
    QString error;
    if (!cli::readScenarioOptions(parser, &options, &error))
        return cli::usageError(Command, error);
    qint64 port = 0;
    if (!cli::toInt(parser.value(QStringLiteral("port")), 0, 65535, &port))
        return cli::usageError(Command, QStringLiteral("--port needs a number from 0 to 65535"));
    double rate = 1000.0 / options.intervalMs;
    if (parser.isSet(QStringLiteral("rate"))) {
        bool ok = false;
        rate = parser.value(QStringLiteral("rate")).toDouble(&ok);
        if (!ok || !(rate > 0.0) || rate > 1000.0)
            return cli::usageError(Command, QStringLiteral("--rate needs frames per second above 0, at most 1000"));
    }

    RuFrameServer server;
    if (scenario)
        server.setScenario(options);
    else
        server.setSources(sources);
    server.setRate(rate);
    server.setLoop(parser.isSet(QStringLiteral("loop")));
    const QString host = parser.value(QStringLiteral("host"));
    if (!server.listen(host, quint16(port))) {
        QString text = QStringLiteral("cannot listen on %1:%2: %3").arg(host).arg(port).arg(server.errorString());
        // Ports below 1024 (the default 1023 among them) need privileges on most systems.
        if (port > 0 && port < 1024)
            text += QStringLiteral(" (ports below 1024 need privileges: use --port with a port from "
                                   "1024, or 0 for a free one)");
        cli::printError(Command, text);
        return cli::ExitFailure;
    }
    cli::printOut(QStringLiteral("serving on %1:%2 at %3 frames/s\n")
                      .arg(host).arg(server.serverPort()).arg(rate));

    StopSignals stopSignals;
    stopSignals.onSignal(&server, [&server] { server.stop(); });
    QObject::connect(&server, &RuFrameServer::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&server, &RuFrameServer::acceptFailed, &server,
                     [](const QString &reason) { cli::printError(Command, reason); });
    QCoreApplication::exec();
    if (!server.errorString().isEmpty()) {
        cli::printError(Command, server.errorString());
        return cli::ExitFailure;
    }
    return cli::ExitOk;
}
