#include "SkCallQueue.h"

SkCallQueue::SkCallQueue(QObject *parent) : QObject(parent)
{
    connect(this, &SkCallQueue::callsWaiting, this, &SkCallQueue::runWaiting,
            Qt::QueuedConnection);
}

// Only the post that finds the queue empty wakes the owner: the run it wakes goes on until the
// queue is empty, so a later post finds it empty again.
void SkCallQueue::post(Call call)
{
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasEmpty = m_calls.empty();
        m_calls.push_back(std::move(call));
    }
    if (wasEmpty)
        emit callsWaiting(QPrivateSignal());
}

// One call at a time, so that a call which spins an event loop of its own leaves the rest of
// the queue to that loop in order.
void SkCallQueue::runWaiting()
{
    for (;;) {
        Call call;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_calls.empty())
                return;
            call = std::move(m_calls.front());
            m_calls.pop_front();
        }
        call();
    }
}
