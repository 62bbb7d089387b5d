#include "base/ByteOrder.h"
#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "formats/DdsImageCheck.h"
#include "gamefile/GameFileInspection.h"
#include "gamefile/GameFileVerification.h"
#include "io/FileIo.h"
#include "workflows/ImageInput.h"
#include "workflows/WorkFiles.h"
#include "workflows/WorkflowSupport.h"
#include "workflows/Workflows.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace velmora::conversion {

namespace {

Error tooDetailed(std::uint64_t streamSize) {
    return {ErrorKind::DoesNotFit,
            "the image is too detailed to fit the game file: " + groupedNumber(streamSize) +
                " bytes compressed, " + groupedNumber(kCompressedBlockSize) +
                " allowed; Velmora can reduce its colour precision just enough "
                "to fit (pack --fit, or Yes when the window offers it); "
                "blurring does not help"};
}

bool stopRequested(const PackOptions& options) {
    return options.stop != nullptr && options.stop->load();
}

tl::unexpected<StepResult> stoppedRun() {
    return stepFailed("Packing", {}, ErrorKind::Stopped, "stopped before anything was written");
}

} // namespace

Result<std::array<std::uint8_t, kTextureHeaderBlockSize>>
readTextureHeader(const std::filesystem::path& path) {
    // The header itself, or the start of a game file whose record carries it.
    const auto head = readBlock(path, 0, kTextureHeaderBlockSize);
    if (!head)
        return fail(head.error());
    std::array<std::uint8_t, kTextureHeaderBlockSize> header{};
    if (identifyFile(head->bytes).kind == FileKind::GameFile) {
        // As far as Unpack reads a game file, and no further.
        const auto game = readBlock(path, 0, kGameHeaderSize + kGamePayloadBlockSize);
        if (!game)
            return fail(game.error());
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(game->fileSize, game->bytes.size()));
        const GameFileInfo info = inspectGameFile(std::span(game->bytes).first(size));
        if (!info.record)
            return fail(ErrorKind::Damaged, "it is a game file whose record cannot be read (" +
                                                info.record.error().reason + ")");
        if (!info.record->textureHeader)
            return fail(ErrorKind::Damaged,
                        "it is a game file whose record is shorter than 48 bytes");
        return *info.record->textureHeader;
    }
    if (head->fileSize < kTextureHeaderBlockSize)
        return fail(ErrorKind::Damaged, "it is " + std::to_string(head->fileSize) +
                                            " bytes long; the texture header needs 48");
    std::copy_n(head->bytes.begin(), kTextureHeaderBlockSize, header.begin());
    return header;
}

bool isPlaceholderHeader(std::span<const std::uint8_t> header) {
    return header.size() == kTextureHeaderBlockSize &&
           std::equal(header.begin(), header.begin() + 4, "WE00") &&
           std::all_of(header.begin() + 4, header.end(), [](std::uint8_t b) { return b == 0; });
}

Result<PayloadFacts, StepResult> BuildTexturePayload(const std::filesystem::path& folder,
                                                     const std::filesystem::path& imagePath,
                                                     std::string_view textureName,
                                                     const PackOptions& options) {
    const auto headerPath = options.textureHeaderFile.empty() ? workFilePath(folder, WorkFile::WE00)
                                                              : options.textureHeaderFile;
    const auto header = options.textureHeader
                            ? Result<std::array<std::uint8_t, 48>>(*options.textureHeader)
                            : readTextureHeader(headerPath);
    if (!header)
        return stepFailed("Reading the texture header", headerPath, header.error());

    if (imagePath.empty())
        return stepFailed("Reading the image", {}, ErrorKind::NotFound, "choose the image to pack");
    auto image = loadImage(imagePath, options.pictures);
    if (!image)
        return stepFailed("Reading the image", imagePath, image.error());
    if (options.fitted) {
        image->block = options.fitted->block;
        image->action += "; " + options.fitted->description;
    }

    // Mip levels after the first one were dropped with the rest of the file.
    const auto* name = reinterpret_cast<const std::uint8_t*>(textureName.data());
    // One buffer for the run: both work files are written from it and the proof reads it, not
    // the file again.
    std::vector<std::uint8_t> record;
    record.reserve(header->size() + image->block.size() + textureName.size());
    record.insert(record.end(), header->begin(), header->end());
    record.insert(record.end(), image->block.begin(), image->block.end());
    record.insert(record.end(), name, name + textureName.size());
    const std::array<std::span<const std::uint8_t>, 1> parts{std::span<const std::uint8_t>(record)};
    // The record stays in the work files; the user's output path never receives it.
    if (auto step = writeWorkFile(folder, WorkFile::Template, parts); !step)
        return tl::unexpected(step.error());
    // "\zlib" holds the record too until the compressed stream replaces it.
    if (auto step = writeWorkFile(folder, WorkFile::Zlib, parts); !step)
        return tl::unexpected(step.error());
    return PayloadFacts{image->found, image->action, isPlaceholderHeader(*header),
                        std::move(record)};
}

