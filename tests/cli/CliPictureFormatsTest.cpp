// Every picture format Pack reads, written by ImageMagick and packed by velmora-cli: whole, the
// pixels are ImageMagick's reading of the file; cut short, the file is refused in one line.
#include "CliInProcess.h"
#include "FileHelpers.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include "formats/PngWriter.h"

#include <QImage>

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace velmora::test {
namespace {

// Smooth colours that fit the game file, alpha in bands from 0 to 255 with colour under the
// transparent pixels too: a reader that premultiplies loses it.
Bytes tilePixels() {
    Bytes bgra(std::size_t{1024} * 1024 * 4);
    for (std::size_t y = 0; y < 1024; ++y)
        for (std::size_t x = 0; x < 1024; ++x) {
            std::uint8_t* p = &bgra[(y * 1024 + x) * 4];
            p[0] = static_cast<std::uint8_t>((x + y) / 8);
            p[1] = static_cast<std::uint8_t>(y / 4);
            p[2] = static_cast<std::uint8_t>(x / 4);
            p[3] = static_cast<std::uint8_t>((y / 128) % 3 == 0 ? 0 : 255 - x / 8);
        }
    return bgra;
}

struct Format {
    const char* file;
    std::vector<std::string> convert; // ImageMagick's options, unless the test wrote the file
    // Largest difference in a channel from ImageMagick's reading; -1: none, and the very game
    // file a PNG of ImageMagick's reading gives (a DDS keeps its own header, so not for it).
    int tolerance;
    bool readByQt; // its cut files are refused as "cut short"
};

// A TIFF with its directory before the pixels, as many writers other than ImageMagick put it:
// cut, the directory is whole and only the strip is short.
Bytes tiffDirectoryFirst() {
    Bytes file{'I', 'I', 42, 0, 8, 0, 0, 0};
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    const std::uint32_t pixelBytes = 1024 * 1024 * 3;
    const std::uint32_t entries[][3] = {
        {256, 4, 1024}, {257, 4, 1024}, {258, 3, 8},
        {259, 3, 1},    {262, 3, 2},    {273, 4, 8 + 2 + 9 * 12 + 4},
        {277, 3, 3},    {278, 4, 1024}, {279, 4, pixelBytes}};
    put(9, 2);
    for (const auto& [tag, type, value] : entries) {
        put(tag, 2);
        put(type, 2);
        put(1, 4);
        put(value, 4);
    }
    put(0, 4);
    for (std::uint32_t i = 0; i < pixelBytes; ++i)
        file.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? i / 3 / 4096 : i / 3 % 1024 / 4));
    return file;
}

// A valid PNG of any size without holding its pixels: blank rows of 16-bit RGBA, deflated as
// they are made.
Bytes blankPng16(std::uint32_t side) {
    Bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, const Bytes& data) {
        const auto be = [&](std::uint32_t v) {
            for (int shift = 24; shift >= 0; shift -= 8)
                file.push_back(static_cast<std::uint8_t>(v >> shift));
        };
        be(static_cast<std::uint32_t>(data.size()));
        const std::size_t start = file.size();
        file.insert(file.end(), type, type + 4);
        file.insert(file.end(), data.begin(), data.end());
        be(static_cast<std::uint32_t>(
            crc32(0, &file[start], static_cast<unsigned>(file.size() - start))));
    };
    Bytes header{0, 0, 0, 0, 0, 0, 0, 0, 16, 6, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        header[i] = header[4 + i] = static_cast<std::uint8_t>(side >> (24 - 8 * i));
    chunk("IHDR", header);
    z_stream z{};
    deflateInit(&z, 1);
    Bytes row(std::size_t{side} * 8 + 1);
    Bytes out(1 << 20);
    Bytes idat;
    for (std::uint32_t y = 0; y <= side; ++y) {
        z.next_in = row.data();
        z.avail_in = y < side ? static_cast<unsigned>(row.size()) : 0;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<unsigned>(out.size());
            deflate(&z, y < side ? Z_NO_FLUSH : Z_FINISH);
            idat.insert(idat.end(), out.data(), z.next_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    chunk("IDAT", idat);
    chunk("IEND", {});
    return file;
}

// The picture velmora-cli packs: for an exact comparison the game file itself (its compression
// is deterministic), else its pixels unpacked again.
Bytes packed(const TempFolder& f, const std::string& picture) {
    const ProcessResult result = runCliInProcess(f, {"pack", picture, "0", picture + "-game"});
    EXPECT_EQ(result.exitCode, 0) << picture << ": " << result.err;
    return readFile(f / (picture + "-game.bin"));
}

QImage unpacked(const TempFolder& f, const std::string& picture) {
    packed(f, picture);
    const ProcessResult back =
        runCliInProcess(f, {"unpack", picture + "-game.bin", picture + "-back.png"});
    EXPECT_EQ(back.exitCode, 0) << picture << ": " << back.err;
    return QImage((f / (picture + "-back.png")).c_str()).convertToFormat(QImage::Format_ARGB32);
}

int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = a.constScanLine(y);
        const auto* pb = b.constScanLine(y);
        for (qsizetype i = 0; i < a.bytesPerLine(); ++i)
            largest = std::max(largest, std::abs(int(pa[i]) - int(pb[i])));
    }
    return largest;
}

