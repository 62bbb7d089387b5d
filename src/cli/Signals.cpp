#include "cli/Signals.h"

#include "io/TransientFiles.h"

#include <thread>

#include <csignal>
#include <pthread.h>
#include <unistd.h>

namespace velmora::cli {

void removeWorkOnSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    // Inherited by every thread started later, so only the waiting thread receives them.
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0)
        return;
    std::thread([signals] {
        int received = 0;
        while (sigwait(&signals, &received) != 0) {
        }
        conversion::transient::removeAll();
        _exit(128 + received);
    }).detach();
}

void keepWorkingWhenOutputCloses() {
    // A disposition, not a mask: it holds for every thread, the signal thread included.
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace velmora::cli
