#pragma once

#include "conversion/StepResult.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora::conversion {

// What a whole Unpack or Pack run tells its caller.
struct Outcome {
    bool ok = false;
    // On success, the closing messages in order: "UncompressFile" then the game file's path
    // text (Unpack), or "CompressFile" then the output path text (Pack).
    std::vector<std::string> messages;
    // Pack only: the value for Text1 (stream length - 4).
    std::optional<std::int32_t> storedLength;
    // The file written (the path text with its extension, resolved).
    std::filesystem::path writtenPath;
    // On failure, the first failing step; failureMessage() is the one line to show.
    StepResult failure;

    std::string failureMessage() const { return failure.message(); }
};

}  // namespace velmora::conversion
