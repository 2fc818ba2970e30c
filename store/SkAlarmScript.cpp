#include "SkAlarmScript.h"

#include <QFileInfo>

SkAlarmScript::SkAlarmScript(QObject *parent) : QObject(parent)
{
    // The script's output is not read; it goes nowhere rather than piling up in memory.
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::stateChanged, this, &SkAlarmScript::onStateChanged);
    connect(&m_process, &QProcess::errorOccurred, this, &SkAlarmScript::onErrorOccurred);
}

SkAlarmScript::~SkAlarmScript()
{
    m_process.disconnect(this);
    finish(0);
}

void SkAlarmScript::finish(int msecs)
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    if (!m_process.waitForFinished(msecs)) {
        m_process.kill();
        m_process.waitForFinished(-1);
    }
}

void SkAlarmScript::run()
{
    if (m_process.state() != QProcess::NotRunning) {
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
    m_process.setProgram(m_scriptPath);
    m_process.setArguments(QStringList());
    m_started = false;
    m_error = QProcess::UnknownError;
    m_process.start(QIODevice::ReadWrite);
}

void SkAlarmScript::onStateChanged(QProcess::ProcessState newState)
{
    const QString program = m_process.program();
    switch (newState) {
    case QProcess::Running:
        m_started = true;
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
        m_process.exitStatus() == QProcess::CrashExit ? QProcess::Crashed : m_error;
    switch (error) {
    case QProcess::UnknownError:
        text = m_process.exitCode() == 0 ? tr("Alarm script %1 finished successfully!")
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
        emit message(tr("Alarm script %1 failed to start!").arg(m_process.program()), 4000);
        return;
    }
    if (m_error == QProcess::UnknownError)
        m_error = error;
}
