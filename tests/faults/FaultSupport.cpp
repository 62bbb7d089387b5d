#include "FaultSupport.h"

#include "CliInProcess.h"

#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <cerrno>
#include <cstring>

#include <sys/mount.h>

namespace fs = std::filesystem;

namespace velmora::faults {

std::optional<ScopedMount> ScopedMount::tmpfs(const fs::path& folder, std::uint64_t bytes,
                                              std::string& error) {
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
            const std::string kind = fs::is_symlink(status)
                                         ? "link:" + fs::read_symlink(entry.path()).string()
                                         : "special";
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

Workspace::Workspace() : work(root / "work"), out(root / "out") {
    fs::create_directories(work);
    fs::create_directories(out);
    writeFile(work / "WE00", test::plainTextureHeader());
}

RunResult unpackGameFile(const fs::path& work, const fs::path& gameFile,
                         const std::string& outputText) {
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
    const conv::Outcome outcome =
        conv::runPack(work, image.string(), outputText, textureName, component);
    RunResult result;
    result.ok = outcome.has_value();
    result.message = outcome ? std::string() : outcome.error().message();
    result.written = outcome ? outcome->writtenPath : std::filesystem::path();
    return result;
}

ProcessResult runCliHere(const std::vector<std::string>& argv, const ProcessOptions& options) {
    const TempFolder scratch;
    return test::runCliInProcess(scratch, {argv.begin() + 1, argv.end()}, options);
}

} // namespace velmora::faults
