#include "SkAlarmScript.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

// The script leads a process group of its own, so that ending the group ends whatever the
// script started as well.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
std::unique_ptr<QProcess> groupLeaderProcess()
{
    auto process = std::make_unique<QProcess>();
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    return process;
}
#else
class GroupLeaderProcess : public QProcess
{
protected:
    void setupChildProcess() override { ::setpgid(0, 0); }
};

std::unique_ptr<QProcess> groupLeaderProcess()
{
    return std::make_unique<GroupLeaderProcess>();
}
#endif

} // namespace

SkAlarmScript::SkAlarmScript(QObject *parent) : QObject(parent), m_process(groupLeaderProcess())
{
    // The script's output is not read; it goes nowhere rather than piling up in memory.
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    connect(m_process.get(), &QProcess::stateChanged, this, &SkAlarmScript::onStateChanged);
    connect(m_process.get(), &QProcess::errorOccurred, this, &SkAlarmScript::onErrorOccurred);
}

SkAlarmScript::~SkAlarmScript()
{
    m_process->disconnect(this);
    finish(0);
}

void SkAlarmScript::finish(int msecs)
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    const QString program = m_process->program();
    if (msecs > 0) {
        emit message(tr("Alarm script %1 is still running: waiting up to %2 s for it")
                         .arg(program)
                         .arg(msecs / 1000.0),
                     0);
        if (m_process->waitForFinished(msecs)) {
            endProcessGroup(); // what it started and left behind
            return;
        }
    }
    // Its end is reported here, not as a crash.
    m_process->disconnect(this);
    emit message(tr("Alarm script %1 was still running at the end: it and the processes it "
                    "started are stopped")
                     .arg(program),
                 0);
    endProcessGroup();
}

// SIGTERM to the script's process group, and SIGKILL to what is left of it after a grace.
void SkAlarmScript::endProcessGroup()
{
    const pid_t group = pid_t(m_group);
    if (group <= 0)
        return;
    ::kill(-group, SIGTERM);
    QDeadlineTimer deadline(TerminateGraceMs);
    m_process->waitForFinished(TerminateGraceMs);
    while (::kill(-group, 0) == 0 && !deadline.hasExpired())
        QThread::msleep(20);
    ::kill(-group, SIGKILL);
    m_process->waitForFinished(-1);
}

void SkAlarmScript::run()
{
    if (m_process->state() != QProcess::NotRunning) {
        emit message(tr("Alarm script already running!"), 0);
        return;
    }
    if (m_scriptPath.isEmpty())
        return;
    const QFileInfo info(m_scriptPath);
    if (!info.exists() || !info.isFile()) {
        emit message(tr("File %1 not found!").arg(m_scriptPath), 0);
        return;
    }
    if (!info.isExecutable()) {
        emit message(tr("Script %1 not executable!").arg(m_scriptPath), 0);
        return;
    }
    // The very file checked: a bare name would otherwise be looked up in PATH.
    m_process->setProgram(info.absoluteFilePath());
    m_process->setArguments(QStringList());
    m_started = false;
    m_error = QProcess::UnknownError;
    m_group = 0;
    m_process->start(QIODevice::ReadWrite);
}

void SkAlarmScript::onStateChanged(QProcess::ProcessState newState)
{
    const QString program = m_process->program();
    switch (newState) {
    case QProcess::Running:
        m_started = true;
        m_group = m_process->processId();
        emit message(tr("Alarm script %1 started!").arg(program), 1000);
        return;
    case QProcess::Starting:
        return;
    case QProcess::NotRunning:
        break;
    }
    if (!m_started)
        return; // a failed start is reported by onErrorOccurred
    m_started = false;
    QString text;
    const QProcess::ProcessError error =
        m_process->exitStatus() == QProcess::CrashExit ? QProcess::Crashed : m_error;
    switch (error) {
    case QProcess::UnknownError:
        text = m_process->exitCode() == 0 ? tr("Alarm script %1 finished successfully!")
                                         : tr("Alarm script %1 failed!");
        break;
    case QProcess::Crashed: text = tr("Alarm script %1 crashed!"); break;
    default: text = tr("Alarm script %1 failed of unknown error!"); break;
    }
    emit message(text.arg(program), 4000);
}

void SkAlarmScript::onErrorOccurred(QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart && !m_started) {
        emit message(tr("Alarm script %1 failed to start!").arg(m_process->program()), 4000);
        return;
    }
    if (m_error == QProcess::UnknownError)
        m_error = error;
}
