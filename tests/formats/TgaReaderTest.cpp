// The TGA reader on files written here from a known picture in every layout it takes, in both
// row orders, uncompressed and RLE; on damaged files, which must be refused without reading past
// the buffer (the sanitizer build runs these too); and on files that are no TGA at all.
#include "ConversionTestSupport.h"

#include "formats/PictureFormats.h"
#include "formats/PngWriter.h"
#include "formats/TgaReader.h"
#include "workflows/ImageInput.h"
#include "workflows/ShownPicture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <ostream>
#include <random>
#include <string>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

// ---- A small TGA writer -------------------------------------------------------------------

using Bgra = std::array<std::uint8_t, 4>;

// The picture every file carries: indices into a 40-colour table in runs of three, with whole
// rows of one colour, so RLE packets reach 128 pixels and run on from one row to the next.
constexpr std::uint32_t kWidth = 150, kHeight = 7;

unsigned indexAt(std::uint32_t x, std::uint32_t y) {
    return y % 3 == 2 ? 0 : (x / 3 + y * 7) % 40;
}

Bgra tableColour(unsigned k) {
    return {static_cast<std::uint8_t>(k * 6), static_cast<std::uint8_t>(255 - k * 5),
            static_cast<std::uint8_t>(k * 37), static_cast<std::uint8_t>(k * 53)};
}

enum Origin : std::uint8_t { BottomLeft = 0x00, TopLeft = 0x20, BottomRight = 0x10 };

struct TgaCase {
    std::string name;
    std::uint8_t type = 2;
    std::uint8_t bits = 32; // of a pixel, or of a colour-map entry for types 1 and 9
    std::uint8_t attributeBits = 0;
    Origin origin = BottomLeft;
};

void PrintTo(const TgaCase& c, std::ostream* out) {
    *out << c.name;
}

// One colour as stored in `bits` bits of the given image type.
Bytes stored(const Bgra& c, unsigned bits, bool grey) {
    if (grey)
        return bits == 8 ? Bytes{c[1]} : Bytes{c[1], c[3]};
    switch (bits) {
    case 15:
    case 16: {
        const unsigned v =
            (c[0] >> 3) | (c[1] >> 3) << 5 | (c[2] >> 3) << 10 | (c[3] >= 128 ? 0x8000u : 0u);
        return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    }
    case 24:
        return {c[0], c[1], c[2]};
    default:
        return {c[0], c[1], c[2], c[3]};
    }
}

// What the reader must give for that stored colour.
Bgra expected(const Bgra& c, unsigned bits, bool grey, bool alpha) {
    const auto wide = [](std::uint8_t v) {
        return static_cast<std::uint8_t>(std::lround((v >> 3) * 255.0 / 31));
    };
    if (grey)
        return {c[1], c[1], c[1], bits == 16 && alpha ? c[3] : std::uint8_t(255)};
    if (bits == 15 || bits == 16)
        return {wide(c[0]), wide(c[1]), wide(c[2]), std::uint8_t(!alpha || c[3] >= 128 ? 255 : 0)};
    return {c[0], c[1], c[2], bits == 32 && alpha ? c[3] : std::uint8_t(255)};
}

// Packets as writers make them: runs of two or more the same as repeat packets, the rest raw,
// each at most 128 pixels, over the pixel stream regardless of rows.
Bytes rleEncode(const std::vector<Bytes>& pixels) {
    Bytes out;
    for (std::size_t i = 0; i < pixels.size();) {
        std::size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
            i += run;
            continue;
        }
        std::size_t raw = 1;
        while (i + raw < pixels.size() && raw < 128 &&
               (i + raw + 1 >= pixels.size() || pixels[i + raw] != pixels[i + raw + 1]))
            ++raw;
        out.push_back(static_cast<std::uint8_t>(raw - 1));
        for (std::size_t k = 0; k < raw; ++k)
            out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
        i += raw;
    }
    return out;
}

Bytes header(std::uint8_t type, std::uint16_t width, std::uint16_t height, std::uint8_t depth,
             std::uint8_t descriptor, std::uint16_t mapLength = 0, std::uint8_t mapBits = 0,
             std::uint8_t idLength = 0) {
    Bytes h(18, 0);
    h[0] = idLength;
    h[1] = mapLength ? 1 : 0;
    h[2] = type;
    writeLe16(h, 5, mapLength);
    h[7] = mapBits;
    writeLe16(h, 12, width);
    writeLe16(h, 14, height);
    h[16] = depth;
    h[17] = descriptor;
    return h;
}

