#pragma once

#include "base/GameFileLayout.h"
#include "base/Result.h"
#include "base/StepResult.h"
#include "formats/DdsImageCheck.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace velmora::conversion {

// What the compressed stream of a game file holds.
struct RecordInfo {
    std::size_t streamSize = 0; // bytes the zlib stream occupies after the header
    std::size_t recordSize = 0; // bytes it inflates to
    std::optional<std::array<std::uint8_t, 48>> textureHeader; // record bytes 0..47
    std::string textureName;                                   // record bytes after the image block
    DdsSummary image;                                          // the image block's DDS header
};

// What a game file holds, read without trusting any of it.
struct GameFileInfo {
    std::uint64_t fileSize = 0;
    bool hasLeadBytes = false; // 00 01 01
    bool hasMagic = false;     // "WESYS"
    std::int32_t storedLength = 0;
    std::int16_t firstConstant = 0;
    std::int16_t secondConstant = 0;
    // The record, or why the stream could not be inflated.
    Result<RecordInfo> record;

    // The header's two constants are the ones a packed game file has (208, 64).
    bool hasPackedConstants() const {
        return firstConstant == kFirstHeaderConstant && secondConstant == kSecondHeaderConstant;
    }
};

// Inspects a whole game file held in memory (at most the first 16 + 3,000,001 bytes are used,
// as Unpack does). What could not be read is marked in the result. With `record`, the inflated
// record is kept there for a caller that goes on to read its image.
GameFileInfo inspectGameFile(std::span<const std::uint8_t> fileBytes,
                             std::vector<std::uint8_t>* record = nullptr);

// The game file as far as Unpack would read it, inspected. Fails only when the file cannot be
// read at all.
Result<GameFileInfo, StepResult> inspectGameFileAt(const std::filesystem::path& gameFile);

} // namespace velmora::conversion
