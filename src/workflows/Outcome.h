#pragma once

#include "base/StepResult.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora::conversion {

// What a whole Unpack or Pack run that succeeded tells its caller.
struct RunReport {
    // The closing messages in order: "UncompressFile" then the game file's path text
    // (Unpack), or "CompressFile" then the output path text (Pack).
    std::vector<std::string> messages;
    // Pack only: the value for Text1 (stream length - 4).
    std::optional<std::int32_t> storedLength;
    // The file written (the path text with its extension, resolved).
    std::filesystem::path writtenPath;
    // Pack only: what the chosen picture was and what was done to it.
    std::string imageFound;
    std::string imageAction;
    // Pack only: the texture header was the shipped placeholder, not a genuine one.
    bool placeholderHeader = false;
    // Pack only, when the image was fitted: its PSNR over the colour channels.
    std::optional<double> fittedPsnr;
};

// A run's report, or its first failing step (whose message() is the one line to show).
using Outcome = Result<RunReport, StepResult>;

} // namespace velmora::conversion
