#pragma once
// `skarnel --grab FILE.png`: waits until the window's first batch of frames has been analysed
// (or 60 s have passed), shows the frame, view and docks the command line asks for, writes the
// whole window to FILE.png and reports the exit status. For documentation, tests and
// headless machines.

#include "SkCommandLine.h"

#include <QObject>
#include <QTimer>

class SkFrameTask;
class SkMainWindow;

class SkWindowGrabber : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 60000;

    SkWindowGrabber(SkMainWindow *window, const SkCommandLine &commandLine,
                    QObject *parent = nullptr);

    void setTimeout(int ms) { m_timeout.setInterval(ms); }
    void start();

signals:
    // 0: the picture was written; 1: it could not be, or the sources could not be read.
    void finished(int status);

private:
    void onAlarmCalculated(int frameno);
    void onNextBatchAvailable();
    void onTaskFinished(const SkFrameTask *task, int status, const QString &message);
    bool frameReached() const;
    void prepare();
    void onSettled();
    void write();

    SkMainWindow *m_window; // not owned
    SkCommandLine m_commandLine;
    QTimer m_timeout;
    QTimer m_settle;
    int m_lastResult = -1;
    int m_settleTries = 0;
    bool m_loadFailed = false;
    bool m_preparing = false;
    bool m_done = false;
};