TEST(CliPictureFormats, WholeAsImageMagickReadsThemCutShortRefusedInOneLine) {
    TempFolder f;
    writeFile(f / "tile.png", conversion::encodePng(tilePixels(), 1024, 1024));
    writeFile(f / "directory-first.tif", tiffDirectoryFirst());
    const Format formats[] = {
        {"tile.png", {}, -1, true},
        {"tile.bmp", {}, -1, true},
        {"palette-rle.bmp",
         {"-alpha", "off", "-colors", "200", "-compress", "RLE", "bmp3:"},
         -1,
         true},
        {"tile.tga", {"-orient", "TopLeft"}, -1, false},
        {"tile.jpg", {"-alpha", "off", "-quality", "95"}, 3, true},
        {"tile.tif", {"-define", "tiff:alpha=unassociated", "-compress", "lzw"}, -1, true},
        {"directory-first.tif", {}, -1, true},
        {"tile.webp", {"-define", "webp:lossless=true", "-define", "webp:exact=true"}, -1, true},
        {"tile.gif", {"-alpha", "off", "+dither", "-colors", "200"}, -1, true},
        {"tile.dds", {"-define", "dds:compression=none", "-define", "dds:mipmaps=0"}, 0, false},
    };
    for (const Format& format : formats) {
        SCOPED_TRACE(format.file);
        std::string name = format.file;
        if (!std::filesystem::exists(f / name)) {
            std::vector<std::string> arguments{"convert", "tile.png"};
            arguments.insert(arguments.end(), format.convert.begin(), format.convert.end());
            if (arguments.back().ends_with(':'))
                arguments.back() += name;
            else
                arguments.push_back(name);
            ProcessOptions options;
            options.workingDirectory = f.path();
            arguments.insert(arguments.begin(), "/usr/bin/env");
            const ProcessResult written = run(arguments, options);
            ASSERT_EQ(written.exitCode, 0) << written.err;
        }
        // ImageMagick's reading of the file, as a PNG, against velmora-cli's.
        ProcessOptions options;
        options.workingDirectory = f.path();
        const std::string reference = name + "-reference.png";
        const ProcessResult read = run({"/usr/bin/env", "convert", name, "-depth", "8", "-define",
                                        "png:color-type=6", reference},
                                       options);
        ASSERT_EQ(read.exitCode, 0) << read.err;
        if (format.tolerance < 0) {
            EXPECT_TRUE(packed(f, name) == packed(f, reference)) << "differs from ImageMagick";
        } else {
            const QImage ours = unpacked(f, name);
            const QImage theirs = unpacked(f, reference);
            ASSERT_FALSE(ours.isNull());
            ASSERT_EQ(ours.size(), theirs.size());
            EXPECT_LE(largestDifference(ours, theirs), format.tolerance);
        }

        const Bytes whole = readFile(f / name);
        for (const int percent : {10, 50, 90}) {
            SCOPED_TRACE(percent);
            const std::string cut = std::to_string(percent) + "-" + name;
            writeFile(f / cut, std::span(whole).first(whole.size() * percent / 100));
            const ProcessResult packed = runCliInProcess(f, {"pack", cut, "0", cut + "-game"});
            EXPECT_EQ(packed.exitCode, 1) << packed.err;
            EXPECT_EQ(std::count(packed.err.begin(), packed.err.end(), '\n'), 1) << packed.err;
            if (format.readByQt) {
                EXPECT_NE(packed.err.find("is cut short or damaged"), std::string::npos)
                    << packed.err;
            }
            EXPECT_FALSE(std::filesystem::exists(f / (cut + "-game.bin")));
        }
    }
}

TEST(CliPictureFormats, ADamagedPictureInABatchIsOneLineWhicheverThreadDecodesIt) {
    TempFolder f;
    Bytes png = conversion::encodePng(tilePixels(), 1024, 1024);
    writeFile(f / "cut.png", std::span(png).first(png.size() / 2));
    png[png.size() / 2] ^= 0x55; // whole, but a checksum fails: libpng would complain
    writeFile(f / "flipped.png", png);
    writeFile(f / "flipped-too.png", png);
    const ProcessResult packed =
        runCliInProcess(f, {"pack", "cut.png", "flipped.png", "flipped-too.png", "--to", "out",
                            "--mode", "0", "-j", "2"});
    EXPECT_EQ(packed.exitCode, 1);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < packed.err.size(); at = packed.err.find('\n', at) + 1, ++lines)
        EXPECT_EQ(packed.err.compare(at, 13, "velmora-cli: "), 0) << packed.err;
    EXPECT_EQ(lines, 3u) << packed.err;
}

TEST(CliPictureFormats, AWrongSizeIsNamedFromTheHeaderWithoutDecoding) {
    TempFolder f;
    // 5800x5800 at 16 bits a channel is 269 MB decoded, past what Qt's reader allocates.
    writeFile(f / "large.png", blankPng16(5800));
    const ProcessResult packed = runCliInProcess(f, {"pack", "large.png", "0", "out"});
    EXPECT_EQ(packed.exitCode, 1);
    EXPECT_EQ(packed.err, "velmora-cli: Reading the image \"" + (f / "large.png").string() +
                              "\" failed: it is a PNG picture of 5800x5800; the game's tile is "
                              "1024x1024: resize it in your editor\n");
}

} // namespace
} // namespace velmora::test
