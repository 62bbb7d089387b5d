#include "base/ByteOrder.h"
#include "base/GameFileLayout.h"
#include "formats/DdsHeaderLayout.h"
#include "formats/DdsReader.h"
#include "formats/PngWriter.h"
#include "io/FileIo.h"
#include "workflows/ImageInput.h"
#include "workflows/WorkFiles.h"
#include "workflows/WorkflowSupport.h"
#include "workflows/Workflows.h"

#include <algorithm>
#include <array>

namespace velmora::conversion {

StepStatus StripGameHeader(const std::filesystem::path& folder) {
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

StepStatus Unpack(const std::filesystem::path& folder, CompressionComponent& component) {
    component.InputPath(workFilePath(folder, WorkFile::Tempa));
    component.OutputPath(workFilePath(folder, WorkFile::Template));
    if (auto inflated = component.UncompressFile(); !inflated)
        return stepFailed("Decompressing", component.InputPath(), inflated.error());
    return {};
}

StepStatus ExtractDdsImage(const std::filesystem::path& folder) {
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

StepStatus CorrectImageHeader(const std::filesystem::path& folder) {
    const auto image = workFilePath(folder, WorkFile::DDS);
    const auto head = readBlock(image, 0, kDdsHeaderSize);
    if (!head)
        return stepFailed("Extracting the image", image, head.error());
    std::array<std::uint8_t, kDdsHeaderSize> header{};
    std::copy(head->bytes.begin(), head->bytes.end(), header.begin());
    const bool isDds = std::equal(header.begin(), header.begin() + 4, "DDS ") &&
                       readLe32(header, dds::kSizeOffset) == 124;
    if (!isDds)
        return {}; // not ours to judge: the image is written as the game file holds it
    auto corrected = header;
    setSingleMipLevel(corrected);
    if (corrected == header)
        return {};
    if (auto written = overwriteAt(image, 0, corrected); !written)
        return stepFailed("Writing the work file", image, written.error());
    return {};
}

namespace {

// The image block as an 8-bit RGBA PNG, when it is a picture the reader can decode.
Result<> savePng(const std::filesystem::path& folder, const std::filesystem::path& target) {
    const auto block = readBlock(workFilePath(folder, WorkFile::DDS), 0, kImageBlockSize);
    if (!block)
        return fail(block.error());
    const auto image = readDdsPicture(block->bytes);
    if (!image)
        return fail(ErrorKind::Unsupported, "the game file's image cannot become a PNG (" +
                                                image.error().reason +
                                                "); save it with the .dds extension instead");
    return writeFileAtomically(target,
                               encodePng(image->bgra, image->layout.width, image->layout.height));
}

} // namespace

Outcome runUnpack(const std::filesystem::path& folder, std::string_view gameFileText,
                  std::string_view outputText, CompressionComponent& component,
                  const PictureReader* pictures) {
    const WorkFileCleanup cleanup(folder);
    if (outputText.empty())
        return stepFailed("Saving the image", {}, ErrorKind::NotFound,
                          "choose where to save the image");
    if (auto step = StripGameHeader(folder); !step)
        return tl::unexpected(step.error());
    if (auto step = Unpack(folder, component); !step) {
        // The user knows the game file, not the work file made from it.
        if (!gameFileText.empty())
            step.error().file = resolveUserPath(folder, gameFileText);
        // A picture chosen in place of a game file is named as what it is.
        return tl::unexpected(
            gameFileFault(workFilePath(folder, WorkFile::Temp), step.error(), pictures));
    }
    if (auto step = ExtractDdsImage(folder); !step)
        return tl::unexpected(step.error());
    if (auto step = CorrectImageHeader(folder); !step)
        return tl::unexpected(step.error());
    // A name ending in ".png" gets a PNG at exactly that name. Otherwise ".dds" is appended
    // only once, so choosing an existing "tile.dds" replaces that file and nothing else; the
    // file at exactly the typed text is left alone.
    const bool png = hasExtension(outputText, ".png");
    const auto target = resolveUserPath(folder, png ? std::string(outputText)
                                                    : withExtensionOnce(outputText, ".dds"));
    const auto saved = png ? savePng(folder, target)
                           : copyFileAtomically(workFilePath(folder, WorkFile::DDS), target);
    if (!saved)
        return stepFailed("Saving the image", target, saved.error());
    RunReport report;
    report.messages = {"UncompressFile", std::string(gameFileText)};
    report.writtenPath = target;
    return report;
}

} // namespace velmora::conversion
