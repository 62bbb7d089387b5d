#include "conversion/DdsImageCheck.h"

#include "conversion/ByteOrder.h"
#include "conversion/Formatting.h"
#include "conversion/GameFileLayout.h"

#include <cstdio>

namespace velmora::conversion {

namespace {

// DDS_HEADER offsets, counted from the start of the file (after the 4-byte magic).
constexpr std::size_t kHeaderSizeOffset = 4;
constexpr std::size_t kHeightOffset = 12;
constexpr std::size_t kWidthOffset = 16;
constexpr std::size_t kPixelFormatSizeOffset = 76;
constexpr std::size_t kPixelFormatFlagsOffset = 80;
constexpr std::size_t kFourCcOffset = 84;
constexpr std::size_t kBitCountOffset = 88;
constexpr std::size_t kRedMaskOffset = 92;
constexpr std::size_t kGreenMaskOffset = 96;
constexpr std::size_t kBlueMaskOffset = 100;
constexpr std::size_t kAlphaMaskOffset = 104;
constexpr std::size_t kFlagsOffset = 8;
constexpr std::size_t kPitchOffset = 20;
constexpr std::size_t kCapsOffset = 108;
constexpr std::size_t kDdsHeaderBytes = 128;

constexpr std::uint32_t kFlagAlphaPixels = 0x1;
constexpr std::uint32_t kFlagFourCc = 0x4;
constexpr std::uint32_t kFlagRgb = 0x40;

constexpr std::uint32_t kImageSide = 1024;

std::string fourCcText(std::uint32_t code)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(code >> (8 * i));
        if (c < 0x20 || c > 0x7E)
            return "format code " + std::to_string(code);
        text += c;
    }
    return text;
}

bool isBlockCompressed(const std::string& fourCc)
{
    for (const char* known : {"DXT1", "DXT2", "DXT3", "DXT4", "DXT5", "ATI1", "ATI2", "BC4U",
                              "BC4S", "BC5U", "BC5S"})
        if (fourCc == known)
            return true;
    return false;
}

std::string hex(std::uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
}

std::string rgbFormat(std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                      std::uint32_t a, bool hasAlpha)
{
    if (bits == 32 && g == 0x0000FF00) {
        const char* alpha = (hasAlpha && a == 0xFF000000) ? "A8" : "X8";
        if (r == 0x00FF0000 && b == 0x000000FF)
            return std::string("B8G8R8") + alpha;
        if (r == 0x000000FF && b == 0x00FF0000)
            return std::string("R8G8B8") + alpha;
    }
    return std::to_string(bits) + "-bit RGB (masks R " + hex(r) + ", G " + hex(g) + ", B " + hex(b) + ")";
}

}  // namespace

DdsSummary describeDds(std::span<const std::uint8_t> bytes)
{
    DdsSummary summary;
    if (bytes.size() < kDdsHeaderBytes)
        return summary;
    summary.isDds = bytes[0] == 'D' && bytes[1] == 'D' && bytes[2] == 'S' && bytes[3] == ' ' &&
                    readLe32(bytes, kHeaderSizeOffset) == 124 && readLe32(bytes, kPixelFormatSizeOffset) == 32;
    if (!summary.isDds)
        return summary;
    summary.height = readLe32(bytes, kHeightOffset);
    summary.width = readLe32(bytes, kWidthOffset);
    const std::uint32_t flags = readLe32(bytes, kPixelFormatFlagsOffset);
    if (flags & kFlagFourCc)
        summary.pixelFormat = fourCcText(readLe32(bytes, kFourCcOffset));
    else if (flags & kFlagRgb)
        summary.pixelFormat = rgbFormat(readLe32(bytes, kBitCountOffset), readLe32(bytes, kRedMaskOffset),
                                        readLe32(bytes, kGreenMaskOffset), readLe32(bytes, kBlueMaskOffset),
                                        readLe32(bytes, kAlphaMaskOffset), flags & kFlagAlphaPixels);
    else
        summary.pixelFormat = "not RGB (luminance, alpha or YUV only)";
    return summary;
}

