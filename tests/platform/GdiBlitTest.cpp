#include "GdiTestSupport.h"

#include "platform/SystemColors.h"
#include "platform/gdi/GdiSurface.h"

#include <gtest/gtest.h>

using namespace velmora::gdi;
using namespace velmora::gdi::test;

namespace {

// A memory context holding a one-row colour bitmap of the given pixels.
struct Row {
    Dc dc = CreateCompatibleDC(nullptr);
    Bitmap bitmap;

    Row(std::initializer_list<COLORREF> colours, bool monochrome = false) {
        bitmap = Bitmap::create(static_cast<int>(colours.size()), 1, monochrome);
        SelectObject(dc, bitmap);
        int x = 0;
        for (COLORREF c : colours)
            SetPixelV(dc, x++, 0, c);
    }
    COLORREF at(int x) const { return GetPixel(dc, x, 0); }
};

struct RopCase {
    const char* name;
    std::uint32_t rop;
    COLORREF source;
    COLORREF dest;
    COLORREF expected;
};

class RasterOpTest : public ::testing::TestWithParam<RopCase> {};

TEST_P(RasterOpTest, IsBitExactOnEveryChannel) {
    const RopCase& c = GetParam();
    Row src({c.source});
    Row dst({c.dest});
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, c.rop));
    EXPECT_EQ(dst.at(0), c.expected) << std::hex << dst.at(0);
}

