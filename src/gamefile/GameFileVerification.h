#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace velmora::conversion {

// What is wrong with a game file, as one would check it before putting it into the game:
// one line per finding, empty when the file is right.
struct GameFileCheck {
    std::vector<std::string> findings;
    std::vector<std::uint8_t> record; // the inflated texture record, when the stream inflates
    std::string textureName;          // the record's bytes after the image block
};

// Checks the first bytes of a game file (up to 2,400,017; `fileSize` is the whole file's):
// lead bytes and "WESYS", the stored length against the stream, the two constants, a record of
// 4,194,480 bytes plus a texture name, and a 1024x1024 32-bit image block.
GameFileCheck checkGameFile(std::span<const std::uint8_t> bytes, std::uint64_t fileSize);

// Reads the game file and checks it.
Result<GameFileCheck> checkGameFile(const std::filesystem::path& path);

// Pack's proof that the file it wrote is right: it checks out and its stream inflates to
// exactly `record`.
Result<> verifyWrittenGameFile(const std::filesystem::path& written,
                               std::span<const std::uint8_t> record);

} // namespace velmora::conversion
