#pragma once

// The one way the tests run a program, velmora-cli above all: fork and exec with an argument
// vector (no shell, no quoting), stdin from /dev/null, stdout and stderr captured.
#include "TempFolder.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <sched.h>

namespace velmora::test {

// One run of a program with its output captured.
struct ProcessResult {
    int exitCode = -1; // -1 when it was killed or did not start
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::map<std::string, std::string> environment; // added to the test's own, replacing
    std::set<std::string> unsetEnvironment;         // taken out of the test's own
    std::filesystem::path workingDirectory;         // empty: the test's own
    int timeoutSeconds = 60;                        // then the program is killed
    std::optional<unsigned> runAsUser; // drop to this uid (and gid) before exec; needs root
    // stdout a pipe whose reader is gone before the program starts, as after `| head -1`:
    // every write fails (SIGPIPE, else EPIPE) and `out` stays empty.
    bool closedStdout = false;
};

// Starts the program (argv[0] is its path); wait() collects it, so many can run at once.
class Process {
  public:
    explicit Process(const std::vector<std::string>& argv, const ProcessOptions& options = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ProcessResult wait();
    // Sends the signal (SIGKILL: a kill the program cannot clean up after); wait() still reaps.
    void signal(int number);
    // What the program has written to stderr so far, while it runs.
    std::string errSoFar() const;

  private:
    TempFolder m_capture;
    std::filesystem::path m_outFile;
    std::filesystem::path m_errFile;
    int m_pid = -1;
    int m_timeoutSeconds;
};

ProcessResult run(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// The built command-line program, beside its data in the build's bin folder.
std::string cliPath();

// Runs velmora-cli in `folder` with its temporary, runtime and data folders inside it, so
// leftovers show there and nothing of the machine's own (an installed texture header) leaks in.
// `options` may set more (its folder and environment entries are replaced).
ProcessResult runCli(const TempFolder& folder, const std::vector<std::string>& arguments,
                     ProcessOptions options = {});

// What the program left in `tmp`, its temporary or runtime folder: the names in its parent of
// work folders ("velmora" or "velmora-<uid>", which itself stays), and anything else there.
std::set<std::string> leftInTemp(const std::filesystem::path& tmp);

// While it lives, this thread (and so any program it forks) runs on its first allowed core only.
class PinnedToOneCore {
  public:
    PinnedToOneCore();
    ~PinnedToOneCore();
    PinnedToOneCore(const PinnedToOneCore&) = delete;
    PinnedToOneCore& operator=(const PinnedToOneCore&) = delete;

  private:
    cpu_set_t m_all{};
};

} // namespace velmora::test
