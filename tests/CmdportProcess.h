#pragma once
// `rrdcli cmdport` on a free port of 127.0.0.1 for the length of a scope: started, its port
// read from its first line, ended by SIGTERM (waited for) when the scope ends.

#include "RrdcliTestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <csignal>

class CmdportProcess
{
public:
    // Starts the command port, with at most `fileLimit` open files when given; port() is 0
    // when it did not come up.
    explicit CmdportProcess(int fileLimit = 0)
    {
        const QStringList args{QStringLiteral("cmdport"), QStringLiteral("--port"), QStringLiteral("0")};
        if (fileLimit > 0)
            m_process.start(QStringLiteral("sh"),
                            QStringList{QStringLiteral("-c"),
                                        QStringLiteral("ulimit -n %1 && exec \"$0\" \"$@\"").arg(fileLimit),
                                        rrdclitest::rrdcliPath()}
                                + args);
        else
            m_process.start(rrdclitest::rrdcliPath(), args);
        if (!m_process.waitForStarted(10000))
            return;
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        m_log += line + QLatin1Char('\n');
        m_port = quint16(line.section(QLatin1Char(':'), -1).toUInt());
    }

    ~CmdportProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            stop(SIGTERM);
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    quint16 port() const { return m_port; }
    QProcess &process() { return m_process; }

    void stop(int signal) { ::kill(pid_t(m_process.processId()), signal); }

    // Everything printed so far.
    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_log;
    }

    // Waits until the log holds `text`.
    bool waitForLog(const QString &text, int ms = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!log().contains(text)) {
            if (timer.elapsed() > ms)
                return false;
            m_process.waitForReadyRead(100);
        }
        return true;
    }

private:
    QProcess m_process;
    QString m_log;
    quint16 m_port = 0;
};
