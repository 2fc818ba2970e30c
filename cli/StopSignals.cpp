#include "StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only write: it hands the signal to the event loop through a socket pair.
int signalPair[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPair[1], &byte, 1);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

// Picks the activated(QSocketDescriptor, Type) overload, the one both Qt 5.15 and 6 have.
template <typename Tag>
constexpr auto descriptorSignal(void (QSocketNotifier::*signal)(QSocketDescriptor,
                                                               QSocketNotifier::Type, Tag))
{
    return signal;
}

} // namespace

struct StopSignals::Private
{
    struct sigaction oldInt = {};
    struct sigaction oldTerm = {};
    std::unique_ptr<QSocketNotifier> notifier;
};

StopSignals::StopSignals() : d(new Private)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &d->oldInt);
    ::sigaction(SIGTERM, &action, &d->oldTerm);
    d->notifier.reset(new QSocketNotifier(signalPair[0], QSocketNotifier::Read));
}

StopSignals::~StopSignals()
{
    if (!d->notifier)
        return;
    ::sigaction(SIGINT, &d->oldInt, nullptr);
    ::sigaction(SIGTERM, &d->oldTerm, nullptr);
    d->notifier.reset();
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}

void StopSignals::onSignal(QObject *context, std::function<void()> function)
{
    if (!d->notifier)
        return;
    QObject::connect(d->notifier.get(), descriptorSignal(&QSocketNotifier::activated), context,
                     [function] {
                         char byte;
                         [[maybe_unused]] const ssize_t n = ::read(signalPair[0], &byte, 1);
                         function();
                     });
}