INSTANTIATE_TEST_SUITE_P(
    Ops, RasterOpTest,
    ::testing::Values(RopCase{"Copy", SRCCOPY, 0x123456, 0xABCDEF, 0x123456},
                      RopCase{"And", SRCAND, 0xF0F0F0, 0x3C5A96, 0x305090},
                      RopCase{"AndWithWhiteKeeps", SRCAND, 0xFFFFFF, 0x3C5A96, 0x3C5A96},
                      RopCase{"AndWithBlackClears", SRCAND, 0x000000, 0x3C5A96, 0x000000},
                      RopCase{"Invert", SRCINVERT, 0xFF00F0, 0x0F0F0F, 0xF00FFF},
                      RopCase{"InvertWithBlackKeeps", SRCINVERT, 0x000000, 0x3C5A96, 0x3C5A96},
                      RopCase{"NotSource", NOTSRCCOPY, 0x123456, 0xABCDEF, 0xEDCBA9},
                      RopCase{"Paint", SRCPAINT, 0x100001, 0x020300, 0x120301},
                      RopCase{"Erase", SRCERASE, 0x0F0F0F, 0x00FF00, 0x0F000F},
                      RopCase{"DestInvert", DSTINVERT, 0x123456, 0x00FF00, 0xFF00FF},
                      RopCase{"Blackness", BLACKNESS, 0x123456, 0xABCDEF, 0x000000},
                      RopCase{"Whiteness", WHITENESS, 0x123456, 0xABCDEF, 0xFFFFFF}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MonoConversion, ColourToMonoMarksTheSourceBackgroundColourWhite) {
    const COLORREF key = RGB(255, 0, 255);
    Row src({key, RGB(254, 0, 255), kWhite, kBlack});
    Row mask({kBlack, kBlack, kBlack, kBlack}, true);
    SetBkColor(src.dc, key);
    BitBlt(mask.dc, 0, 0, 4, 1, src.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(mask.at(0), kWhite);
    EXPECT_EQ(mask.at(1), kBlack); // no tolerance for near colours
    EXPECT_EQ(mask.at(2), kBlack); // white is just another colour here
    EXPECT_EQ(mask.at(3), kBlack);
}

TEST(MonoConversion, MonoToColourUsesTheDestinationTextAndBackgroundColours) {
    Row mono({kWhite, kBlack}, true);
    Row dst({0x111111, 0x111111, 0x111111});
    SetTextColor(dst.dc, RGB(10, 20, 30));
    SetBkColor(dst.dc, RGB(200, 150, 100));
    BitBlt(dst.dc, 0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(dst.at(0), RGB(200, 150, 100));
    EXPECT_EQ(dst.at(1), RGB(10, 20, 30));
    EXPECT_EQ(dst.at(2), 0x111111u);
}

TEST(MaskedCopy, MaskAndInverseMaskLeaveOutTheMaskColour) {
    // The button's transparent copy, step by step: mask from the source, its inverse, the
    // background ANDed with the mask, the source ANDed with the inverse mask, then XOR.
    const COLORREF key = RGB(255, 0, 255), blue = RGB(0, 0, 255), picture = RGB(10, 200, 30);
    const COLORREF nearKey = RGB(250, 0, 255);
    QImage surfaceImage = blankImage(5, 1, blue);
    Dc surface(surfaceImage);
    Row source({key, picture, nearKey, key});
    const int w = 4, h = 1, dx = 1;

    Dc maskDc = CreateCompatibleDC(&surface), inverseDc = CreateCompatibleDC(&surface);
    Dc workDc = CreateCompatibleDC(&surface), copyDc = CreateCompatibleDC(&surface);
    SelectObject(maskDc, CreateBitmap(w, h, 1, 1, nullptr));
    SelectObject(inverseDc, CreateBitmap(w, h, 1, 1, nullptr));
    SelectObject(workDc, CreateCompatibleBitmap(surface, w, h));
    SelectObject(copyDc, CreateCompatibleBitmap(surface, w, h));

    const COLORREF oldBk = SetBkColor(source.dc, key);
    BitBlt(maskDc, 0, 0, w, h, source.dc, 0, 0, SRCCOPY);
    SetBkColor(source.dc, oldBk);
    BitBlt(inverseDc, 0, 0, w, h, maskDc, 0, 0, NOTSRCCOPY);
    BitBlt(workDc, 0, 0, w, h, surface, dx, 0, SRCCOPY);
    BitBlt(workDc, 0, 0, w, h, maskDc, 0, 0, SRCAND);
    BitBlt(copyDc, 0, 0, w, h, source.dc, 0, 0, SRCCOPY);
    BitBlt(copyDc, 0, 0, w, h, inverseDc, 0, 0, SRCAND);
    BitBlt(workDc, 0, 0, w, h, copyDc, 0, 0, SRCINVERT);
    BitBlt(surface, dx, 0, w, h, workDc, 0, 0, SRCCOPY);

    EXPECT_EQ(pixelAt(surfaceImage, 0, 0), blue);
    EXPECT_EQ(pixelAt(surfaceImage, 1, 0), blue);
    EXPECT_EQ(pixelAt(surfaceImage, 2, 0), picture);
    EXPECT_EQ(pixelAt(surfaceImage, 3, 0), nearKey);
    EXPECT_EQ(pixelAt(surfaceImage, 4, 0), blue);
}

TEST(BitBlt, SourceOutsideItsSurfaceLeavesTheDestination) {
    Row src({kRed, kRed});
    Row dst({kWhite, kWhite, kWhite, kWhite});
    BitBlt(dst.dc, 0, 0, 4, 1, src.dc, -1, 0, SRCCOPY);
    EXPECT_EQ(dst.at(0), kWhite);
    EXPECT_EQ(dst.at(1), kRed);
    EXPECT_EQ(dst.at(2), kRed);
    EXPECT_EQ(dst.at(3), kWhite);
}

TEST(BitBlt, OverlappingCopyWithinOneSurface) {
    Row row({1, 2, 3, 4, 5});
    BitBlt(row.dc, 1, 0, 4, 1, row.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(row.at(0), 1u);
    EXPECT_EQ(row.at(1), 1u);
    EXPECT_EQ(row.at(2), 2u);
    EXPECT_EQ(row.at(4), 4u);
}

TEST(StretchBlt, EnlargesByReplication) {
    Row src({kRed, kBlack});
    QImage image = blankImage(4, 2);
    Dc dst(image);
    ASSERT_TRUE(StretchBlt(dst, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(picture(image, kRed), "##..\n##..\n");
    EXPECT_EQ(picture(image, kBlack), "..##\n..##\n");
}

struct ShrinkCase {
    const char* name;
    int mode;
    COLORREF left;
    COLORREF right;
};

class StretchShrinkTest : public ::testing::TestWithParam<ShrinkCase> {};

TEST_P(StretchShrinkTest, CombinesDroppedPixelsAsTheModeSays) {
    const ShrinkCase& c = GetParam();
    Row src({kBlack, kWhite, kWhite, kBlack});
    Row dst({kRed, kRed});
    if (c.mode)
        SetStretchBltMode(dst.dc, c.mode);
    StretchBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 4, 1, SRCCOPY);
    EXPECT_EQ(dst.at(0), c.left);
    EXPECT_EQ(dst.at(1), c.right);
}

INSTANTIATE_TEST_SUITE_P(Modes, StretchShrinkTest,
                         ::testing::Values(ShrinkCase{"DefaultIsBlackOnWhite", 0, kBlack, kBlack},
                                           ShrinkCase{"WhiteOnBlack", WHITEONBLACK, kWhite, kWhite},
                                           ShrinkCase{"ColorOnColor", COLORONCOLOR, kBlack,
                                                      kWhite}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StretchBlt, HugeRequestsOnlyVisitTheDestination) {
    Row src({kRed});
    Row dst({kWhite, kWhite});
    ASSERT_TRUE(StretchBlt(dst.dc, -1000000000, 0, 2000000000, 1, src.dc, 0, 0, 1, 1, SRCCOPY));
    EXPECT_EQ(dst.at(0), kRed);
    EXPECT_EQ(dst.at(1), kRed);
    Row wide({kBlack, kWhite});
    Row one({kRed});
    ASSERT_TRUE(StretchBlt(one.dc, 0, 0, 1, 1, wide.dc, 0, 0, 2000000000, 1, SRCCOPY));
    EXPECT_EQ(one.at(0), kBlack); // what lies inside the source, ANDed
}

TEST(StretchBlt, RefusesNegativeSizes) {
    Row src({kRed});
    Row dst({kWhite});
    EXPECT_FALSE(StretchBlt(dst.dc, 0, 0, -1, 1, src.dc, 0, 0, 1, 1, SRCCOPY));
    EXPECT_EQ(dst.at(0), kWhite);
}

class DrawStateTest : public ::testing::Test {
  protected:
    const COLORREF face = RGB(236, 233, 216);
    const COLORREF highlight = velmora::GetSysColor(velmora::COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = velmora::GetSysColor(velmora::COLOR_BTNSHADOW);
    QImage image = blankImage(6, 3, face);
    Dc dc{image};
    // black, white, red: two ink pixels and one that counts as paper.
    Bitmap bitmap = Bitmap::fromImage([] {
        QImage i(3, 1, QImage::Format_RGB32);
        i.setPixel(0, 0, qRgb(0, 0, 0));
        i.setPixel(1, 0, qRgb(255, 255, 255));
        i.setPixel(2, 0, qRgb(255, 0, 0));
        return i;
    }());
};

TEST_F(DrawStateTest, NormalCopiesTheBitmap) {
    ASSERT_TRUE(DrawStateA(dc, nullptr, bitmap, 1, 1, 0, 0, DST_BITMAP));
    EXPECT_EQ(pixelAt(image, 1, 1), kBlack);
    EXPECT_EQ(pixelAt(image, 2, 1), kWhite);
    EXPECT_EQ(pixelAt(image, 3, 1), RGB(255, 0, 0));
    EXPECT_EQ(pixelAt(image, 4, 1), face);
}

TEST_F(DrawStateTest, DisabledIsEmbossedHighlightBelowRightShadowInPlace) {
    ASSERT_TRUE(DrawStateA(dc, nullptr, bitmap, 1, 1, 0, 0, DST_BITMAP | DSS_DISABLED));
    EXPECT_EQ(pixelAt(image, 1, 1), shadow);
    EXPECT_EQ(pixelAt(image, 2, 1), face); // white pixels are paper: untouched
    EXPECT_EQ(pixelAt(image, 3, 1), shadow);
    EXPECT_EQ(pixelAt(image, 2, 2), highlight);
    EXPECT_EQ(pixelAt(image, 4, 2), highlight);
    EXPECT_EQ(pixelAt(image, 3, 2), face);
    EXPECT_EQ(pixelAt(image, 1, 2), face);
}

TEST_F(DrawStateTest, MonoPaintsTheBrushWhereTheBitmapIsNotWhite) {
    const Brush grey = CreateSolidBrush(RGB(146, 146, 146));
    ASSERT_TRUE(DrawStateA(dc, &grey, bitmap, 0, 0, 0, 0, DST_BITMAP | DSS_MONO));
    EXPECT_EQ(pixelAt(image, 0, 0), RGB(146, 146, 146));
    EXPECT_EQ(pixelAt(image, 1, 0), face);
    EXPECT_EQ(pixelAt(image, 2, 0), RGB(146, 146, 146));
    EXPECT_EQ(inkBounds(image, RGB(146, 146, 146)), (Rect{0, 0, 3, 1}));
}

TEST_F(DrawStateTest, TypeFlagMustMatchThePicture) {
    EXPECT_FALSE(DrawStateA(dc, nullptr, bitmap, 0, 0, 0, 0, DST_ICON));
    EXPECT_EQ(inkBounds(image, kBlack), Rect{});
}

TEST(DrawStateIcon, NormalDrawsThroughTheMaskAndEffectsUseOpaquePixels) {
    QImage argb(2, 2, QImage::Format_ARGB32);
    argb.fill(Qt::transparent);
    argb.setPixel(0, 0, qRgba(0, 0, 255, 255));
    argb.setPixel(1, 1, qRgba(255, 255, 255, 255));
    const Icon icon(argb);

    QImage image = blankImage(2, 2, kRed);
    Dc dc(image);
    ASSERT_TRUE(DrawStateA(dc, nullptr, icon, 0, 0, 0, 0, DST_ICON));
    EXPECT_EQ(pixelAt(image, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(pixelAt(image, 1, 0), kRed);
    EXPECT_EQ(pixelAt(image, 1, 1), kWhite);

    // Into a fresh (black) compatible bitmap, as the greyed icon is drawn: only ink changes.
    Dc memory = CreateCompatibleDC(&dc);
    SelectObject(memory, CreateCompatibleBitmap(dc, 2, 2));
    const Brush grey = CreateSolidBrush(RGB(146, 146, 146));
    ASSERT_TRUE(DrawStateA(memory, &grey, icon, 0, 0, 0, 0, DST_ICON | DSS_MONO));
    EXPECT_EQ(GetPixel(memory, 0, 0), RGB(146, 146, 146));
    EXPECT_EQ(GetPixel(memory, 1, 0), kBlack);
    EXPECT_EQ(GetPixel(memory, 1, 1), kBlack);
}

TEST(DrawIconEx, BlendsPartlyTransparentPixels) {
    QImage argb(1, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(255, 255, 255, 128));
    QImage image = blankImage(2, 2, kBlack);
    Dc dc(image);
    ASSERT_TRUE(DrawIconEx(dc, 0, 0, Icon(argb), 2, 2));
    EXPECT_EQ(pixelAt(image, 1, 1), RGB(128, 128, 128));
}

} // namespace
