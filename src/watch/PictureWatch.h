#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Keeps game files in step with a folder of pictures: each picture is packed once at start
// and again after every complete save, into the game file its target names. Editors save in
// place, through a temporary file renamed over the picture, or by deleting and creating it;
// all three are seen. A half-written or damaged picture is never packed: its game file keeps
// the last good picture and the watch goes on.
namespace velmora::conversion {
class PictureReader;
}

namespace velmora::watch {

namespace conv = velmora::conversion;

// Where one picture is packed, and with what.
struct PackTarget {
    std::filesystem::path output;            // the game file written (replaced atomically)
    std::string textureName;                 // the record's texture name
    std::vector<std::uint8_t> textureHeader; // the record's 48-byte texture header
};

// The target of a picture; an error (one line for the user) when it has none, e.g. no
// original game file to take its name and header from.
using TargetFor = std::function<conv::Result<PackTarget>(const std::filesystem::path& picture)>;

struct WatchEvent {
    enum class Kind {
        Packing, // a complete save was seen and is being packed
        Written, // output holds the picture now; psnr is set when it had to be fitted
        Refused, // the picture was not packed; message says why; output is unchanged
    };
    // Set on the one Refused event told when a folder the watch depends on goes; its `picture`
    // is that folder: the watched one (no save is seen after it, `output` is empty), or
    // WatchOptions::outputFolder (also its `output`; every pack after it is refused).
    enum class FolderGone { No, Removed, MovedAway };
    Kind kind = Kind::Packing;
    std::filesystem::path picture;
    std::filesystem::path output;
    std::optional<double> psnr;
    std::string message;
    FolderGone gone = FolderGone::No;
};

struct WatchOptions {
    std::filesystem::path folder;     // the pictures
    std::filesystem::path dataFolder; // the program's data (WE00), as the workflows take it
    // Where every game file goes, when the targets share one folder: its removal or move is told
    // as the watched folder's is. Empty: not watched.
    std::filesystem::path outputFolder;
    TargetFor targetFor;
    bool fit = false;         // fit pictures too detailed for the game file instead of refusing
    bool packExisting = true; // pack every picture already in the folder at start
    int jobs = 1;             // pictures packed at once
    // Decodes pictures other than DDS and TGA (PNG, ...): the caller's, since this library
    // does not link the toolkit that reads them; without it only DDS and TGA are packed.
    const conv::PictureReader* pictures = nullptr;
    // Called from the watch's own threads, one event at a time.
    std::function<void(const WatchEvent&)> report;
};

class PictureWatch {
  public:
    // Starts watching; fails when the folder cannot be watched.
    static conv::Result<std::unique_ptr<PictureWatch>> start(WatchOptions options);
    // Stops: a pack in progress is finished or abandoned, never left half-written.
    virtual ~PictureWatch() = default;
    // Packs this picture now, as if it had just been saved.
    virtual void packNow(const std::filesystem::path& picture) = 0;
};

} // namespace velmora::watch