struct Written {
    Bytes file;
    Bytes bgra; // what the reader must give, rows from the top
};

Written writeTga(const TgaCase& c) {
    const bool mapped = (c.type & 7) == 1, grey = (c.type & 7) == 3;
    const bool alpha = c.attributeBits != 0 && (c.bits != 16 || grey || c.attributeBits == 1);
    Written w;
    w.file = header(c.type, kWidth, kHeight, mapped ? 8 : c.bits,
                    static_cast<std::uint8_t>(c.origin | c.attributeBits), mapped ? 40 : 0,
                    mapped ? c.bits : 0, 3);
    w.file.insert(w.file.end(), {'I', 'D', '!'});
    if (mapped)
        for (unsigned k = 0; k < 40; ++k) {
            const Bytes entry = stored(tableColour(k), c.bits, false);
            w.file.insert(w.file.end(), entry.begin(), entry.end());
        }
    std::vector<Bytes> pixels;
    for (std::uint32_t row = 0; row < kHeight; ++row)
        for (std::uint32_t column = 0; column < kWidth; ++column) {
            const std::uint32_t y = c.origin == TopLeft ? row : kHeight - 1 - row;
            const std::uint32_t x = c.origin == BottomRight ? kWidth - 1 - column : column;
            const unsigned k = indexAt(x, y);
            pixels.push_back(mapped ? Bytes{static_cast<std::uint8_t>(k)}
                                    : stored(tableColour(k), c.bits, grey));
        }
    if (c.type >= 9) {
        const Bytes packed = rleEncode(pixels);
        w.file.insert(w.file.end(), packed.begin(), packed.end());
    } else {
        for (const Bytes& p : pixels)
            w.file.insert(w.file.end(), p.begin(), p.end());
    }
    for (std::uint32_t y = 0; y < kHeight; ++y)
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            const Bgra e = expected(tableColour(indexAt(x, y)), c.bits, grey, alpha);
            w.bgra.insert(w.bgra.end(), e.begin(), e.end());
        }
    return w;
}

// A TGA 2.0 extension area with the given alpha type, and the footer pointing at it.
void addExtension(Bytes& file, std::uint8_t alphaType) {
    const auto offset = static_cast<std::uint32_t>(file.size());
    Bytes extension(495, 0);
    writeLe16(extension, 0, 495);
    extension[494] = alphaType;
    file.insert(file.end(), extension.begin(), extension.end());
    Bytes footer(8, 0);
    writeLe32(footer, 0, offset);
    const std::string signature("TRUEVISION-XFILE.\0", 18);
    footer.insert(footer.end(), signature.begin(), signature.end());
    file.insert(file.end(), footer.begin(), footer.end());
}

// ---- Every layout, both row orders, uncompressed and RLE ----------------------------------

std::vector<TgaCase> layoutCases() {
    struct Kind {
        const char* name;
        std::uint8_t type, bits, attributeBits;
    };
    const Kind kinds[] = {
        {"true32", 2, 32, 8},       {"true24", 2, 24, 0},       {"true16", 2, 16, 1},
        {"true15", 2, 15, 0},       {"grey8", 3, 8, 0},         {"grey16", 3, 16, 8},
        {"mapped24", 1, 24, 0},     {"mapped32", 1, 32, 8},     {"mapped16", 1, 16, 1},
        {"rle_true32", 10, 32, 8},  {"rle_true24", 10, 24, 0},  {"rle_true16", 10, 16, 1},
        {"rle_true15", 10, 15, 0},  {"rle_grey8", 11, 8, 0},    {"rle_grey16", 11, 16, 8},
        {"rle_mapped24", 9, 24, 0}, {"rle_mapped32", 9, 32, 8}, {"rle_mapped16", 9, 16, 1},
    };
    std::vector<TgaCase> cases;
    for (const Kind& k : kinds)
        for (const auto& [suffix, origin] :
             {std::pair{"_bottom_up", BottomLeft}, std::pair{"_top_down", TopLeft}})
            cases.push_back(
                {std::string(k.name) + suffix, k.type, k.bits, k.attributeBits, origin});
    cases.push_back({"true24_right_to_left", 2, 24, 0, BottomRight});
    cases.push_back({"rle_mapped32_right_to_left", 9, 32, 8, BottomRight});
    return cases;
}

