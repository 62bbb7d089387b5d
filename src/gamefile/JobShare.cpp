#include "gamefile/JobShare.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include <sched.h>

namespace velmora::conversion {

namespace {
std::atomic<unsigned> g_running{0};
std::atomic<unsigned> g_budget{0};
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

CoreBudget::CoreBudget(unsigned cores) : m_previous(g_budget.exchange(cores)) {}

CoreBudget::~CoreBudget() {
    g_budget = m_previous;
}

unsigned threadsForOneJob() {
    static const unsigned cores = usableCores();
    const unsigned budget = g_budget.load();
    const unsigned usable = budget == 0 ? cores : std::min(budget, cores);
    return std::max(1u, usable / std::max(1u, g_running.load()));
}

} // namespace velmora::conversion
