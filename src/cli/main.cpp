#include "cli/CommandLine.h"
#include "cli/Signals.h"
#include "workflows/WorkFiles.h"

#include <filesystem>
#include <iostream>
#include <system_error>

int main(int argc, char** argv) {
    velmora::cli::removeWorkOnSignals();
    // "WE00" stands beside the binary, or in ../share/velmora when installed as a package.
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        self = std::filesystem::absolute(argv[0], error);
    velmora::cli::CommandLine commandLine(velmora::conversion::dataFolder(self.parent_path()),
                                          std::cout, std::cerr);
    return commandLine.run(std::vector<std::string>(argv + 1, argv + argc));
}
