#pragma once
// Ctrl+C and SIGTERM for a command that works frame by frame without an event loop
// (simulate, convert, analyze, info): while an object lives, the first such signal only
// records itself, and the command stops at the next frame boundary, completes its output
// and exits with 128 + the signal's number. A read waiting for standard input or a stream is
// broken off (rrd_request_stop). After the first signal the default handlers
// are back, so a second Ctrl+C ends the process at once.

#include <QString>

namespace cli {

class StopRequest
{
public:
    // `forward` (may be none) is called from the signal handler with `context`: it may only
    // do what a handler may, such as setting a lock-free atomic flag.
    explicit StopRequest(void (*forward)(void *) = nullptr, void *context = nullptr);
    ~StopRequest();
    StopRequest(const StopRequest &) = delete;
    StopRequest &operator=(const StopRequest &) = delete;

    // The signal received (SIGINT, SIGTERM), or 0.
    static int signal();
    static bool requested() { return signal() != 0; }
    // 128 + the signal's number: the status a shell gives a process the signal ended.
    static int exitStatus();
    // "SIGINT" or "SIGTERM".
    static QString signalName();
};

} // namespace cli
