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
    const auto payload = workFilePath(folder, WorkFile::Tempa);
    const BlockTransferResult moved = transferBlock(temp, kGameHeaderSize, kGamePayloadBlockSize, payload);
    if (!moved.sourceError.empty()) {
        // "\Temp" is made when the game file is chosen and deleted by every run.
        const std::string reason = moved.sourceMissing
                                       ? "there is no copy of the game file; choose the game file again"
                                       : moved.sourceError;
        return StepResult::failure("Reading the game file copy", temp, reason);
    }
    if (!moved.targetError.empty())
        return StepResult::failure("Writing the work file", payload, moved.targetError);
    return StepResult::success();
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
    const auto image = workFilePath(folder, WorkFile::DDS);
    const BlockTransferResult moved = transferBlock(record, kRecordImageOffset, kImageBlockSize, image);
    if (!moved.sourceError.empty())
        return StepResult::failure("Extracting the image", record, moved.sourceError);
    if (!moved.targetError.empty())
        return StepResult::failure("Writing the work file", image, moved.targetError);
    return StepResult::success();
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
