#include "workflows/ShownPicture.h"

#include "base/GameFileLayout.h"
#include "formats/DdsReader.h"
#include "formats/FileIdentity.h"
#include "formats/PictureFormats.h"
#include "gamefile/ZlibStream.h"

#include <algorithm>

namespace velmora::conversion {

namespace {

Result<Picture> gameFileImage(std::span<const std::uint8_t> file) {
    if (file.size() <= kGameHeaderSize)
        return fail(ErrorKind::Damaged, "the game file ends inside its header");
    // Unpack reads no more than the game file's payload block; neither does this.
    const auto payload = file.subspan(
        kGameHeaderSize, std::min(file.size() - kGameHeaderSize, kGamePayloadBlockSize));
    auto record = inflateZlibStream(payload);
    if (!record)
        return fail(record.error());
    return gameRecordPicture(record->bytes);
}

} // namespace

Result<Picture> gameRecordPicture(std::span<const std::uint8_t> record) {
    if (record.size() < kRecordNameOffset)
        return fail(ErrorKind::Damaged, "the record is too short to hold a 1024x1024 image");
    const auto block = record.subspan(kRecordImageOffset, kImageBlockSize);
    auto image = readDdsPicture(block);
    if (!image)
        return fail(image.error());
    Picture picture;
    picture.width = image->layout.width;
    picture.height = image->layout.height;
    picture.format = "game file";
    picture.bgra = std::move(image->bgra);
    picture.hasAlpha = true;
    return picture;
}

Result<Picture> readShownPicture(const std::filesystem::path& path, const PictureReader* pictures) {
    const auto file = PictureFormats::readFile(path);
    if (!file)
        return fail(file.error());
    return shownPictureOf(*file, pictures);
}

Result<Picture> shownPictureOf(std::span<const std::uint8_t> file, const PictureReader* pictures) {
    if (identifyFile(file).kind == FileKind::GameFile)
        return gameFileImage(file);
    return asShown(PictureFormats(pictures).decode(file));
}

Result<Picture> asShown(Result<Picture> decoded) {
    // The pixels as the game would show them: a DDS without alpha reads as opaque.
    if (decoded && decoded->dds)
        decoded->hasAlpha = true;
    return decoded;
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
