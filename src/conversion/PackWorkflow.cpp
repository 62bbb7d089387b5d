#include "conversion/ByteOrder.h"
#include "conversion/DdsImageCheck.h"
#include "conversion/GameFileInspection.h"
#include "conversion/ImageInput.h"
#include "conversion/FileIo.h"
#include "conversion/Formatting.h"
#include "conversion/GameFileLayout.h"
#include "conversion/WorkFiles.h"
#include "conversion/Workflows.h"
#include "conversion/WorkflowSupport.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace velmora::conversion {

namespace {

Error tooDetailed(std::uint64_t streamSize)
{
    return {ErrorKind::DoesNotFit, "the image is too detailed to fit the game file: " +
                                       groupedNumber(streamSize) + " bytes compressed, " +
                                       groupedNumber(kCompressedBlockSize) + " allowed"};
}

}  // namespace

Result<std::array<std::uint8_t, kTextureHeaderBlockSize>> readTextureHeader(const std::filesystem::path& path)
{
    // Enough for a game file's payload, so its record can be read for the header it carries.
    const auto head = readBlock(path, 0, kGameHeaderSize + kGamePayloadBlockSize);
    if (!head)
        return fail(head.error());
    std::array<std::uint8_t, kTextureHeaderBlockSize> header{};
    if (identifyFile(head->bytes).kind == FileKind::GameFile) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(head->fileSize, head->bytes.size()));
        const GameFileInfo info = inspectGameFile(std::span(head->bytes).first(size));
        if (!info.record)
            return fail(ErrorKind::Damaged, "it is a game file whose record cannot be read (" +
                                                info.record.error().reason + ")");
        if (!info.record->textureHeader)
            return fail(ErrorKind::Damaged, "it is a game file whose record is shorter than 48 bytes");
        return *info.record->textureHeader;
    }
    if (head->fileSize < kTextureHeaderBlockSize)
        return fail(ErrorKind::Damaged,
                    "it is " + std::to_string(head->fileSize) + " bytes long; the texture header needs 48");
    std::copy_n(head->bytes.begin(), kTextureHeaderBlockSize, header.begin());
    return header;
}

bool isPlaceholderHeader(std::span<const std::uint8_t> header)
{
    return header.size() == kTextureHeaderBlockSize && std::equal(header.begin(), header.begin() + 4, "WE00") &&
           std::all_of(header.begin() + 4, header.end(), [](std::uint8_t b) { return b == 0; });
}

Result<PayloadFacts, StepResult> BuildTexturePayload(const std::filesystem::path& folder,
                                                     const std::filesystem::path& imagePath,
                                                     std::string_view textureName,
                                                     const std::filesystem::path& textureHeaderFile,
                                                     const PictureReader* pictures)
{
    const auto headerPath =
        textureHeaderFile.empty() ? workFilePath(folder, WorkFile::WE00) : textureHeaderFile;
    const auto header = readTextureHeader(headerPath);
    if (!header)
        return stepFailed("Reading the texture header", headerPath, header.error());

    if (imagePath.empty())
        return stepFailed("Reading the image", {}, ErrorKind::NotFound, "choose the image to pack");
    const auto image = loadImage(imagePath, pictures);
    if (!image)
        return stepFailed("Reading the image", imagePath, image.error());

    // Mip levels after the first one were dropped with the rest of the file.
    const auto* name = reinterpret_cast<const std::uint8_t*>(textureName.data());
    const std::array<std::span<const std::uint8_t>, 3> record{
        std::span<const std::uint8_t>(*header), std::span<const std::uint8_t>(image->block),
        std::span<const std::uint8_t>(name, textureName.size())};
    // The record stays in the work files; the user's output path never receives it.
    if (auto step = writeWorkFile(folder, WorkFile::Template, record); !step)
        return tl::unexpected(step.error());
    // "\zlib" holds the record too until the compressed stream replaces it.
    if (auto step = writeWorkFile(folder, WorkFile::Zlib, record); !step)
        return tl::unexpected(step.error());
    return PayloadFacts{image->found, image->action, isPlaceholderHeader(*header)};
}

