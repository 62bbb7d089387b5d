#pragma once

#include "conversion/FileIo.h"
#include "conversion/StepResult.h"
#include "conversion/WorkFiles.h"

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

inline StepResult writeWorkFile(const std::filesystem::path& folder, WorkFile file,
                                std::span<const std::span<const std::uint8_t>> parts)
{
    const auto path = workFilePath(folder, file);
    if (auto error = writeFileFresh(path, parts); !error.empty())
        return StepResult::failure("Writing the work file", path, error);
    return StepResult::success();
}

inline StepResult writeWorkFile(const std::filesystem::path& folder, WorkFile file,
                                std::span<const std::uint8_t> bytes)
{
    const std::span<const std::uint8_t> parts[] = {bytes};
    return writeWorkFile(folder, file, parts);
}

}  // namespace velmora::conversion
