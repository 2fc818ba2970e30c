#pragma once
// Ctrl+C and SIGTERM for a command running an event loop: while an object lives, the first
// such signal calls the registered function in the event loop; after it the default handlers
// are back, so a second Ctrl+C ends the process at once.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // Calls `function` in `context`'s thread when a stop signal arrives.
    void onSignal(QObject *context, std::function<void()> function);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
