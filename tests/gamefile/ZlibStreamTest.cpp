// The compression component's streams: standard zlib both ways, bounded, one stream only.
#include "ConversionTestSupport.h"

#include "gamefile/ZlibStream.h"
#include "workflows/DeflateCompressionComponent.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

Bytes sample(std::size_t size) {
    Bytes bytes(size);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<std::uint8_t>((i / 64) % 7 == 0 ? state >> 24 : i % 13);
    }
    return bytes;
}

TEST(ZlibStream, OurStreamsAndZlibsReadEachOther) {
    const Bytes data = sample(300'000);

    const DeflateResult ours = deflateZlibStream(data);
    Bytes back(data.size());
    uLongf backSize = back.size();
    ASSERT_EQ(::uncompress(back.data(), &backSize, ours.stream.data(), ours.stream.size()), Z_OK);
    EXPECT_EQ(backSize, data.size());
    EXPECT_EQ(back, data);

    Bytes theirs(::compressBound(data.size()));
    uLongf theirsSize = theirs.size();
    ASSERT_EQ(::compress2(theirs.data(), &theirsSize, data.data(), data.size(), 9), Z_OK);
    theirs.resize(theirsSize);
    const auto inflated = inflateZlibStream(theirs);
    ASSERT_TRUE(inflated) << inflated.error().reason;
    EXPECT_EQ(inflated->bytes, data);
}

TEST(ZlibStream, TakesTheOneStreamAtTheStartAndIgnoresTheFillAfterIt) {
    const Bytes data = sample(50'000);
    const DeflateResult stream = deflateZlibStream(data);
    for (std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        Bytes padded = stream.stream;
        padded.resize(padded.size() + 10'000, fill);
        const auto inflated = inflateZlibStream(padded);
        ASSERT_TRUE(inflated) << inflated.error().reason;
        EXPECT_EQ(inflated->bytes, data);
        EXPECT_EQ(inflated->consumed, stream.stream.size());
    }
}

TEST(ZlibStream, InflatesUpToTheBoundAndRefusesOneByteMore) {
    const std::size_t bound = 4096;
    const auto exact = inflateZlibStream(deflateZlibStream(Bytes(bound, 7)).stream, bound);
    ASSERT_TRUE(exact) << exact.error().reason;
    EXPECT_EQ(exact->bytes.size(), bound);

    const auto over = inflateZlibStream(deflateZlibStream(Bytes(bound + 1, 7)).stream, bound);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().kind, ErrorKind::Damaged);
    EXPECT_NE(over.error().reason.find("more than 4,096 bytes"), std::string::npos)
        << over.error().reason;
}

TEST(ZlibStream, RefusesWhatIsNotAWholeZlibStream) {
    const Bytes stream = deflateZlibStream(sample(20'000)).stream;
    struct Row {
        const char* name;
        Bytes input;
        const char* reason;
    };
    Bytes badChecksum = stream;
    badChecksum.back() ^= 0xFF;
    const std::vector<Row> rows{
        {"empty", {}, "does not begin with a zlib stream"},
        {"zeros", Bytes(1000, 0), "does not begin with a zlib stream"},
        {"raw deflate", Bytes(stream.begin() + 2, stream.end()),
         "does not begin with a zlib stream"},
        {"cut short", Bytes(stream.begin(), stream.begin() + stream.size() / 2),
         "damaged or cut short"},
        {"checksum", badChecksum, "damaged or cut short"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = inflateZlibStream(row.input);
        ASSERT_FALSE(result);
        EXPECT_NE(result.error().reason.find(row.reason), std::string::npos)
            << result.error().reason;
    }
}

TEST(DeflateCompressionComponent, FileToFileBothWaysAndFailuresAreReported) {
    TempFolder folder;
    const Bytes data = sample(100'000);
    writeFile(folder / "in", data);
    writeText(folder / "out", "to be replaced");
    DeflateCompressionComponent component;
    component.InputPath(folder / "in");
    component.OutputPath(folder / "out");
    ASSERT_TRUE(component.CompressFile());
    EXPECT_EQ(component.lastLevel(), kFastCompressionLevel);

    component.InputPath(folder / "out");
    component.OutputPath(folder / "back");
    ASSERT_TRUE(component.UncompressFile());
    EXPECT_EQ(readFile(folder / "back"), data);

    component.InputPath(folder / "missing");
    const auto missing = component.UncompressFile();
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, ErrorKind::NotFound);
    EXPECT_NE(missing.error().reason.find("does not exist"), std::string::npos)
        << missing.error().reason;

    component.InputPath(folder / "in"); // not a stream: the old output must survive
    component.OutputPath(folder / "back");
    EXPECT_FALSE(component.UncompressFile());
    EXPECT_EQ(readFile(folder / "back"), data);
    EXPECT_EQ(fileNames(folder.path()), (std::set<std::string>{"in", "out", "back"}));
}

} // namespace
} // namespace velmora::test
