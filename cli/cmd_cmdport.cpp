// rrdcli cmdport: a stand-in for the radar's text command port, for the viewer's console,
// tests and demos. Every line a client sends is logged and answered.

#include "CommandLine.h"
#include "StopSignals.h"
#include "TcpListener.h"
#include "commands.h"

#include <QCoreApplication>
#include <QHash>
#include <QMap>
#include <QTcpSocket>

namespace {

const QString Command = QStringLiteral("cmdport");
// A client that sends this much without a line end is not talking to a command port.
constexpr int MaxLineBytes = 64 * 1024;
// Answers waiting for a client that does not read them are bounded: past this the client is
// dropped, before it takes the server's memory and time from the others.
constexpr qint64 MaxQueuedBytes = 1024 * 1024;

// What the stand-in radar remembers; shared by all clients, as a radar has one state.
class RadarState
{
public:
    // The answer to one command line, every line ended by a line feed.
    QString answer(const QString &line)
    {
        ++m_commands;
        const QString command = line.trimmed();
        const QString word = command.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty)
                                 .toUpper();
        QString reply = command.isEmpty() ? QStringLiteral("OK\n")
                                          : QStringLiteral("OK %1\n").arg(command);
        if (word == QLatin1String("START"))
            m_state = Running;
        else if (word == QLatin1String("STOP"))
            m_state = Stopped;
        else if (word == QLatin1String("SUSPEND") && m_state != Suspended) {
            m_beforeSuspend = m_state;
            m_state = Suspended;
        } else if (word == QLatin1String("WAKEUP") && m_state == Suspended)
            m_state = m_beforeSuspend;
        else if (word == QLatin1String("NAME"))
            m_name = command.section(QLatin1Char(' '), 1, -1, QString::SectionSkipEmpty);
        else if (word == QLatin1String("PARAM"))
            m_params.insert(command.section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty),
                            command.section(QLatin1Char(' '), 2, -1, QString::SectionSkipEmpty));
        else if (word == QLatin1String("STATUS"))
            reply += status();
        return reply;
    }

    qint64 commands() const { return m_commands; }

private:
    enum State { Stopped, Running, Suspended };

    QString status() const
    {
        static const char *const names[] = {"STOPPED", "RUNNING", "SUSPENDED"};
        return QStringLiteral("STATE %1\nNAME %2\nPARAMS %3\nCOMMANDS %4\n")
            .arg(QLatin1String(names[m_state]), m_name.isEmpty() ? QStringLiteral("-") : m_name)
            .arg(m_params.size())
            .arg(m_commands);
    }

    State m_state = Stopped;
    State m_beforeSuspend = Stopped;
    QString m_name;
    QMap<QString, QString> m_params;
    qint64 m_commands = 0;
};

