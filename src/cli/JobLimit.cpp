#include "cli/JobLimit.h"

#include "base/Formatting.h"
#include "gamefile/JobShare.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>

namespace velmora::cli {

namespace conv = velmora::conversion;

namespace {

// MemAvailable from /proc/meminfo, in bytes; nothing when it cannot be read.
std::optional<std::uint64_t> availableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);) {
        std::istringstream fields(line);
        std::string key;
        std::uint64_t kilobytes = 0;
        if (fields >> key >> kilobytes && key == "MemAvailable:")
            return kilobytes * 1024;
    }
    return std::nullopt;
}

} // namespace

JobLimit machineJobLimit(bool fit) {
    const unsigned cores = conv::usableCores();
    JobLimit limit{cores, std::to_string(cores) + (cores == 1 ? " core" : " cores")};
    if (const auto memory = availableMemory()) {
        const std::uint64_t perJob = std::uint64_t{fit ? 96u : 16u} << 20;
        const std::uint64_t byMemory = std::max<std::uint64_t>(1, *memory / perJob);
        if (byMemory < limit.jobs)
            limit = {static_cast<unsigned>(byMemory),
                     conv::groupedNumber(*memory >> 20) + " MB of memory available, about " +
                         std::to_string(perJob >> 20) + " MB a job"};
    }
    return limit;
}

unsigned jobsForMachine(unsigned requested, std::size_t atOnce, bool fit, std::ostream& err) {
    const JobLimit limit = machineJobLimit(fit);
    if (std::min<std::size_t>(requested, atOnce) <= limit.jobs)
        return requested;
    err << "velmora-cli: -j " << requested << " lowered to " << limit.jobs << " (" << limit.reason
        << ")\n";
    return limit.jobs;
}

} // namespace velmora::cli
