#include "ProcessRunner.h"

#include "FileHelpers.h"
#include "TestPaths.h"

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace velmora::test {

Process::Process(const std::vector<std::string>& argv, const ProcessOptions& options)
    : m_outFile(m_capture / "stdout"), m_errFile(m_capture / "stderr"),
      m_timeoutSeconds(options.timeoutSeconds) {
    if (options.runAsUser) {
        // The dropped user must be able to write its captured output.
        fs::permissions(m_capture.path(), fs::perms::all);
    }

    // Everything the child needs is prepared before fork, so the child only calls
    // async-signal-safe functions.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('='));
        if (!options.environment.count(key) && !options.unsetEnvironment.count(key)) {
            env.push_back(entry);
        }
    }
    for (const auto& [key, value] : options.environment) {
        env.push_back(key + "=" + value);
    }
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    const std::string outPath = m_outFile.string();
    const std::string errPath = m_errFile.string();
    const std::string workingDirectory = options.workingDirectory.string();
    // Both ends made and the reading one closed before fork, so no reader ever exists.
    int closedPipe[2] = {-1, -1};
    if (options.closedStdout && ::pipe(closedPipe) == 0) {
        ::close(closedPipe[0]);
    }

    m_pid = ::fork();
    if (m_pid == 0) {
        const int out = options.closedStdout
                            ? closedPipe[1]
                            : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) {
            ::_exit(126);
        }
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) {
            ::_exit(126);
        }
        if (options.runAsUser) {
            const gid_t gid = *options.runAsUser;
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 ||
                ::setuid(*options.runAsUser) != 0) {
                ::_exit(125);
            }
        }
        ::execve(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
    if (closedPipe[1] >= 0) {
        ::close(closedPipe[1]);
    }
}

Process::~Process() {
    if (m_pid > 0) {
        wait();
    }
}

void Process::signal(int number) {
    if (m_pid > 0) {
        ::kill(m_pid, number);
    }
}

std::string Process::errSoFar() const {
    std::error_code error;
    return fs::exists(m_errFile, error) ? readText(m_errFile) : std::string();
}

ProcessResult Process::wait() {
    ProcessResult result;
    if (m_pid <= 0) {
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_timeoutSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            m_pid = -1;
            return result;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
    if (!result.timedOut && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    result.out = readText(m_outFile);
    result.err = readText(m_errFile);
    return result;
}

ProcessResult run(const std::vector<std::string>& argv, const ProcessOptions& options) {
    Process process(argv, options);
    return process.wait();
}

std::string cliPath() {
    return (fs::path(kBinDir) / "velmora-cli").string();
}

ProcessResult runCli(const TempFolder& folder, const std::vector<std::string>& arguments,
                     ProcessOptions options) {
    fs::create_directories(folder / "tmp");
    std::vector<std::string> argv{cliPath()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    options.workingDirectory = folder.path();
    options.environment["TMPDIR"] = (folder / "tmp").string();
    options.environment["XDG_RUNTIME_DIR"] = (folder / "tmp").string();
    options.environment["XDG_DATA_HOME"] = (folder / "data").string();
    return run(argv, options);
}

} // namespace velmora::test

namespace velmora::test {

std::set<std::string> leftInTemp(const fs::path& tmp) {
    const std::set<std::string> parents{"velmora", "velmora-" + std::to_string(::geteuid())};
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(tmp)) {
        const std::string name = entry.path().filename().string();
        if (!parents.count(name) || !entry.is_directory()) {
            left.insert(name);
            continue;
        }
        for (const auto& inner : fs::directory_iterator(entry.path()))
            left.insert(name + "/" + inner.path().filename().string());
    }
    return left;
}

PinnedToOneCore::PinnedToOneCore() {
    CPU_ZERO(&m_all);
    if (::sched_getaffinity(0, sizeof m_all, &m_all) != 0)
        throw std::runtime_error("no affinity mask");
    int first = 0;
    while (first < CPU_SETSIZE && !CPU_ISSET(first, &m_all))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ::sched_setaffinity(0, sizeof one, &one);
}

PinnedToOneCore::~PinnedToOneCore() {
    ::sched_setaffinity(0, sizeof m_all, &m_all);
}

} // namespace velmora::test
