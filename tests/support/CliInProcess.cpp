#include "CliInProcess.h"

#include "TestPaths.h"

#include "cli/CommandLine.h"
#include "workflows/WorkFiles.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace velmora::test {

namespace fs = std::filesystem;

ScopedEnvironment::ScopedEnvironment(const std::map<std::string, std::string>& set,
                                     const std::set<std::string>& unset) {
    const auto remember = [this](const std::string& name) {
        if (m_before.count(name))
            return;
        const char* value = std::getenv(name.c_str());
        m_before[name] = value ? std::optional<std::string>(value) : std::nullopt;
    };
    for (const auto& [name, value] : set) {
        remember(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    for (const std::string& name : unset) {
        remember(name);
        ::unsetenv(name.c_str());
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : m_before) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

ProcessResult runCliInProcess(const TempFolder& folder, const std::vector<std::string>& arguments,
                              const ProcessOptions& options) {
    if (options.closedStdout || options.runAsUser)
        throw std::logic_error("a closed stdout or another user needs a process: use runCli");
    fs::create_directories(folder / "tmp");
    std::map<std::string, std::string> environment{{"TMPDIR", (folder / "tmp").string()},
                                                   {"XDG_RUNTIME_DIR", (folder / "tmp").string()},
                                                   {"XDG_DATA_HOME", (folder / "data").string()}};
    for (const auto& [name, value] : options.environment)
        environment[name] = value;
    const ScopedEnvironment scoped(environment, options.unsetEnvironment);

    cli::RunContext context;
    context.programFolder = conversion::dataFolder(kBinDir);
    context.workingFolder =
        options.workingDirectory.empty() ? folder.path() : options.workingDirectory;
    std::ostringstream out;
    std::ostringstream err;
    cli::CommandLine commandLine(context, out, err);
    ProcessResult result;
    result.exitCode = commandLine.run(arguments);
    result.out = out.str();
    result.err = err.str();
    return result;
}

} // namespace velmora::test
