#pragma once

#include "base/StepResult.h"
#include "io/FileIo.h"
#include "workflows/WorkFiles.h"

#include <filesystem>
#include <span>

namespace velmora::conversion {

// Every run ends by deleting the work files, however it ends.
class WorkFileCleanup {
  public:
    explicit WorkFileCleanup(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    WorkFileCleanup(const WorkFileCleanup&) = delete;
    WorkFileCleanup& operator=(const WorkFileCleanup&) = delete;
    ~WorkFileCleanup() { deleteWorkFiles(m_folder); }

  private:
    std::filesystem::path m_folder;
};

// totalSize: the block's fixed size, when the parts stop short of it (the rest is zeros).
inline StepStatus writeWorkFile(const std::filesystem::path& folder, WorkFile file,
                                std::span<const std::span<const std::uint8_t>> parts,
                                std::uint64_t totalSize = 0) {
    const auto path = workFilePath(folder, file);
    if (auto written = writeFileFresh(path, parts, totalSize); !written)
        return stepFailed("Writing the work file", path, written.error());
    return {};
}

inline StepStatus writeWorkFile(const std::filesystem::path& folder, WorkFile file,
                                std::span<const std::uint8_t> bytes, std::uint64_t totalSize = 0) {
    const std::span<const std::uint8_t> parts[] = {bytes};
    return writeWorkFile(folder, file, parts, totalSize);
}

} // namespace velmora::conversion
