#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

// How many conversions the machine can run at once, shared by the batch form and the watch.
namespace velmora::cli {

// -j: far above any machine's cores; it is lowered to what the machine can run anyway.
inline constexpr unsigned kMaxJobs = 1024;

// How many jobs the machine can run at once, and what limits it: the cores, or the memory a
// job takes (a plain one about 16 MB, one that may fit its image about 96 MB), never below 1.
struct JobLimit {
    unsigned jobs = 1;
    std::string reason;
};

JobLimit machineJobLimit(bool fit);

// The jobs to run for -j `requested` when at most `atOnce` can run at once anyway: `requested`,
// or the machine's limit when both are above it, told in one line on `err`
// ("velmora-cli: -j 64 lowered to 2 (2 cores)"). More jobs than the machine can run only make
// every one wait, or run it out of memory.
unsigned jobsForMachine(unsigned requested, std::size_t atOnce, bool fit, std::ostream& err);

} // namespace velmora::cli
