#include "formats/DdsReader.h"

#include "formats/DdsHeaderLayout.h"

#include "base/ByteOrder.h"
#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "formats/DdsImageCheck.h"

#include <squish.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

namespace velmora::conversion {

namespace {

using namespace dds;

constexpr std::uint32_t kDdsdCaps = 0x1, kDdsdHeight = 0x2, kDdsdWidth = 0x4;
constexpr std::uint32_t kDdsdPixelFormat = 0x1000, kDdsdMipMapCount = 0x20000,
                        kDdsdDepth = 0x800000;
constexpr std::uint32_t kDdpfYuv = 0x200;
constexpr std::uint32_t kDdpfLuminance = 0x20000, kDdpfBumpDuDv = 0x80000;
constexpr std::uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipMap = 0x400000;
constexpr std::uint32_t kCaps2CubeMap = 0x200, kCaps2Volume = 0x200000;
constexpr std::uint32_t kMiscTextureCube = 0x4;

constexpr std::uint32_t code(const char (&text)[5]) {
    return std::uint32_t(std::uint8_t(text[0])) | std::uint32_t(std::uint8_t(text[1])) << 8 |
           std::uint32_t(std::uint8_t(text[2])) << 16 | std::uint32_t(std::uint8_t(text[3])) << 24;
}

// ---- How the first picture is turned into B8G8R8A8 ----------------------------------------

enum class Decode { Bytes, Bc1, Bc2, Bc3 };

// What GIMP's DXT5 variants hold in the decoded channels, as GIMP marks them in the header.
enum class Colour {
    Rgba,
    YCoCg,         // "YCG1": Co, Cg, -, Y
    ScaledYCoCg,   // "YCG2": Co, Cg, scale, Y
    AlphaExponent, // "AEXP": colour divided by alpha, alpha the factor
};

struct Plan {
    Decode decode = Decode::Bytes;
    Colour colour = Colour::Rgba;
    unsigned bytesPerPixel = 4;
    // Byte offsets of the channels inside one pixel (Decode::Bytes); alpha < 0: none, 255.
    int red = 2, green = 1, blue = 0, alpha = 3;
    std::size_t dataOffset = kDdsHeaderSize;
    bool keepHeader = false; // the input is the game's layout with a sound header
    std::string format;
};

bool sameBytesAsGame(const Plan& plan) {
    return plan.decode == Decode::Bytes && plan.bytesPerPixel == 4 && plan.blue == 0 &&
           plan.green == 1 && plan.red == 2 && plan.alpha == 3;
}

Plan bytePlan(unsigned bytesPerPixel, int red, int green, int blue, int alpha, std::string format) {
    Plan plan;
    plan.bytesPerPixel = bytesPerPixel;
    plan.red = red;
    plan.green = green;
    plan.blue = blue;
    plan.alpha = alpha;
    plan.format = std::move(format);
    return plan;
}

Plan blockPlan(Decode decode, std::string format) {
    Plan plan;
    plan.decode = decode;
    plan.format = std::move(format);
    return plan;
}

// ---- Refusals ---------------------------------------------------------------------------

// Why a format cannot be taken, and which kind of fix applies.
constexpr const char* kWhyBits = "the game needs 8 bits per colour channel";
constexpr const char* kWhyColour = "the game needs a colour picture with red, green and blue";
constexpr const char* kWhyBlocks =
    "Velmora decodes only BC1, BC2 and BC3 (DXT1, DXT3, DXT5) compression";
constexpr const char* kWhyInteger = "the game needs plain 8-bit colour (unsigned, normalized)";
constexpr const char* kWhyPremultiplied = "the game needs straight, not premultiplied, alpha";
constexpr const char* kWhyUnknown = "Velmora does not know that format";
constexpr const char* kWhyNormalMap =
    "its channels are moved around for a normal map and do not hold the picture's colours";

struct Refusal {
    ErrorKind kind = ErrorKind::Unsupported;
    std::string found; // "16-bit R5G6B5"
    std::string why;   // one of the kWhy texts
};

// One way to write an image the reader takes, with the tool that wrote this one when known.
std::string exportFix(std::string_view writer) {
    if (writer == "GIMP-DDS")
        return "in GIMP use Export As .dds with Compression None, Format RGBA8 (or Default on a "
               "layer with alpha) and No mipmaps, or export a PNG";
    if (writer == "IMAGEMAGICK")
        return "convert it again with ImageMagick (convert picture.png -alpha on -define "
               "dds:compression=none -define dds:mipmaps=0 tile.dds) or save a PNG";
    if (writer == "NVTT")
        return "compress it again with nvcompress -rgb -alpha -nomips picture.png tile.dds, or "
               "save a PNG";
    return "save it as an uncompressed 32-bit DDS without mipmaps (GIMP: Export As .dds, "
           "Compression None, Format RGBA8, No mipmaps) or as a PNG";
}

Error formatError(const Refusal& refusal, std::string_view writer) {
    return {refusal.kind, "it is " + refusal.found + "; " + refusal.why + ": " + exportFix(writer)};
}

std::string hex8(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

std::string quotedCode(std::uint32_t value) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(value >> (8 * i));
        if (c < 0x20 || c > 0x7E)
            return "format code " + std::to_string(value);
        text += static_cast<char>(c);
    }
    return "format code \"" + text + "\"";
}

// ---- Channel masks ----------------------------------------------------------------------

struct Channel {
    char letter;
    unsigned shift;
    unsigned width;
};

// The channels of the masks, highest first, or none when a mask is not one run of bits, lies
// outside the bit count or overlaps another.
std::vector<Channel> maskChannels(std::uint32_t bits, const std::array<std::uint32_t, 4>& masks,
                                  const char* letters) {
    std::vector<Channel> channels;
    std::uint32_t seen = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint32_t mask = masks[i];
        if (mask == 0)
            continue;
        const unsigned shift = static_cast<unsigned>(__builtin_ctz(mask));
        const std::uint32_t run = mask >> shift;
        if ((run & (run + 1)) != 0 || (mask & seen) != 0)
            return {};
        const unsigned width = static_cast<unsigned>(__builtin_popcount(run));
        if (bits < 32 && (bits == 0 || shift + width > bits))
            return {};
        seen |= mask;
        channels.push_back({letters[i], shift, width});
    }
    std::sort(channels.begin(), channels.end(),
              [](const Channel& a, const Channel& b) { return a.shift > b.shift; });
    return channels;
}

