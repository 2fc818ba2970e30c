#include "StopRequest.h"

#include "rrd.h"

#include <csignal>

namespace cli {

namespace {

volatile std::sig_atomic_t received = 0;
void (*forwardTo)(void *) = nullptr;
void *forwardContext = nullptr;
struct sigaction oldInt = {};
struct sigaction oldTerm = {};

extern "C" void onStop(int number)
{
    received = number;
    // Ends a read that waits for standard input or a stream.
    rrd_request_stop();
    if (forwardTo)
        forwardTo(forwardContext);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

} // namespace

StopRequest::StopRequest(void (*forward)(void *), void *context)
{
    received = 0;
    rrd_clear_stop();
    forwardTo = forward;
    forwardContext = context;
    struct sigaction action = {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a read waiting for data returns at once
    ::sigaction(SIGINT, &action, &oldInt);
    ::sigaction(SIGTERM, &action, &oldTerm);
}

StopRequest::~StopRequest()
{
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    forwardTo = nullptr;
    forwardContext = nullptr;
}

int StopRequest::signal()
{
    return received;
}

int StopRequest::exitStatus()
{
    return 128 + received;
}

QString StopRequest::signalName()
{
    return received == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM");
}

} // namespace cli
