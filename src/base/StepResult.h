#pragma once

#include "base/Result.h"

#include <filesystem>
#include <string>

namespace velmora::conversion {

// Why one workflow step failed: the step, the file it was working on and the error, so the
// caller can show one sentence that needs no further context.
struct StepResult {
    std::string step;
    std::filesystem::path file;
    ErrorKind kind = ErrorKind::Damaged;
    std::string reason;

    static StepResult of(std::string step, std::filesystem::path file, const Error& error) {
        return {std::move(step), std::move(file), error.kind, error.reason};
    }

    // `<step> "<file>" failed: <reason>` (the file part left out when there is none). For
    // example: Decompressing "/home/ana/tile.bin" failed: the compressed data is damaged or
    // cut short.
    std::string message() const;
};

// A step either did its work or says why not.
using StepStatus = Result<void, StepResult>;

inline tl::unexpected<StepResult> stepFailed(std::string step, std::filesystem::path file,
                                             const Error& error) {
    return tl::unexpected<StepResult>(StepResult::of(std::move(step), std::move(file), error));
}

inline tl::unexpected<StepResult> stepFailed(std::string step, std::filesystem::path file,
                                             ErrorKind kind, std::string reason) {
    return stepFailed(std::move(step), std::move(file), Error{kind, std::move(reason)});
}

} // namespace velmora::conversion
