#pragma once

// Helpers of the fault and parallel-run tests alone: mounts that simulate a full or read-only
// disk, snapshots of folder trees, and workflow runs in a private folder tree. Folders, files,
// images, game files and running the real velmora-cli come from the test-support library.
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora::faults {

using test::Bytes;
using test::cliPath;
using test::gameFileAround;
using test::Process;
using test::ProcessOptions;
using test::ProcessResult;
using test::readFile;
using test::run;
using test::TempFolder;
using test::textureRecord;
using test::validImage;
using test::writeFile;
using test::zeroBombStream;
using test::zlibStream;

// A mount over a folder inside a TempFolder, undone when it goes out of scope. Mounting needs
// root (or a user namespace); where it is refused, `error` says why and the test skips.
class ScopedMount {
  public:
    // A tmpfs of `bytes` at `folder`: writes beyond its size fail with "no space left".
    static std::optional<ScopedMount> tmpfs(const std::filesystem::path& folder,
                                            std::uint64_t bytes, std::string& error);
    // `folder` itself, bound read-only over itself: even root cannot write into it.
    static std::optional<ScopedMount> readOnly(const std::filesystem::path& folder,
                                               std::string& error);

    ScopedMount(ScopedMount&& other) noexcept;
    ScopedMount& operator=(ScopedMount&&) = delete;
    ~ScopedMount();

  private:
    explicit ScopedMount(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    std::filesystem::path m_folder;
};

// velmora-cli run in this process: argv as for run() (cliPath() first), in a scratch folder of
// its own that holds its temporary folder unless `options` names another. For what needs no
// process (not a FIFO that may hang it, not another user).
ProcessResult runCliHere(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Every file under `root` with its content, and every folder (with an empty content marker),
// keyed by relative path: two snapshots are equal only if nothing was added, removed or changed.
using TreeSnapshot = std::map<std::string, std::optional<Bytes>>;
TreeSnapshot snapshot(const std::filesystem::path& root);
// The names in `after` that differ from `before`, for a readable failure.
std::string describeChanges(const TreeSnapshot& before, const TreeSnapshot& after);

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
    std::string message; // the failure message; empty on success
    std::filesystem::path written;
};
RunResult unpackGameFile(const std::filesystem::path& work, const std::filesystem::path& gameFile,
                         const std::string& outputText);
RunResult packImage(const std::filesystem::path& work, const std::filesystem::path& image,
                    const std::string& outputText,
                    const std::string& textureName = test::kTextureName);

} // namespace velmora::faults
