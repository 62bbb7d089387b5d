// What a DDS header and a game file say, read without trusting them.
#include "ConversionTestSupport.h"

#include "formats/DdsImageCheck.h"
#include "gamefile/GameFileInspection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

// What describeDds says of a header, whatever it holds: the reader refuses, this only names.
TEST(DescribeDds, NamesTheLayoutOfAnyHeader) {
    const auto fourCc = [](Bytes& h, const char* code) {
        writeLe32(h, 80, 0x4);
        writeLe32(h, 84,
                  std::uint32_t(code[0]) | std::uint32_t(code[1]) << 8 |
                      std::uint32_t(code[2]) << 16 | std::uint32_t(code[3]) << 24);
    };
    const std::vector<std::pair<std::function<void(Bytes&)>, const char*>> rows{
        {[](Bytes&) {}, "B8G8R8A8"},
        {[](Bytes& h) {
             writeLe32(h, 104, 0);
             writeLe32(h, 80, 0x40);
         },
         "B8G8R8X8"},
        {[&](Bytes& h) { fourCc(h, "DX10"); }, "DX10"},
        {[&](Bytes& h) { fourCc(h, "DXT1"); }, "DXT1"},
        {[&](Bytes& h) {
             fourCc(h, "DXT5");
             writeLe32(h, 80, 0x80000004);
             std::copy_n("GIMP-DDS\x5C\x09\x03\x00YCG9", 16, h.begin() + 32);
         },
         "DXT5, GIMP's mark YCG9, flagged as a normal map"},
        {[](Bytes& h) {
             writeLe32(h, 80, 0x4);
             writeLe32(h, 84, 113);
         },
         "format code 113"},
        {[](Bytes& h) { writeLe32(h, 80, 0x20000); }, "not RGB (luminance, alpha or YUV only)"},
        {[](Bytes& h) {
             writeLe32(h, 92, 0xFF);
             writeLe32(h, 100, 0xFF0000);
         },
         "R8G8B8A8"},
    };
    for (const auto& [change, format] : rows) {
        Bytes header = makeDdsHeader();
        change(header);
        const DdsSummary summary = describeDds(header);
        EXPECT_TRUE(summary.isDds);
        EXPECT_EQ(summary.pixelFormat, format);
    }
    Bytes notDds = makeDdsHeader();
    notDds[0] = 'X';
    EXPECT_FALSE(describeDds(notDds).isDds);
    EXPECT_FALSE(describeDds(std::span(notDds).first(100)).isDds);
}

TEST(GameFileInspection, ReadsTheHeaderFieldsWithoutTrustingThem) {
    const std::vector<std::pair<const char*, Bytes>> rows{
        {"empty", {}}, {"short", Bytes{0x00, 0x01}}, {"garbage", Bytes(5000, 0xC3)}};
    for (const auto& [name, bytes] : rows) {
        SCOPED_TRACE(name);
        const GameFileInfo info = inspectGameFile(bytes);
        EXPECT_EQ(info.fileSize, bytes.size());
        EXPECT_FALSE(info.hasMagic);
        ASSERT_FALSE(info.record);
        EXPECT_FALSE(info.record.error().reason.empty());
    }
}

} // namespace
} // namespace velmora::test
