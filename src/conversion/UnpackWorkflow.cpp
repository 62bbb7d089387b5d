#include "conversion/FileIo.h"
#include "conversion/GameFileLayout.h"
#include "conversion/WorkFiles.h"
#include "conversion/Workflows.h"
#include "conversion/WorkflowSupport.h"

namespace velmora::conversion {

StepStatus StripGameHeader(const std::filesystem::path& folder)
{
    const auto temp = workFilePath(folder, WorkFile::Temp);
    // The header is skipped unread: files without "WESYS" unpack like any other.
    const auto payload = workFilePath(folder, WorkFile::Tempa);
    const auto moved = transferBlock(temp, kGameHeaderSize, kGamePayloadBlockSize, payload);
    if (moved)
        return {};
    if (moved.error().kind == ErrorKind::WriteFailed)
        return stepFailed("Writing the work file", payload, moved.error());
    // "\Temp" is made when the game file is chosen and deleted by every run.
    if (moved.error().kind == ErrorKind::NotFound)
        return stepFailed("Reading the game file copy", temp, ErrorKind::NotFound,
                          "there is no copy of the game file; choose the game file again");
    return stepFailed("Reading the game file copy", temp, moved.error());
}

StepStatus Unpack(const std::filesystem::path& folder, CompressionComponent& component)
{
    component.InputPath(workFilePath(folder, WorkFile::Tempa));
    component.OutputPath(workFilePath(folder, WorkFile::Template));
    if (auto inflated = component.UncompressFile(); !inflated)
        return stepFailed("Decompressing", component.InputPath(), inflated.error());
    return {};
}

StepStatus ExtractDdsImage(const std::filesystem::path& folder)
{
    const auto record = workFilePath(folder, WorkFile::Template);
    // A short record leaves the image tail zero; the texture name after the block is dropped.
    const auto image = workFilePath(folder, WorkFile::DDS);
    const auto moved = transferBlock(record, kRecordImageOffset, kImageBlockSize, image);
    if (moved)
        return {};
    if (moved.error().kind == ErrorKind::WriteFailed)
        return stepFailed("Writing the work file", image, moved.error());
    return stepFailed("Extracting the image", record, moved.error());
}

Outcome runUnpack(const std::filesystem::path& folder, std::string_view gameFileText,
                  std::string_view outputText, CompressionComponent& component)
{
    const WorkFileCleanup cleanup(folder);
    if (outputText.empty())
        return stepFailed("Saving the image", {}, ErrorKind::NotFound, "choose where to save the image");
    if (auto step = StripGameHeader(folder); !step)
        return tl::unexpected(step.error());
    if (auto step = Unpack(folder, component); !step) {
        // The user knows the game file, not the work file made from it.
        if (!gameFileText.empty())
            step.error().file = resolveUserPath(folder, gameFileText);
        return tl::unexpected(step.error());
    }
    if (auto step = ExtractDdsImage(folder); !step)
        return tl::unexpected(step.error());
    // Appended only once, so choosing an existing "tile.dds" replaces that file and nothing
    // else; the file at exactly the typed text is left alone.
    const auto target = resolveUserPath(folder, withExtensionOnce(outputText, ".dds"));
    if (auto saved = copyFileAtomically(workFilePath(folder, WorkFile::DDS), target); !saved)
        return stepFailed("Saving the image", target, saved.error());
    return RunReport{{"UncompressFile", std::string(gameFileText)}, std::nullopt, target};
}

}  // namespace velmora::conversion
