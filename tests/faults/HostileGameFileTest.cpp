// Game files of every awkward length and every kind of damage, unpacked through the real
// workflow: each ends in the exact image or in one message with no image written.
#include "FaultSupport.h"

#include "base/GameFileLayout.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <random>

#include <sys/resource.h>

namespace fs = std::filesystem;
namespace conv = velmora::conversion;

namespace velmora::faults {
namespace {

struct Valid {
    Bytes image = validImage(3);
    Bytes stream = zlibStream(textureRecord(image), 6);
    Bytes game = gameFileAround(stream);
};
const Valid& valid() {
    static const Valid shared;
    return shared;
}

// What a damaged file may yield.
enum class Expect {
    Image,              // the original image, byte for byte
    Refused,            // a message and no image
    RefusedOrSameImage, // damage the stream format cannot notice may still give the image
};

struct HostileCase {
    std::string name;
    std::function<Bytes()> make;
    Expect expect;
    std::string fragment; // expected in the message when refused
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes padded(Bytes bytes, std::size_t size, std::uint8_t fill) {
    bytes.resize(size, fill);
    return bytes;
}

constexpr std::size_t kFullLength =
    conv::kGameHeaderSize + conv::kGamePayloadBlockSize; // 3,000,017

std::vector<HostileCase> hostileCases() {
    std::vector<HostileCase> cases;
    for (std::size_t length : {0, 15, 16, 17}) {
        // Nothing of an empty file says "game file"; the cut ones keep the game file's lead.
        cases.push_back(
            {"Length" + std::to_string(length),
             [length] { return Bytes(valid().game.begin(), valid().game.begin() + length); },
             Expect::Refused, length == 0 ? "it is neither a game file" : "Decompressing"});
    }
    cases.push_back({"ExactlyTheLengthUnpackReads",
                     [] { return padded(valid().game, kFullLength, 0); }, Expect::Image, ""});
    cases.push_back(
        {"LongerWithGarbageBeyondWhatUnpackReads",
         [] { return padded(padded(valid().game, kFullLength, 0), kFullLength + 65536, 0xFF); },
         Expect::Image, ""});
    cases.push_back({"GarbageInsteadOfZerosAfterTheStream",
                     [] {
                         Bytes file = valid().game;
                         std::mt19937 random(5);
                         while (file.size() < kFullLength) {
                             file.push_back(static_cast<std::uint8_t>(random()));
                         }
                         return file;
                     },
                     Expect::Image, ""});
    cases.push_back({"NoLeadBytesOrMagic",
                     [] {
                         Bytes file = valid().game;
                         std::fill(file.begin(), file.begin() + 16, 0xEE);
                         return file;
                     },
                     Expect::Image, ""});
    cases.push_back({"WrongCheckValue",
                     [] {
                         Bytes file = valid().game;
                         file.back() ^= 0x01; // the last byte of the stream's Adler-32
                         return file;
                     },
                     Expect::Refused, "damaged"});
    cases.push_back({"NotAZlibStream",
                     [] {
                         Bytes file = valid().game;
                         file[16] = 0x1F; // a gzip lead byte where the zlib header belongs
                         file[17] = 0x8B;
                         return file;
                     },
                     Expect::Refused, "zlib"});

    // Cut at many offsets, from inside the zlib header to the last byte of the check value.
    const std::size_t streamLength = valid().stream.size();
    std::vector<std::size_t> cuts{0, 1, 2, 3, 7, 64, 1000};
    for (int eighth = 1; eighth < 8; ++eighth) {
        cuts.push_back(streamLength * eighth / 8);
    }
    for (std::size_t back = 5; back >= 1; --back) {
        cuts.push_back(streamLength - back);
    }
    for (std::size_t cut : cuts) {
        cases.push_back(
            {"StreamCutAt" + std::to_string(cut),
             [cut] { return Bytes(valid().game.begin(), valid().game.begin() + 16 + cut); },
             Expect::Refused, ""});
    }

    // One flipped bit anywhere in the stream.
    for (int i = 0; i < 24; ++i) {
        const std::size_t offset = streamLength * i / 24 + (i == 0 ? 0 : 1);
        cases.push_back({"BitFlippedAt" + std::to_string(offset),
                         [offset, i] {
                             Bytes file = valid().game;
                             file[16 + offset] ^= static_cast<std::uint8_t>(1u << (i % 8));
                             return file;
                         },
                         Expect::RefusedOrSameImage, ""});
    }

    // The inflate bound itself: a record of exactly the bound unpacks, one byte more does not.
    cases.push_back({"RecordOfExactlyTheBound",
                     [] {
                         Bytes record = textureRecord(valid().image);
                         record.resize(conv::kInflateLimit, 0);
                         return gameFileAround(zlibStream(record, 6));
                     },
                     Expect::Image, ""});
    cases.push_back({"RecordOneBytePastTheBound",
                     [] {
                         Bytes record = textureRecord(valid().image);
                         record.resize(conv::kInflateLimit + 1, 0);
                         return gameFileAround(zlibStream(record, 6));
                     },
                     Expect::Refused, "8,388,608"});
    return cases;
}

class HostileGameFile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileGameFile, GivesTheImageOrOneMessage) {
    const HostileCase& hostile = GetParam();
    Workspace ws;
    const fs::path game = ws.root / "game.bin";
    const Bytes bytes = hostile.make();
    writeFile(game, bytes);

