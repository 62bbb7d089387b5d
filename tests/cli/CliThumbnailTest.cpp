// velmora-cli thumbnail: the sizes and pixels file managers get, and what it refuses.
#include "TestPaths.h"

#include "CliInProcess.h"
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include "formats/PngWriter.h"

#include <QColor>
#include <QImage>
#include <QSize>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace velmora::test {
namespace {

ProcessResult runThumbnail(const TempFolder& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "thumbnail");
    return runCliInProcess(folder, arguments);
}

// Every 4x4 block of the image has one colour; the alpha runs opaque, half, clear by block.
void blockShade(int x, int y, std::uint8_t* rgba) {
    const int bx = x / 4, by = y / 4;
    rgba[0] = static_cast<std::uint8_t>(bx);
    rgba[1] = static_cast<std::uint8_t>(by);
    rgba[2] = static_cast<std::uint8_t>((bx + by) * 7);
    rgba[3] = std::array<std::uint8_t, 3>{255, 128, 0}[static_cast<std::size_t>((bx + by) % 3)];
}

QRgb expectedBlock(int x, int y) {
    std::uint8_t rgba[4];
    blockShade(x * 4, y * 4, rgba);
    // A clear area has no colour to lend.
    return rgba[3] == 0 ? qRgba(0, 0, 0, 0) : qRgba(rgba[0], rgba[1], rgba[2], rgba[3]);
}

// In each 2x2 square one pixel is clear red, three are opaque green: the red must not show.
void quarterClearShade(int x, int y, std::uint8_t* rgba) {
    const bool clear = x % 2 == 0 && y % 2 == 0;
    rgba[0] = clear ? 255 : 0;
    rgba[1] = clear ? 0 : 255;
    rgba[2] = 0;
    rgba[3] = clear ? 0 : 255;
}

Bytes pngOf(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    Bytes pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), {b, g, r, 255});
    return conversion::encodePng(pixels, static_cast<std::uint32_t>(width),
                                 static_cast<std::uint32_t>(height));
}

struct ThumbnailCase {
    const char* name;
    std::function<void(const TempFolder&)> makeInput; // writes "input"
    std::vector<std::string> size;                    // the SIZE argument, if any
    int width;
    int height;
    std::function<QRgb(int, int)> expected;
};

class Thumbnail : public ::testing::TestWithParam<ThumbnailCase> {};

