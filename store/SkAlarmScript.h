#pragma once
// The user's alarm script: started without arguments when an avalanche alarm goes on, one
// instance at a time (a request while it runs is refused, not queued). Every outcome is
// worded as a message with the time it should stay visible (0 = until the next message);
// the viewer shows it in its status bar, rrdcli prints it.
//
// The file checked is the file run (by its absolute path, never looked up in PATH), and the
// script leads a process group of its own: a script still running when the program ends is
// reported and ended together with every process it started.

#include <QObject>
#include <QProcess>
#include <QString>

#include <memory>

class SkAlarmScript : public QObject
{
    Q_OBJECT

public:
    // How long a script's process group gets after SIGTERM before SIGKILL.
    static constexpr int TerminateGraceMs = 1000;

    explicit SkAlarmScript(QObject *parent = nullptr);
    ~SkAlarmScript() override;

    void setScriptPath(const QString &path) { m_scriptPath = path; }
    QString scriptPath() const { return m_scriptPath; }
    bool isRunning() const { return m_process->state() != QProcess::NotRunning; }
    // Waits up to `msecs` for a running script, then ends its process group; used when the
    // program ends. Both the wait and the ending are reported.
    void finish(int msecs);

public slots:
    void run();

signals:
    void message(const QString &text, int timeoutMs);

private slots:
    void onStateChanged(QProcess::ProcessState newState);
    void onErrorOccurred(QProcess::ProcessError error);

private:
    void endProcessGroup();

    QString m_scriptPath;
    std::unique_ptr<QProcess> m_process;
    // The process leaves "Starting" for "NotRunning" before it records that it failed to
    // start, so the outcome of a run is kept here rather than read from the process then.
    bool m_started = false;
    QProcess::ProcessError m_error = QProcess::UnknownError;
    // The script's process id, which is also its process group's; 0 before it runs.
    qint64 m_group = 0;
};
