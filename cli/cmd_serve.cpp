// rrdcli serve: the radar's data stream for the viewer, tests and demos.

#include "CommandLine.h"
#include "RuFrameServer.h"
#include "commands.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Command = QStringLiteral("serve");

// Ctrl+C and SIGTERM end the event loop through a pipe: the handler only writes one byte.
int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

class SignalWatch
{
public:
    SignalWatch()
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &m_oldInt);
        ::sigaction(SIGTERM, &action, &m_oldTerm);
        m_notifier.reset(new QSocketNotifier(signalPipe[0], QSocketNotifier::Read));
        m_installed = true;
    }
    ~SignalWatch()
    {
        if (!m_installed)
            return;
        ::sigaction(SIGINT, &m_oldInt, nullptr);
        ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        m_notifier.reset();
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
    QSocketNotifier *notifier() const { return m_notifier.get(); }

private:
    bool m_installed = false;
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// Picks the activated(QSocketDescriptor, Type) overload, the one both Qt 5.15 and 6 have.
template <typename Tag>
constexpr auto descriptorSignal(void (QSocketNotifier::*signal)(QSocketDescriptor,
                                                               QSocketNotifier::Type, Tag))
{
    return signal;
}

} // namespace

int runServe(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves frames over TCP as the radar's data stream does: every connection receives whole "
        "frames from a frame boundary at the given rate; nothing is read from clients. Frames "
        "come from the SOURCEs (read in order) or from the simulator (--scenario). The clock "
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
    const bool scenario = parser.isSet(QStringLiteral("scenario"));
    if (scenario == !sources.isEmpty())
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
        cli::printError(Command, QStringLiteral("cannot listen on %1:%2: %3")
                                     .arg(host).arg(port).arg(server.errorString()));
        return cli::ExitFailure;
    }
    cli::printOut(QStringLiteral("serving on %1:%2 at %3 frames/s\n")
                      .arg(host).arg(server.serverPort()).arg(rate));

    SignalWatch watch;
    if (watch.notifier())
        QObject::connect(watch.notifier(),
                         descriptorSignal(&QSocketNotifier::activated),
                         &server, [&server] {
                             char byte;
                             [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
                             server.stop();
                         });
    QObject::connect(&server, &RuFrameServer::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    QCoreApplication::exec();
    if (!server.errorString().isEmpty()) {
        cli::printError(Command, server.errorString());
        return cli::ExitFailure;
    }
    return cli::ExitOk;
}
