#include "Timing.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

namespace velmora::bench {

namespace {

double nowMs(Clock clock) {
    if (clock == Clock::Wall)
        return std::chrono::duration<double, std::milli>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace

Timings timeRuns(int repeats, Clock clock, const std::function<void()>& body,
                 const std::function<void()>& prepare) {
    std::vector<double> times;
    for (int i = 0; i < std::max(repeats, 1); ++i) {
        if (prepare)
            prepare();
        const double start = nowMs(clock);
        body();
        times.push_back(nowMs(clock) - start);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

} // namespace velmora::bench
