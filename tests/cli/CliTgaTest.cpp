// TGA files ImageMagick writes, packed by velmora-cli: ImageMagick is the independent writer and
// reader the core's TGA decoder is checked against.
#include "CliInProcess.h"
#include "DdsImages.h"
#include "FileHelpers.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include "formats/PngWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {
namespace {

// The program's path through PATH, or empty: the process runner takes no shell.
std::string onPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::filesystem::path candidate = std::filesystem::path(rest.substr(0, colon)) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        rest = colon == std::string_view::npos ? "" : rest.substr(colon + 1);
    }
    return {};
}

struct Conversion {
    const char* tga;
    std::vector<std::string> options;
    // Whether ImageMagick records the rows' order truly: its version 6 writes the rows top
    // first whatever it records, and only -orient TopLeft makes the two agree.
    bool topLeft;
};

TEST(CliTga, PacksWhatImageMagickWritesAsImageMagickReadsIt) {
    const std::string convert = onPath("convert");
    if (convert.empty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    TempFolder f;
    // Smooth shapes with every alpha, so the game file holds them; 8 bits, so no rounding.
    const Bytes image = validImage(3);
    writeFile(f / "tile.png", conversion::encodePng(std::span(image).subspan(128), 1024, 1024));
    const auto imagemagick = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), convert);
        ProcessOptions options;
        options.workingDirectory = f.path();
        const ProcessResult result = run(arguments, options);
        EXPECT_EQ(result.exitCode, 0) << result.err;
    };
    const auto pack = [&](const std::string& picture) {
        const ProcessResult result = runCliInProcess(f, {"pack", picture, "0", picture + "-game"});
        EXPECT_EQ(result.exitCode, 0) << picture << ": " << result.err;
        return readFile(f / (picture + "-game.bin"));
    };
    const Bytes fromPng = pack("tile.png");
    ASSERT_EQ(fromPng.size(), 2'400'017u);

    const Conversion conversions[] = {
        {"top.tga", {"-orient", "TopLeft"}, true},
        {"top-rle.tga", {"-orient", "TopLeft", "-compress", "RLE"}, true},
        {"plain.tga", {}, false},
        {"plain-rle.tga", {"-compress", "RLE"}, false},
        {"opaque-rle.tga", {"-alpha", "off", "-compress", "RLE"}, false},
        {"grey.tga", {"-type", "Grayscale"}, false},
        {"grey-rle.tga", {"-type", "Grayscale", "-compress", "RLE"}, false},
        {"palette.tga", {"-type", "Palette"}, false},
        {"palette-rle.tga", {"-type", "Palette", "-compress", "RLE"}, false},
    };
    for (const Conversion& c : conversions) {
        SCOPED_TRACE(c.tga);
        std::vector<std::string> arguments{"tile.png"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back(c.tga);
        imagemagick(arguments);
        // ImageMagick's own reading of the file, with the rows put in the order it records.
        const std::string reference = std::string(c.tga) + ".png";
        imagemagick({c.tga, "-auto-orient", "-depth", "8", reference});
        const Bytes fromTga = pack(c.tga);
        EXPECT_TRUE(fromTga == pack(reference)) << "differs from ImageMagick's reading";
        if (c.topLeft) {
            EXPECT_TRUE(fromTga == fromPng) << "differs from the PNG it was made from";
        }
    }

    const ProcessResult info = runCliInProcess(f, {"info", "plain-rle.tga"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (const char* expected : {"kind:            TGA picture", "size:            1024x1024",
                                 "32-bit true colour with alpha (bytes B,G,R,A), RLE, origin "
                                 "bottom-left",
                                 "pack:            converted: TGA\n"})
        EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;
}

} // namespace
} // namespace velmora::test
