// A DDS of another size than the game's is a picture like any other: info describes it, the
// thumbnailer (and so the preview, which reads the same way) shows it, and only Pack refuses it.
#include "DdsImages.h"
#include "FileHelpers.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velmora::test {
namespace {

// Each 4x4 block one opaque colour, so a quarter-size thumbnail has exactly one per pixel.
void blockColour(int x, int y, std::uint8_t* rgba) {
    rgba[0] = static_cast<std::uint8_t>(x / 4 * 2);
    rgba[1] = static_cast<std::uint8_t>(y / 4 * 2);
    rgba[2] = static_cast<std::uint8_t>((x / 4 + y / 4) % 256);
    rgba[3] = 255;
}

constexpr const char* kRefusal =
    "it is 512x512; the game's tile is 1024x1024: resize it in your editor";

TEST(CliSmallDds, IsDescribedAndShownButNotPacked) {
    TempFolder f;
    writeFile(f / "small.dds", paintDdsImage(blockColour, 512));

    const ProcessResult info = runCli(f, {"info", "small.dds"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("kind:            DDS image\n"
                            "size:            512x512\n"
                            "layout:          32-bit A8R8G8B8 (bytes B,G,R,A)\n"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find(std::string("pack:            refused: ") + kRefusal + "\n"),
              std::string::npos)
        << info.out;

    const ProcessResult thumbnail = runCli(f, {"thumbnail", "small.dds", "thumb.png", "128"});
    ASSERT_EQ(thumbnail.exitCode, 0) << thumbnail.err;
    QImage shown;
    ASSERT_TRUE(shown.load(QString::fromStdString((f / "thumb.png").string()), "PNG"));
    ASSERT_EQ(shown.size(), QSize(128, 128));
    shown = shown.convertToFormat(QImage::Format_ARGB32);
    int wrong = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            std::uint8_t rgba[4];
            blockColour(x * 4, y * 4, rgba);
            if (shown.pixel(x, y) != qRgba(rgba[0], rgba[1], rgba[2], rgba[3]) && wrong++ < 3)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex
                              << shown.pixel(x, y);
        }

    const ProcessResult pack = runCli(f, {"pack", "small.dds", "0", "out.bin"});
    EXPECT_EQ(pack.exitCode, 1);
    EXPECT_NE(pack.err.find(kRefusal), std::string::npos) << pack.err;
    EXPECT_FALSE(std::filesystem::exists(f / "out.bin"));
}

} // namespace
} // namespace velmora::test
