#include "ConversionTestSupport.h"

#include "formats/PngWriter.h"
#include "formats/qt/QtPictureReader.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velmora::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes saved(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return Bytes(bytes.begin(), bytes.end());
}

// B G R A for every pixel, with alpha running through all 256 values.
Bytes patternBgra(std::uint32_t width, std::uint32_t height) {
    Bytes pixels(std::size_t{width} * height * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>((i * 7 + i / 4096) & 0xFF);
    return pixels;
}

TEST(PngWriter, WhatItWritesReadsBackAsTheSamePixelsWithStraightAlpha) {
    const Bytes pixels = patternBgra(64, 48);
    const Bytes png = conversion::encodePng(pixels, 64, 48);
    const images::QtPictureReader reader;
    const auto picture = reader.read(png);
    ASSERT_TRUE(picture) << picture.error().reason;
    EXPECT_EQ(picture->format, "PNG");
    EXPECT_EQ(picture->layout, "RGBA, 8 bits per channel");
    EXPECT_EQ(picture->width, 64u);
    EXPECT_EQ(picture->height, 48u);
    EXPECT_EQ(picture->bgra, pixels);

    // Another reader agrees: colour type 6, 8 bits, and the same values through Qt's own path.
    const QImage qt = QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG");
    ASSERT_EQ(qt.format(), QImage::Format_ARGB32);
    EXPECT_EQ(qt.pixel(5, 7), qRgba(pixels[(7 * 64 + 5) * 4 + 2], pixels[(7 * 64 + 5) * 4 + 1],
                                    pixels[(7 * 64 + 5) * 4], pixels[(7 * 64 + 5) * 4 + 3]));
}

struct Layout {
    const char* name;
    QImage::Format format;
    const char* file;
};

class PictureLayouts : public testing::TestWithParam<Layout> {};

std::uint32_t pixelAt(const Bytes& bgra, std::size_t width, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 4;
    return std::uint32_t(bgra[at + 3]) << 24 | std::uint32_t(bgra[at + 2]) << 16 |
           std::uint32_t(bgra[at + 1]) << 8 | bgra[at];
}

TEST_P(PictureLayouts, DecodeToTheGamesOrderWithoutChangingColours) {
    QImage source(8, 4, QImage::Format_ARGB32);
    source.fill(qRgba(10, 20, 30, 255));
    source.setPixel(3, 2, qRgba(200, 100, 50, 128));
    const QImage image = source.convertToFormat(GetParam().format);
    const auto picture = images::QtPictureReader().read(saved(image, GetParam().file));
    ASSERT_TRUE(picture) << picture.error().reason;
    // Whatever the file's layout, the pixel is the one it holds, straight and unpremultiplied.
    const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
    for (const auto& [x, y] : {std::pair{3, 2}, std::pair{0, 0}, std::pair{7, 3}})
        EXPECT_EQ(pixelAt(picture->bgra, 8, x, y), expected.pixel(x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureLayouts,
                         testing::Values(Layout{"png_rgba8", QImage::Format_ARGB32, "PNG"},
                                         Layout{"png_rgb", QImage::Format_RGB32, "PNG"},
                                         Layout{"png_grey", QImage::Format_Grayscale8, "PNG"},
                                         Layout{"png_palette", QImage::Format_Indexed8, "PNG"},
                                         Layout{"bmp", QImage::Format_RGB32, "BMP"},
                                         Layout{"tiff_rgb", QImage::Format_RGB32, "TIFF"}),
                         [](const testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.name);
                         });

TEST(QtPictureReader, SixteenBitChannelsRoundToTheNearestEightBitValue) {
    QImage image(2, 1, QImage::Format_RGBA64);
    // 199.61, 99.50 and 50.0 in 8-bit steps: truncation would give 199 and 99.
    image.setPixelColor(
        0, 0, QColor::fromRgba64(qRgba64(200 * 257 - 100, 100 * 257 - 128, 50 * 257, 128 * 257)));
    image.setPixelColor(1, 0, QColor::fromRgba64(qRgba64(0, 65535, 128, 65535)));
    const auto picture = images::QtPictureReader().read(saved(image, "PNG"));
    ASSERT_TRUE(picture) << picture.error().reason;
    EXPECT_EQ(picture->layout, "RGBA, 16 bits per channel");
    EXPECT_EQ(pixelAt(picture->bgra, 2, 0, 0), 0x80C86432u);
    EXPECT_EQ(pixelAt(picture->bgra, 2, 1, 0), 0xFF00FF00u);
}

TEST(QtPictureReader, RefusesWhatIsNoPictureAndSaysWhy) {
    const images::QtPictureReader reader;
    const Bytes text{'h', 'e', 'l', 'l', 'o'};
    const auto refused = reader.read(text);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, conversion::ErrorKind::Unsupported);

    Bytes cut = saved(QImage(32, 32, QImage::Format_ARGB32), "PNG");
    cut.resize(cut.size() / 2);
    const auto damaged = reader.read(cut);
    ASSERT_FALSE(damaged);
    EXPECT_FALSE(damaged.error().reason.empty());
}

TEST(PngThroughAGameFile, ComesBackWithTheSamePixelsAndStraightAlpha) {
    // Colour under alpha 0 and 1 must survive: an editor's straight alpha is kept as it is.
    QImage source(1024, 1024, QImage::Format_ARGB32);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x)
            source.setPixel(
                x, y,
                qRgba(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF, (x + y) % 3 == 0 ? 0 : (x * y) & 0xFF));
    TempFolder app;
    TempFolder user;
    writeFile(app / "WE00", Bytes(48, 7));
    writeFile(user / "in.png", saved(source, "PNG"));
    const images::QtPictureReader pictures;
    conversion::DeflateCompressionComponent component;
    const auto packed = conversion::runPack(app.path(), (user / "in.png").string(),
                                            (user / "g").string(), "topModeSelect_Mov00_Ex.tex",
                                            component, conversion::PackOptions::reading(&pictures));
    ASSERT_TRUE(packed) << failureText(packed);
    EXPECT_EQ(packed->imageAction, "converted: PNG");

    ASSERT_TRUE(conversion::copyToWorkFile(user / "g.bin", app.path(), conversion::WorkFile::Temp));
    const auto unpacked =
        conversion::runUnpack(app.path(), "g.bin", (user / "back.png").string(), component);
    ASSERT_TRUE(unpacked) << failureText(unpacked);
    const auto original = pictures.read(readFile(user / "in.png"));
    const auto back = pictures.read(readFile(user / "back.png"));
    ASSERT_TRUE(original && back);
    EXPECT_EQ(back->bgra, original->bgra);
    // Packing what Unpack wrote gives the same game file again.
    const auto again = conversion::runPack(app.path(), (user / "back.png").string(),
                                           (user / "h").string(), "topModeSelect_Mov00_Ex.tex",
                                           component, conversion::PackOptions::reading(&pictures));
    ASSERT_TRUE(again) << failureText(again);
    EXPECT_EQ(readFile(user / "h.bin"), readFile(user / "g.bin"));
}

TEST(PngThroughAGameFile, APictureOfAnotherSizeIsRefusedWithTheFix) {
    TempFolder app;
    TempFolder user;
    writeFile(app / "WE00", Bytes(48, 7));
    writeFile(user / "small.png", saved(QImage(512, 256, QImage::Format_ARGB32), "PNG"));
    const images::QtPictureReader pictures;
    conversion::DeflateCompressionComponent component;
    const auto packed = conversion::runPack(app.path(), (user / "small.png").string(),
                                            (user / "g").string(), "topModeSelect_Mov00_Ex.tex",
                                            component, conversion::PackOptions::reading(&pictures));
    ASSERT_FALSE(packed);
    EXPECT_NE(failureText(packed).find(
                  "it is a PNG picture of 512x256; the game's tile is 1024x1024: resize it"),
              std::string::npos)
        << failureText(packed);
    EXPECT_FALSE(std::filesystem::exists(user / "g.bin"));
}

} // namespace
} // namespace velmora::test
