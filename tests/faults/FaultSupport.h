#pragma once

// Helpers shared by the fault and parallel-run tests: private folders, mounts that simulate a
// full or read-only disk, generated images and game files, snapshots of folder trees, and
// running the real velmora-cli.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora::faults {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// A mount over a folder inside a TempFolder, undone when it goes out of scope. Mounting needs
// root (or a user namespace); where it is refused, `error` says why and the test skips.
class ScopedMount {
public:
    // A tmpfs of `bytes` at `folder`: writes beyond its size fail with "no space left".
    static std::optional<ScopedMount> tmpfs(const std::filesystem::path& folder, std::uint64_t bytes,
                                            std::string& error);
    // `folder` itself, bound read-only over itself: even root cannot write into it.
    static std::optional<ScopedMount> readOnly(const std::filesystem::path& folder, std::string& error);

    ScopedMount(ScopedMount&& other) noexcept;
    ScopedMount& operator=(ScopedMount&&) = delete;
    ~ScopedMount();

private:
    explicit ScopedMount(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    std::filesystem::path m_folder;
};

void writeFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes readFile(const std::filesystem::path& path);

// Every file under `root` with its content, and every folder (with an empty content marker),
// keyed by relative path: two snapshots are equal only if nothing was added, removed or changed.
using TreeSnapshot = std::map<std::string, std::optional<Bytes>>;
TreeSnapshot snapshot(const std::filesystem::path& root);
// The names in `after` that differ from `before`, for a readable failure.
std::string describeChanges(const TreeSnapshot& before, const TreeSnapshot& after);

// An uncompressed 1024x1024 B8G8R8A8 DDS image of 4,194,432 bytes; `seed` varies the pixels
// (smooth gradients and shapes, so the stream fits a game file).
Bytes makeImage(std::uint32_t seed);
// The texture record a game file holds: 48-byte header, image, texture name.
Bytes makeRecord(const Bytes& image, const std::string& textureName = "topModeSelect_Mov00_Ex.tex");
// One zlib stream of `data`, made with zlib (not with the code under test).
Bytes zlibStream(const Bytes& data, int level = 9);
// 16-byte game header followed by `stream`, not zero-filled.
Bytes gameFileAround(const Bytes& stream);
// A zlib stream that inflates to `size` zero bytes, made without holding them in memory.
Bytes zeroBombStream(std::uint64_t size);

// A folder tree for one workflow run: <root>/work holds "WE00", <root>/out receives outputs.
struct Workspace {
    Workspace();
    TempFolder root;
    std::filesystem::path work;
    std::filesystem::path out;
};

// The browse copy of the game file to "\Temp", then the Unpack button. A failed copy ends the
// run with its own message, as the command line reports it.
struct RunResult {
    bool ok = false;
    std::string message;  // the failure message; empty on success
    std::filesystem::path written;
};
RunResult unpackGameFile(const std::filesystem::path& work, const std::filesystem::path& gameFile,
                         const std::string& outputText);
RunResult packImage(const std::filesystem::path& work, const std::filesystem::path& image,
                    const std::string& outputText,
                    const std::string& textureName = "topModeSelect_Mov00_Ex.tex");

// One run of a program with its output captured.
struct ProcessResult {
    int exitCode = -1;   // -1 when it was killed or did not start
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::map<std::string, std::string> environment;  // added to the test's own
    int timeoutSeconds = 60;
    std::optional<unsigned> runAsUser;  // drop to this uid (and gid) before exec; needs root
};

// Starts the program; wait() on the handle collects it, so many can run at once.
class Process {
public:
    Process(const std::vector<std::string>& argv, const ProcessOptions& options = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ProcessResult wait();

private:
    int m_pid = -1;
    std::filesystem::path m_outFile;
    std::filesystem::path m_errFile;
    TempFolder m_capture;
    int m_timeoutSeconds;
};

ProcessResult run(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Why a case that the conversion core does not yet handle is skipped, or empty when it runs.
// Each entry names a fault these tests found; remove it once the core is fixed.
std::string knownCoreFault(const std::string& caseName);

// The built command-line program.
std::string cliPath();

} // namespace velmora::faults
