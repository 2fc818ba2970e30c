#pragma once
// The load task: reads a list of files, or one stream address, through RuFile and appends
// every frame to the frame store. A file load pauses while the store is full; a stream does
// not wait, so frames that find the store full, headroom included, are dropped and counted
// (framesDropped).
// A stream that is lost (closed by the radar, broken, sending garbage, or silent for longer
// than its time-out) is opened again with back-off when reconnecting is on; the frames that
// come then are numbered on. It is reported lost once, and back with the first frame that
// arrives again.

#include "SkFrameTask.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <mutex>

class RuFile;
class RuFrame;

class SkFrameTaskLoad : public SkFrameTask
{
    Q_OBJECT

public:
    // A stream read gives up after this long without data, to look at the abort request.
    static constexpr int StreamTimeoutSeconds = 1;
    // Dropped frames are reported at most this often.
    static constexpr int DropReportIntervalMs = 250;
    // Waits between attempts to reach a lost stream again: 1, 2, 4 ... up to this.
    static constexpr int MaxBackoffSeconds = 30;
    // A stream without a frame for this long is lost: a radar that stopped sending, or a link
    // cut without a word, looks like nothing else.
    static constexpr int DefaultSilenceSeconds = 10;

    SkFrameTaskLoad(SkFrameStore *store, const QStringList &sources);

    QStringList sources() const { return m_sources; }
    QString description() const override;

    // Reconnect a lost stream (on) or end with "stream lost: <reason>" (off, the default).
    // Call before start().
    void setReconnect(bool on) { m_reconnect = on; }
    // Read at most `frames` frames over all sources (0 = no limit). Call before start().
    void setFrameLimit(qint64 frames) { m_frameLimit = frames; }
    // How long a stream may stay without a frame before it is lost (0 = for ever). Call
    // before start().
    void setSilenceTimeout(int seconds) { m_silenceSeconds = seconds; }

    // What a stream went through: lost (with its reason), waiting to try again, trying to
    // connect again, or back with a frame.
    struct StreamEvent
    {
        enum Kind { Lost, Retrying, Connecting, Back };
        Kind kind;
        QString reason;       // Lost: why
        int retrySeconds = 0; // Retrying: the wait before the next attempt
    };
    // The oldest event not taken yet; callable from any thread. Taking one per
    // streamChanged() keeps each in its place among the other queued signals of the task
    // (the frame that brought a stream back is announced before its return).
    StreamEvent takeStreamEvent();

signals:
    // The stream was lost, waits, connects again or is back; takeStreamEvent() says which.
    // The texts wait under a lock rather than in the event queue, so no string is shared
    // between threads behind the lock's back.
    void streamChanged();

protected:
    void process() override;

private:
    void loadSource(const QString &source);
    void readFile(RuFile &file, const QString &source);
    bool readStream(RuFile &file, const QString &source, QString *lostReason);
    bool reconnect(RuFile &file, const QString &source);
    bool sleepUnlessStopped(int msecs) const;
    bool stopped() const;
    bool limitReached() const;
    bool readFrame(RuFile &file, RuFrame &frame, QString *error);
    bool append(RuFile &file, const QString &source, const RuFrame &frame);
    void countDropped();
    void reportDropped(bool now);
    void reportStream(const StreamEvent &event);

    const QStringList m_sources;
    // The window this task loads into: a clear() of the store ends its appends.
    const quint64 m_generation;
    int m_dropped = 0;
    bool m_reconnect = false;
    qint64 m_frameLimit = 0;
    int m_silenceSeconds = DefaultSilenceSeconds;
    qint64 m_framesRead = 0;
    int m_backoffSeconds = 1;
    bool m_streamLost = false; // reported lost, and no frame since
    std::mutex m_eventsMutex;
    QList<StreamEvent> m_events;
    QElapsedTimer m_sinceReport;
};
