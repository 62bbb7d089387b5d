// The strongest level in parts: the joined stream is one valid zlib stream of exactly the
// record, for zlib and libdeflate alike, whatever the data and wherever the parts meet, and the
// same bytes every time.
#include "ConversionTestSupport.h"

#include "gamefile/JobShare.h"
#include "gamefile/SplitDeflate.h"
#include "gamefile/ZlibStream.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <random>
#include <set>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

Bytes randomBytes(std::size_t size) {
    Bytes bytes(size);
    std::mt19937 random(17);
    for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(random() >> 24);
    return bytes;
}

// Literals of nine bits each in the fixed code, no repeats.
Bytes highBytes(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(200 + i * 37 % 50);
    return bytes;
}

// A texture record around `block` with a name of odd length, so that it does not halve evenly.
Bytes oddRecord(const Bytes& block) {
    return textureRecord(block, "topModeSelect_Mov04_Cmm.tex");
}

Bytes wholeStream(const Bytes& input, int level) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_zlib_compress_bound(compressor, input.size()));
    out.resize(
        libdeflate_zlib_compress(compressor, input.data(), input.size(), out.data(), out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}

TEST(SplitDeflate, JoinedStreamIsTheExactRecordForZlibAndLibdeflateAndTheSameEveryTime) {
    struct Row {
        const char* name;
        Bytes input;
        bool checkCost; // a realistic tile: the parts must cost next to nothing
    };
    const Bytes flat = paintDdsImage([](int, int, std::uint8_t* p) {
        p[0] = 30;
        p[1] = 60;
        p[2] = 200;
        p[3] = 255;
    });
    const std::vector<Row> rows{
        {"photo-like record", oddRecord(photoLikeImage(3.0, 5)), true},
        {"gradient record", oddRecord(validImage(4)), false},
        {"flat record", oddRecord(flat), false},
        // Incompressible: every part ends in a stored block, so each join starts byte-aligned.
        {"random bytes, odd length", randomBytes(700'001), false},
        // Nine bits a literal in the fixed code: the first part ends 2 or 1 bits short of a
        // byte, too few for the stored block's header, which then takes one more byte.
        {"25 bytes over 143", highBytes(25), false},
        {"27 bytes over 143", highBytes(27), false},
        {"three bytes", Bytes{1, 2, 3}, false},
        {"one byte", Bytes{9}, false},
    };
    std::set<std::size_t> spareBits; // after the first part's last block, to the byte's end
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto first =
            PartDeflater(kStrongestCompressionLevel).compress(deflatePart(row.input, 0));
        ASSERT_TRUE(first);
        spareBits.insert((8 - first->endBit % 8) % 8);
        ASSERT_NE(row.input.size() % kDeflateParts, 0u) << "the parts must not meet evenly";
        const auto stream = deflateInParts(row.input, kStrongestCompressionLevel);
        ASSERT_TRUE(stream);

        Bytes back(row.input.size() + 1);
        uLongf backSize = back.size();
        ASSERT_EQ(::uncompress(back.data(), &backSize, stream->data(), stream->size()), Z_OK);
        back.resize(backSize);
        EXPECT_TRUE(back == row.input) << "zlib";

        const auto inflated = inflateZlibStream(*stream, row.input.size());
        ASSERT_TRUE(inflated) << inflated.error().reason;
        EXPECT_TRUE(inflated->bytes == row.input) << "libdeflate";
        EXPECT_EQ(inflated->consumed, stream->size());

        EXPECT_TRUE(deflateInParts(row.input, kStrongestCompressionLevel) == stream)
            << "not deterministic";
        {
            // As in a batch whose jobs leave this one a single core: the parts one after the
            // other, the same bytes.
            const RunningJob first, second;
            EXPECT_TRUE(deflateInParts(row.input, kStrongestCompressionLevel) == stream)
                << "depends on the threads it had";
        }
        if (row.checkCost) {
            const std::size_t whole = wholeStream(row.input, kStrongestCompressionLevel).size();
            EXPECT_LE(stream->size(), whole + whole / 1000) << "parts cost over 0.1 %";
        }
    }
    // Every way a join can meet the byte boundary: already on it (a stored block), too close
    // for the stored block's header, and room to spare.
    for (std::size_t spare : {0u, 1u, 2u})
        EXPECT_TRUE(spareBits.count(spare)) << spare << " spare bits never tried";
    EXPECT_GE(*spareBits.rbegin(), 3u) << "room for the header never tried";
}

// -j N caps the cores of all jobs together; jobs running at once share them; the cap ends with
// the run that set it.
TEST(SplitDeflate, JobsShareTheCoresWithinTheBudget) {
    const unsigned cores = usableCores();
    EXPECT_EQ(threadsForOneJob(), cores);
    {
        const CoreBudget oneCore(1);
        EXPECT_EQ(threadsForOneJob(), 1u);
        const CoreBudget more(cores + 4);
        EXPECT_EQ(threadsForOneJob(), cores) << "more than the machine has";
        const RunningJob first, second;
        EXPECT_EQ(threadsForOneJob(), std::max(1u, cores / 2));
    }
    EXPECT_EQ(threadsForOneJob(), cores);
}

// Level 1 when it fits, level 6 for a small miss, the strongest for a large one; the level
// reported is the one that made the stream.
TEST(SplitDeflate, CheapestLevelThatFitsAndTheLevelSaidIsTheLevelUsed) {
    const Bytes data = oddRecord(photoLikeImage(1.0, 3));
    const Bytes fast = wholeStream(data, kFastCompressionLevel);
    const Bytes strongest = wholeStream(data, kStrongestCompressionLevel);
    const Bytes inParts = deflateInParts(data, kStrongestCompressionLevel).value();
    ASSERT_LT(strongest.size(), inParts.size());
    struct Row {
        const char* name;
        std::size_t limit;
        int level;
        Bytes stream;
    };
    const std::vector<Row> rows{
        {"fits at level 1", fast.size(), kFastCompressionLevel, fast},
        {"misses by a byte", fast.size() - 1, kMiddleCompressionLevel,
         wholeStream(data, kMiddleCompressionLevel)},
        {"misses by far more than level 6 wins back", fast.size() * 10 / 11,
         kStrongestCompressionLevel, inParts},
        // Only the parts' cost keeps the joined stream out: the one-piece stream is taken.
        {"the parts' cost is the miss", strongest.size(), kStrongestCompressionLevel, strongest},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const DeflateResult result = deflateZlibStream(data, row.limit);
        EXPECT_EQ(result.level, row.level);
        EXPECT_LE(result.stream.size(), row.limit);
        EXPECT_TRUE(result.stream == row.stream) << "not the stream of the level said";
    }
}

} // namespace
} // namespace velmora::test