// Direct3D 9's name, highest bits first, unused bits as X: "A8R8G8B8", "X1R5G5B5", "R5G6B5".
std::string d3dName(std::uint32_t bits, const std::vector<Channel>& channels) {
    std::string name;
    unsigned position = bits > 32 ? 32 : bits;
    for (const Channel& c : channels) {
        if (c.shift + c.width < position)
            name += "X" + std::to_string(position - c.shift - c.width);
        name += c.letter + std::to_string(c.width);
        position = c.shift;
    }
    if (position > 0 && !channels.empty())
        name += "X" + std::to_string(position);
    return name;
}

std::string maskText(std::uint32_t bits, const std::array<std::uint32_t, 4>& masks) {
    return std::to_string(bits) + "-bit with channel masks R " + hex8(masks[0]) + ", G " +
           hex8(masks[1]) + ", B " + hex8(masks[2]) + ", A " + hex8(masks[3]);
}

// An uncompressed picture described by its bit count and channel masks; the flags only name
// what the masks cannot tell (luminance, YUV, bump maps).
tl::expected<Plan, Refusal> planFromMasks(std::uint32_t pfFlags, std::uint32_t bits,
                                          const std::array<std::uint32_t, 4>& masks) {
    const auto [r, g, b, a] = masks;
    const std::string bitText = std::to_string(bits) + "-bit";
    if (pfFlags & kDdpfYuv)
        return tl::unexpected(Refusal{ErrorKind::Unsupported, bitText + " YUV", kWhyColour});
    if (pfFlags & kDdpfBumpDuDv)
        return tl::unexpected(Refusal{ErrorKind::Unsupported,
                                      "a " + bitText + " bump map (signed du/dv)", kWhyColour});
    if (pfFlags & kDdpfLuminance) {
        const auto channels = maskChannels(bits, masks, "LGBA");
        std::string name = channels.empty() ? "" : " " + d3dName(bits, channels);
        return tl::unexpected(
            Refusal{ErrorKind::Unsupported, bitText + " luminance (grey)" + name, kWhyColour});
    }
    if (r == 0 && g == 0 && b == 0 && a == 0)
        return tl::unexpected(Refusal{ErrorKind::Damaged,
                                      "a DDS header without a pixel format (neither a format code "
                                      "nor channel masks)",
                                      "Velmora cannot tell how the pixels are stored"});
    if (bits == 0 || bits > 32 || bits % 8 != 0)
        return tl::unexpected(Refusal{ErrorKind::Damaged,
                                      "a DDS header with a bit count of " + std::to_string(bits),
                                      "Velmora cannot tell how the pixels are stored"});
    const auto channels = maskChannels(bits, masks, "RGBA");
    if (channels.empty())
        return tl::unexpected(
            Refusal{ErrorKind::Damaged, maskText(bits, masks),
                    "the channel masks overlap, have gaps or lie outside the pixel"});
    const std::string name = bitText + " " + d3dName(bits, channels);
    if (r == 0 && g == 0 && b == 0)
        return tl::unexpected(Refusal{ErrorKind::Unsupported, name + ", alpha only", kWhyColour});
    if (r == 0 || g == 0 || b == 0)
        return tl::unexpected(Refusal{ErrorKind::Unsupported, name, kWhyColour});

    // Every channel one whole byte: read it from its byte.
    const bool wholeBytes = std::all_of(channels.begin(), channels.end(), [](const Channel& c) {
        return c.width == 8 && c.shift % 8 == 0;
    });
    if (!wholeBytes || (bits != 24 && bits != 32))
        return tl::unexpected(Refusal{ErrorKind::Unsupported, name, kWhyBits});
    const auto byteOf = [](std::uint32_t mask) { return mask == 0 ? -1 : __builtin_ctz(mask) / 8; };
    std::string bytes = " (bytes ";
    for (unsigned i = 0; i < bits / 8; ++i) {
        char letter = 'X';
        for (const Channel& c : channels)
            if (c.shift == 8 * i)
                letter = c.letter;
        bytes += i ? "," : "";
        bytes += letter;
    }
    return bytePlan(bits / 8, byteOf(r), byteOf(g), byteOf(b), byteOf(a), name + bytes + ")");
}