class TgaLayouts : public testing::TestWithParam<TgaCase> {};

TEST_P(TgaLayouts, DecodeToThePictureWritten) {
    const TgaCase& c = GetParam();
    const Written w = writeTga(c);
    EXPECT_EQ(identifyFile(std::span(w.file).first(kIdentifyBytes), w.file.size()).name, "TGA");
    const auto picture = readTga(Bytes(w.file)); // an exact-size copy, for the sanitizers
    ASSERT_TRUE(picture) << picture.error().reason;
    EXPECT_EQ(picture->width, kWidth);
    EXPECT_EQ(picture->height, kHeight);
    EXPECT_TRUE(picture->bgra == w.bgra) << "pixels differ";
    const auto layout = inspectTga(w.file);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->description, picture->layout);
    EXPECT_EQ(layout->hasAlpha, picture->hasAlpha);
    const std::string& d = layout->description;
    EXPECT_NE(d.find(c.type >= 9 ? ", RLE, " : ", uncompressed, "), std::string::npos) << d;
    EXPECT_NE(d.find(c.origin == TopLeft      ? "origin top-left"
                     : c.origin == BottomLeft ? "origin bottom-left"
                                              : "origin bottom-right"),
              std::string::npos)
        << d;
}

INSTANTIATE_TEST_SUITE_P(Written, TgaLayouts, testing::ValuesIn(layoutCases()),
                         [](const testing::TestParamInfo<TgaCase>& info) {
                             return info.param.name;
                         });

// ---- Alpha --------------------------------------------------------------------------------

struct AlphaCase {
    const char* name;
    std::uint8_t depth;
    std::uint8_t attributeBits;
    int extensionAlphaType; // -1: no extension area
    Bytes pixels;           // as stored, four pixels
    Bytes expected;         // B,G,R,A
    const char* action;
};

void PrintTo(const AlphaCase& c, std::ostream* out) {
    *out << c.name;
}

class TgaAlpha : public testing::TestWithParam<AlphaCase> {};

TEST_P(TgaAlpha, FollowsTheAttributeBitsAndTheExtensionArea) {
    const AlphaCase& c = GetParam();
    Bytes file = header(2, 4, 1, c.depth, static_cast<std::uint8_t>(TopLeft | c.attributeBits));
    file.insert(file.end(), c.pixels.begin(), c.pixels.end());
    if (c.extensionAlphaType >= 0)
        addExtension(file, static_cast<std::uint8_t>(c.extensionAlphaType));
    const auto picture = readTga(file);
    ASSERT_TRUE(picture) << picture.error().reason;
    EXPECT_EQ(picture->bgra, c.expected);
    const auto described = PictureFormats().describe(file);
    ASSERT_TRUE(described) << described.error().reason;
    EXPECT_EQ(packAction(*described, file.size()), c.action);
}

const Bytes k32{10, 20, 30, 40, 64, 64, 128, 128, 0, 0, 0, 0, 51, 100, 200, 255};
const Bytes k16{0x1F, 0x80, 0x1F, 0x00, 0xE0, 0x83, 0x00, 0x7C};

INSTANTIATE_TEST_SUITE_P(
    Cases, TgaAlpha,
    testing::Values(
        AlphaCase{"no_attribute_bits_opaque", 32, 0, -1, k32,
                  Bytes{10, 20, 30, 255, 64, 64, 128, 255, 0, 0, 0, 255, 51, 100, 200, 255},
                  "converted: TGA, alpha set to 255"},
        AlphaCase{"eight_attribute_bits_kept", 32, 8, -1, k32, k32, "converted: TGA"},
        AlphaCase{"extension_straight", 32, 8, 3, k32, k32, "converted: TGA"},
        AlphaCase{"extension_no_alpha", 32, 8, 0, k32,
                  Bytes{10, 20, 30, 255, 64, 64, 128, 255, 0, 0, 0, 255, 51, 100, 200, 255},
                  "converted: TGA, alpha set to 255"},
        AlphaCase{"extension_undefined_retained", 32, 8, 2, k32,
                  Bytes{10, 20, 30, 255, 64, 64, 128, 255, 0, 0, 0, 255, 51, 100, 200, 255},
                  "converted: TGA, alpha set to 255"},
        // 64 under alpha 128 is 128, 10 under 40 is 64 (63.75), and under 255 nothing changes.
        AlphaCase{"extension_premultiplied", 32, 8, 4, k32,
                  Bytes{64, 128, 191, 40, 128, 128, 255, 128, 0, 0, 0, 0, 51, 100, 200, 255},
                  "converted: TGA, premultiplied alpha made straight"},
        AlphaCase{"sixteen_bit_one_attribute_bit", 16, 1, -1, k16,
                  Bytes{255, 0, 0, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 255, 0},
                  "converted: TGA"},
        AlphaCase{"sixteen_bit_no_attribute_bit", 16, 0, -1, k16,
                  Bytes{255, 0, 0, 255, 255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255},
                  "converted: TGA, alpha set to 255"}),
    [](const testing::TestParamInfo<AlphaCase>& info) { return std::string(info.param.name); });

