#include "workflows/WorkFiles.h"

#include "base/GameFileLayout.h"
#include "io/FileIo.h"

#include <cstdlib>
#include <system_error>

namespace velmora::conversion {

std::string_view workFileName(WorkFile file) {
    switch (file) {
    case WorkFile::Temp:
        return "\\Temp";
    case WorkFile::Tempa:
        return "\\Tempa";
    case WorkFile::Template:
        return "\\Template";
    case WorkFile::Zlib:
        return "\\zlib";
    case WorkFile::ZlibPES:
        return "\\zlibPES";
    case WorkFile::DDS:
        return "\\DDS";
    case WorkFile::WE00:
        return "\\WE00";
    }
    return {};
}

std::filesystem::path workFilePath(const std::filesystem::path& folder, WorkFile file) {
    // The names were written for a folder path with the separator glued on front.
    return folder / std::filesystem::path(std::string(workFileName(file).substr(1)));
}

std::filesystem::path userTextureHeaderPath() {
    // Relative values are to be ignored, as the XDG base directory rules say.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return std::filesystem::path(data) / "velmora" / "WE00";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::filesystem::path(home) / ".local" / "share" / "velmora" / "WE00";
    return {};
}

std::filesystem::path userConfigPath(std::string_view name) {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::filesystem::path(config) / "velmora" / name;
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::filesystem::path(home) / ".config" / "velmora" / name;
    return {};
}

std::filesystem::path dataFolder(const std::filesystem::path& programFolder) {
    std::error_code error;
    if (std::filesystem::exists(workFilePath(programFolder, WorkFile::WE00), error))
        return programFolder;
    const auto shared = (programFolder / ".." / "share" / "velmora").lexically_normal();
    if (std::filesystem::exists(workFilePath(shared, WorkFile::WE00), error))
        return shared;
    return programFolder;
}

std::filesystem::path defaultTextureHeader(const std::filesystem::path& programFolder) {
    const std::filesystem::path own = userTextureHeaderPath();
    std::error_code error;
    if (!own.empty() && std::filesystem::is_regular_file(own, error))
        return own;
    return workFilePath(programFolder, WorkFile::WE00);
}

void deleteWorkFiles(const std::filesystem::path& folder) {
    for (WorkFile file : kWorkFileDeletionOrder) {
        std::error_code ignored; // a missing work file is the normal case
        std::filesystem::remove(workFilePath(folder, file), ignored);
    }
}

StepStatus copyToWorkFile(const std::filesystem::path& source, const std::filesystem::path& folder,
                          WorkFile target) {
    const auto copy = workFilePath(folder, target);
    // Unpack reads no further than the game header and the payload block, so a huge or endless
    // file costs no more than a game file.
    const std::uint64_t limit =
        target == WorkFile::Temp ? kGameHeaderSize + kGamePayloadBlockSize : UINT64_MAX;
    const Result<> copied = source.empty() ? fail(ErrorKind::NotFound, "no file chosen")
                                           : copyFileAtomically(source, copy, limit);
    if (copied)
        return {};
    // A copy of the previously chosen file must not stand in for the one just chosen: without
    // it the next run says what is missing instead of converting the wrong file.
    std::error_code ignored;
    std::filesystem::remove(copy, ignored);
    return stepFailed("Copying", source, copied.error());
}

} // namespace velmora::conversion
