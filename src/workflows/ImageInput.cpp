#include "workflows/ImageInput.h"

#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "formats/DdsImageCheck.h"
#include "formats/DdsReader.h"
#include "formats/TgaReader.h"
#include "gamefile/ZlibStream.h"
#include "io/FileIo.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace velmora::conversion {

namespace {

// A 1024x1024 picture with every mip level at 16 bytes a pixel is under 23 MB.
constexpr std::size_t kMaxImageFileSize = 64u * 1024u * 1024u;

Error wrongSize(const std::string& format, std::uint32_t width, std::uint32_t height) {
    return {ErrorKind::Unsupported, "it is a " + format + " picture of " + sizeText(width, height) +
                                        "; the game's tile is 1024x1024: resize it in your editor"};
}

PackImage packImageOf(const Picture& picture, std::string action) {
    PackImage image;
    image.block = makeDdsHeader(1024, 1024);
    image.block.insert(image.block.end(), picture.bgra.begin(), picture.bgra.end());
    image.found =
        picture.format + ", " + sizeText(picture.width, picture.height) + ", " + picture.layout;
    image.action = std::move(action);
    return image;
}

Result<PackImage> fromPicture(std::span<const std::uint8_t> file, const PictureReader& pictures) {
    // The size is known from the header: a picture Pack cannot take is not decoded, however
    // large it would be.
    const auto header = pictures.describe(file);
    if (!header) {
        if (header.error().kind == ErrorKind::Unsupported)
            return fail(ErrorKind::Unsupported,
                        "it is neither a DDS image nor a picture Velmora reads (" +
                            readablePictureFormats(&pictures) + ")");
        return fail(header.error());
    }
    if (header->width != 0 && (header->width != 1024 || header->height != 1024))
        return fail(wrongSize(header->format, header->width, header->height));
    auto picture = pictures.read(file);
    if (!picture)
        return fail(picture.error());
    if (picture->width != 1024 || picture->height != 1024)
        return fail(wrongSize(picture->format, picture->width, picture->height));
    return packImageOf(*picture, "converted: " + picture->format +
                                     (picture->hasAlpha ? "" : ", alpha set to 255"));
}

Result<PackImage> fromTga(std::span<const std::uint8_t> file) {
    // The size is known from the header: a picture Pack cannot take is not decoded.
    const auto layout = inspectTga(file);
    if (!layout)
        return fail(layout.error());
    if (layout->width != 1024 || layout->height != 1024)
        return fail(wrongSize(std::string(kTgaName), layout->width, layout->height));
    const auto picture = readTga(file);
    if (!picture)
        return fail(picture.error());
    return packImageOf(*picture, layout->packAction);
}

} // namespace

std::string readablePictureFormats(const PictureReader* pictures) {
    std::vector<std::string> names =
        pictures ? pictures->formatNames() : std::vector<std::string>{};
    // TGA is read here, whatever the reader says of it: named after PNG and BMP, the formats
    // users know it beside.
    std::erase(names, std::string(kTgaName));
    const auto tgaAt = std::find_if(names.begin(), names.end(), [](const std::string& name) {
        return name != "PNG" && name != "BMP";
    });
    names.insert(tgaAt, std::string(kTgaName));
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string neitherGameFileNorPicture(const PictureReader* pictures) {
    return "it is neither a game file, a DDS image nor a picture Velmora reads (" +
           readablePictureFormats(pictures) + ")";
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

Result<PackImage> prepareImage(std::span<const std::uint8_t> file, const PictureReader* pictures) {
    const FileIdentity identity = identifyFile(file);
    if (identity.kind == FileKind::GameFile)
        return fail(ErrorKind::Unsupported, kGameFileNotPicture);
    if (isTga(identity))
        return fromTga(file);
    if (identity.kind == FileKind::Dds || !pictures) {
        auto dds = readDdsImage(file);
        if (!dds)
            return fail(dds.error());
        const DdsLayout& layout = dds->layout;
        return PackImage{std::move(dds->block),
                         "DDS, " + sizeText(layout.width, layout.height) + ", " + layout.format,
                         layout.packAction};
    }
    return fromPicture(file, *pictures);
}

Result<PackImage> loadImage(const std::filesystem::path& path, const PictureReader* pictures) {
    auto file = readWholeFile(path, kMaxImageFileSize);
    if (!file) {
        if (file.error().kind == ErrorKind::TooLarge)
            return fail(ErrorKind::TooLarge,
                        file.error().reason + "; a 1024x1024 picture is far smaller");
        return fail(file.error());
    }
    return prepareImage(*file, pictures);
}

} // namespace velmora::conversion