// ---- Format codes -----------------------------------------------------------------------

struct LegacyCode {
    std::uint32_t code;
    const char* name;
    const char* why; // nullptr: taken, with the masks below
    std::uint32_t bits;
    std::array<std::uint32_t, 4> masks;
};

// D3DFORMAT numbers some writers put in the four-character code.
constexpr LegacyCode kLegacyCodes[] = {
    {20, "R8G8B8", nullptr, 24, {0xFF0000, 0xFF00, 0xFF, 0}},
    {21, "A8R8G8B8", nullptr, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
    {22, "X8R8G8B8", nullptr, 32, {0xFF0000, 0xFF00, 0xFF, 0}},
    {32, "A8B8G8R8", nullptr, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
    {33, "X8B8G8R8", nullptr, 32, {0xFF, 0xFF00, 0xFF0000, 0}},
    {23, "16-bit R5G6B5", kWhyBits, 0, {}},
    {24, "16-bit X1R5G5B5", kWhyBits, 0, {}},
    {25, "16-bit A1R5G5B5", kWhyBits, 0, {}},
    {26, "16-bit A4R4G4B4", kWhyBits, 0, {}},
    {27, "8-bit R3G3B2", kWhyBits, 0, {}},
    {28, "8-bit A8, alpha only", kWhyColour, 0, {}},
    {29, "16-bit A8R3G3B2", kWhyBits, 0, {}},
    {30, "16-bit X4R4G4B4", kWhyBits, 0, {}},
    {31, "32-bit A2B10G10R10", kWhyBits, 0, {}},
    {34, "32-bit G16R16", kWhyBits, 0, {}},
    {35, "32-bit A2R10G10B10", kWhyBits, 0, {}},
    {36, "64-bit A16B16G16R16", kWhyBits, 0, {}},
    {40, "A8P8 (palette)", kWhyColour, 0, {}},
    {41, "P8 (palette)", kWhyColour, 0, {}},
    {50, "8-bit luminance L8", kWhyColour, 0, {}},
    {51, "16-bit luminance A8L8", kWhyColour, 0, {}},
    {52, "8-bit luminance A4L4", kWhyColour, 0, {}},
    {60, "signed V8U8", kWhyColour, 0, {}},
    {61, "signed L6V5U5", kWhyColour, 0, {}},
    {62, "signed X8L8V8U8", kWhyColour, 0, {}},
    {63, "signed Q8W8V8U8", kWhyColour, 0, {}},
    {64, "signed V16U16", kWhyColour, 0, {}},
    {67, "signed A2W10V10U10", kWhyColour, 0, {}},
    {81, "16-bit luminance L16", kWhyColour, 0, {}},
    {110, "signed Q16W16V16U16", kWhyColour, 0, {}},
    {111, "floating-point R16F", kWhyBits, 0, {}},
    {112, "floating-point G16R16F", kWhyBits, 0, {}},
    {113, "floating-point A16B16G16R16F", kWhyBits, 0, {}},
    {114, "floating-point R32F", kWhyBits, 0, {}},
    {115, "floating-point G32R32F", kWhyBits, 0, {}},
    {116, "floating-point A32B32G32R32F", kWhyBits, 0, {}},
    {117, "signed CxV8U8", kWhyColour, 0, {}},
};

struct FourCcFormat {
    std::uint32_t code;
    const char* name;
    Decode decode;
    const char* why; // nullptr: decoded
};

constexpr FourCcFormat kFourCcFormats[] = {
    {code("DXT1"), "BC1 / DXT1", Decode::Bc1, nullptr},
    {code("DXT3"), "BC2 / DXT3", Decode::Bc2, nullptr},
    {code("DXT5"), "BC3 / DXT5", Decode::Bc3, nullptr},
    {code("DXT2"), "BC2 / DXT2 (premultiplied alpha)", Decode::Bytes, kWhyPremultiplied},
    {code("DXT4"), "BC3 / DXT4 (premultiplied alpha)", Decode::Bytes, kWhyPremultiplied},
    {code("ATI1"), "BC4 / ATI1", Decode::Bytes, kWhyBlocks},
    {code("BC4U"), "BC4 / BC4U", Decode::Bytes, kWhyBlocks},
    {code("BC4S"), "BC4 / BC4S", Decode::Bytes, kWhyBlocks},
    {code("ATI2"), "BC5 / ATI2", Decode::Bytes, kWhyBlocks},
    {code("BC5U"), "BC5 / BC5U", Decode::Bytes, kWhyBlocks},
    {code("BC5S"), "BC5 / BC5S", Decode::Bytes, kWhyBlocks},
    {code("A2XY"), "BC5 / A2XY", Decode::Bytes, kWhyBlocks},
    {code("BC6H"), "BC6H", Decode::Bytes, kWhyBlocks},
    {code("BC7L"), "BC7", Decode::Bytes, kWhyBlocks},
    {code("RXGB"), "RXGB (DXT5 with red moved to alpha, a swizzled normal map)", Decode::Bytes,
     kWhyNormalMap},
    {code("RGBG"), "packed R8G8_B8G8", Decode::Bytes, kWhyColour},
    {code("GRGB"), "packed G8R8_G8B8", Decode::Bytes, kWhyColour},
    {code("UYVY"), "packed YUV (UYVY)", Decode::Bytes, kWhyColour},
    {code("YUY2"), "packed YUV (YUY2)", Decode::Bytes, kWhyColour},
};

constexpr const char* kDxgiNames[] = {
    "UNKNOWN",
    "R32G32B32A32_TYPELESS",
    "R32G32B32A32_FLOAT",
    "R32G32B32A32_UINT",
    "R32G32B32A32_SINT",
    "R32G32B32_TYPELESS",
    "R32G32B32_FLOAT",
    "R32G32B32_UINT",
    "R32G32B32_SINT",
    "R16G16B16A16_TYPELESS",
    "R16G16B16A16_FLOAT",
    "R16G16B16A16_UNORM",
    "R16G16B16A16_UINT",
    "R16G16B16A16_SNORM",
    "R16G16B16A16_SINT",
    "R32G32_TYPELESS",
    "R32G32_FLOAT",
    "R32G32_UINT",
    "R32G32_SINT",
    "R32G8X24_TYPELESS",
    "D32_FLOAT_S8X24_UINT",
    "R32_FLOAT_X8X24_TYPELESS",
    "X32_TYPELESS_G8X24_UINT",
    "R10G10B10A2_TYPELESS",
    "R10G10B10A2_UNORM",
    "R10G10B10A2_UINT",
    "R11G11B10_FLOAT",
    "R8G8B8A8_TYPELESS",
    "R8G8B8A8_UNORM",
    "R8G8B8A8_UNORM_SRGB",
    "R8G8B8A8_UINT",
    "R8G8B8A8_SNORM",
    "R8G8B8A8_SINT",
    "R16G16_TYPELESS",
    "R16G16_FLOAT",
    "R16G16_UNORM",
    "R16G16_UINT",
    "R16G16_SNORM",
    "R16G16_SINT",
    "R32_TYPELESS",
    "D32_FLOAT",
    "R32_FLOAT",
    "R32_UINT",
    "R32_SINT",
    "R24G8_TYPELESS",
    "D24_UNORM_S8_UINT",
    "R24_UNORM_X8_TYPELESS",
    "X24_TYPELESS_G8_UINT",
    "R8G8_TYPELESS",
    "R8G8_UNORM",
    "R8G8_UINT",
    "R8G8_SNORM",
    "R8G8_SINT",
    "R16_TYPELESS",
    "R16_FLOAT",
    "D16_UNORM",
    "R16_UNORM",
    "R16_UINT",
    "R16_SNORM",
    "R16_SINT",
    "R8_TYPELESS",
    "R8_UNORM",
    "R8_UINT",
    "R8_SNORM",
    "R8_SINT",
    "A8_UNORM",
    "R1_UNORM",
    "R9G9B9E5_SHAREDEXP",
    "R8G8_B8G8_UNORM",
    "G8R8_G8B8_UNORM",
    "BC1_TYPELESS",
    "BC1_UNORM",
    "BC1_UNORM_SRGB",
    "BC2_TYPELESS",
    "BC2_UNORM",
    "BC2_UNORM_SRGB",
    "BC3_TYPELESS",
    "BC3_UNORM",
    "BC3_UNORM_SRGB",
    "BC4_TYPELESS",
    "BC4_UNORM",
    "BC4_SNORM",
    "BC5_TYPELESS",
    "BC5_UNORM",
    "BC5_SNORM",
    "B5G6R5_UNORM",
    "B5G5R5A1_UNORM",
    "B8G8R8A8_UNORM",
    "B8G8R8X8_UNORM",
    "R10G10B10_XR_BIAS_A2_UNORM",
    "B8G8R8A8_TYPELESS",
    "B8G8R8A8_UNORM_SRGB",
    "B8G8R8X8_TYPELESS",
    "B8G8R8X8_UNORM_SRGB",
    "BC6H_TYPELESS",
    "BC6H_UF16",
    "BC6H_SF16",
    "BC7_TYPELESS",
    "BC7_UNORM",
    "BC7_UNORM_SRGB",
    "AYUV",
    "Y410",
    "Y416",
    "NV12",
    "P010",
    "P016",
    "420_OPAQUE",
    "YUY2",
    "Y210",
    "Y216",
    "NV11",
    "AI44",
    "IA44",
    "P8",
    "A8P8",
    "B4G4R4A4_UNORM",
};
constexpr std::uint32_t kDxgiNameCount = sizeof kDxgiNames / sizeof kDxgiNames[0];
static_assert(kDxgiNameCount == 116);

// DX10 formats: the 8-bit RGBA and BGRA ones (sRGB is the same bytes: no gamma change) and
// BC1-BC3 are taken; the others are named with the reason.
tl::expected<Plan, Refusal> planFromDxgi(std::uint32_t dxgi) {
    const std::string name = "DXGI " + std::to_string(dxgi) + " " +
                             (dxgi < kDxgiNameCount ? kDxgiNames[dxgi] : "(unknown)");
    switch (dxgi) {
    case 27:
    case 28:
    case 29:
        return bytePlan(4, 0, 1, 2, 3, name);
    case 87:
    case 90:
    case 91:
        return bytePlan(4, 2, 1, 0, 3, name);
    case 88:
    case 92:
    case 93:
        return bytePlan(4, 2, 1, 0, -1, name);
    case 70:
    case 71:
    case 72:
        return blockPlan(Decode::Bc1, name);
    case 73:
    case 74:
    case 75:
        return blockPlan(Decode::Bc2, name);
    case 76:
    case 77:
    case 78:
        return blockPlan(Decode::Bc3, name);
    default:
        break;
    }
    const char* why = kWhyUnknown;
    if (dxgi == 0)
        return tl::unexpected(Refusal{ErrorKind::Damaged, name, "the DX10 header names no format"});
    if ((dxgi >= 1 && dxgi <= 26) || (dxgi >= 33 && dxgi <= 47) || dxgi == 67 || dxgi == 85 ||
        dxgi == 86 || dxgi == 89 || dxgi == 115)
        why = kWhyBits;
    else if (dxgi >= 30 && dxgi <= 32)
        why = kWhyInteger;
    else if ((dxgi >= 48 && dxgi <= 69) || (dxgi >= 100 && dxgi <= 114))
        why = kWhyColour;
    else if ((dxgi >= 79 && dxgi <= 84) || (dxgi >= 94 && dxgi <= 99))
        why = kWhyBlocks;
    return tl::unexpected(Refusal{ErrorKind::Unsupported, name, why});
}

tl::expected<Plan, Refusal> planFromFourCc(std::uint32_t fourCc) {
    for (const FourCcFormat& f : kFourCcFormats) {
        if (f.code != fourCc)
            continue;
        if (f.why)
            return tl::unexpected(Refusal{ErrorKind::Unsupported, f.name, f.why});
        return blockPlan(f.decode, f.name);
    }
    for (const LegacyCode& c : kLegacyCodes) {
        if (c.code != fourCc)
            continue;
        if (c.why)
            return tl::unexpected(
                Refusal{ErrorKind::Unsupported,
                        std::string(c.name) + " (D3DFMT " + std::to_string(c.code) + ")", c.why});
        auto plan = planFromMasks(kDdpfRgb, c.bits, c.masks);
        if (plan)
            plan->format += ", as D3DFMT code " + std::to_string(c.code);
        return plan;
    }
    return tl::unexpected(Refusal{ErrorKind::Unsupported, quotedCode(fourCc), kWhyUnknown});
}

// ---- The header -------------------------------------------------------------------------

std::string writerOf(std::span<const std::uint8_t> header) {
    const auto reserved = header.subspan(kReservedOffset, kReservedEnd - kReservedOffset);
    for (std::string_view tag : {"GIMP-DDS", "IMAGEMAGICK", "NVTT"}) {
        const auto at = std::search(reserved.begin(), reserved.end(), tag.begin(), tag.end(),
                                    [](std::uint8_t a, char b) { return a == std::uint8_t(b); });
        if (at != reserved.end())
            return std::string(tag);
    }
    return {};
}

// A DXT5 picture whose colours are not plain RGBA: GIMP's marked variants are decoded as GIMP
// shows them when it opens the file, swizzled normal maps are refused.
tl::expected<Plan, Refusal> withDxt5Variant(Plan plan, std::uint32_t pfFlags, std::uint32_t mark) {
    if (pfFlags & kDdpfNormal)
        return tl::unexpected(Refusal{
            ErrorKind::Unsupported,
            plan.format + " with swizzled normal-map channels (BC3n / DXT5nm)", kWhyNormalMap});
    if (mark == code("YCG1")) {
        plan.colour = Colour::YCoCg;
        plan.format += " holding GIMP's YCoCg colour (YCG1)";
    } else if (mark == code("YCG2")) {
        plan.colour = Colour::ScaledYCoCg;
        plan.format += " holding GIMP's scaled YCoCg colour (YCG2)";
    } else if (mark == code("AEXP")) {
        plan.colour = Colour::AlphaExponent;
        plan.format += " holding GIMP's alpha-exponent colour (AEXP)";
    } else if (mark != 0) {
        return tl::unexpected(Refusal{ErrorKind::Unsupported,
                                      plan.format + " with GIMP's " + quotedCode(mark),
                                      "Velmora does not know that variant of DXT5"});
    }
    return plan;
}

struct Analysis {
    Plan plan;
    DdsLayout layout;
};

// How the file's pixels become B8G8R8A8; none when they already are.
std::vector<std::string> conversionSteps(const Plan& plan) {
    std::vector<std::string> steps;
    if (plan.decode != Decode::Bytes) {
        steps.push_back(plan.format + " decoded");
        if (plan.colour == Colour::YCoCg || plan.colour == Colour::ScaledYCoCg)
            steps.emplace_back("YCoCg turned into RGB");
        else if (plan.colour == Colour::AlphaExponent)
            steps.emplace_back("colour multiplied by its alpha exponent");
        if (plan.colour != Colour::Rgba)
            steps.emplace_back("alpha set to 255 (as GIMP shows it)");
        return steps;
    }
    if (plan.bytesPerPixel == 3)
        steps.emplace_back("24-bit to 32-bit");
    if (plan.red == 0 && plan.green == 1 && plan.blue == 2)
        steps.emplace_back("red and blue swapped");
    else if (!(plan.red == 2 && plan.green == 1 && plan.blue == 0))
        steps.emplace_back("channels reordered");
    if (plan.alpha < 0)
        steps.emplace_back("alpha set to 255");
    else if (plan.alpha != 3)
        steps.emplace_back("alpha moved");
    return steps;
}

// The bytes of the first picture: whole 4x4 blocks when compressed.
std::uint64_t levelBytes(const Plan& plan, std::uint32_t width, std::uint32_t height) {
    if (plan.decode == Decode::Bytes)
        return std::uint64_t{width} * height * plan.bytesPerPixel;
    const std::uint64_t blocks = std::uint64_t{(width + 3) / 4} * ((height + 3) / 4);
    return blocks * (plan.decode == Decode::Bc1 ? 8 : 16);
}

Result<Analysis> analyse(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    if (head.size() > fileSize)
        head = head.first(static_cast<std::size_t>(fileSize));
    const bool magic =
        head.size() >= 4 && head[0] == 'D' && head[1] == 'D' && head[2] == 'S' && head[3] == ' ';
    if (fileSize < 4 || (head.size() >= 4 && !magic))
        return fail(ErrorKind::Damaged, "it is not a DDS image (it does not start with \"DDS \"): "
                                        "save the picture as a DDS or a PNG");
    if (!magic)
        return fail(ErrorKind::ReadFailed, "only " + std::to_string(head.size()) +
                                               " bytes of the file were read, 128 needed");
    if (fileSize < kDdsHeaderSize)
        return fail(ErrorKind::Damaged, "the file is " + groupedNumber(fileSize) +
                                            " bytes, shorter than the 128-byte DDS header: it "
                                            "was cut short; save it again");
    if (head.size() < kDdsHeaderSize)
        return fail(ErrorKind::ReadFailed, "only " + std::to_string(head.size()) +
                                               " bytes of the file were read, 128 needed");
    const std::uint32_t headerSize = readLe32(head, kSizeOffset);
    if (headerSize != 124)
        return fail(ErrorKind::Damaged, "it is not a valid DDS image: its header size is " +
                                            std::to_string(headerSize) +
                                            ", not 124; save the picture again as a DDS or a PNG");

    const std::string writer = writerOf(head);
    const std::uint32_t pfFlags = readLe32(head, kPfFlagsOffset);
    const std::uint32_t fourCc = readLe32(head, kFourCcOffset);
    const std::uint32_t bits = readLe32(head, kBitCountOffset);
    const std::array<std::uint32_t, 4> masks{
        readLe32(head, kRedMaskOffset), readLe32(head, kGreenMaskOffset),
        readLe32(head, kBlueMaskOffset), readLe32(head, kAlphaMaskOffset)};
    const bool noMasks = masks[0] == 0 && masks[1] == 0 && masks[2] == 0 && masks[3] == 0;
    // A code counts when the flags say so, or when there is nothing else to go by.
    const bool byCode = fourCc != 0 && ((pfFlags & kDdpfFourCc) || noMasks);
    const bool dx10 = byCode && fourCc == code("DX10");

    const std::uint32_t caps2 = readLe32(head, kCaps2Offset);
    const std::uint32_t flags = readLe32(head, kFlagsOffset);
    const std::string single = "the game's tile is one 1024x1024 picture: save one ";
    const auto shape = [&](const char* what, const char* part) {
        return fail(ErrorKind::Unsupported, std::string("it is ") + what + "; " + single + part +
                                                " as a plain 2D DDS or a PNG");
    };
    if (caps2 & kCaps2CubeMap)
        return shape("a cube map", "face");
    if ((caps2 & kCaps2Volume) || ((flags & kDdsdDepth) && readLe32(head, kDepthOffset) > 1))
        return shape("a volume texture", "slice");

    tl::expected<Plan, Refusal> plan;
    if (dx10) {
        if (fileSize < kDdsDx10HeaderSize)
            return fail(ErrorKind::Damaged, "the file is " + groupedNumber(fileSize) +
                                                " bytes, shorter than its 148-byte DX10 header: it "
                                                "was cut short; save it again");
        if (head.size() < kDdsDx10HeaderSize)
            return fail(ErrorKind::ReadFailed, "only " + std::to_string(head.size()) +
                                                   " bytes of the file were read, 148 needed");
        const std::uint32_t dimension = readLe32(head, kDimensionOffset);
        const std::uint32_t arraySize = readLe32(head, kArraySizeOffset);
        if (readLe32(head, kMiscFlagOffset) & kMiscTextureCube)
            return shape("a cube map", "face");
        if (dimension == 4)
            return shape("a volume texture", "slice");
        if (dimension == 2)
            return shape("a one-dimensional texture", "2D picture");
        if (dimension != 0 && dimension != 3)
            return fail(ErrorKind::Damaged, "it is not a valid DDS image: its DX10 header gives "
                                            "resource dimension " +
                                                std::to_string(dimension) +
                                                "; save the picture again as a DDS or a PNG");
        if (arraySize > 1)
            return shape(("an array of " + std::to_string(arraySize) + " textures").c_str(),
                         "picture");
        plan = planFromDxgi(readLe32(head, kDxgiFormatOffset));
        if (plan)
            plan->dataOffset = kDdsDx10HeaderSize;
    } else if (byCode) {
        plan = planFromFourCc(fourCc);
        if (plan && plan->decode == Decode::Bc3)
            plan = withDxt5Variant(std::move(*plan), pfFlags, gimpMark(head.data()));
    } else {
        plan = planFromMasks(pfFlags, bits, masks);
    }
    if (!plan)
        return fail(formatError(plan.error(), writer));

    DdsLayout layout;
    layout.format = plan->format;
    layout.height = readLe32(head, kHeightOffset);
    layout.width = readLe32(head, kWidthOffset);
    layout.mipCount = std::max<std::uint32_t>(readLe32(head, kMipCountOffset), 1);
    layout.writer = writer;
    if (layout.width == 0 || layout.height == 0)
        return fail(ErrorKind::Damaged, "it is not a valid DDS image: its header gives a size of " +
                                            sizeText(layout.width, layout.height) +
                                            "; save the picture again as a DDS or a PNG");
    if (layout.width > kMaxPictureSide || layout.height > kMaxPictureSide ||
        std::uint64_t{layout.width} * layout.height * 4 > kMaxDecodedBytes)
        return fail(ErrorKind::Unsupported,
                    "it is " + sizeText(layout.width, layout.height) +
                        ", far larger than the game's 1024x1024 tile: resize it in your editor");
    layout.neededBytes = plan->dataOffset + levelBytes(*plan, layout.width, layout.height);
    if (fileSize < layout.neededBytes)
        return fail(ErrorKind::Damaged, "the file is " + groupedNumber(fileSize) +
                                            " bytes, but its header describes a " +
                                            sizeText(layout.width, layout.height) + " " +
                                            plan->format + " picture that needs " +
                                            groupedNumber(layout.neededBytes) +
                                            ": it was cut short; save it again");

    // The game's own layout keeps its header when the header says so soundly.
    plan->keepHeader = sameBytesAsGame(*plan) && !byCode && plan->dataOffset == kDdsHeaderSize &&
                       readLe32(head, kPfSizeOffset) == 32 &&
                       pfFlags == (kDdpfRgb | kDdpfAlphaPixels) &&
                       readLe32(head, kPitchOffset) == layout.width * 4 &&
                       (flags & (kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat)) ==
                           (kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat) &&
                       (readLe32(head, kCapsOffset) & kCapsTexture);
    layout.gameHeader = plan->keepHeader;
    layout.conversion = conversionSteps(*plan);
    layout.hasAlpha =
        plan->decode == Decode::Bytes ? plan->alpha >= 0 : plan->colour == Colour::Rgba;
    return Analysis{std::move(*plan), std::move(layout)};
}

// ---- The pixels -------------------------------------------------------------------------

template <unsigned BytesPerPixel, bool HasAlpha>
void convertPixels(const std::uint8_t* source, std::uint8_t* target, std::size_t pixelCount,
                   const Plan& plan) {
    const auto red = static_cast<unsigned>(plan.red);
    const auto green = static_cast<unsigned>(plan.green);
    const auto blue = static_cast<unsigned>(plan.blue);
    const auto alpha = static_cast<unsigned>(HasAlpha ? plan.alpha : 0);
    for (std::size_t i = 0; i < pixelCount; ++i, source += BytesPerPixel, target += 4) {
        target[0] = source[blue];
        target[1] = source[green];
        target[2] = source[red];
        target[3] = HasAlpha ? source[alpha] : 0xFF;
    }
}

// One decoded R,G,B,A pixel of GIMP's variants into B,G,R,A as GIMP shows it: the colour worked
// out in floating point and cut to 8 bits, alpha opaque.
void yCoCgToBgra(std::uint8_t* pixel, bool scaled) {
    constexpr float kMiddle = 0.5f * 256.0f / 255.0f; // the chroma's zero, 128 of 255
    float co = pixel[0] / 255.0f - kMiddle;
    float cg = pixel[1] / 255.0f - kMiddle;
    const float y = pixel[3] / 255.0f;
    if (scaled) {
        const float scale = 1.0f / (pixel[2] / 8.0f + 1.0f);
        co *= scale;
        cg *= scale;
    }
    const auto level = [](float value) {
        return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f);
    };
    pixel[0] = level(y - co - cg);
    pixel[1] = level(y + cg);
    pixel[2] = level(y + co - cg);
    pixel[3] = 0xFF;
}

void alphaExponentToBgra(std::uint8_t* pixel) {
    const unsigned factor = pixel[3];
    const auto scaled = [factor](std::uint8_t value) {
        return static_cast<std::uint8_t>(value * factor / 255u);
    };
    const std::uint8_t red = scaled(pixel[0]);
    pixel[0] = scaled(pixel[2]);
    pixel[1] = scaled(pixel[1]);
    pixel[2] = red;
    pixel[3] = 0xFF;
}

void decodeBlocks(const std::uint8_t* source, std::uint8_t* target, std::uint32_t width,
                  std::uint32_t height, Decode decode, Colour colour) {
    const int flags = decode == Decode::Bc1   ? squish::kDxt1
                      : decode == Decode::Bc2 ? squish::kDxt3
                                              : squish::kDxt5;
    squish::DecompressImage(target, int(width), int(height), source, flags);
    // squish writes R,G,B,A
    const std::size_t pixelCount = std::size_t{width} * height;
    for (std::size_t i = 0; i < pixelCount; ++i, target += 4) {
        switch (colour) {
        case Colour::Rgba:
            std::swap(target[0], target[2]);
            break;
        case Colour::YCoCg:
        case Colour::ScaledYCoCg:
            yCoCgToBgra(target, colour == Colour::ScaledYCoCg);
            break;
        case Colour::AlphaExponent:
            alphaExponentToBgra(target);
            break;
        }
    }
}

} // namespace

