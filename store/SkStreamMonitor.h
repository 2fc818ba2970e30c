#pragma once
// How a live stream is doing, for a front end that shows it at a glance: connecting,
// receiving, lost, or waiting to try again (and for how much longer); how long ago the newest
// frame arrived and how far apart frames come; how many frames came and how many were dropped.
//
// The live session feeds it from its load task and watches its store for frames that arrive;
// a front end reads it whenever it likes (once a second, say) and hears of every change of
// state at once through stateChanged(). Lives on the session's thread.

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class SkFrameStore;

class SkStreamMonitor : public QObject
{
    Q_OBJECT

public:
    enum State {
        NoStream,   // files are open, or nothing is
        Connecting, // a connection is being made, or made and no frame has come yet
        Receiving,  // frames come
        Lost,       // the stream was lost (reason()); a retry follows when reconnecting
        Retrying,   // waiting retrySecondsLeft() before the next attempt
        Ended       // the load has ended (stopped, or failed: reason())
    };
    Q_ENUM(State)

    // Frames count as arrived when `store`'s end moves on; the store outlives the monitor.
    explicit SkStreamMonitor(const SkFrameStore *store, QObject *parent = nullptr);

    // ---- Fed by the live session -----------------------------------------------------------

    // A new open: of the stream at `address` (Connecting), or of files (empty: NoStream).
    void start(const QString &address);
    void addDropped(int frames);
    void setLost(const QString &reason);
    void setRetrying(int seconds);
    void setConnecting();
    void setBack();
    void setEnded(const QString &reason);

    // ---- Read by a front end ---------------------------------------------------------------

    State state() const { return m_state; }
    QString address() const { return m_address; }
    // Why the stream was lost or ended (empty when it ended as asked).
    QString reason() const { return m_reason; }
    // While Retrying: whole seconds until the next attempt, rounded up; 0 otherwise.
    int retrySecondsLeft() const;
    // Since the newest frame arrived (-1: none since the open).
    qint64 msecsSinceFrame() const;
    // The usual gap between frames, smoothed (0: not known yet).
    qint64 frameIntervalMs() const { return m_intervalMs; }
    qint64 framesReceived() const { return m_received; }
    qint64 framesDropped() const { return m_dropped; }

signals:
    void stateChanged(SkStreamMonitor::State state);

private:
    void enter(State state);
    void onStoreChanged();
    void framesArrived(qint64 frames);

    const SkFrameStore *m_store; // not owned
    State m_state = NoStream;
    QString m_address;
    QString m_reason;
    int m_retrySeconds = 0;
    QElapsedTimer m_inState;
    QElapsedTimer m_sinceFrame;
    qint64 m_intervalMs = 0;
    bool m_gapIsInterval = false; // false after an open or a loss: the next gap is no interval
    qint64 m_storeEnd = 0;
    qint64 m_received = 0;
    qint64 m_dropped = 0;
};
