#pragma once

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

} // namespace velmora::conversion
