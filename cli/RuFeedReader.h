#pragma once
// A frame feed read on a thread of its own, a few frames ahead: a source may block for as
// long as it likes (standard input, a silent stream) while the event loop that serves the
// clients takes ready frames without waiting.

#include "RuFrameFeed.h"

#include <QByteArray>
#include <QString>

#include <memory>

class RuFeedReader
{
public:
    enum class Result { Frame, NotYet, End, Error };

    RuFeedReader(std::unique_ptr<RuFrameFeed> feed, bool loop);
    // Asks the thread to end. A thread still blocked in a read is left to end with the
    // process: waiting for it could take for ever.
    ~RuFeedReader();
    RuFeedReader(const RuFeedReader &) = delete;
    RuFeedReader &operator=(const RuFeedReader &) = delete;

    // The next frame when one is ready; never blocks.
    Result take(QByteArray *bytes);
    QString errorString() const;

private:
    struct Shared;
    std::shared_ptr<Shared> d;
};
