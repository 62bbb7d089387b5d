#include "formats/qt/WholeFileChecks.h"

#include "base/Formatting.h"

#include <turbojpeg.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace velmora::images {

namespace {

using conversion::groupedNumber;
using Bytes = std::span<const std::uint8_t>;

std::uint32_t le16(Bytes b, std::size_t at) {
    return b[at] | std::uint32_t(b[at + 1]) << 8;
}
std::uint32_t le32(Bytes b, std::size_t at) {
    return le16(b, at) | le16(b, at + 2) << 16;
}
std::uint32_t be32(Bytes b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
           std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

std::string promised(std::uint64_t has, std::uint64_t needs) {
    return "the file has " + groupedNumber(has) + " bytes, its header promises " +
           groupedNumber(needs);
}

// An RLE4/RLE8 stream is whole when it reaches its end-of-picture code (0 1), or at least ends
// after its last row; anything shorter was cut.
std::optional<std::string> rleNotWhole(Bytes file, std::size_t pos, std::uint64_t rows,
                                       bool fourBit) {
    std::uint64_t row = 0;
    while (pos + 2 <= file.size()) {
        const std::uint8_t count = file[pos];
        const std::uint8_t code = file[pos + 1];
        pos += 2;
        if (count != 0)
            continue;
        if (code == 0)
            ++row;
        else if (code == 1)
            return std::nullopt;
        else if (code == 2) {
            if (pos + 2 > file.size())
                break;
            row += file[pos + 1];
            pos += 2;
        } else {
            const std::size_t bytes = fourBit ? (code + 1u) / 2 : code;
            pos += bytes + (bytes & 1);
        }
    }
    if (row >= rows)
        return std::nullopt;
    return "its compressed pixels stop at row " + std::to_string(row) + " of " +
           std::to_string(rows);
}

std::optional<std::string> bmpNotWhole(Bytes file) {
    if (file.size() < 18)
        return "the file ends inside its header";
    const std::uint32_t offset = le32(file, 10);
    const std::uint32_t infoSize = le32(file, 14);
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    if (infoSize == 12) { // OS/2 1.x
        if (file.size() < 26)
            return "the file ends inside its header";
        width = le16(file, 18);
        height = le16(file, 20);
        bits = le16(file, 24);
    } else {
        if (file.size() < 34)
            return "the file ends inside its header";
        width = le32(file, 18);
        const auto signedHeight = static_cast<std::int32_t>(le32(file, 22));
        height = signedHeight < 0 ? 0 - static_cast<std::int64_t>(signedHeight) : signedHeight;
        bits = le16(file, 28);
        compression = le32(file, 30);
    }
    if (compression == 1 || compression == 2)
        return rleNotWhole(file, offset, height, compression == 2);
    // Uncompressed rows (RGB, bit fields), each padded to 4 bytes; other compressions are left
    // to the reader, which refuses them.
    if (compression != 0 && compression != 3 && compression != 6)
        return std::nullopt;
    const std::uint64_t needs = offset + (width * bits + 31) / 32 * 4 * height;
    if (file.size() < needs)
        return promised(file.size(), needs);
    return std::nullopt;
}

// Header, screen descriptor and colour table, then extension and image blocks of sub-blocks up
// to the trailer byte 0x3B.
std::optional<std::string> gifNotWhole(Bytes file) {
    const std::string cut = "the file ends before the GIF's trailer";
    std::size_t pos = 13;
    if (file.size() < pos)
        return cut;
    const auto colourTable = [&](std::uint8_t packed) {
        if (packed & 0x80)
            pos += 3u << ((packed & 7) + 1);
    };
    const auto subBlocks = [&] {
        while (pos < file.size()) {
            const std::uint8_t length = file[pos++];
            if (length == 0)
                return true;
            pos += length;
        }
        return false;
    };
    colourTable(file[10]);
    while (pos < file.size()) {
        const std::uint8_t block = file[pos++];
        if (block == 0x3B)
            return std::nullopt;
        if (block == 0x21) {
            ++pos; // the extension's label
            if (!subBlocks())
                return cut;
        } else if (block == 0x2C) {
            if (pos + 9 > file.size())
                return cut;
            const std::uint8_t packed = file[pos + 8];
            pos += 9;
            colourTable(packed);
            ++pos; // the LZW code size
            if (!subBlocks())
                return cut;
        } else {
            return "byte " + groupedNumber(pos - 1) + " starts no GIF block";
        }
    }
    return cut;
}

// Chunks up to IEND (or, with `upToPixels`, up to the first IDAT), each length, type, data and a
// CRC that matches. Qt's PNG reader leaves libpng's errors to libpng, which prints them; a file
// that passes this rarely gives it one.
std::optional<std::string> pngNotWhole(Bytes file, bool upToPixels) {
    std::size_t pos = 8;
    while (pos + 12 <= file.size()) {
        const std::uint32_t length = be32(file, pos);
        if (length > 0x7FFFFFFFu)
            return "a chunk at byte " + groupedNumber(pos) + " has an impossible length";
        const std::uint32_t type = be32(file, pos + 4);
        if ((pos == 8) != (type == 0x49484452u)) // IHDR, first and only there
            return "its IHDR chunk is not the first and only one";
        if (upToPixels && type == 0x49444154u) // IDAT
            return std::nullopt;
        if (file.size() - pos - 12 < length)
            break;
        const auto crc = crc32(0, file.data() + pos + 4, length + 4);
        if (crc != be32(file, pos + 8 + length))
            return "the chunk at byte " + groupedNumber(pos) + " does not match its checksum";
        pos += 12 + std::size_t{length};
        if (type == 0x49454E44u) // IEND
            return std::nullopt;
    }
    return "the file ends before the PNG's IEND chunk";
}

std::optional<std::string> webpNotWhole(Bytes file) {
    if (file.size() < 12)
        return "the file ends inside its header";
    const std::uint64_t needs = std::uint64_t{le32(file, 4)} + 8;
    if (file.size() < needs)
        return promised(file.size(), needs);
    return std::nullopt;
}

// libjpeg makes up grey blocks for missing data and only warns; decoding with stop-on-warning
// turns that into a failure. An eighth of the size is enough: every coefficient is still read.
std::optional<std::string> jpegNotWhole(Bytes file) {
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    if (!handle)
        return std::nullopt;
    auto* data = const_cast<unsigned char*>(file.data());
    const auto size = static_cast<unsigned long>(file.size());
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourSpace = 0;
    const auto reason = [&] { return std::string(tjGetErrorStr2(handle.get())); };
    if (tjDecompressHeader3(handle.get(), data, size, &width, &height, &subsampling,
                            &colourSpace) != 0)
        return reason();
    const tjscalingfactor eighth{1, 8};
    const int scaledWidth = TJSCALED(width, eighth);
    const int scaledHeight = TJSCALED(height, eighth);
    const int format = colourSpace == TJCS_CMYK || colourSpace == TJCS_YCCK ? TJPF_CMYK : TJPF_RGB;
    std::vector<unsigned char> scratch(std::size_t(scaledWidth) * std::size_t(scaledHeight) *
                                       std::size_t(tjPixelSize[format]));
    if (tjDecompress2(handle.get(), data, size, scratch.data(), scaledWidth, 0, scaledHeight,
                      format, TJFLAG_STOPONWARNING) != 0)
        return reason();
    return std::nullopt;
}

} // namespace

std::optional<std::string> whyHeaderDamaged(std::string_view format, Bytes file) {
    if (format == "PNG")
        return pngNotWhole(file, true);
    // Qt's JPEG reader, failing inside the header, answers the pixel layout with whatever its
    // variable held: the header is read here first.
    if (format == "JPEG") {
        const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
        int width = 0;
        int height = 0;
        int subsampling = 0;
        int colourSpace = 0;
        if (handle && tjDecompressHeader3(handle.get(), const_cast<unsigned char*>(file.data()),
                                          static_cast<unsigned long>(file.size()), &width, &height,
                                          &subsampling, &colourSpace) != 0)
            return std::string(tjGetErrorStr2(handle.get()));
        // A stream of tables only, or one cut before its frame, has no size.
        if (handle && (width <= 0 || height <= 0))
            return "the file ends before the JPEG's frame header";
    }
    // A logical screen with one side 0 gives no size to trust: Qt then decodes the other side
    // from the screen and this one from the first frame.
    if (format == "GIF" && file.size() >= 10) {
        const unsigned width = file[6] | unsigned{file[7]} << 8;
        const unsigned height = file[8] | unsigned{file[9]} << 8;
        if ((width == 0) != (height == 0))
            return "its logical screen is " + std::to_string(width) + "x" + std::to_string(height);
    }
    return std::nullopt;
}

std::optional<std::string> whyNotWhole(std::string_view format, Bytes file) {
    if (format == "BMP")
        return bmpNotWhole(file);
    if (format == "GIF")
        return gifNotWhole(file);
    if (format == "PNG")
        return pngNotWhole(file, false);
    if (format == "WEBP")
        return webpNotWhole(file);
    if (format == "JPEG")
        return jpegNotWhole(file);
    return std::nullopt;
}

} // namespace velmora::images
