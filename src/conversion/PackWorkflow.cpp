#include "conversion/DdsImageCheck.h"
#include "conversion/FileIo.h"
#include "conversion/Formatting.h"
#include "conversion/GameFileLayout.h"
#include "conversion/WorkFiles.h"
#include "conversion/Workflows.h"
#include "conversion/WorkflowSupport.h"

#include <array>
#include <system_error>

namespace velmora::conversion {

namespace {

std::string tooDetailed(std::uint64_t streamSize)
{
    return "the image is too detailed to fit the game file: " + groupedNumber(streamSize) +
           " bytes compressed, " + groupedNumber(kCompressedBlockSize) + " allowed";
}

void putLittleEndian(std::uint8_t* out, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

StepResult BuildTexturePayload(const std::filesystem::path& folder,
                               const std::filesystem::path& imagePath, std::string_view textureName,
                               const std::filesystem::path& textureHeaderFile)
{
    const auto headerPath =
        textureHeaderFile.empty() ? workFilePath(folder, WorkFile::WE00) : textureHeaderFile;
    const BlockRead header = readBlock(headerPath, 0, kTextureHeaderBlockSize);
    if (!header.ok())
        return StepResult::failure("Reading the texture header", headerPath, header.error);
    if (header.fileSize < kTextureHeaderBlockSize)
        return StepResult::failure("Reading the texture header", headerPath,
                                   "it is " + std::to_string(header.fileSize) +
                                       " bytes long; the texture header needs 48");

    if (imagePath.empty())
        return StepResult::failure("Reading the image", {}, "choose the image to pack");
    const BlockRead image = readBlock(imagePath, 0, kImageBlockSize);
    if (!image.ok())
        return StepResult::failure("Reading the image", imagePath, image.error);
    if (auto problem = checkDdsImage(image.bytes, image.fileSize))
        return StepResult::failure("Reading the image", imagePath, *problem);

    // Mip levels after the first one are cut off with the rest of the block.
    const auto* name = reinterpret_cast<const std::uint8_t*>(textureName.data());
    const std::array<std::span<const std::uint8_t>, 3> record{
        std::span<const std::uint8_t>(header.bytes), std::span<const std::uint8_t>(image.bytes),
        std::span<const std::uint8_t>(name, textureName.size())};
    // The record stays in the work files; the user's output path never receives it.
    if (auto step = writeWorkFile(folder, WorkFile::Template, record); !step)
        return step;
    // "\zlib" holds the record too until the compressed stream replaces it.
    return writeWorkFile(folder, WorkFile::Zlib, record);
}

StepResult Pack(const std::filesystem::path& folder, CompressionComponent& component)
{
    component.InputPath(workFilePath(folder, WorkFile::Template));
    component.OutputPath(workFilePath(folder, WorkFile::Zlib));
    const Status status = component.CompressFile();
    if (!status)
        return StepResult::failure("Compressing", component.InputPath(), status.reason);
    std::error_code error;
    const auto size = std::filesystem::file_size(component.OutputPath(), error);
    if (error)
        return StepResult::failure("Compressing", component.OutputPath(),
                                   "no compressed stream was written");
    // Cutting the stream would hand the game a corrupt file.
    if (size > kCompressedBlockSize)
        return StepResult::failure("Compressing", component.InputPath(), tooDetailed(size));
    return StepResult::success();
}

StepResult WriteGameFile(const std::filesystem::path& folder, std::int32_t& storedLength)
{
    const auto zlib = workFilePath(folder, WorkFile::Zlib);
    const BlockRead stream = readBlock(zlib, 0, kCompressedBlockSize);
    if (!stream.ok())
        return StepResult::failure("Writing the game file", zlib, stream.error);
    if (stream.fileSize > kCompressedBlockSize)
        return StepResult::failure("Writing the game file", zlib, tooDetailed(stream.fileSize));
    if (stream.fileSize < static_cast<std::uint64_t>(kStoredLengthBias))
        return StepResult::failure("Writing the game file", zlib, "the compressed stream is empty");

    // The game expects the length less 4; the block still carries all of the stream's bytes.
    const auto length = static_cast<std::int32_t>(stream.fileSize) - kStoredLengthBias;
    std::array<std::uint8_t, kGameHeaderSize> header{};
    std::copy(kGameLeadBytes.begin(), kGameLeadBytes.end(), header.begin());
    std::copy(kGameMagic.begin(), kGameMagic.end(), header.begin() + kGameMagicOffset);
    putLittleEndian(&header[kStoredLengthOffset], static_cast<std::uint32_t>(length), 4);
    putLittleEndian(&header[kFirstConstantOffset], kFirstHeaderConstant, 2);
    putLittleEndian(&header[kSecondConstantOffset], kSecondHeaderConstant, 2);

    const std::array<std::span<const std::uint8_t>, 2> parts{
        std::span<const std::uint8_t>(header), std::span(stream.bytes).first(stream.bytesRead)};
    if (auto step = writeWorkFile(folder, WorkFile::ZlibPES, parts, kGameFileSize); !step) {
        step.step = "Writing the game file";
        return step;
    }
    storedLength = length;
    return StepResult::success();
}

Outcome runPack(const std::filesystem::path& folder, std::string_view imageText,
                std::string_view outputText, std::string_view textureName,
                CompressionComponent& component, const std::filesystem::path& textureHeaderFile)
{
    const WorkFileCleanup cleanup(folder);
    Outcome outcome;
    if (outputText.empty()) {
        outcome.failure =
            StepResult::failure("Saving the game file", {}, "choose where to save the game file");
        return outcome;
    }
    const auto imagePath = resolveUserPath(folder, imageText);
    if (auto step = BuildTexturePayload(folder, imagePath, textureName, textureHeaderFile); !step) {
        outcome.failure = step;
        return outcome;
    }
    if (auto step = Pack(folder, component); !step) {
        step.file = imagePath;  // the user knows the image, not the work file made from it
        outcome.failure = step;
        return outcome;
    }
    std::int32_t storedLength = 0;
    if (auto step = WriteGameFile(folder, storedLength); !step) {
        outcome.failure = step;
        return outcome;
    }
    const auto target = resolveUserPath(folder, withExtensionOnce(outputText, ".bin"));
    if (auto error = copyFileAtomically(workFilePath(folder, WorkFile::ZlibPES), target);
        !error.empty()) {
        outcome.failure = StepResult::failure("Saving the game file", target, error);
        return outcome;
    }
    outcome.ok = true;
    outcome.storedLength = storedLength;
    outcome.writtenPath = target;
    outcome.messages = {"CompressFile", std::string(outputText)};
    return outcome;
}

}  // namespace velmora::conversion
