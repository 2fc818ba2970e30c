// rrdcli cmdport as a client sees it: real processes, real sockets on 127.0.0.1.

#include "CmdportProcess.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

namespace {

class Client
{
public:
    explicit Client(quint16 port) { m_socket.connectToHost(QStringLiteral("127.0.0.1"), port); }
    bool connected() { return m_socket.waitForConnected(10000); }

    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }

    // Reads until the answers hold `lines` line feeds in all.
    QString readLines(int lines)
    {
        m_received += m_socket.readAll();
        while (m_received.count('\n') < lines && m_socket.waitForReadyRead(10000))
            m_received += m_socket.readAll();
        return QString::fromUtf8(m_received);
    }

    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

} // namespace

class TestCmdport : public QObject
{
    Q_OBJECT

private slots:
    void answersEveryLineWithOk_data();
    void answersEveryLineWithOk();
    void statusFollowsStartStopSuspendWakeup();
    void clientsShareOneRadarAndAreLogged();
    void closesAClientThatSendsNoLineEnd();
    void endsCleanlyOnStopSignals_data();
    void endsCleanlyOnStopSignals();
    void refusesBadOptions_data();
    void refusesBadOptions();
    void logShowsControlsAsEscapes_data();
    void logShowsControlsAsEscapes();
    void dropsAClientThatDoesNotReadItsAnswers();
    void acceptsAgainOnceFilesAreFree();
};

void TestCmdport::answersEveryLineWithOk_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("answer");
    QTest::newRow("line feed") << QByteArray("STOP\n") << QStringLiteral("OK STOP\n");
    QTest::newRow("windows line end") << QByteArray("RUN_DSP\r\n") << QStringLiteral("OK RUN_DSP\n");
    QTest::newRow("parameter") << QByteArray("PARAM RANGE 600\n")
                               << QStringLiteral("OK PARAM RANGE 600\n");
    QTest::newRow("empty line") << QByteArray("\n") << QStringLiteral("OK\n");
    QTest::newRow("utf-8") << QByteArray("NAME H\xc3\xb6he\n") << QStringLiteral("OK NAME H\u00f6he\n");
}

void TestCmdport::answersEveryLineWithOk()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, answer);
    CmdportProcess cmdport;
    QVERIFY(cmdport.port() != 0);
    Client client(cmdport.port());
    QVERIFY(client.connected());
    // Sent in two pieces: a line is answered once it is whole.
    client.send(sent.left(2));
    QVERIFY(client.socket().bytesToWrite() == 0 || client.socket().waitForBytesWritten(10000));
    client.send(sent.mid(2));
    QCOMPARE(client.readLines(1), answer);
}

void TestCmdport::statusFollowsStartStopSuspendWakeup()
{
    CmdportProcess cmdport;
    Client client(cmdport.port());
    QVERIFY(client.connected());
    const struct
    {
        const char *command;
        const char *state;
    } steps[] = {
        {nullptr, "STOPPED"},     {"START", "RUNNING"}, {"SUSPEND", "SUSPENDED"},
        {"WAKEUP", "RUNNING"},    {"STOP", "STOPPED"},  {"SUSPEND", "SUSPENDED"},
        {"WAKEUP", "STOPPED"},    {"WAKEUP", "STOPPED"},
    };
    int lines = 0;
    for (const auto &step : steps) {
        if (step.command) {
            client.send(QByteArray(step.command) + '\n');
            ++lines;
        }
        client.send("STATUS\n");
        lines += 5;
        const QString answers = client.readLines(lines);
        const QString status = answers.section(QStringLiteral("OK STATUS\n"), -1);
        QVERIFY2(status.startsWith(QStringLiteral("STATE %1\n").arg(QLatin1String(step.state))),
                 qPrintable(answers));
    }
}

