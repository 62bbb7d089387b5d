#pragma once

#include "base/Result.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// A menu on disk: the folder of game files a modder works on, which file holds which tile, and
// the menu's own data folder (the edit pictures and the originals kept before the first write).
namespace velmora::workspace {

namespace conv = velmora::conversion;

inline constexpr int kTileCount = 13;

// One game file found in the folder, with what its record says.
struct TileFile {
    std::filesystem::path path;
    std::array<std::uint8_t, 48> header{};
    std::string textureName;
};

// What a folder holds, tile by tile in the catalogue's order: no file (missing), one, or more
// than one (a conflict: none of them is written).
struct MenuScan {
    std::array<std::vector<TileFile>, kTileCount> tiles;
    int gameFiles = 0; // files whose record names one of the 13 tiles
    // Files that begin as game files but whose record cannot be read (cut short, damaged): which
    // tile they hold cannot be told, so they are named to the user with the reason.
    std::vector<std::pair<std::filesystem::path, std::string>> unreadable;
};

// Reads every file in the folder (not below it) that may be a game file and sorts them by the
// texture name in their records, whatever the files are called. Fails when the folder cannot
// be listed.
conv::Result<MenuScan> scanMenuFolder(const std::filesystem::path& folder);

// One game file read again, as scanMenuFolder reads it; an error when it no longer holds a
// tile's record.
conv::Result<TileFile> readTileFile(const std::filesystem::path& path);

// $XDG_DATA_HOME/velmora/menus/<folder's name>-<hash of its absolute path>: the same folder
// always gets the same data folder, two folders of one name never share one. Empty when neither
// XDG_DATA_HOME nor HOME is set.
std::filesystem::path menuDataFolder(const std::filesystem::path& folder);

// What a file is on disk now, to tell a change made by another program.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const std::filesystem::path& path);

// Keeps `gameFile` as the original of the tile named `textureName` in `originals`, unless one
// is kept already. Returns whether an original is there now.
conv::Result<> keepOriginal(const std::filesystem::path& gameFile,
                            const std::filesystem::path& originals, std::string_view textureName);
std::filesystem::path originalPath(const std::filesystem::path& originals,
                                   std::string_view textureName);

// Whether the program may replace files in this folder, or write this file. A file or folder
// without any write permission counts as read-only, even where the superuser could write it.
bool folderWritable(const std::filesystem::path& folder);
bool writable(const std::filesystem::path& path);

} // namespace velmora::workspace
