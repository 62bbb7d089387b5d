#pragma once

#include "base/StepResult.h"

#include <array>
#include <filesystem>
#include <string_view>

namespace velmora::conversion {

// The fixed files in the application folder through which every conversion passes.
enum class WorkFile { Temp, Tempa, Template, Zlib, ZlibPES, DDS, WE00 };

// The name as the program has always spelled it: "\Temp", "\zlibPES", ...
std::string_view workFileName(WorkFile file);

// The folder joined with the name without its backslash: "\Temp" is <folder>/Temp here.
std::filesystem::path workFilePath(const std::filesystem::path& folder, WorkFile file);

// Every run ends by deleting these, in this order, whether or not it used them.
// "\WE00" is data shipped beside the program and is never deleted.
inline constexpr std::array<WorkFile, 6> kWorkFileDeletionOrder{
    WorkFile::Zlib, WorkFile::Template, WorkFile::ZlibPES,
    WorkFile::Temp, WorkFile::DDS,      WorkFile::Tempa};

// Where the user's own genuine texture header is installed (`velmora-cli header GAME_FILE`):
// $XDG_DATA_HOME/velmora/WE00, by default ~/.local/share/velmora/WE00. Empty when neither
// XDG_DATA_HOME nor HOME is set.
std::filesystem::path userTextureHeaderPath();

// Where the program keeps a setting of the user's: $XDG_CONFIG_HOME/velmora/<name>, by default
// ~/.config/velmora/<name>. Empty when neither XDG_CONFIG_HOME nor HOME is set.
std::filesystem::path userConfigPath(std::string_view name);

// Where the program's data (WE00, Image/, resources/) is: beside the program, as in the build
// tree and the one-folder install, else ../share/velmora from it, as the system package has it.
std::filesystem::path dataFolder(const std::filesystem::path& programFolder);

// The texture header Pack takes when none is named: the user's own when installed, else the
// "\WE00" shipped beside the program.
std::filesystem::path defaultTextureHeader(const std::filesystem::path& programFolder);

// Deletes the work files in kWorkFileDeletionOrder; a missing one is passed over.
void deleteWorkFiles(const std::filesystem::path& folder);

// The browse handlers' copies: the chosen game file to "\Temp", the Save Bin file to
// "\Template". Replaces an existing copy whole; when the copy fails, the stale copy of an
// earlier choice is removed, so a run never converts a file other than the one chosen. The
// main window may ignore the result (a failed copy is not reported there); the step name is
// "Copying".
StepStatus copyToWorkFile(const std::filesystem::path& source, const std::filesystem::path& folder,
                          WorkFile target);

} // namespace velmora::conversion
