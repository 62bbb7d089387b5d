// Which images the game can use, and what the user is told about the others.
#include "ConversionTestSupport.h"

#include "conversion/DdsImageCheck.h"
#include "conversion/GameFileInspection.h"

#include <gtest/gtest.h>

#include <functional>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

struct ImageCase {
    const char* name;
    std::function<void(Bytes&)> change;
    std::uint64_t fileSize;  // 0: the header plus a full image
    const char* refusal;     // nullptr: accepted
    const char* format;      // what describeDds reports, nullptr: not checked
};

void fourCc(Bytes& h, const char* code)
{
    putU32(h, 80, 0x4);
    putU32(h, 84, std::uint32_t(code[0]) | std::uint32_t(code[1]) << 8 | std::uint32_t(code[2]) << 16 |
                      std::uint32_t(code[3]) << 24);
}

const std::vector<ImageCase>& cases()
{
    static const std::vector<ImageCase> rows{
        {"Usable", [](Bytes&) {}, 0, nullptr, "B8G8R8A8"},
        {"NoAlphaMaskIsUsable", [](Bytes& h) { putU32(h, 104, 0); putU32(h, 80, 0x40); }, 0, nullptr, "B8G8R8X8"},
        {"WithMipLevelsIsUsable", [](Bytes&) {}, 5'592'532, nullptr, nullptr},
        {"NoMagic", [](Bytes& h) { h[0] = 'X'; }, 0, "not a DDS image", nullptr},
        {"HeaderSize", [](Bytes& h) { putU32(h, 4, 128); }, 0, "header size 128", nullptr},
        {"PixelFormatSize", [](Bytes& h) { putU32(h, 76, 24); }, 0, "pixel-format size 24", nullptr},
        {"Dx10", [](Bytes& h) { fourCc(h, "DX10"); }, 0, "DX10 extended header", "DX10"},
        {"Dxt1", [](Bytes& h) { fourCc(h, "DXT1"); }, 0, "block-compressed DXT1", "DXT1"},
        {"Bc5", [](Bytes& h) { fourCc(h, "ATI2"); }, 0, "block-compressed ATI2", nullptr},
        {"FloatFormat", [](Bytes& h) { putU32(h, 80, 0x4); putU32(h, 84, 113); }, 0, "format code 113", nullptr},
        {"TwentyFourBit", [](Bytes& h) { putU32(h, 88, 24); }, 0, "a 24-bit image", nullptr},
        {"SixteenBit", [](Bytes& h) { putU32(h, 88, 16); }, 0, "a 16-bit image", nullptr},
        {"Luminance", [](Bytes& h) { putU32(h, 80, 0x20000); }, 0, "not RGB", nullptr},
        {"RedBlueSwapped", [](Bytes& h) { putU32(h, 92, 0xFF); putU32(h, 100, 0xFF0000); }, 0,
         "R8G8B8A8 order (red and blue swapped", "R8G8B8A8"},
        {"OddMasks", [](Bytes& h) { putU32(h, 96, 0xFF000000); putU32(h, 104, 0xFF00); }, 0, "other channel masks", nullptr},
        {"Smaller", [](Bytes& h) { putU32(h, 12, 512); putU32(h, 16, 512); }, 1'048'704, "a 512x512 image", nullptr},
        {"Wider", [](Bytes& h) { putU32(h, 16, 2048); }, 0, "a 2048x1024 image", nullptr},
        {"OneByteShort", [](Bytes&) {}, 4'194'431, "only 4,194,431 bytes long, 4,194,432 needed", nullptr},
        {"HeaderOnly", [](Bytes&) {}, 128, "only 128 bytes long", nullptr},
        {"CutInsideHeader", [](Bytes&) {}, 100, "a DDS file cut short", nullptr},
        {"Empty", [](Bytes&) {}, 1, "not a DDS image", nullptr},
    };
    return rows;
}

class DdsCheck : public testing::TestWithParam<ImageCase> {};

TEST_P(DdsCheck, AcceptsOnlyWhatTheGameCanUseAndSaysWhatWasFound)
{
    Bytes header = ddsHeader();
    GetParam().change(header);
    const std::uint64_t size = GetParam().fileSize ? GetParam().fileSize : 4'194'432;
    const auto known = std::span(header).first(std::min<std::size_t>(header.size(), size));
    const auto problem = checkDdsImage(known, size);
    if (GetParam().refusal == nullptr) {
        EXPECT_FALSE(problem.has_value()) << *problem;
    } else {
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(GetParam().refusal), std::string::npos) << *problem;
        EXPECT_NE(problem->find("uncompressed 1024x1024 32-bit DDS image in B8G8R8A8 order with a "
                                "128-byte header"),
                  std::string::npos);
    }
    if (GetParam().format) {
        EXPECT_EQ(describeDds(header).pixelFormat, GetParam().format);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, DdsCheck, testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GameFileInspection, ReadsTheHeaderFieldsWithoutTrustingThem)
{
    const std::vector<std::pair<const char*, Bytes>> rows{
        {"empty", {}}, {"short", Bytes{0x00, 0x01}}, {"garbage", Bytes(5000, 0xC3)}};
    for (const auto& [name, bytes] : rows) {
        SCOPED_TRACE(name);
        const GameFileInfo info = inspectGameFile(bytes);
        EXPECT_EQ(info.fileSize, bytes.size());
        EXPECT_FALSE(info.hasMagic);
        EXPECT_FALSE(info.streamOk);
        EXPECT_FALSE(info.streamError.empty());
        EXPECT_FALSE(info.textureHeader.has_value());
    }
}

}  // namespace
}  // namespace velmora::test
