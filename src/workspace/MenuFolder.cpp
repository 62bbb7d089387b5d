#include "workspace/MenuFolder.h"

#include "base/GameFileLayout.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "gamefile/GameFileInspection.h"
#include "io/FileIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <system_error>

namespace velmora::workspace {

namespace fs = std::filesystem;

namespace {

// Anything much larger than a game file is a video or an archive, not a tile: not read at all.
constexpr std::uintmax_t kLargestGameFile = 4u * 1024u * 1024u;

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

conv::Result<TileFile> readTileFile(const fs::path& path) {
    auto inspected = conv::inspectGameFileAt(path);
    if (!inspected) {
        return conv::fail(inspected.error().kind, inspected.error().reason);
    }
    const conv::GameFileInfo& info = *inspected;
    if (!info.hasMagic)
        return conv::fail(conv::ErrorKind::Unsupported, "it is not a game file");
    if (!info.record) {
        // Other files of the game carry the magic too: only one headed as a tile's game file is
        // called damaged.
        const bool tileHeader = info.hasLeadBytes && info.hasPackedConstants();
        return conv::fail(tileHeader ? conv::ErrorKind::Damaged : conv::ErrorKind::Unsupported,
                          info.record.error().reason);
    }
    if (!info.record->textureHeader ||
        MenuAnimationCatalogue::findByTextureName(info.record->textureName) == nullptr) {
        return conv::fail(conv::ErrorKind::Unsupported, "its record names none of the 13 tiles");
    }
    return TileFile{path, *info.record->textureHeader, info.record->textureName};
}

conv::Result<MenuScan> scanMenuFolder(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error) {
        return conv::fail(conv::ErrorKind::ReadFailed, error.message());
    }
    std::vector<fs::path> candidates;
    for (const fs::directory_entry& entry : entries) {
        std::error_code statError;
        if (!entry.is_regular_file(statError) || statError)
            continue;
        const std::uintmax_t size = entry.file_size(statError);
        if (statError || size < 16 || size > kLargestGameFile)
            continue;
        candidates.push_back(entry.path());
    }
    // The same order on every run, so a conflict lists its files the same way.
    std::sort(candidates.begin(), candidates.end());
    MenuScan scan;
    for (const fs::path& path : candidates) {
        auto tile = readTileFile(path);
        if (!tile) {
            if (tile.error().kind == conv::ErrorKind::Damaged)
                scan.unreadable.emplace_back(path, tile.error().reason);
            continue;
        }
        const MenuAnimation* row = MenuAnimationCatalogue::findByTextureName(tile->textureName);
        scan.tiles.at(static_cast<std::size_t>(row->position)).push_back(std::move(*tile));
        ++scan.gameFiles;
    }
    return scan;
}

fs::path menuDataFolder(const fs::path& folder) {
    fs::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        base = fs::path(home) / ".local" / "share";
    } else {
        return {};
    }
    std::error_code error;
    fs::path absolute = fs::weakly_canonical(fs::absolute(folder, error), error);
    if (error)
        absolute = fs::absolute(folder);
    std::string name;
    for (const char c : absolute.filename().string()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        name += plain ? c : '_';
    }
    if (name.empty() || name.front() == '.')
        name.insert(name.begin(), 'm');
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(fnv1a(absolute.string())));
    return base / "velmora" / "menus" / (name.substr(0, 64) + "-" + hash);
}

FileStamp stampOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    FileStamp stamp;
    stamp.exists = true;
    stamp.size = static_cast<std::uintmax_t>(info.st_size);
    stamp.modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

fs::path originalPath(const fs::path& originals, std::string_view textureName) {
    return originals / (fs::path(std::string(textureName)).stem().string() + ".bin");
}

conv::Result<> keepOriginal(const fs::path& gameFile, const fs::path& originals,
                            std::string_view textureName) {
    const fs::path kept = originalPath(originals, textureName);
    std::error_code error;
    if (fs::exists(kept, error))
        return {};
    fs::create_directories(originals, error);
    if (error)
        return conv::fail(conv::ErrorKind::WriteFailed,
                          "the folder for the originals cannot be made: " + error.message());
    return conv::copyFileAtomically(gameFile, kept);
}

bool writable(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    // No write permission for anyone is the owner saying "read-only", which holds for the
    // superuser too, whom access() lets through.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::access(path.c_str(), W_OK) == 0;
}

bool folderWritable(const fs::path& folder) {
    return writable(folder) && ::access(folder.c_str(), X_OK) == 0;
}

} // namespace velmora::workspace
