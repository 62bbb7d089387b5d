#pragma once

#include <filesystem>
#include <string>

namespace velmora::conversion {

// Result of one compression call: ok, or the reason it failed.
struct Status {
    bool ok = true;
    std::string reason;

    static Status success() { return {}; }
    static Status failure(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

// Result of one workflow step. A failure names the step, the file it was working on and why,
// so the caller can show one sentence that needs no further context.
struct StepResult {
    bool ok = true;
    std::string step;
    std::filesystem::path file;
    std::string reason;

    static StepResult success() { return {}; }
    static StepResult failure(std::string step, std::filesystem::path file, std::string reason)
    {
        return {false, std::move(step), std::move(file), std::move(reason)};
    }
    explicit operator bool() const { return ok; }

    // `<step> "<file>" failed: <reason>` (the file part left out when there is none); empty on
    // success. For example: Decompressing "/home/ana/tile.bin" failed: the compressed data is
    // damaged or cut short.
    std::string message() const;
};

}  // namespace velmora::conversion
