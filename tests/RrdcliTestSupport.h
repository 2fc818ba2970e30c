#pragma once
// Running rrdcli (and the other programs of the build) from the tests: one run to its end
// with its exit status and output, `rrdcli serve` on a free port for the length of a scope,
// and waits on a process that keeps running. Every suite that starts rrdcli uses these.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace rrdclitest {

// Generous limit of every wait, in ms: the machine may be busy and the build sanitised.
constexpr int WaitMs = 120000;
// How many times longer a program of a ThreadSanitizer build takes, to start and above all to
// end (the sanitizer checks every thread's history on the way out): what must happen
// promptly is given that much more time there.
#if defined(__SANITIZE_THREAD__)
constexpr int SanitizerSlowdown = 5;
#else
constexpr int SanitizerSlowdown = 1;
#endif

inline QString binary(const QString &program)
{
    return qEnvironmentVariable("SK_BIN_DIR") + QLatin1Char('/') + program;
}

inline QString rrdcliPath()
{
    return binary(QStringLiteral("rrdcli"));
}

struct Run
{
    int exitCode = -1; // -1: the program did not end normally within the limit
    QByteArray out;
    QByteArray err;

    QString outText() const { return QString::fromLocal8Bit(out); }
    QString errText() const { return QString::fromLocal8Bit(err); }
};

struct RunOptions
{
    QByteArray input;                 // standard input, closed after it
    QProcessEnvironment environment;  // empty: the test's own
    QString workingDirectory;         // empty: the test's own
    int timeoutMs = WaitMs;
};

// Runs `program` to its end.
inline Run runProgram(const QString &program, const QStringList &args,
                      const RunOptions &options = {})
{
    QProcess p;
    if (!options.environment.isEmpty())
        p.setProcessEnvironment(options.environment);
    if (!options.workingDirectory.isEmpty())
        p.setWorkingDirectory(options.workingDirectory);
    p.start(program, args);
    Run run;
    if (!p.waitForStarted(options.timeoutMs))
        return run;
    p.write(options.input);
    p.closeWriteChannel();
    const bool ended = p.waitForFinished(options.timeoutMs);
    if (!ended) {
        p.kill();
        p.waitForFinished(options.timeoutMs);
    }
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    if (ended && p.exitStatus() == QProcess::NormalExit)
        run.exitCode = p.exitCode();
    return run;
}

inline Run runRrdcli(const QStringList &args, const RunOptions &options = {})
{
    return runProgram(rrdcliPath(), args, options);
}

// Reads the process's standard output into `out` until `done(*out)` holds; false when the
// process ends or `ms` pass first.
template <typename Predicate>
bool readUntil(QProcess &p, QByteArray *out, Predicate done, int ms = WaitMs)
{
    QDeadlineTimer deadline(ms);
    out->append(p.readAllStandardOutput());
    while (!done(*out)) {
        if (deadline.hasExpired() || p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(200);
        out->append(p.readAllStandardOutput());
    }
    return true;
}

// Bytes written to the process's standard input (a pipe) that it has not read yet; -1 when
// that cannot be known.
inline qint64 unreadInput(const QProcess &p)
{
    const QByteArray path = "/proc/" + QByteArray::number(p.processId()) + "/fd/0";
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    int pending = -1;
    const int result = ::ioctl(fd, FIONREAD, &pending);
    ::close(fd);
    return result == 0 ? pending : -1;
}

// `rrdcli serve ARGS` on 127.0.0.1 for the length of a scope (on a free port unless one is
// given): started, its port read from its first line, ended by SIGTERM (and waited for) when
// the scope ends.
class ServeProcess
{
public:
    explicit ServeProcess(const QStringList &args, quint16 port = 0)
    {
        m_process.start(rrdcliPath(), QStringList{QStringLiteral("serve")} + args
                                          + QStringList{QStringLiteral("--port"), QString::number(port)});
        QByteArray banner;
        if (!readUntil(m_process, &banner, [](const QByteArray &o) { return o.contains('\n'); }))
            return;
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("serving on 127\\.0\\.0\\.1:(\\d+)"))
                                              .match(QString::fromLocal8Bit(banner));
        m_port = m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
    }

    ~ServeProcess() { stop(); }

    ServeProcess(const ServeProcess &) = delete;
    ServeProcess &operator=(const ServeProcess &) = delete;

    // 0 when the server did not come up.
    quint16 port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QProcess &process() { return m_process; }

    // Ends the server with SIGTERM; true when it then exits normally with status 0.
    bool stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_process.processId()), SIGTERM);
            if (!m_process.waitForFinished(WaitMs)) {
                m_process.kill();
                m_process.waitForFinished(WaitMs);
                return false;
            }
        }
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace rrdclitest