TEST_P(Thumbnail, HasTheSizeAndPixelsOfThePictureScaledDown) {
    const ThumbnailCase& c = GetParam();
    TempFolder f;
    c.makeInput(f);
    std::vector<std::string> args{"input", "out.png"};
    args.insert(args.end(), c.size.begin(), c.size.end());
    const ProcessResult result = runThumbnail(f, args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");

    QImage thumbnail;
    ASSERT_TRUE(thumbnail.load(QString::fromStdString((f / "out.png").string()), "PNG"));
    ASSERT_EQ(thumbnail.width(), c.width);
    ASSERT_EQ(thumbnail.height(), c.height);
    thumbnail = thumbnail.convertToFormat(QImage::Format_ARGB32);
    int wrong = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (thumbnail.pixel(x, y) != c.expected(x, y) && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex
                              << thumbnail.pixel(x, y) << ", not " << c.expected(x, y);
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Thumbnail,
    ::testing::Values(
        ThumbnailCase{"GameFileAtTheDefaultSize",
                      [](const TempFolder& f) {
                          writeFile(f / "input", gameFileAround(zlibStream(
                                                     textureRecord(paintDdsImage(blockShade)))));
                      },
                      {},
                      256,
                      256,
                      expectedBlock},
        ThumbnailCase{
            "DdsWithClearPixelsLendingNoColour",
            [](const TempFolder& f) { writeFile(f / "input", paintDdsImage(quarterClearShade)); },
            {"512"},
            512,
            512,
            [](int, int) { return qRgba(0, 255, 0, 191); }},
        ThumbnailCase{
            "WidePictureKeepsItsProportions",
            [](const TempFolder& f) { writeFile(f / "input", pngOf(300, 100, 10, 20, 30)); },
            {"128"},
            128,
            43,
            [](int, int) { return qRgba(30, 20, 10, 255); }},
        ThumbnailCase{"SmallPictureIsNotBlownUp",
                      [](const TempFolder& f) { writeFile(f / "input", pngOf(40, 64, 1, 2, 3)); },
                      {},
                      40,
                      64,
                      [](int, int) { return qRgba(3, 2, 1, 255); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Tumbler creates the output, keeps it open, and reads the picture through that handle after
// the command ends; a stale file longer than the picture must not leave its tail behind.
class ThumbnailIntoHeldFile : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ThumbnailIntoHeldFile, IsReadThroughTheHandleOpenedBefore) {
    TempFolder f;
    writeFile(f / "input", gameFileAround(zlibStream(textureRecord(paintDdsImage(blockShade)))));
    writeFile(f / "out.png", Bytes(GetParam(), 0x5a));
    const int held = ::open((f / "out.png").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    const ProcessResult result = runThumbnail(f, {"input", "out.png", "128"});
    std::vector<char> seen(4 << 20);
    const ssize_t got = ::pread(held, seen.data(), seen.size(), 0);
    ::close(held);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_GT(got, 0) << "the handle still reads the empty file";
    const QImage thumbnail =
        QImage::fromData(reinterpret_cast<const uchar*>(seen.data()), static_cast<int>(got), "PNG");
    EXPECT_EQ(thumbnail.size(), QSize(128, 128));
    EXPECT_EQ(static_cast<std::size_t>(got), readFile(f / "out.png").size()) << "stale tail left";
}

INSTANTIATE_TEST_SUITE_P(Cli, ThumbnailIntoHeldFile, ::testing::Values(0u, 3u << 20));

struct RefusalCase {
    const char* name;
    std::function<void(const TempFolder&)> makeInput;
    std::vector<std::string> args;
    int exitCode;
    const char* message;
};

class ThumbnailRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ThumbnailRefusal, SaysWhyAndWritesNothing) {
    const RefusalCase& c = GetParam();
    TempFolder f;
    c.makeInput(f);
    std::filesystem::create_directories(f / "tmp"); // where runCli keeps the program's scratch
    const auto before = fileNames(f.path());
    const ProcessResult result = runThumbnail(f, c.args);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(fileNames(f.path()), before);
}

void writeGameFile(const TempFolder& f) {
    writeFile(f / "input", gameFileAround(zlibStream(textureRecord(validImage(3)))));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, ThumbnailRefusal,
    ::testing::Values(
        RefusalCase{"SizeZero", writeGameFile, {"input", "out.png", "0"}, 2, "SIZE is a number"},
        RefusalCase{
            "SizeNotANumber", writeGameFile, {"input", "out.png", "12px"}, 2, "SIZE is a number"},
        RefusalCase{
            "SizeTooLarge", writeGameFile, {"input", "out.png", "5000"}, 2, "from 1 to 4096"},
        RefusalCase{"NoOutput", writeGameFile, {"input"}, 2, "needs INPUT and OUTPUT"},
        RefusalCase{
            "OutputIsTheInput", writeGameFile, {"input", "./input"}, 2, "would replace the input"},
        RefusalCase{
            "MissingInput", [](const TempFolder&) {}, {"input", "out.png"}, 1, "does not exist"},
        RefusalCase{"NotAPicture",
                    [](const TempFolder& f) { writeText(f / "input", "plain words\n"); },
                    {"input", "out.png"},
                    1,
                    "neither a game file, a DDS image nor a picture"},
        RefusalCase{"DamagedStream",
                    [](const TempFolder& f) {
                        Bytes stream = zlibStream(textureRecord(validImage(3)));
                        stream.resize(stream.size() / 2);
                        writeFile(f / "input", gameFileAround(stream));
                    },
                    {"input", "out.png"},
                    1,
                    "Reading the picture"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::test
