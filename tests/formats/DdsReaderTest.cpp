// The DDS reader on the headers real tools wrote (tests/data/dds-headers), on synthetic DX10
// headers and on hand-made edge cases. Every file is built at its full length from a header and
// pixels generated in the layout the header declares; an accepted one must give exactly the
// expected B8G8R8A8 pixels, a refused one the right kind of error and message.
#include "ConversionTestSupport.h"
#include "TestPaths.h"

#include "base/GameFileLayout.h"
#include "formats/DdsImageCheck.h"
#include "formats/DdsReader.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/ImageInput.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>

namespace velmora::test {
namespace {

using namespace velmora::conversion;
namespace fs = std::filesystem;

constexpr std::size_t kSide = 1024;
constexpr std::size_t kPixels = kSide * kSide;

// ---- Pixels -------------------------------------------------------------------------------

// The picture every file carries, B,G,R,A per pixel: smooth gradients with every alpha value.
const Bytes& picture() {
    static const Bytes bgra = [] {
        Bytes p(kPixels * 4);
        for (std::size_t y = 0; y < kSide; ++y)
            for (std::size_t x = 0; x < kSide; ++x) {
                std::uint8_t* px = &p[(y * kSide + x) * 4];
                px[0] = static_cast<std::uint8_t>(x / 4);
                px[1] = static_cast<std::uint8_t>(y / 4);
                px[2] = static_cast<std::uint8_t>((x + y) / 8);
                px[3] = static_cast<std::uint8_t>(255 - (x ^ y) / 4);
            }
        return p;
    }();
    return bgra;
}

Bytes opaque(Bytes bgra) {
    for (std::size_t i = 3; i < bgra.size(); i += 4)
        bgra[i] = 0xFF;
    return bgra;
}

// Block-compressed data made with squish from the picture, and what squish decodes it to (as
// B,G,R,A): what the reader must give back for that data.
struct Blocks {
    Bytes data;
    Bytes expected;
};

const Blocks& blocks(int flags) {
    static std::map<int, Blocks> cache;
    auto found = cache.find(flags);
    if (found != cache.end())
        return found->second;
    Bytes rgba = picture();
    for (std::size_t i = 0; i < rgba.size(); i += 4)
        std::swap(rgba[i], rgba[i + 2]);
    Blocks b;
    b.data.resize(static_cast<std::size_t>(squish::GetStorageRequirements(1024, 1024, flags)));
    squish::CompressImage(rgba.data(), 1024, 1024, b.data.data(), flags | squish::kColourRangeFit);
    b.expected.resize(kPixels * 4);
    squish::DecompressImage(b.expected.data(), 1024, 1024, b.data.data(), flags);
    for (std::size_t i = 0; i < b.expected.size(); i += 4)
        std::swap(b.expected[i], b.expected[i + 2]);
    return cache.emplace(flags, std::move(b)).first->second;
}

// How the first picture of a test file is written.
enum class Pixels {
    None,  // nothing: the file is refused before the pixels matter
    Masks, // by the header's bit count and channel masks
    Bgra,  // B,G,R,A bytes
    Rgba,  // R,G,B,A bytes
    Bgrx,  // B,G,R and a byte of noise
    Bc1,
    Bc2,
    Bc3,
};

// The picture in the bit layout of `masks`; what the reader should give back goes to `expected`.
Bytes byMasks(const Bytes& header, Bytes& expected) {
    const std::uint32_t bits = readLe32(header, 88);
    const std::uint32_t masks[4] = {readLe32(header, 100), readLe32(header, 96),
                                    readLe32(header, 92),
                                    readLe32(header, 104)}; // in B,G,R,A order, as the picture
    const std::size_t bytes = bits / 8;
    Bytes level(kPixels * bytes);
    const Bytes& p = picture();
    for (std::size_t i = 0; i < kPixels; ++i) {
        std::uint64_t value = 0;
        for (std::size_t c = 0; c < 4; ++c) {
            if (masks[c] == 0)
                continue;
            const unsigned shift = static_cast<unsigned>(__builtin_ctz(masks[c]));
            const unsigned width = static_cast<unsigned>(__builtin_popcount(masks[c]));
            const std::uint64_t v = width >= 8 ? std::uint64_t(p[i * 4 + c]) << (width - 8)
                                               : std::uint64_t(p[i * 4 + c]) >> (8 - width);
            value |= v << shift;
        }
        for (std::size_t k = 0; k < bytes; ++k)
            level[i * bytes + k] = static_cast<std::uint8_t>(value >> (8 * k));
    }
    expected = masks[3] == 0 ? opaque(p) : p;
    return level;
}

Bytes firstLevel(Pixels pixels, const Bytes& header, Bytes& expected) {
    const Bytes& p = picture();
    switch (pixels) {
    case Pixels::None:
        return {};
    case Pixels::Masks:
        return byMasks(header, expected);
    case Pixels::Bgra:
        expected = p;
        return p;
    case Pixels::Rgba: {
        Bytes level = p;
        for (std::size_t i = 0; i < level.size(); i += 4)
            std::swap(level[i], level[i + 2]);
        expected = p;
        return level;
    }
    case Pixels::Bgrx: {
        Bytes level = p;
        for (std::size_t i = 3; i < level.size(); i += 4)
            level[i] = static_cast<std::uint8_t>(i * 31);
        expected = opaque(p);
        return level;
    }
    case Pixels::Bc1:
    case Pixels::Bc2:
    case Pixels::Bc3: {
        const int flags = pixels == Pixels::Bc1   ? squish::kDxt1
                          : pixels == Pixels::Bc2 ? squish::kDxt3
                                                  : squish::kDxt5;
        expected = blocks(flags).expected;
        return blocks(flags).data;
    }
    }
    return {};
}

// ---- Headers ------------------------------------------------------------------------------

Bytes headerFile(const std::string& name) {
    return readFile(fs::path(kDdsHeadersDir) / name);
}

std::uint32_t fourCc(const char* text) {
    return std::uint32_t(std::uint8_t(text[0])) | std::uint32_t(std::uint8_t(text[1])) << 8 |
           std::uint32_t(std::uint8_t(text[2])) << 16 | std::uint32_t(std::uint8_t(text[3])) << 24;
}

// The game's header changed by `change`.
Bytes legacy(const std::function<void(Bytes&)>& change) {
    Bytes h = makeDdsHeader();
    change(h);
    return h;
}

void setCode(Bytes& h, std::uint32_t code) {
    writeLe32(h, 80, 0x4);
    writeLe32(h, 84, code);
    for (std::size_t at = 88; at < 108; at += 4)
        writeLe32(h, at, 0);
}

void setMasks(Bytes& h, std::uint32_t flags, std::uint32_t bits, std::uint32_t r, std::uint32_t g,
              std::uint32_t b, std::uint32_t a) {
    writeLe32(h, 80, flags);
    writeLe32(h, 88, bits);
    writeLe32(h, 92, r);
    writeLe32(h, 96, g);
    writeLe32(h, 100, b);
    writeLe32(h, 104, a);
}

// A header with a DX10 extension, as texconv writes it.
Bytes dx10(std::uint32_t dxgi, std::uint32_t dimension = 3, std::uint32_t misc = 0,
           std::uint32_t arraySize = 1, std::uint32_t alphaMode = 0) {
    Bytes h = makeDdsHeader();
    setCode(h, fourCc("DX10"));
    h.resize(148);
    writeLe32(h, 128, dxgi);
    writeLe32(h, 132, dimension);
    writeLe32(h, 136, misc);
    writeLe32(h, 140, arraySize);
    writeLe32(h, 144, alphaMode);
    return h;
}

// ---- The table ----------------------------------------------------------------------------

struct Expect {
    // Accepted when format is set.
    const char* format = nullptr;
    const char* action = nullptr;
    bool keepsHeader = false;
    const char* writer = "";
    std::uint32_t mipCount = 1;
    // Refused otherwise.
    ErrorKind kind = ErrorKind::Unsupported;
    std::vector<std::string> says; // pieces the message must hold
};

Expect accepted(const char* format, const char* action, bool keepsHeader = false,
                const char* writer = "", std::uint32_t mipCount = 1) {
    Expect e;
    e.format = format;
    e.action = action;
    e.keepsHeader = keepsHeader;
    e.writer = writer;
    e.mipCount = mipCount;
    return e;
}

Expect refused(ErrorKind kind, std::vector<std::string> says) {
    Expect e;
    e.kind = kind;
    e.says = std::move(says);
    return e;
}

struct Case {
    std::string name;
    std::function<Bytes()> header;
    std::uint64_t size; // the file's length; bytes after the first picture stand for mip levels
    Pixels pixels;
    Expect expect;
};

constexpr std::uint64_t kGameSize = 4'194'432;
constexpr std::uint64_t kWithMips = 5'592'532;
const char* const kGimpFix = "in GIMP use Export As .dds with Compression None, Format RGBA8";
const char* const kGeneralFix = "save it as an uncompressed 32-bit DDS without mipmaps";
const char* const kBits = "the game needs 8 bits per colour channel";
const char* const kColour = "the game needs a colour picture with red, green and blue";
const char* const kBlocksOnly = "Velmora decodes only BC1, BC2 and BC3";
const char* const kGameLayout = "32-bit A8R8G8B8 (bytes B,G,R,A)";

Case real(const std::string& file, std::uint64_t size, Pixels pixels, Expect expect) {
    return {file.substr(0, file.size() - 4), [file] { return headerFile(file); }, size, pixels,
            std::move(expect)};
}

// gtest names a failing row by this rather than by its bytes.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

Case made(const std::string& name, std::function<Bytes()> header, std::uint64_t size, Pixels pixels,
          Expect expect) {
    return {name, std::move(header), size, pixels, std::move(expect)};
}

const std::vector<Case>& realCases() {
    static const std::vector<Case> rows{
        real("gimp_rgba_filesave_default.hdr", 4'194'432, Pixels::Masks,
             accepted(kGameLayout, "used as it is", true, "GIMP-DDS")),
        real("gimp_rgba_none_mips_fmt0.hdr", kWithMips, Pixels::Masks,
             accepted(kGameLayout, "used as it is; 10 smaller mip levels dropped", true, "GIMP-DDS",
                      11)),
        real("gimp_rgb_none_nomips_fmt0.hdr", 3'145'856, Pixels::Masks,
             accepted("24-bit R8G8B8 (bytes B,G,R)",
                      "converted: 24-bit to 32-bit, alpha set to 255", false, "GIMP-DDS")),
        real("gimp_rgba_none_nomips_fmt4.hdr", 4'194'432, Pixels::Masks,
             accepted("32-bit A8B8G8R8 (bytes R,G,B,A)", "converted: red and blue swapped", false,
                      "GIMP-DDS")),
        real("gimp_rgba_none_nomips_fmt5.hdr", 2'097'280, Pixels::Masks,
             refused(ErrorKind::Unsupported, {"it is 16-bit R5G6B5; ", kBits, kGimpFix})),
        real("gimp_rgba_dxt5_mips.hdr", 1'398'256, Pixels::Bc3,
             accepted("BC3 / DXT5", "converted: BC3 / DXT5 decoded; 10 smaller mip levels dropped",
                      false, "GIMP-DDS", 11)),
        real("im_none_rgba_mips.hdr", kWithMips, Pixels::Masks,
             accepted(kGameLayout, "used as it is; 10 smaller mip levels dropped", true,
                      "IMAGEMAGICK", 11)),
        real("im_default_rgb.hdr", 699'192, Pixels::Bc1,
             accepted("BC1 / DXT1", "converted: BC1 / DXT1 decoded; 10 smaller mip levels dropped",
                      false, "IMAGEMAGICK", 11)),
        real("nv_rgb.hdr", kWithMips, Pixels::Masks,
             accepted(kGameLayout, "used as it is; 10 smaller mip levels dropped", true, "NVTT",
                      11)),
        real("pil_rgba.hdr", 4'194'432, Pixels::Masks,
             accepted(kGameLayout, "used as it is", true)),
        real("pil_512_rgba.hdr", 1'048'704, Pixels::Masks,
             refused(ErrorKind::Unsupported,
                     {"it is 512x512; the game's tile is 1024x1024: resize it in your editor"})),
    };
    return rows;
}

const std::vector<Case>& dx10Cases() {
    constexpr std::uint64_t full = 148 + kPixels * 4;
    constexpr std::uint64_t bc1 = 148 + kPixels / 2;
    constexpr std::uint64_t bc3 = 148 + kPixels;
    static const std::vector<Case> rows{
        made(
            "Bgra87", [] { return dx10(87); }, full, Pixels::Bgra,
            accepted("DXGI 87 B8G8R8A8_UNORM", "pixels used as they are, header rewritten")),
        made(
            "BgraTypeless90", [] { return dx10(90); }, full, Pixels::Bgra,
            accepted("DXGI 90 B8G8R8A8_TYPELESS", "pixels used as they are, header rewritten")),
        made(
            "BgraSrgb91", [] { return dx10(91); }, full, Pixels::Bgra,
            accepted("DXGI 91 B8G8R8A8_UNORM_SRGB", "pixels used as they are, header rewritten")),
        made(
            "Bgrx88", [] { return dx10(88); }, full, Pixels::Bgrx,
            accepted("DXGI 88 B8G8R8X8_UNORM", "converted: alpha set to 255")),
        made(
            "BgrxSrgb93", [] { return dx10(93); }, full, Pixels::Bgrx,
            accepted("DXGI 93 B8G8R8X8_UNORM_SRGB", "converted: alpha set to 255")),
        made(
            "RgbaTypeless27", [] { return dx10(27); }, full, Pixels::Rgba,
            accepted("DXGI 27 R8G8B8A8_TYPELESS", "converted: red and blue swapped")),
        made(
            "Rgba28", [] { return dx10(28); }, full, Pixels::Rgba,
            accepted("DXGI 28 R8G8B8A8_UNORM", "converted: red and blue swapped")),
        made(
            "RgbaSrgb29", [] { return dx10(29); }, full, Pixels::Rgba,
            accepted("DXGI 29 R8G8B8A8_UNORM_SRGB", "converted: red and blue swapped")),
        made(
            "UnknownDimensionNoArraySize", [] { return dx10(28, 0, 0, 0); }, full, Pixels::Rgba,
            accepted("DXGI 28 R8G8B8A8_UNORM", "converted: red and blue swapped")),
        made(
            "PremultipliedAlphaMode", [] { return dx10(87, 3, 0, 1, 2); }, full, Pixels::Bgra,
            accepted("DXGI 87 B8G8R8A8_UNORM", "pixels used as they are, header rewritten")),
        made(
            "WithMips", [] { return dx10(28); }, full + kPixels * 4 / 3, Pixels::Rgba,
            accepted("DXGI 28 R8G8B8A8_UNORM",
                     "converted: red and blue swapped; 1,398,101 bytes after the picture dropped")),
        made(
            "Bc1Typeless70", [] { return dx10(70); }, bc1, Pixels::Bc1,
            accepted("DXGI 70 BC1_TYPELESS", "converted: DXGI 70 BC1_TYPELESS decoded")),
        made(
            "Bc1_71", [] { return dx10(71); }, bc1, Pixels::Bc1,
            accepted("DXGI 71 BC1_UNORM", "converted: DXGI 71 BC1_UNORM decoded")),
        made(
            "Bc2_74", [] { return dx10(74); }, bc3, Pixels::Bc2,
            accepted("DXGI 74 BC2_UNORM", "converted: DXGI 74 BC2_UNORM decoded")),
        made(
            "Bc3_77", [] { return dx10(77); }, bc3, Pixels::Bc3,
            accepted("DXGI 77 BC3_UNORM", "converted: DXGI 77 BC3_UNORM decoded")),
        made(
            "Bc3Srgb78", [] { return dx10(78); }, bc3, Pixels::Bc3,
            accepted("DXGI 78 BC3_UNORM_SRGB", "converted: DXGI 78 BC3_UNORM_SRGB decoded")),
        made(
            "CubeMap", [] { return dx10(87, 3, 0x4, 1); }, full * 6, Pixels::Bgra,
            refused(ErrorKind::Unsupported,
                    {"it is a cube map; the game's tile is one 1024x1024 picture", "PNG"})),
        made(
            "Array", [] { return dx10(87, 3, 0, 2); }, full * 2, Pixels::Bgra,
            refused(ErrorKind::Unsupported,
                    {"it is an array of 2 textures; the game's tile is one 1024x1024 picture"})),
        made(
            "Volume", [] { return dx10(87, 4); }, full, Pixels::Bgra,
            refused(ErrorKind::Unsupported, {"it is a volume texture; the game's tile is one"})),
        made(
            "OneDimensional", [] { return dx10(87, 2); }, full, Pixels::Bgra,
            refused(ErrorKind::Unsupported, {"it is a one-dimensional texture"})),
        made(
            "BadDimension", [] { return dx10(87, 9); }, full, Pixels::Bgra,
            refused(ErrorKind::Damaged, {"resource dimension 9"})),
        made(
            "Bc7", [] { return dx10(98); }, bc3, Pixels::None,
            refused(ErrorKind::Unsupported,
                    {"it is DXGI 98 BC7_UNORM; ", kBlocksOnly, kGeneralFix})),
        made(
            "Bc6h", [] { return dx10(95); }, bc3, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 95 BC6H_UF16; ", kBlocksOnly})),
        made(
            "Bc4", [] { return dx10(80); }, bc1, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 80 BC4_UNORM; ", kBlocksOnly})),
        made(
            "Bc5", [] { return dx10(83); }, bc3, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 83 BC5_UNORM; ", kBlocksOnly})),
        made(
            "HalfFloat", [] { return dx10(10); }, 148 + kPixels * 8, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 10 R16G16B16A16_FLOAT; ", kBits})),
        made(
            "TenBit", [] { return dx10(24); }, full, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 24 R10G10B10A2_UNORM; ", kBits})),
        made(
            "SixteenBit", [] { return dx10(85); }, 148 + kPixels * 2, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 85 B5G6R5_UNORM; ", kBits})),
        made(
            "FourBit", [] { return dx10(115); }, 148 + kPixels * 2, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 115 B4G4R4A4_UNORM; ", kBits})),
        made(
            "Integer", [] { return dx10(30); }, full, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 30 R8G8B8A8_UINT; "})),
        made(
            "OneChannel", [] { return dx10(61); }, 148 + kPixels, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 61 R8_UNORM; ", kColour})),
        made(
            "UnknownFormat", [] { return dx10(200); }, full, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is DXGI 200 (unknown); "})),
        made(
            "NoFormat", [] { return dx10(0); }, full, Pixels::None,
            refused(ErrorKind::Damaged, {"it is DXGI 0 UNKNOWN; "})),
        made(
            "CutInsideDx10Header", [] { return dx10(87); }, 140, Pixels::None,
            refused(ErrorKind::Damaged,
                    {"the file is 140 bytes, shorter than its 148-byte DX10 header"})),
        made(
            "OneByteShort", [] { return dx10(87); }, full - 1, Pixels::Bgra,
            refused(ErrorKind::Damaged,
                    {"the file is 4,194,451 bytes", "needs 4,194,452", "cut short"})),
    };
    return rows;
}

const std::vector<Case>& legacyCases() {
    static const std::vector<Case> rows{
        made(
            "GameHeader", [] { return makeDdsHeader(); }, kGameSize, Pixels::Masks,
            accepted(kGameLayout, "used as it is", true)),
        made(
            "ZeroFlags",
            [] {
                return legacy([](Bytes& h) {
                    writeLe32(h, 8, 0);
                    writeLe32(h, 80, 0);
                });
            },
            kGameSize, Pixels::Masks,
            accepted(kGameLayout, "pixels used as they are, header rewritten")),
        made(
            "OnlyWidthHeightFlags", [] { return legacy([](Bytes& h) { writeLe32(h, 8, 0x6); }); },
            kGameSize, Pixels::Masks,
            accepted(kGameLayout, "pixels used as they are, header rewritten")),
        made(
            "PitchZero", [] { return legacy([](Bytes& h) { writeLe32(h, 20, 0); }); }, kGameSize,
            Pixels::Masks, accepted(kGameLayout, "pixels used as they are, header rewritten")),
        made(
            "PitchWrong", [] { return legacy([](Bytes& h) { writeLe32(h, 20, 1234567); }); },
            kGameSize, Pixels::Masks,
            accepted(kGameLayout, "pixels used as they are, header rewritten")),
        made(
            "PixelFormatSizeWrong", [] { return legacy([](Bytes& h) { writeLe32(h, 76, 0); }); },
            kGameSize, Pixels::Masks,
            accepted(kGameLayout, "pixels used as they are, header rewritten")),
        made(
            "MipFlagsButNoMips",
            [] {
                return legacy([](Bytes& h) {
                    writeLe32(h, 8, 0x2100F);
                    writeLe32(h, 28, 0);
                    writeLe32(h, 108, 0x401008);
                });
            },
            kGameSize, Pixels::Masks, accepted(kGameLayout, "used as it is", true)),
        made(
            "MipCountOnlyWithoutFlag",
            [] { return legacy([](Bytes& h) { writeLe32(h, 28, 11); }); }, kWithMips, Pixels::Masks,
            accepted(kGameLayout, "used as it is; 10 smaller mip levels dropped", true, "", 11)),
        made(
            "MipsWithoutMipCount", [] { return makeDdsHeader(); }, kWithMips, Pixels::Masks,
            accepted(kGameLayout, "used as it is; 1,398,100 bytes after the picture dropped",
                     true)),
        made(
            "AlphaMaskWithoutAlphaFlag",
            [] { return legacy([](Bytes& h) { writeLe32(h, 80, 0x40); }); }, kGameSize,
            Pixels::Masks, accepted(kGameLayout, "pixels used as they are, header rewritten")),
        made(
            "X8R8G8B8",
            [] {
                return legacy([](Bytes& h) { setMasks(h, 0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0); });
            },
            kGameSize, Pixels::Masks,
            accepted("32-bit X8R8G8B8 (bytes B,G,R,X)", "converted: alpha set to 255")),
        made(
            "X8B8G8R8",
            [] {
                return legacy([](Bytes& h) { setMasks(h, 0x40, 32, 0xFF, 0xFF00, 0xFF0000, 0); });
            },
            kGameSize, Pixels::Masks,
            accepted("32-bit X8B8G8R8 (bytes R,G,B,X)",
                     "converted: red and blue swapped, alpha set to 255")),
        made(
            "B8G8R8A8Masks",
            [] {
                return legacy(
                    [](Bytes& h) { setMasks(h, 0x41, 32, 0xFF00, 0xFF0000, 0xFF000000, 0xFF); });
            },
            kGameSize, Pixels::Masks,
            accepted("32-bit B8G8R8A8 (bytes A,R,G,B)",
                     "converted: channels reordered, alpha moved")),
        made(
            "TwentyFourBitRgbBytes",
            [] {
                return legacy([](Bytes& h) { setMasks(h, 0x40, 24, 0xFF, 0xFF00, 0xFF0000, 0); });
            },
            128 + kPixels * 3, Pixels::Masks,
            accepted("24-bit B8G8R8 (bytes R,G,B)",
                     "converted: 24-bit to 32-bit, red and blue swapped, alpha set to 255")),
        made(
            "D3dFormatCode21", [] { return legacy([](Bytes& h) { setCode(h, 21); }); }, kGameSize,
            Pixels::Bgra,
            accepted("32-bit A8R8G8B8 (bytes B,G,R,A), as D3DFMT code 21",
                     "pixels used as they are, header rewritten")),
        made(
            "D3dFormatCode32", [] { return legacy([](Bytes& h) { setCode(h, 32); }); }, kGameSize,
            Pixels::Rgba,
            accepted("32-bit A8B8G8R8 (bytes R,G,B,A), as D3DFMT code 32",
                     "converted: red and blue swapped")),
        made(
            "Dxt1CodeWithoutFlag",
            [] {
                return legacy([](Bytes& h) {
                    setCode(h, fourCc("DXT1"));
                    writeLe32(h, 80, 0);
                });
            },
            128 + kPixels / 2, Pixels::Bc1,
            accepted("BC1 / DXT1", "converted: BC1 / DXT1 decoded")),
        made(
            "Dxt3", [] { return legacy([](Bytes& h) { setCode(h, fourCc("DXT3")); }); },
            128 + kPixels, Pixels::Bc2, accepted("BC2 / DXT3", "converted: BC2 / DXT3 decoded")),
        made(
            "Dxt2", [] { return legacy([](Bytes& h) { setCode(h, fourCc("DXT2")); }); },
            128 + kPixels, Pixels::None,
            refused(ErrorKind::Unsupported,
                    {"it is BC2 / DXT2 (premultiplied alpha); ", "premultiplied"})),
        made(
            "Dxt4", [] { return legacy([](Bytes& h) { setCode(h, fourCc("DXT4")); }); },
            128 + kPixels, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is BC3 / DXT4 (premultiplied alpha); "})),
        made(
            "Ati1", [] { return legacy([](Bytes& h) { setCode(h, fourCc("ATI1")); }); },
            128 + kPixels / 2, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is BC4 / ATI1; ", kBlocksOnly})),
        made(
            "Ati2", [] { return legacy([](Bytes& h) { setCode(h, fourCc("ATI2")); }); },
            128 + kPixels, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is BC5 / ATI2; ", kBlocksOnly})),
        made(
            "Bc4U", [] { return legacy([](Bytes& h) { setCode(h, fourCc("BC4U")); }); },
            128 + kPixels / 2, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is BC4 / BC4U; ", kBlocksOnly})),
        made(
            "Bc5S", [] { return legacy([](Bytes& h) { setCode(h, fourCc("BC5S")); }); },
            128 + kPixels, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is BC5 / BC5S; ", kBlocksOnly})),
        made(
            "HalfFloatCode", [] { return legacy([](Bytes& h) { setCode(h, 113); }); },
            128 + kPixels * 8, Pixels::None,
            refused(ErrorKind::Unsupported,
                    {"it is floating-point A16B16G16R16F (D3DFMT 113); ", kBits})),
        made(
            "FloatCode", [] { return legacy([](Bytes& h) { setCode(h, 116); }); },
            128 + kPixels * 16, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is floating-point A32B32G32R32F (D3DFMT 116); "})),
        made(
            "SixteenBitPerChannelCode", [] { return legacy([](Bytes& h) { setCode(h, 36); }); },
            128 + kPixels * 8, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is 64-bit A16B16G16R16 (D3DFMT 36); ", kBits})),
        made(
            "UnknownCode", [] { return legacy([](Bytes& h) { setCode(h, fourCc("ABCD")); }); },
            kGameSize, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is format code \"ABCD\"; "})),
        made(
            "Luminance",
            [] { return legacy([](Bytes& h) { setMasks(h, 0x20000, 8, 0xFF, 0, 0, 0); }); },
            128 + kPixels, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is 8-bit luminance (grey) L8; ", kColour})),
        made(
            "LuminanceAlpha",
            [] { return legacy([](Bytes& h) { setMasks(h, 0x20001, 16, 0xFF, 0, 0, 0xFF00); }); },
            128 + kPixels * 2, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is 16-bit luminance (grey) A8L8; "})),
        made(
            "AlphaOnly",
            [] { return legacy([](Bytes& h) { setMasks(h, 0x2, 8, 0, 0, 0, 0xFF); }); },
            128 + kPixels, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is 8-bit A8, alpha only; ", kColour})),
        made(
            "Yuv",
            [] {
                return legacy([](Bytes& h) { setMasks(h, 0x200, 32, 0xFF0000, 0xFF00, 0xFF, 0); });
            },
            kGameSize, Pixels::None, refused(ErrorKind::Unsupported, {"it is 32-bit YUV; "})),
        made(
            "TenBitMasks",
            [] {
                return legacy([](Bytes& h) {
                    setMasks(h, 0x41, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000);
                });
            },
            kGameSize, Pixels::Masks,
            refused(ErrorKind::Unsupported, {"it is 32-bit A2B10G10R10; ", kBits})),
        made(
            "A1R5G5B5",
            [] {
                return legacy([](Bytes& h) { setMasks(h, 0x41, 16, 0x7C00, 0x3E0, 0x1F, 0x8000); });
            },
            128 + kPixels * 2, Pixels::Masks,
            refused(ErrorKind::Unsupported, {"it is 16-bit A1R5G5B5; ", kBits})),
        made(
            "X1R5G5B5",
            [] { return legacy([](Bytes& h) { setMasks(h, 0x40, 16, 0x7C00, 0x3E0, 0x1F, 0); }); },
            128 + kPixels * 2, Pixels::Masks,
            refused(ErrorKind::Unsupported, {"it is 16-bit X1R5G5B5; ", kBits})),
        made(
            "A4R4G4B4",
            [] {
                return legacy([](Bytes& h) { setMasks(h, 0x41, 16, 0xF00, 0xF0, 0xF, 0xF000); });
            },
            128 + kPixels * 2, Pixels::Masks,
            refused(ErrorKind::Unsupported, {"it is 16-bit A4R4G4B4; ", kBits})),
        made(
            "TwoChannels",
            [] {
                return legacy([](Bytes& h) { setMasks(h, 0x40, 32, 0xFFFF, 0xFFFF0000, 0, 0); });
            },
            kGameSize, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is 32-bit G16R16; ", kColour})),
        made(
            "OverlappingMasks",
            [] {
                return legacy(
                    [](Bytes& h) { setMasks(h, 0x41, 32, 0xFF0000, 0xFFFF00, 0xFF, 0xFF000000); });
            },
            kGameSize, Pixels::None,
            refused(ErrorKind::Damaged, {"channel masks R 00FF0000, G 00FFFF00", "overlap"})),
        made(
            "MaskOutsideBitCount", [] { return legacy([](Bytes& h) { writeLe32(h, 88, 24); }); },
            kGameSize, Pixels::None, refused(ErrorKind::Damaged, {"24-bit with channel masks"})),
        made(
            "NoPixelFormat",
            [] { return legacy([](Bytes& h) { setMasks(h, 0, 32, 0, 0, 0, 0); }); }, kGameSize,
            Pixels::None, refused(ErrorKind::Damaged, {"without a pixel format"})),
        made(
            "OddBitCount", [] { return legacy([](Bytes& h) { writeLe32(h, 88, 33); }); }, kGameSize,
            Pixels::None, refused(ErrorKind::Damaged, {"a bit count of 33"})),
        made(
            "CubeMapCaps",
            [] {
                return legacy([](Bytes& h) {
                    writeLe32(h, 108, 0x1008);
                    writeLe32(h, 112, 0xFE00);
                });
            },
            kGameSize * 6, Pixels::Masks,
            refused(ErrorKind::Unsupported,
                    {"it is a cube map; the game's tile is one 1024x1024 picture"})),
        made(
            "VolumeCaps",
            [] {
                return legacy([](Bytes& h) {
                    writeLe32(h, 112, 0x200000);
                    writeLe32(h, 24, 4);
                });
            },
            kGameSize * 4, Pixels::Masks,
            refused(ErrorKind::Unsupported, {"it is a volume texture"})),
        made(
            "DepthFlag",
            [] {
                return legacy([](Bytes& h) {
                    writeLe32(h, 8, 0x80100F);
                    writeLe32(h, 24, 2);
                });
            },
            kGameSize * 2, Pixels::Masks,
            refused(ErrorKind::Unsupported, {"it is a volume texture"})),
        made(
            "DepthOneIsFine",
            [] {
                return legacy([](Bytes& h) {
                    writeLe32(h, 8, 0x80100F);
                    writeLe32(h, 24, 1);
                });
            },
            kGameSize, Pixels::Masks, accepted(kGameLayout, "used as it is", true)),
        made(
            "Wider", [] { return makeDdsHeader(2048, 1024); }, 128 + kPixels * 8, Pixels::None,
            refused(ErrorKind::Unsupported, {"it is 2048x1024; the game's tile is 1024x1024"})),
        made(
            "ZeroSize", [] { return makeDdsHeader(0, 0); }, 128, Pixels::None,
            refused(ErrorKind::Damaged, {"its header gives a size of 0x0"})),
        // Refused from the header, before anything is allocated for its pixels.
        made(
            "TooLargeToDecode", [] { return makeDdsHeader(16384, 8193); }, 128, Pixels::None,
            refused(ErrorKind::Unsupported,
                    {"it is 16384x8193, far larger than the game's 1024x1024 tile"})),
        made(
            "OneByteShort", [] { return makeDdsHeader(); }, kGameSize - 1, Pixels::Masks,
            refused(ErrorKind::Damaged,
                    {"the file is 4,194,431 bytes, but its header describes a 1024x1024 "
                     "32-bit A8R8G8B8 (bytes B,G,R,A) picture that needs 4,194,432: it was cut "
                     "short; save it again"})),
        made(
            "Dxt5CutShort", [] { return legacy([](Bytes& h) { setCode(h, fourCc("DXT5")); }); },
            600'000, Pixels::Bc3,
            refused(ErrorKind::Damaged,
                    {"the file is 600,000 bytes", "BC3 / DXT5", "needs 1,048,704"})),
        made(
            "HeaderOnly", [] { return makeDdsHeader(); }, 128, Pixels::None,
            refused(ErrorKind::Damaged, {"the file is 128 bytes", "needs 4,194,432"})),
        made(
            "CutInsideHeader", [] { return makeDdsHeader(); }, 100, Pixels::None,
            refused(ErrorKind::Damaged,
                    {"the file is 100 bytes, shorter than the 128-byte DDS header"})),
        made(
            "NoMagic", [] { return legacy([](Bytes& h) { h[3] = 'X'; }); }, kGameSize,
            Pixels::Masks, refused(ErrorKind::Damaged, {"it is not a DDS image"})),
        made(
            "Png", [] { return Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}; }, 8,
            Pixels::None, refused(ErrorKind::Damaged, {"it is not a DDS image"})),
        made(
            "Empty", [] { return Bytes{}; }, 0, Pixels::None,
            refused(ErrorKind::Damaged, {"it is not a DDS image"})),
        made(
            "HeaderSize", [] { return legacy([](Bytes& h) { writeLe32(h, 4, 125); }); }, kGameSize,
            Pixels::Masks, refused(ErrorKind::Damaged, {"its header size is 125, not 124"})),
    };
    return rows;
}

// Header, first picture, then 0xA5 up to the length (mip levels), or cut at the length.
Bytes buildFile(const Case& c, Bytes& expected) {
    Bytes file = c.header();
    const Bytes level = firstLevel(c.pixels, file, expected);
    file.insert(file.end(), level.begin(), level.end());
    file.resize(static_cast<std::size_t>(c.size), 0xA5);
    return file;
}

Bytes withSingleLevel(Bytes header) {
    header.resize(128);
    writeLe32(header, 8, readLe32(header, 8) & ~0x20000u);
    writeLe32(header, 28, 0);
    writeLe32(header, 108, readLe32(header, 108) & ~0x400008u);
    return header;
}

// What every header the reader gives to Pack must say.
void expectGameHeader(const Bytes& block) {
    ASSERT_EQ(block.size(), kImageBlockSize);
    EXPECT_TRUE(block[0] == 'D' && block[1] == 'D' && block[2] == 'S' && block[3] == ' ');
    EXPECT_EQ(readLe32(block, 4), 124u);
    EXPECT_EQ(readLe32(block, 8) & 0x20000u, 0u);
    EXPECT_LE(readLe32(block, 28), 1u);
    EXPECT_EQ(readLe32(block, 12), 1024u);
    EXPECT_EQ(readLe32(block, 16), 1024u);
    EXPECT_EQ(readLe32(block, 20), 4096u);
    EXPECT_EQ(readLe32(block, 80) & 0x45u, 0x41u); // RGB, alpha, no format code
    EXPECT_EQ(readLe32(block, 88), 32u);
    EXPECT_EQ(readLe32(block, 92), 0x00FF0000u);
    EXPECT_EQ(readLe32(block, 96), 0x0000FF00u);
    EXPECT_EQ(readLe32(block, 100), 0x000000FFu);
    EXPECT_EQ(readLe32(block, 104), 0xFF000000u);
    EXPECT_EQ(readLe32(block, 108) & 0x400008u, 0u);
    EXPECT_EQ(readLe32(block, 112), 0u);
}

// The reader's picture as Pack's input step makes it into the game's image block, with what
// Pack says it did; the reader's own refusal first.
struct PackedDds {
    Bytes block;
    DdsLayout layout;
    std::string action;
};
Result<PackedDds> packDds(const Bytes& file) {
    auto picture = readDdsPicture(file);
    if (!picture)
        return fail(picture.error());
    auto packed = prepareImage(file, nullptr);
    if (!packed)
        return fail(packed.error());
    return PackedDds{std::move(packed->block), std::move(picture->layout),
                     std::move(packed->action)};
}

std::string describe(const Error& e) {
    return "kind " + std::to_string(int(e.kind)) + ": " + e.reason;
}

class DdsRead : public testing::TestWithParam<Case> {};

TEST_P(DdsRead, GivesTheGamePixelsOrSaysWhy) {
    const Case& c = GetParam();
    Bytes expected;
    const Bytes file = buildFile(c, expected);
    ASSERT_EQ(file.size(), c.size);

    const auto image = packDds(file);
    const auto head = std::span(file).first(std::min<std::size_t>(file.size(), kDdsInspectBytes));
    const auto inspected = inspectDdsHeader(head, file.size());
    if (c.expect.format) {
        ASSERT_TRUE(image.has_value()) << describe(image.error());
        const DdsLayout& layout = image->layout;
        EXPECT_EQ(layout.format, c.expect.format);
        EXPECT_EQ(image->action, c.expect.action);
        EXPECT_EQ(layout.writer, c.expect.writer);
        EXPECT_EQ(layout.mipCount, c.expect.mipCount);
        EXPECT_EQ(layout.width, 1024u);
        EXPECT_EQ(layout.height, 1024u);
        EXPECT_LE(layout.neededBytes, file.size());
        ASSERT_EQ(image->block.size(), kImageBlockSize);
        expectGameHeader(image->block);
        const Bytes header(image->block.begin(), image->block.begin() + 128);
        if (c.expect.keepsHeader)
            EXPECT_EQ(header, withSingleLevel(Bytes(file.begin(), file.begin() + 128)));
        else
            EXPECT_EQ(header, makeDdsHeader(1024, 1024));
        ASSERT_EQ(expected.size(), kPixels * 4);
        const auto first =
            std::mismatch(expected.begin(), expected.end(), image->block.begin() + 128);
        EXPECT_TRUE(first.first == expected.end())
            << "first wrong byte at pixel " << (first.first - expected.begin()) / 4 << ", channel "
            << (first.first - expected.begin()) % 4 << ": " << int(*first.second) << " instead of "
            << int(*first.first);
        ASSERT_TRUE(inspected.has_value()) << describe(inspected.error());
        EXPECT_EQ(*inspected, layout);
    } else {
        ASSERT_FALSE(image.has_value()) << image->layout.format << ", " << image->action;
        const std::string& reason = image.error().reason;
        EXPECT_EQ(image.error().kind, c.expect.kind) << reason;
        for (const std::string& piece : c.expect.says)
            EXPECT_NE(reason.find(piece), std::string::npos)
                << "\"" << piece << "\" not in: " << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
        EXPECT_TRUE(reason.rfind("it is ", 0) == 0 || reason.rfind("the file is ", 0) == 0)
            << reason;
        // Every refusal ends in one way to fix it.
        const bool fixed = reason.find("GIMP") != std::string::npos ||
                           reason.find("ImageMagick") != std::string::npos ||
                           reason.find("nvcompress") != std::string::npos ||
                           reason.find("PNG") != std::string::npos ||
                           reason.find("resize it") != std::string::npos ||
                           reason.find("save it again") != std::string::npos;
        EXPECT_TRUE(fixed) << reason;
        // The reader reads any size; only Pack holds to the game's.
        if (inspected && (inspected->width != 1024 || inspected->height != 1024)) {
            EXPECT_NE(reason.find("resize it in your editor"), std::string::npos) << reason;
            return;
        }
        ASSERT_FALSE(inspected.has_value());
        EXPECT_EQ(inspected.error().kind, image.error().kind);
        EXPECT_EQ(inspected.error().reason, reason);
    }
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(RealTools, DdsRead, testing::ValuesIn(realCases()), caseName);

// The whole road for what real tools write: every file with usable pixels packs into a game
// file, and unpacking that gives exactly the expected pixels under the game's header.
class DdsRoundTrip : public testing::TestWithParam<Case> {};

TEST_P(DdsRoundTrip, PacksAndUnpacksToTheExpectedPixels) {
    Bytes expected;
    const Bytes file = buildFile(GetParam(), expected);
    TempFolder app;
    TempFolder user;
    writeFile(app / "WE00", Bytes(48, 7));
    writeFile(user / "in.dds", file);
    DeflateCompressionComponent component;
    const auto packed = runPack(app.path(), (user / "in.dds").string(), (user / "g").string(),
                                "topModeSelect_Mov00_Ex.tex", component);
    ASSERT_TRUE(packed) << failureText(packed);
    ASSERT_TRUE(copyToWorkFile(user / "g.bin", app.path(), WorkFile::Temp));
    const auto unpacked = runUnpack(app.path(), "g.bin", (user / "back").string(), component);
    ASSERT_TRUE(unpacked) << failureText(unpacked);
    const Bytes back = readFile(user / "back.dds");
    expectGameHeader(back);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), back.begin() + 128));
}

std::vector<Case> acceptedRealCases() {
    std::vector<Case> rows;
    std::copy_if(realCases().begin(), realCases().end(), std::back_inserter(rows),
                 [](const Case& c) { return c.expect.format != nullptr; });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(RealTools, DdsRoundTrip, testing::ValuesIn(acceptedRealCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Dx10, DdsRead, testing::ValuesIn(dx10Cases()), caseName);
INSTANTIATE_TEST_SUITE_P(Made, DdsRead, testing::ValuesIn(legacyCases()), caseName);

// ---- Beyond the table -----------------------------------------------------------------

// The table covers every header in the folder, at the size its README gives.
TEST(DdsReadHeaders, TheTableCoversTheFolderAndItsReadme) {
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(kDdsHeadersDir))
        if (entry.path().extension() == ".hdr")
            files.insert(entry.path().filename().string());
    std::map<std::string, std::uint64_t> readme;
    const std::string text = readText(fs::path(kDdsHeadersDir) / "README.md");
    const std::regex row(R"(\| `([^`]+\.hdr)` \| ([0-9,]+) \|)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row);
         it != std::sregex_iterator(); ++it) {
        std::string digits = (*it)[2];
        digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
        readme[(*it)[1]] = std::stoull(digits);
    }
    std::set<std::string> tested;
    for (const Case& c : realCases()) {
        const std::string file = c.name + ".hdr";
        tested.insert(file);
        ASSERT_TRUE(readme.count(file)) << file;
        EXPECT_EQ(readme[file], c.size) << file;
        EXPECT_EQ(headerFile(file).size(), 128u) << file;
    }
    EXPECT_EQ(tested, files);
    EXPECT_EQ(readme.size(), files.size());
}

// The fix names the tool that wrote the file when the header says.
TEST(DdsReadMessages, SuggestTheToolThatWroteTheFile) {
    const auto refusal = [](Bytes header) {
        setCode(header, fourCc("ATI2"));
        header.resize(128 + kPixels, 0);
        const auto result = packDds(header);
        return result ? std::string() : result.error().reason;
    };
    EXPECT_NE(refusal(headerFile("gimp_rgba_filesave_default.hdr")).find(kGimpFix),
              std::string::npos);
    EXPECT_NE(refusal(headerFile("im_default_rgb.hdr"))
                  .find("convert it again with ImageMagick (convert picture.png -alpha on -define "
                        "dds:compression=none -define dds:mipmaps=0 tile.dds)"),
              std::string::npos);
    EXPECT_NE(refusal(headerFile("nv_rgb.hdr")).find("nvcompress -rgb -alpha -nomips"),
              std::string::npos);
    EXPECT_NE(refusal(headerFile("pil_rgba.hdr")).find(kGeneralFix), std::string::npos);
}

// Hand-made blocks with exact colours, decoded independently of squish.
std::uint16_t rgb565(unsigned r, unsigned g, unsigned b) {
    return static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

void putColourBlock(std::uint8_t* at, std::uint16_t c0, std::uint16_t c1,
                    const unsigned (&rows)[4]) {
    at[0] = std::uint8_t(c0);
    at[1] = std::uint8_t(c0 >> 8);
    at[2] = std::uint8_t(c1);
    at[3] = std::uint8_t(c1 >> 8);
    for (int y = 0; y < 4; ++y) // the same index for the four pixels of a row
        at[4 + y] = std::uint8_t(rows[y] * 0x55);
}

struct Bgra {
    std::uint8_t b, g, r, a;
};

// Every block alike; expected pixel colour per row of the block.
void expectBlocks(const Bytes& file, const Bgra (&rows)[4]) {
    const auto image = packDds(file);
    ASSERT_TRUE(image.has_value()) << describe(image.error());
    const std::uint8_t* px = image->block.data() + 128;
    for (std::size_t i = 0; i < kPixels; ++i, px += 4) {
        const Bgra& want = rows[(i / kSide) % 4];
        ASSERT_TRUE(px[0] == want.b && px[1] == want.g && px[2] == want.r && px[3] == want.a)
            << "pixel " << i << ": " << int(px[0]) << "," << int(px[1]) << "," << int(px[2]) << ","
            << int(px[3]);
    }
}

TEST(DdsReadBlocks, Dxt1ExactColoursAndTransparency) {
    // Four-colour mode (c0 > c1): red and green at the ends.
    Bytes file = legacy([](Bytes& h) { setCode(h, fourCc("DXT1")); });
    file.resize(128 + kPixels / 2);
    for (std::size_t at = 128; at < file.size(); at += 8)
        putColourBlock(&file[at], rgb565(255, 0, 0), rgb565(0, 255, 0), {0, 1, 0, 1});
    expectBlocks(file, {{0, 0, 255, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {0, 255, 0, 255}});
    // Three-colour mode (c0 <= c1): index 3 is transparent black.
    for (std::size_t at = 128; at < file.size(); at += 8)
        putColourBlock(&file[at], rgb565(0, 0, 255), rgb565(255, 255, 255), {0, 1, 3, 3});
    expectBlocks(file, {{255, 0, 0, 255}, {255, 255, 255, 255}, {0, 0, 0, 0}, {0, 0, 0, 0}});
}

TEST(DdsReadBlocks, Dxt3ExplicitAlpha) {
    Bytes file = dx10(74);
    file.resize(148 + kPixels);
    for (std::size_t at = 148; at < file.size(); at += 16) {
        const std::uint8_t alphaRows[4] = {0xF, 0x8, 0x0, 0x1}; // 4 bits a pixel, value * 17
        for (int y = 0; y < 4; ++y) {
            file[at + 2 * y] = std::uint8_t(alphaRows[y] | alphaRows[y] << 4);
            file[at + 2 * y + 1] = std::uint8_t(alphaRows[y] | alphaRows[y] << 4);
        }
        putColourBlock(&file[at + 8], rgb565(0, 0, 255), rgb565(255, 255, 255), {1, 0, 1, 0});
    }
    expectBlocks(file,
                 {{255, 255, 255, 255}, {255, 0, 0, 136}, {255, 255, 255, 0}, {255, 0, 0, 17}});
}

TEST(DdsReadBlocks, Dxt5InterpolatedAlphaEnds) {
    Bytes file = legacy([](Bytes& h) { setCode(h, fourCc("DXT5")); });
    file.resize(128 + kPixels);
    for (std::size_t at = 128; at < file.size(); at += 16) {
        file[at] = 200;    // alpha 0
        file[at + 1] = 40; // alpha 1
        // 3-bit indices: rows 0-1 index 0 (200), rows 2-3 index 1 (40).
        std::uint64_t indices = 0;
        for (int i = 8; i < 16; ++i)
            indices |= std::uint64_t(1) << (3 * i);
        for (int k = 0; k < 6; ++k)
            file[at + 2 + k] = std::uint8_t(indices >> (8 * k));
        putColourBlock(&file[at + 8], rgb565(255, 0, 0), rgb565(0, 0, 255), {0, 1, 1, 0});
    }
    expectBlocks(file, {{0, 0, 255, 200}, {255, 0, 0, 200}, {255, 0, 0, 40}, {0, 0, 255, 40}});
}

TEST(DdsSingleMipLevel, MakesTheMipFieldsTrueAndLeavesTheRest) {
    Bytes header = headerFile("gimp_rgba_none_mips_fmt0.hdr");
    Bytes before = header;
    setSingleMipLevel(std::span<std::uint8_t, kDdsHeaderSize>(header.data(), kDdsHeaderSize));
    EXPECT_EQ(readLe32(header, 8), 0x100Fu);
    EXPECT_EQ(readLe32(header, 28), 0u);
    EXPECT_EQ(readLe32(header, 108), 0x1000u);
    for (std::size_t at : {8u, 28u, 108u})
        writeLe32(before, at, readLe32(header, at));
    EXPECT_EQ(header, before);
    // Already one level: nothing changes but the count.
    Bytes game = makeDdsHeader();
    setSingleMipLevel(std::span<std::uint8_t, kDdsHeaderSize>(game.data(), kDdsHeaderSize));
    EXPECT_EQ(game, makeDdsHeader());
}

// inspectDdsHeader needs only the start of the file.
TEST(DdsInspect, NeedsOnlyTheHeader) {
    const Bytes header = headerFile("gimp_rgba_dxt5_mips.hdr");
    const auto layout = inspectDdsHeader(header, 1'398'256);
    ASSERT_TRUE(layout.has_value()) << describe(layout.error());
    EXPECT_EQ(layout->format, "BC3 / DXT5");
    EXPECT_EQ(layout->writer, "GIMP-DDS");
    EXPECT_EQ(layout->mipCount, 11u);
    EXPECT_EQ(layout->neededBytes, 128u + 1'048'576u);
    const auto shortFile = inspectDdsHeader(header, 1'000'000);
    ASSERT_FALSE(shortFile.has_value());
    EXPECT_EQ(shortFile.error().kind, ErrorKind::Damaged);
    // Told a longer file than the bytes it was given: it says so rather than read past them.
    const auto partial = inspectDdsHeader(std::span(header).first(64), 1'398'256);
    ASSERT_FALSE(partial.has_value());
    EXPECT_EQ(partial.error().kind, ErrorKind::ReadFailed);
}

} // namespace
} // namespace velmora::test
