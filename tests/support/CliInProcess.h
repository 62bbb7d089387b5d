#pragma once

// velmora-cli's commands run in this process through the velmora_cli library, as runCli runs
// the program: the same folders and environment, the output captured from its streams. Many
// times faster than a process a run; what needs a process (signals, a closed stdout, runs in
// parallel, another user, kill -9) keeps runCli.
#include "ProcessRunner.h"
#include "TempFolder.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora::test {

// Environment variables set (or unset) for the life of the object, then put back as they were.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const std::map<std::string, std::string>& set,
                      const std::set<std::string>& unset = {});
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::map<std::string, std::optional<std::string>> m_before;
};

// As runCli: in `folder` (or options.workingDirectory), with its temporary, runtime and data
// folders inside it; options.environment and unsetEnvironment hold for the run only. Options
// that need a process (closedStdout, runAsUser) are refused with an exception.
ProcessResult runCliInProcess(const TempFolder& folder, const std::vector<std::string>& arguments,
                              const ProcessOptions& options = {});

} // namespace velmora::test
