#include "conversion/FileIo.h"
#include "conversion/GameFileLayout.h"
#include "conversion/WorkFiles.h"
#include "conversion/Workflows.h"
#include "conversion/WorkflowSupport.h"

namespace velmora::conversion {

StepResult StripGameHeader(const std::filesystem::path& folder)
{
    const auto temp = workFilePath(folder, WorkFile::Temp);
    // The header is skipped unread: files without "WESYS" unpack like any other.
    const BlockRead block = readBlock(temp, kGameHeaderSize, kGamePayloadBlockSize);
    if (!block.ok()) {
        // "\Temp" is made when the game file is chosen and deleted by every run.
        const std::string reason = block.missing ? "there is no copy of the game file; choose the game file again"
                                       : block.error;
        return StepResult::failure("Reading the game file copy", temp, reason);
    }
    return writeWorkFile(folder, WorkFile::Tempa, block);
}

StepResult Unpack(const std::filesystem::path& folder, CompressionComponent& component)
{
    component.InputPath(workFilePath(folder, WorkFile::Tempa));
    component.OutputPath(workFilePath(folder, WorkFile::Template));
    const Status status = component.UncompressFile();
    if (!status)
        return StepResult::failure("Decompressing", component.InputPath(), status.reason);
    return StepResult::success();
}

StepResult ExtractDdsImage(const std::filesystem::path& folder)
{
    const auto record = workFilePath(folder, WorkFile::Template);
    // A short record leaves the image tail zero; the texture name after the block is dropped.
    const BlockRead block = readBlock(record, kRecordImageOffset, kImageBlockSize);
    if (!block.ok())
        return StepResult::failure("Extracting the image", record, block.error);
    return writeWorkFile(folder, WorkFile::DDS, block);
}

Outcome runUnpack(const std::filesystem::path& folder, std::string_view gameFileText,
                  std::string_view outputText, CompressionComponent& component)
{
    const WorkFileCleanup cleanup(folder);
    Outcome outcome;
    if (outputText.empty()) {
        outcome.failure = StepResult::failure("Saving the image", {}, "choose where to save the image");
        return outcome;
    }
    if (auto step = StripGameHeader(folder); !step) {
        outcome.failure = step;
        return outcome;
    }
    if (auto step = Unpack(folder, component); !step) {
        // The user knows the game file, not the work file made from it.
        if (!gameFileText.empty())
            step.file = resolveUserPath(folder, gameFileText);
        outcome.failure = step;
        return outcome;
    }
    if (auto step = ExtractDdsImage(folder); !step) {
        outcome.failure = step;
        return outcome;
    }
    // Appended only once, so choosing an existing "tile.dds" replaces that file and nothing
    // else; the file at exactly the typed text is left alone.
    const auto target = resolveUserPath(folder, withExtensionOnce(outputText, ".dds"));
    if (auto error = copyFileAtomically(workFilePath(folder, WorkFile::DDS), target); !error.empty()) {
        outcome.failure = StepResult::failure("Saving the image", target, error);
        return outcome;
    }
    outcome.ok = true;
    outcome.writtenPath = target;
    outcome.messages = {"UncompressFile", std::string(gameFileText)};
    return outcome;
}

}  // namespace velmora::conversion
