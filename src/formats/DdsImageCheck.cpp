#include "formats/DdsImageCheck.h"

#include "base/ByteOrder.h"
#include "formats/DdsHeaderLayout.h"

#include <cstdio>

namespace velmora::conversion {

namespace {

using namespace dds;

std::string fourCcText(std::uint32_t code) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(code >> (8 * i));
        if (c < 0x20 || c > 0x7E)
            return "format code " + std::to_string(code);
        text += c;
    }
    return text;
}

std::string hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
}

std::string rgbFormat(std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                      std::uint32_t a, bool hasAlpha) {
    if (bits == 32 && g == 0x0000FF00) {
        const char* alpha = (hasAlpha && a == 0xFF000000) ? "A8" : "X8";
        if (r == 0x00FF0000 && b == 0x000000FF)
            return std::string("B8G8R8") + alpha;
        if (r == 0x000000FF && b == 0x00FF0000)
            return std::string("R8G8B8") + alpha;
    }
    return std::to_string(bits) + "-bit RGB (masks R " + hex(r) + ", G " + hex(g) + ", B " +
           hex(b) + ")";
}

} // namespace

DdsSummary describeDds(std::span<const std::uint8_t> bytes) {
    DdsSummary summary;
    if (bytes.size() < kHeaderBytes)
        return summary;
    summary.isDds = bytes[0] == 'D' && bytes[1] == 'D' && bytes[2] == 'S' && bytes[3] == ' ' &&
                    readLe32(bytes, kSizeOffset) == 124 && readLe32(bytes, kPfSizeOffset) == 32;
    if (!summary.isDds)
        return summary;
    summary.height = readLe32(bytes, kHeightOffset);
    summary.width = readLe32(bytes, kWidthOffset);
    const std::uint32_t flags = readLe32(bytes, kPfFlagsOffset);
    if (flags & kDdpfFourCc) {
        summary.pixelFormat = fourCcText(readLe32(bytes, kFourCcOffset));
        if (const std::uint32_t mark = gimpMark(bytes.data()))
            summary.pixelFormat += ", GIMP's mark " + fourCcText(mark);
        if (flags & kDdpfNormal)
            summary.pixelFormat += ", flagged as a normal map";
    } else if (flags & kDdpfRgb)
        summary.pixelFormat =
            rgbFormat(readLe32(bytes, kBitCountOffset), readLe32(bytes, kRedMaskOffset),
                      readLe32(bytes, kGreenMaskOffset), readLe32(bytes, kBlueMaskOffset),
                      readLe32(bytes, kAlphaMaskOffset), flags & kDdpfAlphaPixels);
    else
        summary.pixelFormat = "not RGB (luminance, alpha or YUV only)";
    return summary;
}

std::vector<std::uint8_t> makeDdsHeader(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> header(kHeaderBytes, 0);
    const auto put = [&header](std::size_t at, std::uint32_t value) {
        writeLe32(header, at, value);
    };
    header[0] = 'D';
    header[1] = 'D';
    header[2] = 'S';
    header[3] = ' ';
    put(kSizeOffset, 124);
    put(kFlagsOffset, 0x100F); // caps, height, width, pitch, pixel format
    put(kHeightOffset, height);
    put(kWidthOffset, width);
    put(kPitchOffset, width * 4);
    put(kPfSizeOffset, 32);
    put(kPfFlagsOffset, kDdpfRgb | kDdpfAlphaPixels);
    put(kBitCountOffset, 32);
    put(kRedMaskOffset, 0x00FF0000);
    put(kGreenMaskOffset, 0x0000FF00);
    put(kBlueMaskOffset, 0x000000FF);
    put(kAlphaMaskOffset, 0xFF000000);
    put(kCapsOffset, 0x1000); // texture
    return header;
}

} // namespace velmora::conversion
