#include "workflows/ShownPicture.h"

#include "base/GameFileLayout.h"
#include "formats/DdsReader.h"
#include "formats/TgaReader.h"
#include "gamefile/ZlibStream.h"
#include "io/FileIo.h"
#include "workflows/ImageInput.h"

#include <algorithm>

namespace velmora::conversion {

namespace {

// A 1024x1024 picture with every mip level at 16 bytes a pixel is under 23 MB; a larger file is
// no picture anyone means to look at through this.
constexpr std::size_t kMaxShownFileSize = 64u * 1024u * 1024u;

Picture fromImageBlock(std::vector<std::uint8_t> block, std::string format) {
    Picture picture;
    picture.width = 1024;
    picture.height = 1024;
    picture.format = std::move(format);
    block.erase(block.begin(), block.begin() + kDdsHeaderSize);
    picture.bgra = std::move(block);
    picture.hasAlpha = true;
    return picture;
}

Result<Picture> gameFileImage(std::span<const std::uint8_t> file) {
    if (file.size() <= kGameHeaderSize)
        return fail(ErrorKind::Damaged, "the game file ends inside its header");
    // Unpack reads no more than the game file's payload block; neither does this.
    const auto payload = file.subspan(
        kGameHeaderSize, std::min(file.size() - kGameHeaderSize, kGamePayloadBlockSize));
    auto record = inflateZlibStream(payload);
    if (!record)
        return fail(record.error());
    if (record->bytes.size() < kRecordNameOffset)
        return fail(ErrorKind::Damaged, "the record is too short to hold a 1024x1024 image");
    const auto block = std::span(record->bytes).subspan(kRecordImageOffset, kImageBlockSize);
    auto image = readDdsImage(block);
    if (!image)
        return fail(image.error());
    return fromImageBlock(std::move(image->block), "game file");
}

} // namespace

Result<Picture> readShownPicture(const std::filesystem::path& path, const PictureReader* pictures) {
    const auto file = readWholeFile(path, kMaxShownFileSize);
    if (!file)
        return fail(file.error());
    return shownPictureOf(*file, pictures);
}

Result<Picture> shownPictureOf(std::span<const std::uint8_t> file, const PictureReader* pictures) {
    const FileIdentity identity = identifyFile(file);
    if (identity.kind == FileKind::GameFile)
        return gameFileImage(file);
    if (identity.kind == FileKind::Dds) {
        auto image = readDdsImage(file);
        if (!image)
            return fail(image.error());
        return fromImageBlock(std::move(image->block), "DDS");
    }
    if (isTga(identity))
        return readTga(file);
    if (!pictures)
        return fail(ErrorKind::Unsupported, neitherGameFileNorPicture(nullptr));
    // Only a file the reader does not know is "neither"; a picture it refuses says why.
    if (const auto header = pictures->describe(file);
        !header && header.error().kind == ErrorKind::Unsupported)
        return fail(ErrorKind::Unsupported, neitherGameFileNorPicture(pictures));
    return pictures->read(file);
}

Picture scaleToFit(const Picture& picture, std::uint32_t size) {
    const std::uint32_t longer = std::max(picture.width, picture.height);
    if (size == 0 || longer <= size || picture.bgra.empty())
        return picture;
    Picture scaled;
    scaled.format = picture.format;
    scaled.layout = picture.layout;
    scaled.hasAlpha = picture.hasAlpha;
    // Rounded, and never below one pixel for a very long, thin picture.
    const auto side = [&](std::uint32_t length) {
        return std::max<std::uint32_t>(
            1, static_cast<std::uint32_t>((std::uint64_t{length} * size + longer / 2) / longer));
    };
    scaled.width = side(picture.width);
    scaled.height = side(picture.height);
    scaled.bgra.resize(std::size_t{scaled.width} * scaled.height * 4);

    // Each output pixel covers the source rows [y0, y1) and columns [x0, x1): whole source
    // pixels, so that a picture a whole multiple of the size averages exact blocks.
    std::vector<std::uint32_t> columnStart(scaled.width + 1);
    for (std::uint32_t x = 0; x <= scaled.width; ++x)
        columnStart[x] =
            static_cast<std::uint32_t>(std::uint64_t{x} * picture.width / scaled.width);
    std::vector<std::uint64_t> sums(std::size_t{scaled.width} * 5);
    const std::size_t stride = std::size_t{picture.width} * 4;
    for (std::uint32_t y = 0; y < scaled.height; ++y) {
        const auto y0 =
            static_cast<std::uint32_t>(std::uint64_t{y} * picture.height / scaled.height);
        const auto y1 =
            static_cast<std::uint32_t>(std::uint64_t{y + 1} * picture.height / scaled.height);
        std::fill(sums.begin(), sums.end(), 0);
        for (std::uint32_t row = y0; row < y1; ++row) {
            const std::uint8_t* source = picture.bgra.data() + row * stride;
            for (std::uint32_t x = 0; x < scaled.width; ++x) {
                std::uint64_t* sum = &sums[std::size_t{x} * 5];
                for (std::uint32_t column = columnStart[x]; column < columnStart[x + 1]; ++column) {
                    const std::uint8_t* pixel = source + std::size_t{column} * 4;
                    const std::uint32_t alpha = pixel[3];
                    sum[0] += pixel[0] * alpha;
                    sum[1] += pixel[1] * alpha;
                    sum[2] += pixel[2] * alpha;
                    sum[3] += alpha;
                    sum[4] += 1;
                }
            }
        }
        std::uint8_t* target = scaled.bgra.data() + std::size_t{y} * scaled.width * 4;
        for (std::uint32_t x = 0; x < scaled.width; ++x, target += 4) {
            const std::uint64_t* sum = &sums[std::size_t{x} * 5];
            const std::uint64_t alpha = sum[3];
            const std::uint64_t count = sum[4];
            for (int channel = 0; channel < 3; ++channel)
                target[channel] =
                    alpha == 0 ? 0 : static_cast<std::uint8_t>((sum[channel] + alpha / 2) / alpha);
            target[3] = static_cast<std::uint8_t>((alpha + count / 2) / count);
        }
    }
    return scaled;
}

} // namespace velmora::conversion