// ---- Damaged and unsupported files ---------------------------------------------------------

struct RefusalCase {
    const char* name;
    Bytes file;
    ErrorKind kind;
    const char* says;
    bool byHeader; // inspectTga refuses it too, without the pixels
};

Bytes withPixels(Bytes file, const Bytes& pixels) {
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

Bytes cut(Bytes file, std::size_t drop) {
    file.erase(file.end() - static_cast<std::ptrdiff_t>(drop), file.end());
    return file;
}

std::vector<RefusalCase> refusalCases() {
    const Bytes rle = writeTga({"", 10, 32, 8, BottomLeft}).file;
    const Bytes raw = writeTga({"", 2, 24, 0, TopLeft}).file;
    // A 4x1 picture whose last packet repeats a pixel 3 times where 1 is left.
    const Bytes overrun =
        withPixels(header(10, 4, 1, 24, 0), {0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x82, 9, 9, 9});
    Bytes mapped = header(1, 2, 1, 8, 0, 3, 24);
    mapped = withPixels(mapped, Bytes(9, 0x40));
    Bytes shortMap = header(1, 2, 1, 8, 0, 200, 24);
    shortMap = withPixels(shortMap, Bytes(30, 0));
    Bytes huffman = withPixels(header(32, 2, 2, 24, 0), Bytes(12, 0));
    addExtension(huffman, 3);
    return {
        {"header_cut_short", Bytes(raw.begin(), raw.begin() + 10), ErrorKind::Damaged,
         "shorter than the 18-byte TGA header", true},
        {"pixels_cut_short", cut(raw, 1), ErrorKind::Damaged, "it was cut short", true},
        {"rle_cut_short", cut(rle, rle.size() / 3), ErrorKind::Damaged, "RLE pixel data ends after",
         false},
        {"rle_run_past_the_picture", overrun, ErrorKind::Damaged,
         "runs 2 pixels past the end of the picture", false},
        {"index_past_the_colour_map", withPixels(mapped, {2, 3}), ErrorKind::Damaged,
         "colour index 3, outside its colour map (0 to 2)", false},
        {"rle_index_past_the_colour_map",
         withPixels(withPixels(header(9, 2, 1, 8, 0, 3, 24), Bytes(9, 1)), {0x81, 7}),
         ErrorKind::Damaged, "colour index 7", false},
        {"colour_map_past_the_end", shortMap, ErrorKind::Damaged,
         "shorter than its TGA header, image ID and colour map", true},
        {"absurd_size", withPixels(header(2, 65535, 65535, 32, 8), Bytes(64, 0)),
         ErrorKind::Unsupported, "65535x65535, far larger", true},
        // Allowed as a size, but a few bytes cannot hold it even at 128 pixels a packet.
        {"largest_size_few_bytes", withPixels(header(10, 16384, 16384, 32, 8), Bytes(64, 0)),
         ErrorKind::Damaged, "that needs at least 10,485,778", true},
        {"zero_width", withPixels(header(2, 0, 5, 24, 0), Bytes(64, 0)), ErrorKind::Damaged,
         "a size of 0x5", true},
        {"huffman_type_with_footer", huffman, ErrorKind::Unsupported, "image type 32", true},
        {"interleaved", withPixels(header(2, 2, 2, 24, 0x40), Bytes(12, 0)), ErrorKind::Unsupported,
         "interleaved", true},
    };
}

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class TgaRefusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(TgaRefusals, SayWhatWasFoundInOneLine) {
    const RefusalCase& c = GetParam();
    const auto picture = readTga(Bytes(c.file)); // an exact-size copy, for the sanitizers
    ASSERT_FALSE(picture);
    EXPECT_EQ(picture.error().kind, c.kind);
    EXPECT_NE(picture.error().reason.find(c.says), std::string::npos) << picture.error().reason;
    EXPECT_EQ(picture.error().reason.find('\n'), std::string::npos);
    const auto layout = inspectTga(Bytes(c.file));
    EXPECT_EQ(!layout, c.byHeader);
    if (!layout) {
        EXPECT_EQ(layout.error().reason, picture.error().reason);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TgaRefusals, testing::ValuesIn(refusalCases()),
                         [](const testing::TestParamInfo<RefusalCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- Telling a TGA from other files -------------------------------------------------------

TEST(TgaIdentity, OtherFilesAndRandomBytesAreNotTakenForTga) {
    const auto kindOf = [](const Bytes& file) { return identifyFile(file); };
    const std::string text = "Velmora packs pictures.\nThis is a plain text file, not a picture.\n";
    EXPECT_EQ(kindOf(Bytes(text.begin(), text.end())).kind, FileKind::Unknown);
    EXPECT_EQ(kindOf(blankDdsImage(4)).name, "DDS");
    EXPECT_EQ(kindOf(encodePng(Bytes(16, 0x80), 2, 2)).name, "PNG");
    EXPECT_EQ(kindOf(gameFileAround(zlibStream(Bytes(64, 1)))).kind, FileKind::GameFile);
    // Icons and cursors start much like a TGA header.
    const Bytes icon{0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x68, 4, 0, 0, 22, 0, 0, 0};
    const Bytes cursor{0, 0, 2, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x68, 4, 0, 0, 22, 0, 0, 0};
    EXPECT_EQ(kindOf(icon).kind, FileKind::Unknown);
    EXPECT_EQ(kindOf(cursor).kind, FileKind::Unknown);
    std::mt19937 random(20240611);
    for (int i = 0; i < 20000; ++i) {
        Bytes noise(18 + random() % 500);
        for (std::uint8_t& b : noise)
            b = static_cast<std::uint8_t>(random());
        ASSERT_NE(kindOf(noise).name, "TGA") << "sample " << i;
    }
}

TEST(TgaIdentity, AHeaderNeedsTheFileLongEnoughForItsColourMap) {
    Bytes file = withPixels(header(1, 2, 1, 8, 0, 200, 24), Bytes(600, 0));
    EXPECT_EQ(identifyFile(std::span(file).first(kIdentifyBytes), file.size()).name, "TGA");
    EXPECT_EQ(identifyFile(std::span(file).first(kIdentifyBytes), 300).kind, FileKind::Unknown);
    // The footer alone names a TGA, so an unusual one is refused as such rather than unknown.
    Bytes odd = withPixels(header(2, 2, 2, 24, 0), Bytes(12, 0));
    odd[16] = 7;
    EXPECT_EQ(identifyFile(odd).kind, FileKind::Unknown);
    addExtension(odd, 0);
    EXPECT_EQ(identifyFile(odd).name, "TGA");
}

// ---- Through Pack and the preview ---------------------------------------------------------

TEST(TgaPictures, PackTakesA1024TgaWithoutThePictureReaderAndRefusesOtherSizes) {
    const Bytes dds = validImage(5);
    Bytes tga = header(2, 1024, 1024, 32, TopLeft | 8);
    tga.insert(tga.end(), dds.begin() + 128, dds.end());
    const auto image = prepareImage(tga, nullptr);
    ASSERT_TRUE(image) << image.error().reason;
    EXPECT_EQ(image->block, dds);
    EXPECT_EQ(image->found,
              "TGA, 1024x1024, 32-bit true colour with alpha (bytes B,G,R,A), uncompressed, "
              "origin top-left");
    EXPECT_EQ(image->action, "converted: TGA");

    const Written small = writeTga({"", 10, 24, 0, BottomLeft});
    const auto refused = prepareImage(small.file, nullptr);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().reason, "it is a TGA picture of 150x7; the game's tile is "
                                      "1024x1024: resize it in your editor");

    TempFolder folder;
    writeFile(folder / "small.tga", small.file);
    const auto shown = readShownPicture(folder / "small.tga", nullptr);
    ASSERT_TRUE(shown) << shown.error().reason;
    EXPECT_EQ(shown->format, "TGA");
    EXPECT_TRUE(shown->bgra == small.bgra);
}

} // namespace
} // namespace velmora::test
