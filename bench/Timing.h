#pragma once

#include <functional>

namespace velmora::bench {

// What a figure counts: the wall time a user waits for, or the CPU time this process spends
// (steadier on a shared machine, but blind to other processes and to waiting).
enum class Clock { Wall, ProcessCpu };

struct Timings {
    double medianMs = 0;
    double worstMs = 0;
};

// Runs `body` `repeats` times, `prepare` untimed before each run.
Timings timeRuns(int repeats, Clock clock, const std::function<void()>& body,
                 const std::function<void()>& prepare = {});

} // namespace velmora::bench
