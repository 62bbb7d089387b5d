#pragma once

#include <atomic>
#include <cstddef>
#include <future>

namespace velmora::conversion {

// The cores this process may run on (its affinity mask), at least 1.
unsigned usableCores();

// A batch or watch job counts itself as running while this lives. Jobs running at once share
// the cores: each one's compression and fit then use fewer threads, so several jobs do not
// each start a thread per core. The work is cut the same way whatever the share, so the bytes
// written do not depend on it.
class RunningJob {
  public:
    RunningJob();
    ~RunningJob();
    RunningJob(const RunningJob&) = delete;
    RunningJob& operator=(const RunningJob&) = delete;
};

// While it lives, all jobs together use at most `cores` cores (velmora-cli's -j N: N at once,
// and no more cores than that, so -j 1 leaves the other cores to the user); 0 lifts the cap.
class CoreBudget {
  public:
    explicit CoreBudget(unsigned cores);
    ~CoreBudget();
    CoreBudget(const CoreBudget&) = delete;
    CoreBudget& operator=(const CoreBudget&) = delete;

  private:
    unsigned m_previous;
};

// The threads one compression or fit may use now: its share of the usable cores (within the
// budget), at least 1.
unsigned threadsForOneJob();

// Runs tasks 0 to count - 1 on two workers taking them in turn, or on this thread alone when
// this job's share of the cores is one. `task(i, worker)` is told its worker (0 or 1), so each
// worker may keep its own tools; each result goes to its task's own slot, so nothing depends on
// which worker ran it and the outcome is the same on every run.
template <typename Task> void runOnTwoWorkers(std::size_t count, Task&& task) {
    std::atomic<std::size_t> next{0};
    auto work = [&](std::size_t worker) {
        for (std::size_t i = next++; i < count; i = next++)
            task(i, worker);
    };
    if (threadsForOneJob() < 2) {
        work(0);
        return;
    }
    auto second = std::async(std::launch::async, work, std::size_t{1});
    work(0);
    second.get();
}

} // namespace velmora::conversion
