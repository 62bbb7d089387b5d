#include "FaultSupport.h"

#include "TestPaths.h"

#include "conversion/DdsImageCheck.h"
#include "conversion/DeflateCompressionComponent.h"
#include "conversion/WorkFiles.h"
#include "conversion/Workflows.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace velmora::faults {

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "velmora-faults.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary folder: " + std::string(std::strerror(errno)));
    }
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Permissions a test took away must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(m_path, ec);
}

std::optional<ScopedMount> ScopedMount::tmpfs(const fs::path& folder, std::uint64_t bytes, std::string& error) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        error = "cannot mount a tmpfs here (" + std::string(std::strerror(errno)) +
                "); a full disk needs root or a user namespace";
        return std::nullopt;
    }
    return ScopedMount(folder);
}

std::optional<ScopedMount> ScopedMount::readOnly(const fs::path& folder, std::string& error) {
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        error = "cannot bind-mount here (" + std::string(std::strerror(errno)) +
                "); a folder root cannot write to needs a read-only mount";
        return std::nullopt;
    }
    ScopedMount mounted(folder);
    if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        error = "cannot make the bind mount read-only (" + std::string(std::strerror(errno)) + ")";
        return std::nullopt;
    }
    return mounted;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept : m_folder(std::move(other.m_folder)) {
    other.m_folder.clear();
}

ScopedMount::~ScopedMount() {
    if (!m_folder.empty()) {
        ::umount2(m_folder.c_str(), MNT_DETACH);
    }
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TreeSnapshot snapshot(const fs::path& root) {
    TreeSnapshot tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).generic_string();
        const fs::file_status status = entry.symlink_status();
        if (fs::is_regular_file(status)) {
            tree[name] = readFile(entry.path());
        } else if (fs::is_directory(status)) {
            tree[name] = std::nullopt;
        } else {
            // FIFOs and links are compared by kind only: reading a FIFO would block.
            const std::string kind = fs::is_symlink(status) ? "link:" + fs::read_symlink(entry.path()).string() : "special";
            tree[name] = Bytes(kind.begin(), kind.end());
        }
    }
    return tree;
}

std::string describeChanges(const TreeSnapshot& before, const TreeSnapshot& after) {
    std::string text;
    for (const auto& [name, content] : after) {
        const auto it = before.find(name);
        if (it == before.end()) {
            text += " added:" + name;
        } else if (it->second != content) {
            text += " changed:" + name;
        }
    }
    for (const auto& [name, content] : before) {
        if (!after.count(name)) {
            text += " removed:" + name;
        }
    }
    return text.empty() ? " (none)" : text;
}

namespace {

void put32(Bytes& out, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

Bytes makeImage(std::uint32_t seed) {
    Bytes image = conversion::makeDdsHeader();
    image.resize(4'194'432, 0);
    const int cx = 200 + static_cast<int>(seed * 37 % 600);
    const int cy = 200 + static_cast<int>(seed * 91 % 600);
    std::uint8_t* p = image.data() + 128;
    for (int y = 0; y < 1024; ++y) {
        for (int x = 0; x < 1024; ++x, p += 4) {
            const int dx = x - cx;
            const int dy = y - cy;
            const bool inShape = dx * dx + dy * dy < 150 * 150 || (x > cy && x < cy + 80);
            p[0] = static_cast<std::uint8_t>(inShape ? 40 + seed : x / 4);       // blue
            p[1] = static_cast<std::uint8_t>(inShape ? 200 : y / 4 + seed);      // green
            p[2] = static_cast<std::uint8_t>((x + y) / 8 + seed * 3);            // red
            p[3] = 0xFF;
        }
    }
    return image;
}

Bytes makeRecord(const Bytes& image, const std::string& textureName) {
    Bytes record(48, 0);
    std::memcpy(record.data(), "WE00", 4);
    record.insert(record.end(), image.begin(), image.end());
    record.insert(record.end(), textureName.begin(), textureName.end());
    return record;
}

Bytes zlibStream(const Bytes& data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK) {
        throw std::runtime_error("zlib compress2 failed");
    }
    out.resize(size);
    return out;
}

Bytes gameFileAround(const Bytes& stream) {
    Bytes file{0x00, 0x01, 0x01, 'W', 'E', 'S', 'Y', 'S', 0, 0, 0, 0, 0xD0, 0x00, 0x40, 0x00};
    put32(file, 8, static_cast<std::uint32_t>(stream.size() - 4));
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

Bytes zeroBombStream(std::uint64_t size) {
    z_stream z{};
    if (deflateInit(&z, 9) != Z_OK) {
        throw std::runtime_error("zlib deflateInit failed");
    }
    const Bytes zeros(1 << 20, 0);
    Bytes out;
    Bytes chunk(1 << 16);
    std::uint64_t left = size;
    int flush = Z_NO_FLUSH;
    do {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
        z.next_in = const_cast<Bytef*>(zeros.data());
        z.avail_in = static_cast<uInt>(n);
        left -= n;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            deflate(&z, flush);
            out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    return out;
}

Workspace::Workspace() : work(root / "work"), out(root / "out") {
    fs::create_directories(work);
    fs::create_directories(out);
    Bytes header(48, 0);
    std::memcpy(header.data(), "WE00", 4);
    writeFile(work / "WE00", header);
}

RunResult unpackGameFile(const fs::path& work, const fs::path& gameFile, const std::string& outputText) {
    namespace conv = velmora::conversion;
    RunResult result;
    if (const auto copied = conv::copyToWorkFile(gameFile, work, conv::WorkFile::Temp); !copied) {
        result.message = copied.error().message();
        return result;
    }
    conv::DeflateCompressionComponent component;
    const conv::Outcome outcome = conv::runUnpack(work, gameFile.string(), outputText, component);
    result.ok = outcome.has_value();
    result.message = outcome ? std::string() : outcome.error().message();
    result.written = outcome ? outcome->writtenPath : std::filesystem::path();
    return result;
}

RunResult packImage(const fs::path& work, const fs::path& image, const std::string& outputText,
                    const std::string& textureName) {
    namespace conv = velmora::conversion;
    conv::DeflateCompressionComponent component;
    const conv::Outcome outcome = conv::runPack(work, image.string(), outputText, textureName, component);
    RunResult result;
    result.ok = outcome.has_value();
    result.message = outcome ? std::string() : outcome.error().message();
    result.written = outcome ? outcome->writtenPath : std::filesystem::path();
    return result;
}

Process::Process(const std::vector<std::string>& argv, const ProcessOptions& options)
    : m_timeoutSeconds(options.timeoutSeconds) {
    m_outFile = m_capture / "stdout";
    m_errFile = m_capture / "stderr";
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
        if (!options.environment.count(key)) {
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

    m_pid = ::fork();
    if (m_pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) {
            ::_exit(126);
        }
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (options.runAsUser) {
            const gid_t gid = *options.runAsUser;
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(*options.runAsUser) != 0) {
                ::_exit(125);
            }
        }
        ::execve(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
}

Process::~Process() {
    if (m_pid > 0) {
        wait();
    }
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
    const Bytes out = readFile(m_outFile);
    const Bytes err = readFile(m_errFile);
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

ProcessResult run(const std::vector<std::string>& argv, const ProcessOptions& options) {
    Process process(argv, options);
    return process.wait();
}

std::string knownCoreFault(const std::string&) {
    return {};
}

std::string cliPath() {
    return (fs::path(velmora::test::kBinDir) / "velmora-cli").string();
}

} // namespace velmora::faults
