#pragma once
// The status bar's permanent word on the stream: its state, the age of the newest frame,
// the frames dropped and, while recording, the frames recorded and the minute file; red when
// the stream is lost or has gone silent; its tool tip names the address and says more.
// Hidden while files are open. It looks at the session every RefreshMs while a stream is
// open, and at once when the stream's state or the recording changes.

#include "SkStreamMonitor.h"

#include <QLabel>
#include <QTimer>

class SkLiveSession;

class SkStreamHealthIndicator : public QLabel
{
    Q_OBJECT

public:
    static constexpr int RefreshMs = 500;

    // `session` outlives the indicator.
    explicit SkStreamHealthIndicator(const SkLiveSession *session, QWidget *parent = nullptr);

    void refresh();

private:
    void onStateChanged(SkStreamMonitor::State state);

    const SkLiveSession *m_session; // not owned
    QTimer m_timer;
};
