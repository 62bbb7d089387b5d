#pragma once

// The conversion tests' own fake; folders, files and images come from the test-support library.
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "TempFolder.h"

#include "base/ByteOrder.h"
#include "base/GameFileLayout.h"
#include "base/StepResult.h"
#include "formats/DdsImageCheck.h"
#include "workflows/CompressionComponent.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora::test {

// Stands in for the compression component: records the paths it was given and answers
// with a fixed status, optionally leaving fixed bytes at the output path.
class FakeComponent final : public conversion::CompressionComponent {
  public:
    conversion::Result<> answer;
    std::optional<Bytes> output;
    int compressCalls = 0;
    int uncompressCalls = 0;
    std::filesystem::path seenInput;
    std::filesystem::path seenOutput;

    conversion::Result<> CompressFile() override {
        ++compressCalls;
        return respond();
    }
    conversion::Result<> UncompressFile() override {
        ++uncompressCalls;
        return respond();
    }

  private:
    conversion::Result<> respond() {
        seenInput = InputPath();
        seenOutput = OutputPath();
        if (answer && output)
            writeFile(OutputPath(), *output);
        return answer;
    }
};

// The one line a failed step or run shows; empty when it succeeded.
template <typename T>
std::string failureText(const conversion::Result<T, conversion::StepResult>& result) {
    return result ? std::string() : result.error().message();
}

} // namespace velmora::test