Result<DdsLayout> inspectDdsHeader(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    auto analysis = analyse(head, fileSize);
    if (!analysis)
        return fail(std::move(analysis.error()));
    return std::move(analysis->layout);
}

Result<DdsPicture> readDdsPicture(std::span<const std::uint8_t> fileBytes) {
    auto analysis = analyse(fileBytes, fileBytes.size());
    if (!analysis)
        return fail(std::move(analysis.error()));
    const Plan& plan = analysis->plan;
    const DdsLayout& layout = analysis->layout;
    const std::size_t pixelCount = std::size_t{layout.width} * layout.height;

    DdsPicture picture;
    picture.bgra.resize(pixelCount * 4);
    std::uint8_t* target = picture.bgra.data();
    // analyse() made sure the file holds the whole first picture.
    const std::uint8_t* source = fileBytes.data() + plan.dataOffset;
    switch (plan.decode) {
    case Decode::Bytes:
        if (sameBytesAsGame(plan))
            std::memcpy(target, source, pixelCount * 4);
        else if (plan.bytesPerPixel == 4 && plan.alpha >= 0)
            convertPixels<4, true>(source, target, pixelCount, plan);
        else if (plan.bytesPerPixel == 4)
            convertPixels<4, false>(source, target, pixelCount, plan);
        else
            convertPixels<3, false>(source, target, pixelCount, plan);
        break;
    default:
        decodeBlocks(source, target, layout.width, layout.height, plan.decode, plan.colour);
        break;
    }
    picture.layout = std::move(analysis->layout);
    return picture;
}

void setSingleMipLevel(std::span<std::uint8_t, kDdsHeaderSize> header) {
    writeLe32(header, kFlagsOffset, readLe32(header, kFlagsOffset) & ~kDdsdMipMapCount);
    writeLe32(header, kMipCountOffset, 0);
    writeLe32(header, kCapsOffset, readLe32(header, kCapsOffset) & ~(kCapsComplex | kCapsMipMap));
}

} // namespace velmora::conversion
