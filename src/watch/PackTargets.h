#pragma once

#include "watch/PictureWatch.h"

#include <filesystem>
#include <string>

// The targets of the command line's two ways of naming where a picture goes: like its original
// game file, or with one mode for every picture.
namespace velmora::watch {

struct TargetChoice {
    std::filesystem::path outputFolder; // OUT: each picture to OUT/<its stem>.bin
    // --like: the original game file, or a folder holding <stem>.bin, whose texture name and
    // header each picture takes.
    std::filesystem::path like;
    // --mode: one mode for every picture (a position, texture name or display name).
    std::string mode;
    // With a mode: the texture header, a 48-byte file or a game file; when empty, `defaultHeader`
    // (the user's installed one, else the placeholder beside the program).
    std::filesystem::path headerFile;
    std::filesystem::path defaultHeader;
};

// Whether a picture's extension is one of the pictures the watch packs (png, dds, tga, bmp,
// jpg/jpeg, tif/tiff, webp, gif; any letter case); dot-files never are.
bool isWatchedPicture(const std::filesystem::path& name);

// The target maker for a choice: an error (one line) when the mode is unknown, or neither or
// both of like and mode are given. The original game file and the header are read at each
// pack, so a file put right while the watch runs is taken.
conv::Result<TargetFor> makeTargetFor(const TargetChoice& choice);

} // namespace velmora::watch
