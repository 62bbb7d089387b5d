// DDS files GIMP wrote in its DXT5 encodings (tests/data/gimp-dds), with GIMP's own rendering of
// each as the oracle: Pack takes the colours GIMP shows when it opens the file, or refuses and
// says how to export it again; info names the encoding either way.
#include "TestPaths.h"

#include "CliInProcess.h"
#include "FileHelpers.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include "base/ByteOrder.h"
#include "formats/DdsReader.h"

#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTile = 64;   // the size GIMP wrote
constexpr std::size_t kSide = 1024; // the size Pack takes
constexpr std::size_t kBlockBytes = 16;
// GIMP decodes in floating point and rounds its own way; measured worst is 1.
constexpr int kTolerance = 2;
constexpr const char* kRecipe = "Compression None, Format RGBA8";

fs::path gimpFile(const std::string& name) {
    return fs::path(kTestDataDir) / "gimp-dds" / name;
}

// The 64x64 file made 1024x1024 by repeating its 4x4 blocks: every block decodes on its own,
// so the picture is GIMP's tiled. The header keeps all but the size, GIMP's marks included.
Bytes tiledTo1024(const Bytes& file) {
    Bytes tiled(file.begin(), file.begin() + conversion::kDdsHeaderSize);
    conversion::writeLe32(tiled, 12, kSide);
    conversion::writeLe32(tiled, 16, kSide);
    const std::size_t tileBlocks = kTile / 4;
    for (std::size_t by = 0; by < kSide / 4; ++by)
        for (std::size_t bx = 0; bx < kSide / 4; ++bx) {
            const auto at = file.begin() + conversion::kDdsHeaderSize +
                            static_cast<std::ptrdiff_t>(
                                ((by % tileBlocks) * tileBlocks + bx % tileBlocks) * kBlockBytes);
            tiled.insert(tiled.end(), at, at + kBlockBytes);
        }
    return tiled;
}

// Largest difference, over all pixels and per channel B,G,R,A, between the block's pixels and
// GIMP's rendering tiled.
std::array<int, 4> worstDifference(const Bytes& block, const QImage& rendering) {
    std::array<int, 4> worst{};
    const std::uint8_t* pixel = block.data();
    for (std::size_t y = 0; y < kSide; ++y)
        for (std::size_t x = 0; x < kSide; ++x, pixel += 4) {
            const QRgb shown = rendering.pixel(int(x % kTile), int(y % kTile));
            const std::array<int, 4> expected{qBlue(shown), qGreen(shown), qRed(shown),
                                              qAlpha(shown)};
            for (std::size_t c = 0; c < 4; ++c)
                worst[c] = std::max(worst[c], std::abs(int(pixel[c]) - expected[c]));
        }
    return worst;
}

struct GimpCase {
    const char* file;
    const char* rendering; // GIMP's PNG of it; nullptr: Pack refuses it
    const char* encoding;  // named by info, and by the refusal
};

const GimpCase kCases[] = {
    {"dxt5.dds", "dxt5.png", "BC3 / DXT5"},
    {"ycocg.dds", "ycocg.png", "GIMP's YCoCg colour (YCG1)"},
    {"ycocg-scaled.dds", "ycocg-scaled.png", "GIMP's scaled YCoCg colour (YCG2)"},
    {"aexp.dds", "aexp.png", "GIMP's alpha-exponent colour (AEXP)"},
    {"bc3n.dds", nullptr, "swizzled normal-map channels (BC3n / DXT5nm)"},
    {"rxgb.dds", nullptr, "RXGB (DXT5 with red moved to alpha"},
    {"bc5.dds", nullptr, "BC5 / ATI2"},
};

void PrintTo(const GimpCase& c, std::ostream* out) {
    *out << c.file;
}

class GimpDds : public testing::TestWithParam<GimpCase> {};

TEST_P(GimpDds, DecodedAsGimpShowsItOrRefusedWithTheRecipe) {
    const GimpCase& c = GetParam();
    TempFolder folder;
    const Bytes file = tiledTo1024(readFile(gimpFile(c.file)));
    writeFile(folder / "tile.dds", file);

    const auto image = conversion::readDdsPicture(file);
    if (c.rendering) {
        ASSERT_TRUE(image) << image.error().reason;
        QImage rendering;
        ASSERT_TRUE(rendering.load(QString::fromStdString(gimpFile(c.rendering).string())));
        rendering = rendering.convertToFormat(QImage::Format_ARGB32);
        const auto worst = worstDifference(image->bgra, rendering);
        for (std::size_t ch = 0; ch < 4; ++ch)
            EXPECT_LE(worst[ch], kTolerance) << "channel "
                                             << "BGRA"[ch];
        EXPECT_NE(image->layout.format.find(c.encoding), std::string::npos) << image->layout.format;
    } else {
        ASSERT_FALSE(image);
        EXPECT_EQ(image.error().kind, conversion::ErrorKind::Unsupported);
        EXPECT_NE(image.error().reason.find(c.encoding), std::string::npos) << image.error().reason;
        EXPECT_NE(image.error().reason.find(kRecipe), std::string::npos) << image.error().reason;

        const ProcessResult pack = runCliInProcess(folder, {"pack", "tile.dds", "0", "out"});
        EXPECT_EQ(pack.exitCode, 1);
        EXPECT_NE(pack.err.find(c.encoding), std::string::npos) << pack.err;
        EXPECT_FALSE(fs::exists(folder / "out.bin"));
    }

    const ProcessResult info = runCliInProcess(folder, {"info", "tile.dds"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find(c.encoding), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("pack:            refused") == std::string::npos,
              c.rendering != nullptr)
        << info.out;
}

INSTANTIATE_TEST_SUITE_P(Gimp, GimpDds, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GimpCase>& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             std::erase(name, '-');
                             return name;
                         });

// A mark GIMP may add in another version: not known, so not packed as plain DXT5 either.
TEST(GimpDdsMark, UnknownIsRefusedNotTakenForPlainDxt5) {
    Bytes file = tiledTo1024(readFile(gimpFile("dxt5.dds")));
    const std::array<std::uint8_t, 4> mark{'Y', 'C', 'G', '9'};
    std::copy(mark.begin(), mark.end(), file.begin() + 44);
    const auto image = conversion::readDdsPicture(file);
    ASSERT_FALSE(image);
    EXPECT_NE(image.error().reason.find("BC3 / DXT5 with GIMP's format code \"YCG9\""),
              std::string::npos)
        << image.error().reason;
    EXPECT_NE(image.error().reason.find(kRecipe), std::string::npos) << image.error().reason;
}

} // namespace
} // namespace velmora::test
