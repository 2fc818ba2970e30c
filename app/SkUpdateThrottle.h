#pragma once
// Limits how often the window redraws: the first request after a quiet spell is served at
// once, later ones within the interval are folded into one trailing update at its end. No
// request is ever lost, so the last of a quick series is always drawn.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class SkUpdateThrottle : public QObject
{
    Q_OBJECT

public:
    explicit SkUpdateThrottle(int intervalMs, QObject *parent = nullptr);

    void request();
    // Serves a pending request now (before a grab); does nothing when none waits.
    void flush();
    bool isPending() const { return m_timer.isActive(); }
    int interval() const { return m_interval; }

signals:
    void due();

private:
    void fire();

    const int m_interval;
    QElapsedTimer m_last;
    QTimer m_timer;
};