    const RunResult result = unpackGameFile(ws.work, game, (ws.out / "tile").string());

    if (hostile.expect == Expect::Image ||
        (hostile.expect == Expect::RefusedOrSameImage && result.ok)) {
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_TRUE(readFile(ws.out / "tile.dds") == valid().image) << "the image differs";
    } else {
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.message.empty());
        EXPECT_NE(result.message.find(hostile.fragment), std::string::npos) << result.message;
        EXPECT_NE(result.message.find(game.string()), std::string::npos) << result.message;
        EXPECT_TRUE(fs::is_empty(ws.out)) << "an image was written for a damaged file";
    }
    EXPECT_EQ(readFile(game), bytes) << "the game file was changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(ws.work), fs::directory_iterator()), 1)
        << "work files left behind";
}

INSTANTIATE_TEST_SUITE_P(Faults, HostileGameFile, ::testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return info.param.name; });

long peakResidentKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(InflateBomb, TheHandWrittenStreamInflatesToExactlyItsSizeInZeros) {
    for (const std::uint64_t size : {1u, 2u, 3u, 258u, 259u, 260u, 517u, 1'000'003u}) {
        SCOPED_TRACE(size);
        const Bytes stream = zeroBombStream(size);
        Bytes inflated(size + 1, 0xAA);
        uLongf inflatedSize = static_cast<uLongf>(inflated.size());
        uLong used = static_cast<uLong>(stream.size());
        ASSERT_EQ(uncompress2(inflated.data(), &inflatedSize, stream.data(), &used), Z_OK);
        EXPECT_EQ(inflatedSize, size);
        EXPECT_EQ(used, stream.size());
        EXPECT_TRUE(std::all_of(inflated.begin(),
                                inflated.begin() + static_cast<std::ptrdiff_t>(size),
                                [](std::uint8_t b) { return b == 0; }));
    }
}

TEST(InflateBomb, AStreamOfOneGibibyteIsRefusedWithinTheBound) {
    // About 1 MB of stream that would inflate to 1 GiB of zeros; made here, never stored.
    const Bytes stream = zeroBombStream(std::uint64_t{1} << 30);
    ASSERT_LT(stream.size(), conv::kGamePayloadBlockSize);
    Workspace ws;
    const fs::path game = ws.root / "bomb.bin";
    writeFile(game, gameFileAround(stream));

    const long before = peakResidentKiB();
    const RunResult result = unpackGameFile(ws.work, game, (ws.out / "tile").string());
    const long grown = peakResidentKiB() - before;

    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("inflates to more than 8,388,608 bytes"), std::string::npos)
        << result.message;
    EXPECT_TRUE(fs::is_empty(ws.out));
    EXPECT_EQ(std::distance(fs::directory_iterator(ws.work), fs::directory_iterator()), 1)
        << "work files left behind";
    // The run holds a few blocks of a few MiB at once, never anything near the 1 GiB.
    EXPECT_LT(grown, 256 * 1024) << "peak memory grew by " << grown << " KiB";
}

} // namespace
} // namespace velmora::faults
