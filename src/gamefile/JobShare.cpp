#include "gamefile/JobShare.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include <sched.h>

namespace velmora::conversion {

namespace {
std::atomic<unsigned> g_running{0};
} // namespace

unsigned usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

RunningJob::RunningJob() {
    ++g_running;
}

RunningJob::~RunningJob() {
    --g_running;
}

unsigned threadsForOneJob() {
    static const unsigned cores = usableCores();
    return std::max(1u, cores / std::max(1u, g_running.load()));
}

} // namespace velmora::conversion