void TestCmdport::clientsShareOneRadarAndAreLogged()
{
    CmdportProcess cmdport;
    Client first(cmdport.port());
    Client second(cmdport.port());
    QVERIFY(first.connected());
    QVERIFY(second.connected());
    first.send("NAME mobil\nSTART\n");
    QCOMPARE(first.readLines(2), QStringLiteral("OK NAME mobil\nOK START\n"));
    second.send("STATUS\n");
    QCOMPARE(second.readLines(5),
             QStringLiteral("OK STATUS\nSTATE RUNNING\nNAME mobil\nPARAMS 0\nCOMMANDS 3\n"));
    QVERIFY(cmdport.waitForLog(QStringLiteral("> STATUS\n")));
    const QString log = cmdport.log();
    QCOMPARE(log.count(QStringLiteral(" connected\n")), 2);
    QVERIFY2(log.contains(QStringLiteral("> NAME mobil\n")) && log.contains(QStringLiteral("> START\n")),
             qPrintable(log));
}

void TestCmdport::closesAClientThatSendsNoLineEnd()
{
    CmdportProcess cmdport;
    Client client(cmdport.port());
    QVERIFY(client.connected());
    client.send(QByteArray(100 * 1024, 'A'));
    QVERIFY(client.readLines(1).startsWith(QStringLiteral("ERROR line too long\n")));
    QVERIFY(client.socket().state() == QAbstractSocket::UnconnectedState
            || client.socket().waitForDisconnected(10000));
    // The server goes on serving others.
    Client other(cmdport.port());
    QVERIFY(other.connected());
    other.send("STOP\n");
    QCOMPARE(other.readLines(1), QStringLiteral("OK STOP\n"));
}

void TestCmdport::endsCleanlyOnStopSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestCmdport::endsCleanlyOnStopSignals()
{
    QFETCH(int, signal);
    CmdportProcess cmdport;
    Client client(cmdport.port());
    QVERIFY(client.connected());
    client.send("START\n");
    QCOMPARE(client.readLines(1), QStringLiteral("OK START\n"));
    cmdport.stop(signal);
    QVERIFY(cmdport.process().waitForFinished(10000));
    QCOMPARE(cmdport.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(cmdport.process().exitCode(), 0);
    QVERIFY(cmdport.log().endsWith(QStringLiteral("stopped after 1 commands from 1 clients\n")));
    QVERIFY(client.socket().state() == QAbstractSocket::UnconnectedState
            || client.socket().waitForDisconnected(10000));
}

void TestCmdport::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("port too big") << QStringList{QStringLiteral("--port"), QStringLiteral("70000")};
    QTest::newRow("port no number") << QStringList{QStringLiteral("--port"), QStringLiteral("x")};
    QTest::newRow("host no address") << QStringList{QStringLiteral("--host"), QStringLiteral("radar")};
    QTest::newRow("argument") << QStringList{QStringLiteral("extra")};
}

void TestCmdport::refusesBadOptions()
{
    QFETCH(QStringList, options);
    const rrdclitest::Run run = rrdclitest::runRrdcli(QStringList{QStringLiteral("cmdport")} + options);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.startsWith("rrdcli cmdport: "));
}

// What a client sends must not steer the terminal the log is read on.
void TestCmdport::logShowsControlsAsEscapes_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("logged");
    QTest::newRow("escape") << QByteArray("A\x1b[2JB") << QStringLiteral("A\\x1b[2JB");
    QTest::newRow("C1 control sequence introducer") << QByteArray("A\xc2\x9b" "2JB") << QStringLiteral("A\\x9b2JB");
    QTest::newRow("right-to-left override") << QByteArray("A\xe2\x80\xae" "B") << QStringLiteral("A\\u202eB");
    QTest::newRow("left-to-right isolate") << QByteArray("A\xe2\x81\xa6" "B") << QStringLiteral("A\\u2066B");
    QTest::newRow("line separator") << QByteArray("A\xe2\x80\xa8" "B") << QStringLiteral("A\\u2028B");
    QTest::newRow("letters stay") << QByteArray("H\xc3\xb6he") << QStringLiteral("H\u00f6he");
}

