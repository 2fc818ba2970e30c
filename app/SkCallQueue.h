#pragma once
// Hands calls from worker threads to the thread this object lives in, where they run in the
// order they were posted. The calls and what they capture pass through a mutex of our own,
// not only through Qt's event queue: Debian's Qt is built without ThreadSanitizer, so a
// hand-over made inside Qt alone looks unsynchronised to it, and this one it can follow. The
// queued signal that wakes the owner's thread carries nothing.

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class SkCallQueue : public QObject
{
    Q_OBJECT

public:
    using Call = std::function<void()>;

    explicit SkCallQueue(QObject *parent = nullptr);

    // From any thread: `call` runs on this object's thread after the calls posted before it.
    // Calls still waiting when this object is destroyed are dropped.
    void post(Call call);

signals:
    void callsWaiting(QPrivateSignal);

private:
    void runWaiting();

    std::mutex m_mutex;
    std::deque<Call> m_calls; // under m_mutex
};