StepStatus Pack(const std::filesystem::path& folder, CompressionComponent& component) {
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

Result<std::int32_t, StepResult> WriteGameFile(const std::filesystem::path& folder) {
    const auto zlib = workFilePath(folder, WorkFile::Zlib);
    const auto stream = readBlock(zlib, 0, kCompressedBlockSize);
    if (!stream)
        return stepFailed("Writing the game file", zlib, stream.error());
    if (stream->fileSize > kCompressedBlockSize)
        return stepFailed("Writing the game file", zlib, tooDetailed(stream->fileSize));
    if (stream->fileSize < static_cast<std::uint64_t>(kStoredLengthBias))
        return stepFailed("Writing the game file", zlib, ErrorKind::Damaged,
                          "the compressed stream is empty");

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

Result<FitResult, StepResult> FitPayload(const std::filesystem::path& folder,
                                         std::size_t measuredSize, const std::atomic<bool>* stop) {
    const auto recordPath = workFilePath(folder, WorkFile::Template);
    const auto record = readWholeFile(recordPath, kInflateLimit);
    if (!record)
        return stepFailed("Fitting the image", recordPath, record.error());
    if (record->size() < kRecordNameOffset)
        return stepFailed("Fitting the image", recordPath, ErrorKind::Damaged,
                          "the record is cut short");
    const std::span<const std::uint8_t> bytes(*record);
    const auto header = bytes.first(kTextureHeaderBlockSize);
    const auto name = bytes.subspan(kRecordNameOffset);
    auto fitted = fitImageToSlot(bytes.subspan(kRecordImageOffset, kImageBlockSize), {header, name},
                                 kCompressedBlockSize, measuredSize, stop);
    if (!fitted)
        return stepFailed("Fitting the image", recordPath, fitted.error());
    const std::array<std::span<const std::uint8_t>, 3> parts{
        header, std::span<const std::uint8_t>(fitted->block), name};
    if (auto step = writeWorkFile(folder, WorkFile::Template, parts); !step)
        return tl::unexpected(step.error());
    if (auto step = writeWorkFile(folder, WorkFile::Zlib, fitted->stream); !step)
        return tl::unexpected(step.error());
    return std::move(*fitted);
}

Result<FitResult, StepResult> fitPackImage(const std::filesystem::path& folder,
                                           std::string_view imageText, std::string_view textureName,
                                           const PackOptions& options) {
    const WorkFileCleanup cleanup(folder);
    const auto imagePath = resolveUserPath(folder, imageText);
    PackOptions plain = options;
    plain.fitted = nullptr;
    if (auto payload = BuildTexturePayload(folder, imagePath, textureName, plain); !payload)
        return tl::unexpected(payload.error());
    if (stopRequested(options))
        return stoppedRun();
    auto fitted = FitPayload(folder, 0, options.stop);
    if (!fitted)
        fitted.error().file = imagePath;
    return fitted;
}

Outcome runPack(const std::filesystem::path& folder, std::string_view imageText,
                std::string_view outputText, std::string_view textureName,
                CompressionComponent& component, const PackOptions& options) {
    const WorkFileCleanup cleanup(folder);
    if (outputText.empty())
        return stepFailed("Saving the game file", {}, ErrorKind::NotFound,
                          "choose where to save the game file");
    const auto imagePath = resolveUserPath(folder, imageText);
    auto payload = BuildTexturePayload(folder, imagePath, textureName, options);
    if (!payload)
        return tl::unexpected(payload.error());
    if (stopRequested(options))
        return stoppedRun();
    // The record as compressed, to prove the written file against before it takes the name.
    std::vector<std::uint8_t> record = std::move(payload->record);
    std::optional<double> fittedPsnr;
    if (options.fitted) {
        // The fit compressed this very record already; the proof below checks that it did.
        if (auto step = writeWorkFile(folder, WorkFile::Zlib, options.fitted->stream); !step)
            return tl::unexpected(step.error());
    } else if (options.fitIfTooDetailed) {
        // The fit tries the cheap levels itself and, when they miss, makes the strongest stream
        // alongside its own measurements rather than waiting for Pack's first.
        auto fitted = FitPayload(folder, 0, options.stop);
        if (!fitted) {
            fitted.error().file = imagePath;
            return tl::unexpected(fitted.error());
        }
        if (fitted->changed) {
            fittedPsnr = fitted->psnr;
            std::copy(fitted->block.begin(), fitted->block.end(),
                      record.begin() + kRecordImageOffset);
        }
    } else if (auto step = Pack(folder, component); !step) {
        step.error().file = imagePath; // the user knows the image, not the work file made from it
        return tl::unexpected(step.error());
    }
    const auto storedLength = WriteGameFile(folder);
    if (!storedLength)
        return tl::unexpected(storedLength.error());
    const auto target =
        resolveUserPath(folder, options.outputNamedAsGiven ? std::string(outputText)
                                                           : withExtensionOnce(outputText, ".bin"));
    const auto proven = [&record](const std::filesystem::path& written) {
        return verifyWrittenGameFile(written, record);
    };
    if (stopRequested(options))
        return stoppedRun();
    if (auto saved =
            copyFileAtomically(workFilePath(folder, WorkFile::ZlibPES), target, UINT64_MAX, proven);
        !saved)
        return stepFailed("Saving the game file", target, saved.error());
    RunReport report;
    report.messages = {"CompressFile", std::string(outputText)};
    report.storedLength = *storedLength;
    report.writtenPath = target;
    report.imageFound = payload->imageFound;
    report.imageAction = payload->imageAction;
    report.placeholderHeader = payload->placeholderHeader;
    report.fittedPsnr = fittedPsnr;
    return report;
}

} // namespace velmora::conversion