StepStatus Pack(const std::filesystem::path& folder, CompressionComponent& component)
{
    component.InputPath(workFilePath(folder, WorkFile::Template));
    component.OutputPath(workFilePath(folder, WorkFile::Zlib));
    if (auto compressed = component.CompressFile(); !compressed)
        return stepFailed("Compressing", component.InputPath(), compressed.error());
    std::error_code error;
    const auto size = std::filesystem::file_size(component.OutputPath(), error);
    if (error)
        return stepFailed("Compressing", component.OutputPath(), ErrorKind::ReadFailed,
                          "no compressed stream was written");
    // Cutting the stream would hand the game a corrupt file.
    if (size > kCompressedBlockSize)
        return stepFailed("Compressing", component.InputPath(), tooDetailed(size));
    return {};
}

Result<std::int32_t, StepResult> WriteGameFile(const std::filesystem::path& folder)
{
    const auto zlib = workFilePath(folder, WorkFile::Zlib);
    const auto stream = readBlock(zlib, 0, kCompressedBlockSize);
    if (!stream)
        return stepFailed("Writing the game file", zlib, stream.error());
    if (stream->fileSize > kCompressedBlockSize)
        return stepFailed("Writing the game file", zlib, tooDetailed(stream->fileSize));
    if (stream->fileSize < static_cast<std::uint64_t>(kStoredLengthBias))
        return stepFailed("Writing the game file", zlib, ErrorKind::Damaged, "the compressed stream is empty");

    // The game expects the length less 4; the block still carries all of the stream's bytes.
    const auto length = static_cast<std::int32_t>(stream->fileSize) - kStoredLengthBias;
    std::array<std::uint8_t, kGameHeaderSize> header{};
    std::copy(kGameLeadBytes.begin(), kGameLeadBytes.end(), header.begin());
    std::copy(kGameMagic.begin(), kGameMagic.end(), header.begin() + kGameMagicOffset);
    writeLe32(header, kStoredLengthOffset, static_cast<std::uint32_t>(length));
    writeLe16(header, kFirstConstantOffset, static_cast<std::uint16_t>(kFirstHeaderConstant));
    writeLe16(header, kSecondConstantOffset, static_cast<std::uint16_t>(kSecondHeaderConstant));

    const std::array<std::span<const std::uint8_t>, 2> parts{
        std::span<const std::uint8_t>(header), std::span(stream->bytes).first(stream->bytesRead)};
    if (auto step = writeWorkFile(folder, WorkFile::ZlibPES, parts, kGameFileSize); !step) {
        step.error().step = "Writing the game file";
        return tl::unexpected(step.error());
    }
    return length;
}

Outcome runPack(const std::filesystem::path& folder, std::string_view imageText,
                std::string_view outputText, std::string_view textureName,
                CompressionComponent& component, const std::filesystem::path& textureHeaderFile,
                const PictureReader* pictures)
{
    const WorkFileCleanup cleanup(folder);
    if (outputText.empty())
        return stepFailed("Saving the game file", {}, ErrorKind::NotFound,
                          "choose where to save the game file");
    const auto imagePath = resolveUserPath(folder, imageText);
    const auto payload = BuildTexturePayload(folder, imagePath, textureName, textureHeaderFile, pictures);
    if (!payload)
        return tl::unexpected(payload.error());
    if (auto step = Pack(folder, component); !step) {
        step.error().file = imagePath;  // the user knows the image, not the work file made from it
        return tl::unexpected(step.error());
    }
    const auto storedLength = WriteGameFile(folder);
    if (!storedLength)
        return tl::unexpected(storedLength.error());
    const auto target = resolveUserPath(folder, withExtensionOnce(outputText, ".bin"));
    if (auto saved = copyFileAtomically(workFilePath(folder, WorkFile::ZlibPES), target); !saved)
        return stepFailed("Saving the game file", target, saved.error());
    RunReport report;
    report.messages = {"CompressFile", std::string(outputText)};
    report.storedLength = *storedLength;
    report.writtenPath = target;
    report.imageFound = payload->imageFound;
    report.imageAction = payload->imageAction;
    report.placeholderHeader = payload->placeholderHeader;
    return report;
}

}  // namespace velmora::conversion
