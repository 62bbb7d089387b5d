#include "workflows/ImageInput.h"

#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "formats/DdsImageCheck.h"
#include "formats/DdsReader.h"
#include "formats/PictureFormats.h"
#include "formats/TgaReader.h"
#include "gamefile/ZlibStream.h"
#include "io/FileIo.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace velmora::conversion {

namespace {

// The game's tile is one picture of exactly this size; Pack takes no other.
constexpr std::uint32_t kTileSide = 1024;

Error wrongSize(const Picture& picture) {
    // A DDS has always been refused in these words, without its format.
    const std::string what = picture.dds ? "" : "a " + picture.format + " picture of ";
    return {ErrorKind::Unsupported, "it is " + what + sizeText(picture.width, picture.height) +
                                        "; the game's tile is 1024x1024: resize it in your editor"};
}

// What Pack does with a DDS the reader takes: its header kept where it already is the game's,
// the pixels converted where they are not the game's bytes, levels and bytes after the first
// picture dropped.
std::string ddsAction(const DdsLayout& layout, std::uint64_t fileSize) {
    std::string action;
    if (layout.gameHeader) {
        action = "used as it is";
    } else if (layout.conversion.empty()) {
        action = "pixels used as they are, header rewritten";
    } else {
        action = "converted: ";
        for (std::size_t i = 0; i < layout.conversion.size(); ++i)
            action += (i ? ", " : "") + layout.conversion[i];
    }
    if (layout.mipCount > 1)
        action += "; " + std::to_string(layout.mipCount - 1) + " smaller mip levels dropped";
    else if (fileSize > layout.neededBytes)
        action += "; " + groupedNumber(fileSize - layout.neededBytes) +
                  " bytes after the picture dropped";
    return action;
}

PackImage packImageOf(std::span<const std::uint8_t> file, Picture picture) {
    PackImage image;
    if (picture.dds && picture.dds->gameHeader) {
        image.block.assign(file.begin(), file.begin() + kDdsHeaderSize);
        setSingleMipLevel(
            std::span<std::uint8_t, kDdsHeaderSize>(image.block.data(), kDdsHeaderSize));
    } else {
        image.block = makeDdsHeader(kTileSide, kTileSide);
    }
    image.block.insert(image.block.end(), picture.bgra.begin(), picture.bgra.end());
    image.found =
        picture.format + ", " + sizeText(picture.width, picture.height) + ", " + picture.layout;
    image.action = packAction(picture, file.size());
    return image;
}

} // namespace

std::string packAction(const Picture& picture, std::uint64_t fileSize) {
    if (picture.dds)
        return ddsAction(*picture.dds, fileSize);
    std::string action = "converted: " + picture.format;
    if (!picture.hasAlpha)
        action += ", alpha set to 255";
    for (const std::string& step : picture.conversion)
        action += ", " + step;
    return action;
}

std::string readablePictureFormats(const PictureReader* pictures) {
    return PictureFormats(pictures).names();
}

std::string neitherGameFileNorPicture(const PictureReader* pictures) {
    return PictureFormats(pictures).neitherGameFileNorPicture();
}

std::string notAGameFile(std::span<const std::uint8_t> head, std::optional<std::uint64_t> fileSize,
                         const PictureReader* pictures) {
    const FileIdentity identity = identifyFile(head, fileSize);
    if (identity.kind == FileKind::Unknown)
        return head.size() > kGameHeaderSize && hasZlibHeader(head.subspan(kGameHeaderSize))
                   ? std::string()
                   : neitherGameFileNorPicture(pictures);
    if (identity.kind == FileKind::Dds)
        return "this is a DDS image, not a game file: to make a game file from it, use pack";
    if (identity.kind == FileKind::Picture)
        return "this is a " + identity.name +
               " picture, not a game file: to make a game file from it, use pack";
    return {};
}

StepResult gameFileFault(const std::filesystem::path& file, StepResult fault,
                         const PictureReader* pictures) {
    const auto head = readBlock(file, 0, kIdentifyBytes);
    if (!head)
        return fault;
    std::string picture =
        notAGameFile(std::span(head->bytes).first(head->bytesRead), head->fileSize, pictures);
    if (picture.empty())
        return fault;
    fault.step = "Reading the game file";
    fault.kind = ErrorKind::Unsupported;
    fault.reason = std::move(picture);
    return fault;
}

Result<PackImage> prepareImage(std::span<const std::uint8_t> file, const PictureReader* pictures,
                               const Result<Picture>* decoded) {
    if (identifyFile(file).kind == FileKind::GameFile)
        return fail(ErrorKind::Unsupported, kGameFileNotPicture);
    const PictureFormats formats(pictures);
    // The size is known from the header: a picture Pack cannot take is not decoded, however
    // large it would be.
    const auto header = formats.describe(file);
    if (!header) {
        // DDS and TGA refusals say what was found; the toolkit's say only that it is none of
        // its pictures.
        const PictureFormat* format = formats.formatOf(file);
        // Without the toolkit's reader, bytes of no format were always refused as no DDS.
        if (!format && !pictures)
            return fail(inspectDdsHeader(file, file.size()).error());
        const bool core = format && (format->name() == "DDS" || format->name() == kTgaName);
        if (header.error().kind == ErrorKind::Unsupported && !core)
            return fail(ErrorKind::Unsupported,
                        "it is neither a DDS image nor a picture Velmora reads (" +
                            formats.names() + ")");
        return fail(header.error());
    }
    if (header->width != 0 && (header->width != kTileSide || header->height != kTileSide))
        return fail(wrongSize(*header));
    auto picture = decoded ? *decoded : formats.decode(file);
    if (!picture)
        return fail(picture.error());
    if (picture->width != kTileSide || picture->height != kTileSide)
        return fail(wrongSize(*picture));
    return packImageOf(file, std::move(*picture));
}

Result<PackImage> loadImage(const std::filesystem::path& path, const PictureReader* pictures) {
    auto file = PictureFormats::readFile(path);
    if (!file) {
        if (file.error().kind == ErrorKind::TooLarge)
            return fail(ErrorKind::TooLarge,
                        file.error().reason + "; a 1024x1024 picture is far smaller");
        return fail(file.error());
    }
    return prepareImage(*file, pictures);
}

} // namespace velmora::conversion
