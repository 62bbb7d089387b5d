#pragma once

// The conversion tests' own fake; folders, files and images come from the test-support library.
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "TempFolder.h"

#include "conversion/ByteOrder.h"
#include "conversion/CompressionComponent.h"
#include "conversion/DdsImageCheck.h"
#include "conversion/GameFileLayout.h"

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
    conversion::Status answer = conversion::Status::success();
    std::optional<Bytes> output;
    int compressCalls = 0;
    int uncompressCalls = 0;
    std::filesystem::path seenInput;
    std::filesystem::path seenOutput;

    conversion::Status CompressFile() override { ++compressCalls; return respond(); }
    conversion::Status UncompressFile() override { ++uncompressCalls; return respond(); }

private:
    conversion::Status respond()
    {
        seenInput = InputPath();
        seenOutput = OutputPath();
        if (answer && output)
            writeFile(OutputPath(), *output);
        return answer;
    }
};

}  // namespace velmora::test