// Controls of a received line would act on the terminal the log is read on: C0 and C1
// controls (ESC, CSI), line and paragraph separators, and the format characters that
// reorder text (bidirectional overrides and isolates) are shown as escapes.
QString printable(const QString &line)
{
    QString out;
    for (const uint c : line.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Other_Format
            || category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            out += c < 0x100 ? QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'))
                             : QStringLiteral("\\u%1").arg(c, 4, 16, QLatin1Char('0'));
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out;
}

class CommandPort : public QObject
{
public:
    bool listen(const QString &host, quint16 port)
    {
        connect(&m_server, &TcpListener::accepted, this, &CommandPort::acceptClient);
        connect(&m_server, &TcpListener::acceptFailed, this,
                [](const QString &problem) { cli::printOut(problem + QLatin1Char('\n')); });
        return m_server.listen(QHostAddress(host), port);
    }
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }
    qint64 commands() const { return m_radar.commands(); }
    int clientsSeen() const { return m_clientsSeen; }

    // Stops listening and closes every connection after handing it what is queued for it.
    void stop()
    {
        m_server.close();
        const QList<QTcpSocket *> clients = m_buffers.keys();
        for (QTcpSocket *socket : clients) {
            socket->flush();
            socket->disconnectFromHost();
        }
    }

private:
    void acceptClient(QTcpSocket *socket)
    {
        ++m_clientsSeen;
        const QString peer = QStringLiteral("%1:%2")
                                 .arg(socket->peerAddress().toString())
                                 .arg(socket->peerPort());
        cli::printOut(QStringLiteral("%1 connected\n").arg(peer));
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, peer] {
            readLines(socket, peer);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, peer] {
            cli::printOut(QStringLiteral("%1 disconnected\n").arg(peer));
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }

    void readLines(QTcpSocket *socket, const QString &peer)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        int end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            QByteArray bytes = buffer.left(end);
            buffer.remove(0, end + 1);
            if (bytes.endsWith('\r'))
                bytes.chop(1);
            const QString line = QString::fromUtf8(bytes);
            cli::printOut(QStringLiteral("%1> %2\n").arg(peer, printable(line)));
            socket->write(m_radar.answer(line).toUtf8());
            if (socket->bytesToWrite() > MaxQueuedBytes) {
                cli::printOut(QStringLiteral("%1: does not read its answers (%2 bytes waiting), "
                                             "closing\n")
                                  .arg(peer)
                                  .arg(socket->bytesToWrite()));
                // Drops what waits and the buffer above with the client.
                socket->abort();
                return;
            }
        }
        if (buffer.size() > MaxLineBytes) {
            cli::printOut(QStringLiteral("%1: line longer than %2 bytes, closing\n")
                              .arg(peer).arg(MaxLineBytes));
            buffer.clear();
            socket->write("ERROR line too long\n");
            socket->disconnectFromHost();
        }
    }

    QHash<QTcpSocket *, QByteArray> m_buffers;
    RadarState m_radar;
    int m_clientsSeen = 0;
    // Last, so it goes first: the sockets are its children, and one that is still closing
    // reports its end to the members above while it is destroyed.
    TcpListener m_server;
};

} // namespace

int runCmdport(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stands in for the radar's text command port: accepts any number of clients, logs every "
        "line received and answers it with \"OK <line>\". STATUS also answers the state "
        "(STATE STOPPED, RUNNING or SUSPENDED, changed by START, STOP, SUSPEND and WAKEUP), the "
        "NAME, the number of PARAMs set and of commands received. Ctrl+C or SIGTERM end it."));
    parser.addOptions({
        {QStringLiteral("host"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
         QStringLiteral("address"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"),
         QStringLiteral("Port to listen on (default 123, the console's; 0 picks a free one)."),
         QStringLiteral("port"), QStringLiteral("123")},
    });
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    if (!parser.positionalArguments().isEmpty())
        return cli::usageError(Command, QStringLiteral("takes no arguments"));
    qint64 port = 0;
    if (!cli::toInt(parser.value(QStringLiteral("port")), 0, 65535, &port))
        return cli::usageError(Command, QStringLiteral("--port needs a number from 0 to 65535"));
    const QString host = parser.value(QStringLiteral("host"));
    if (QHostAddress(host).isNull())
        return cli::usageError(Command, QStringLiteral("--host needs an IP address"));

    CommandPort server;
    if (!server.listen(host, quint16(port))) {
        cli::printError(Command, QStringLiteral("cannot listen on %1:%2: %3")
                                     .arg(host).arg(port).arg(server.errorString()));
        return cli::ExitFailure;
    }
    cli::printOut(QStringLiteral("command port on %1:%2\n").arg(host).arg(server.port()));

    StopSignals stopSignals;
    stopSignals.onSignal(&server, [&server] {
        server.stop();
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    cli::printOut(QStringLiteral("stopped after %1 commands from %2 clients\n")
                      .arg(server.commands()).arg(server.clientsSeen()));
    return cli::ExitOk;
}
