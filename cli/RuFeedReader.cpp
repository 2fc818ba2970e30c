#include "RuFeedReader.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
// Enough to ride out a short stall of the source, little enough to stay small.
constexpr size_t Ahead = 8;
}

struct RuFeedReader::Shared
{
    std::mutex mutex;
    std::condition_variable space;
    std::deque<QByteArray> frames;
    RuFrameFeed::Result end = RuFrameFeed::Result::Frame; // End or Error once the feed is over
    QString error;
    bool stop = false;
};

RuFeedReader::RuFeedReader(std::unique_ptr<RuFrameFeed> feed, bool loop) : d(new Shared)
{
    // The thread owns the feed and shares the queue, so it may outlive this object.
    std::shared_ptr<RuFrameFeed> owned(std::move(feed));
    std::thread([shared = d, owned, loop] {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(shared->mutex);
                shared->space.wait(lock, [&] { return shared->stop || shared->frames.size() < Ahead; });
                if (shared->stop)
                    return;
            }
            QByteArray bytes;
            const RuFrameFeed::Result result = owned->next(loop, &bytes);
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (result != RuFrameFeed::Result::Frame) {
                shared->end = result;
                shared->error = owned->errorString();
                return;
            }
            shared->frames.push_back(bytes);
        }
    }).detach();
}

RuFeedReader::~RuFeedReader()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->stop = true;
    d->space.notify_all();
}

RuFeedReader::Result RuFeedReader::take(QByteArray *bytes)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->frames.empty()) {
        *bytes = d->frames.front();
        d->frames.pop_front();
        d->space.notify_all();
        return Result::Frame;
    }
    switch (d->end) {
    case RuFrameFeed::Result::End: return Result::End;
    case RuFrameFeed::Result::Error: return Result::Error;
    case RuFrameFeed::Result::Frame: break;
    }
    return Result::NotYet;
}

QString RuFeedReader::errorString() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->error;
}
