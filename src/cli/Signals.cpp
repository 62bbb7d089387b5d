#include "cli/Signals.h"

#include "io/TransientFiles.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <csignal>
#include <pthread.h>
#include <unistd.h>

namespace velmora::cli {

namespace {

// A caller waiting in waitForStopSignal(), and the signal handed to it (kEnded: none, the
// work ended by itself).
std::mutex g_stopLock;
std::condition_variable g_stopped;
bool g_waiting = false;
int g_received = 0;
constexpr int kEnded = -1;

// Hands the signal to a waiting caller; false when there is none, or it already has one.
bool handOver(int signal) {
    const std::lock_guard lock(g_stopLock);
    if (!g_waiting || g_received != 0)
        return false;
    g_received = signal;
    g_stopped.notify_all();
    return true;
}

} // namespace

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
        do {
            received = 0;
            while (sigwait(&signals, &received) != 0) {
            }
        } while (handOver(received));
        conversion::transient::removeAll();
        _exit(128 + received);
    }).detach();
}

int waitForStopSignal() {
    std::unique_lock lock(g_stopLock);
    g_waiting = true;
    g_stopped.wait(lock, [] { return g_received != 0; });
    if (g_received != kEnded)
        return g_received;
    // Ready for another run in this process (the tests); a signal from now on ends it at once.
    g_waiting = false;
    g_received = 0;
    return 0;
}

void endWaitForStopSignal() {
    const std::lock_guard lock(g_stopLock);
    if (g_received == 0)
        g_received = kEnded;
    g_stopped.notify_all();
}

void keepWorkingWhenOutputCloses() {
    // A disposition, not a mask: it holds for every thread, the signal thread included.
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace velmora::cli
