// The image fitter: what it returns really fits, says truthfully what it cost, keeps alpha,
// leaves fitting images alone and refuses what would need a ruined picture.
#include "ConversionTestSupport.h"

#include "fit/ImageFitter.h"
#include "gamefile/JobShare.h"
#include "gamefile/ZlibStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

const Bytes kTextureHeader = [] {
    Bytes header(kTextureHeaderBlockSize, 0x11);
    std::copy_n("WE00", 4, header.begin());
    return header;
}();
const std::string kName = "menu_tile_07";

RecordFrame frame() {
    return {kTextureHeader,
            std::span(reinterpret_cast<const std::uint8_t*>(kName.data()), kName.size())};
}

// Generated 1024 x 1024 images: the photo-like one with stronger grain, so that it misses the
// slot as photographs do, and alpha that must survive on its right half.
enum class Picture { PhotoLike, GradientWithNoise, PureNoise };

Bytes picture(Picture kind) {
    if (kind == Picture::GradientWithNoise)
        return gradientWithNoiseImage(99);
    if (kind == Picture::PhotoLike) {
        Bytes block = photoLikeImage(3.0, 99);
        for (std::size_t y = 0; y < 1024; ++y)
            for (std::size_t x = 512; x < 1024; ++x)
                block[128 + (y * 1024 + x) * 4 + 3] = static_cast<std::uint8_t>(128 + y % 128);
        return block;
    }
    Bytes block = blankDdsImage();
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t i = 128; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(byte(random));
    return block;
}

Bytes record(const Bytes& block) {
    Bytes r = kTextureHeader;
    r.insert(r.end(), block.begin(), block.end());
    r.insert(r.end(), kName.begin(), kName.end());
    return r;
}

bool sameAlpha(const Bytes& a, const Bytes& b) {
    for (std::size_t i = 128 + 3; i < a.size(); i += 4)
        if (a[i] != b[i])
            return false;
    return true;
}

class FitsTooDetailedImage : public ::testing::TestWithParam<Picture> {};

TEST_P(FitsTooDetailedImage, WithAStreamThatHoldsTheChangedRecordAndATruePsnr) {
    const Bytes original = picture(GetParam());

    const auto fit = fitImageToSlot(original, frame());
    ASSERT_TRUE(fit) << fit.error().reason;
    EXPECT_TRUE(fit->changed) << "the case must not fit as it is";
    EXPECT_EQ(fit->description, "colour precision reduced");
    ASSERT_EQ(fit->block.size(), kImageBlockSize);
    EXPECT_TRUE(std::equal(original.begin(), original.begin() + 128, fit->block.begin()))
        << "DDS header";
    EXPECT_TRUE(sameAlpha(original, fit->block));
    EXPECT_EQ(fit->psnr, colourPsnr(original, fit->block));
    EXPECT_GE(fit->psnr, kLowestFitPsnr);

    EXPECT_LE(fit->stream.size(), kCompressedBlockSize);
    const auto inflated = inflateZlibStream(fit->stream);
    ASSERT_TRUE(inflated) << inflated.error().reason;
    EXPECT_EQ(inflated->bytes, record(fit->block));

    // What was too much is the unchanged record at the strongest level, as Pack measures it.
    EXPECT_EQ(fit->unfittedSize, deflateZlibStream(record(original)).stream.size());
    if (GetParam() == Picture::PhotoLike) {
        // Told that size, as Pack tells it, the fit spares measuring it and comes out the same.
        const auto again =
            fitImageToSlot(original, frame(), kCompressedBlockSize, fit->unfittedSize);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->block, fit->block) << "not deterministic";
        EXPECT_EQ(again->stream, fit->stream) << "not deterministic";
        // With the cores shared among jobs, on one thread: the same answer.
        const RunningJob first, second;
        const auto alone = fitImageToSlot(original, frame());
        ASSERT_TRUE(alone);
        EXPECT_EQ(alone->stream, fit->stream) << "depends on the threads it had";
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, FitsTooDetailedImage,
                         ::testing::Values(Picture::PhotoLike, Picture::GradientWithNoise));

// The quality the search reached when it measured every step of every band: a faster search must
// not give any of it away. Grain 6 is settled by the fine steps alone, grain 12 needs the coarse
// ones too.
TEST(ImageFitter, KeepsTheQualityOfAFullSearch) {
    const struct {
        double grain;
        double psnr;
    } cases[] = {{6.0, 51.0105}, {12.0, 47.8433}};
    for (const auto& c : cases) {
        const auto fit = fitImageToSlot(photoLikeImage(c.grain, 7), frame());
        ASSERT_TRUE(fit) << "grain " << c.grain << ": " << fit.error().reason;
        EXPECT_GE(fit->psnr, c.psnr - 0.0001) << "grain " << c.grain;
        EXPECT_LE(fit->stream.size(), kCompressedBlockSize) << "grain " << c.grain;
    }
}

TEST(ImageFitter, LeavesAnImageThatFitsUnchanged) {
    const Bytes original = validImage(3);
    const auto fit = fitImageToSlot(original, frame());
    ASSERT_TRUE(fit) << fit.error().reason;
    EXPECT_FALSE(fit->changed);
    EXPECT_EQ(fit->block, original);
    EXPECT_TRUE(std::isinf(fit->psnr));
    const auto inflated = inflateZlibStream(fit->stream);
    ASSERT_TRUE(inflated);
    EXPECT_EQ(inflated->bytes, record(original));
}

TEST(ImageFitter, RefusesNoiseThatWouldNeedLessThan30Decibels) {
    const auto fit = fitImageToSlot(picture(Picture::PureNoise), frame());
    ASSERT_FALSE(fit);
    EXPECT_EQ(fit.error().kind, ErrorKind::DoesNotFit);
    EXPECT_NE(fit.error().reason.find("even with colour precision reduced to PSNR 3"),
              std::string::npos)
        << fit.error().reason;
    EXPECT_NE(fit.error().reason.find(" dB the image does not fit"), std::string::npos)
        << fit.error().reason;
}

TEST(ImageFitter, RefusesABlockThatIsNotA1024SquareImage) {
    const Bytes tooShort(kImageBlockSize - 4, 0);
    const auto fit = fitImageToSlot(tooShort, frame());
    ASSERT_FALSE(fit);
    EXPECT_EQ(fit.error().kind, ErrorKind::Unsupported);
}

TEST(ColourPsnr, CountsBlueGreenAndRedOnly) {
    const Bytes original = validImage(1);
    struct Case {
        std::size_t offset; // within the pixels
        double expected;
    };
    // One sample off by one among 3 x 1024 x 1024.
    const double oneOff = 10 * std::log10(255.0 * 255.0 * 3 * 1024 * 1024);
    for (const Case& c : {Case{0, oneOff}, Case{1, oneOff}, Case{6, oneOff},
                          Case{3, std::numeric_limits<double>::infinity()}}) {
        Bytes changed = original;
        changed[128 + c.offset] ^= 1;
        EXPECT_DOUBLE_EQ(colourPsnr(original, changed), c.expected) << "offset " << c.offset;
    }
}

} // namespace
} // namespace velmora::test