Result<> checkDdsImage(std::span<const std::uint8_t> bytes, std::uint64_t fileSize)
{
    const auto refuse = [](const std::string& found) {
        return fail(ErrorKind::Unsupported,
                    "it is " + found +
                        "; the game needs an uncompressed 1024x1024 32-bit DDS image in B8G8R8A8 "
                        "order with a 128-byte header");
    };
    const std::size_t known = fileSize < bytes.size() ? static_cast<std::size_t>(fileSize) : bytes.size();
    const auto head = bytes.first(known);
    if (head.size() < 4 || !(head[0] == 'D' && head[1] == 'D' && head[2] == 'S' && head[3] == ' '))
        return refuse("not a DDS image (no \"DDS \" signature)");
    if (head.size() < kDdsHeaderBytes)
        return refuse("a DDS file cut short (" + std::to_string(fileSize) + " bytes)");
    const std::uint32_t headerSize = readLe32(head, kHeaderSizeOffset);
    const std::uint32_t formatSize = readLe32(head, kPixelFormatSizeOffset);
    if (headerSize != 124 || formatSize != 32)
        return refuse("not a valid DDS image (header size " + std::to_string(headerSize) +
                      ", pixel-format size " + std::to_string(formatSize) + ")");

    const DdsSummary summary = describeDds(head);
    const std::uint32_t flags = readLe32(head, kPixelFormatFlagsOffset);
    if (flags & kFlagFourCc) {
        if (summary.pixelFormat == "DX10")
            return refuse("a DDS image with a DX10 extended header");
        if (isBlockCompressed(summary.pixelFormat))
            return refuse("a block-compressed " + summary.pixelFormat + " image");
        return refuse("a DDS image in format " + summary.pixelFormat);
    }
    if (!(flags & kFlagRgb))
        return refuse("a DDS image that is " + summary.pixelFormat);
    const std::uint32_t bits = readLe32(head, kBitCountOffset);
    if (bits != 32)
        return refuse("a " + std::to_string(bits) + "-bit image");
    if (summary.pixelFormat.rfind("R8G8B8", 0) == 0)
        return refuse("in R8G8B8A8 order (red and blue swapped: the colours would change)");
    if (summary.pixelFormat.rfind("B8G8R8", 0) != 0)
        return refuse("a 32-bit image with other channel masks: " + summary.pixelFormat);
    if (summary.width != kImageSide || summary.height != kImageSide)
        return refuse("a " + std::to_string(summary.width) + "x" + std::to_string(summary.height) +
                      " image");
    if (fileSize < kImageBlockSize)
        return refuse("only " + groupedNumber(fileSize) + " bytes long, " +
                      groupedNumber(kImageBlockSize) + " needed");
    return {};
}

std::vector<std::uint8_t> makeDdsHeader(std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> header(kDdsHeaderBytes, 0);
    const auto put = [&header](std::size_t at, std::uint32_t value) { writeLe32(header, at, value); };
    header[0] = 'D';
    header[1] = 'D';
    header[2] = 'S';
    header[3] = ' ';
    put(kHeaderSizeOffset, 124);
    put(kFlagsOffset, 0x100F);  // caps, height, width, pitch, pixel format
    put(kHeightOffset, height);
    put(kWidthOffset, width);
    put(kPitchOffset, width * 4);
    put(kPixelFormatSizeOffset, 32);
    put(kPixelFormatFlagsOffset, kFlagRgb | kFlagAlphaPixels);
    put(kBitCountOffset, 32);
    put(kRedMaskOffset, 0x00FF0000);
    put(kGreenMaskOffset, 0x0000FF00);
    put(kBlueMaskOffset, 0x000000FF);
    put(kAlphaMaskOffset, 0xFF000000);
    put(kCapsOffset, 0x1000);  // texture
    return header;
}

}  // namespace velmora::conversion
