#pragma once
// `skarnel --grab FILE.png`: waits until the window's first batch of frames has been analysed
// (or 60 s have passed), shows the frame, view and docks the command line asks for, writes the
// whole window to FILE.png and reports the exit status. For documentation, tests and
// headless machines. A picture without the data asked for is not written: a wildcard or
// folder that names no data file, sources without a frame (a stream silent until the time-out)
// and a --frame the sources do not reach end with a message and status 1.

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
    // 0: the picture was written; 1: it could not be, or the sources could not be read or do
    // not hold what was asked for. Always queued, so it comes once the event loop runs.
    void finished(int status);

private:
    void onAlarmCalculated(int frameno);
    void onNextBatchAvailable();
    void onTaskFinished(const SkFrameTask *task, int status, const QString &message);
    bool frameReached() const;
    QString missingData() const;
    void fail(const QString &message);
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
