#pragma once

#include "base/Result.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

// Where a picture packed "like" an original game file takes its texture name and header from,
// shared by the batch form and the picture watch: a repacked file then differs from the
// original only in its pixels.
namespace velmora::conversion {

// The original game file `like` names for a picture: the file itself, or in a folder the one
// named after the picture's stem, with or without ".bin".
std::filesystem::path likeFileFor(const std::filesystem::path& like,
                                  const std::filesystem::path& picture);

// What a picture packed like an original game file takes from it.
struct OriginalGameFile {
    std::string textureName;
    std::array<std::uint8_t, 48> textureHeader{};
};

// The texture name and 48-byte header of an original game file; the error's reason says why
// it cannot be read ("the file does not exist", what is wrong with it).
Result<OriginalGameFile> readOriginalGameFile(const std::filesystem::path& original);

} // namespace velmora::conversion