void TestCmdport::logShowsControlsAsEscapes()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, logged);
    CmdportProcess cmdport;
    Client client(cmdport.port());
    QVERIFY(client.connected());
    client.send(sent + '\n');
    QVERIFY(client.readLines(1).startsWith(QStringLiteral("OK ")));
    QVERIFY2(cmdport.waitForLog(QStringLiteral("> %1\n").arg(logged)), qPrintable(cmdport.log()));
}

// A client that sends commands without ever reading the answers is dropped once they pile
// up; the server stays small and quick for the others and for a stop.
void TestCmdport::dropsAClientThatDoesNotReadItsAnswers()
{
    CmdportProcess cmdport;
    const int flood = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(flood >= 0);
    const int small = 4096;
    ::setsockopt(flood, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(cmdport.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QVERIFY(::connect(flood, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    const QByteArray commands = QByteArray("STATUS\n").repeated(4096);
    qint64 sent = 0;
    const bool dropped = QTest::qWaitFor([&] {
        const ssize_t n = ::send(flood, commands.constData(), size_t(commands.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        sent += n > 0 ? n : 0;
        return cmdport.log().contains(QStringLiteral("does not read its answers"));
    }, 20000);
    ::close(flood);
    QVERIFY2(dropped, qPrintable(QStringLiteral("%1 bytes sent; log: %2").arg(sent).arg(cmdport.log().right(300))));
    Client other(cmdport.port());
    QVERIFY(other.connected());
    other.send("STATUS\n");
    QVERIFY(other.readLines(5).startsWith(QStringLiteral("OK STATUS\n")));
    QFile status(QStringLiteral("/proc/%1/status").arg(cmdport.process().processId()));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch rss = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB"))
                                            .match(QString::fromLatin1(status.readAll()));
    QVERIFY(rss.hasMatch());
    QVERIFY2(rss.captured(1).toLongLong() < 256 * 1024, qPrintable(rss.captured(0)));
    QElapsedTimer stopping;
    stopping.start();
    cmdport.stop(SIGTERM);
    QVERIFY(cmdport.process().waitForFinished(10000));
    QVERIFY2(stopping.elapsed() < 2000, qPrintable(QString::number(stopping.elapsed())));
}

// Out of file descriptors, the server says so once and takes the waiting client as soon as
// descriptors are free again.
void TestCmdport::acceptsAgainOnceFilesAreFree()
{
    CmdportProcess cmdport(24);
    QVERIFY(cmdport.port() != 0);
    const QRegularExpression accepted(QStringLiteral("^\\S+ connected$"), QRegularExpression::MultilineOption);
    const QString refused = QStringLiteral("cannot accept a connection: ");
    std::vector<std::unique_ptr<Client>> clients;
    while (!cmdport.log().contains(refused) && clients.size() < 40) {
        clients.push_back(std::make_unique<Client>(cmdport.port()));
        QVERIFY(clients.back()->connected());
        const int expected = int(clients.size());
        QVERIFY2(QTest::qWaitFor([&] { return cmdport.log().count(accepted) == expected || cmdport.log().contains(refused); }, 10000),
                 qPrintable(cmdport.log()));
    }
    QVERIFY2(cmdport.log().contains(refused), qPrintable(cmdport.log()));
    std::unique_ptr<Client> waiting = std::move(clients.back());
    clients.pop_back();
    const int held = int(clients.size());
    clients.clear();
    QVERIFY(QTest::qWaitFor([&] { return cmdport.log().count(accepted) == held + 1; }, 10000));
    waiting->send("STOP\n");
    QCOMPARE(waiting->readLines(1), QStringLiteral("OK STOP\n"));
    QCOMPARE(cmdport.log().count(refused), 1);
}

QTEST_GUILESS_MAIN(TestCmdport)
#include "tst_cmdport.moc"
