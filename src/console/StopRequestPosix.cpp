#include "StopRequest.h"

#include <csignal>
#include <initializer_list>

#include <pthread.h>

namespace {

sigset_t stopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&signals, signal);
    return signals;
}

} // namespace

void catchStopRequests()
{
    // Blocked in every thread the program starts from now on, and taken by
    // the main thread alone, which waits for them.
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void waitForStopRequest()
{
    const sigset_t signals = stopSignals();
    int signal = 0;
    sigwait(&signals, &signal);
}

void stoppedCleanly()
{
}
