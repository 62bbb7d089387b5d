// Pixel and layout tests of the picture and caption on the button face.
#include "ButtonPaintRig.h"

#include "button_xp/ButtonCaption.h"

#include <QColor>
#include <QPainter>

#include <string>

namespace velmora::test {
namespace {

// --- placement ----------------------------------------------------------------------------------

struct PlaceCase {
    const char* name;
    RECT inner;
    Long position;
    Long pw, ph;
    RECT measured; // only its size counts
    RECT wantPicture;
    RECT wantCaption;
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

const RECT kPreviousPicture{1, 2, 3, 4};

class PlacementTest : public testing::TestWithParam<PlaceCase> {};

TEST_P(PlacementTest, PlacesPictureAndCaptionAsOneBlock) {
    const PlaceCase& c = GetParam();
    const ContentPlacement got =
        placePictureAndCaption(c.inner, c.position, c.pw, c.ph, c.measured, kPreviousPicture);
    EXPECT_EQ(got.picture, c.wantPicture);
    EXPECT_EQ(got.caption, c.wantCaption);
}

// A 100 x 30 surface (inner (4, 4, 96, 26)), a 16 x 16 picture and a 40 x 13 caption.
constexpr RECT kInner100x30{4, 4, 96, 26};
constexpr RECT kCaption40x13{30, 8, 70, 21};

INSTANTIATE_TEST_SUITE_P(
    Positions, PlacementTest,
    testing::Values(
        PlaceCase{"left", kInner100x30, 1, 16, 16, kCaption40x13, {20, 7, 36, 23}, {40, 8, 80, 21}},
        // The block is taller than the area: the offset truncates toward zero.
        PlaceCase{
            "above", kInner100x30, 0, 16, 16, kCaption40x13, {42, -1, 58, 15}, {30, 19, 70, 32}},
        PlaceCase{
            "right", kInner100x30, 2, 16, 16, kCaption40x13, {64, 7, 80, 23}, {20, 8, 60, 21}},
        PlaceCase{
            "below", kInner100x30, 3, 16, 16, kCaption40x13, {42, 16, 58, 32}, {30, -1, 70, 12}},
        PlaceCase{"unknownKeepsBoth", kInner100x30, 7, 16, 16, kCaption40x13, kPreviousPicture,
                  kCaption40x13}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlacementTest, PictureAloneIsCentredWithTruncatedOffsets) {
    // 32 x 32 on a 75 x 23 surface.
    EXPECT_EQ(centrePicture(RECT{4, 4, 71, 19}, 32, 32), (RECT{21, -4, 53, 28}));
}

// --- layout through the control -----------------------------------------------------------------

// An 8 x 8 red bitmap with a 2 x 2 green block at (3, 3): green is the mask colour below.
QImage redSquare(int size = 8) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QPainter(&image).fillRect(size * 3 / 8, size * 3 / 8, size / 4, size / 4, QColor(0, 255, 0));
    return image;
}

PicturePtr bitmapPicture(const QImage& image) {
    return std::make_shared<StdPicture>(StdPicture::Bitmap, image);
}

TEST(LayoutTest, PictureWithoutCaptionOnTheSmallButton) {
    PaintRig rig(2, 75, 23);
    QImage big(32, 32, QImage::Format_RGB32);
    big.fill(Qt::red);
    rig.button->setPicture(bitmapPicture(big));
    EXPECT_EQ(rig.f().g_InnerRect, (RECT{4, 4, 71, 19}));
    EXPECT_EQ(rig.f().g_PictureRect, (RECT{21, -4, 53, 28}));
}

TEST(LayoutTest, CaptionBesideThePictureWithTheGap) {
    PaintRig rig(2, 100, 30, QStringLiteral("Button"));
    rig.button->setPicture(bitmapPicture(redSquare(16)));
    rig.button->setPictureSize(0);
    const RECT pic = rig.f().g_PictureRect;
    const RECT cap = rig.f().g_CaptionRect;
    ASSERT_GT(cap.width(), 0);
    ASSERT_GT(cap.height(), 0);
    EXPECT_EQ(pic.width(), 16);
    EXPECT_EQ(cap.left, pic.right + 4);
    EXPECT_EQ(pic.left, 4 + (92 - (cap.width() + 4 + 16)) / 2);
    EXPECT_EQ(pic.top, 4 + (22 - 16) / 2);
    EXPECT_EQ(cap.top, 4 + (22 - cap.height()) / 2);
}

TEST(LayoutTest, LongCaptionWrapsAndIsCentredAgain) {
    PaintRig rig(2, 75, 60, QStringLiteral("Alpha"));
    const Long oneLine = rig.f().g_CaptionRect.height();
    rig.button->setCaption(QStringLiteral("Alpha Beta Gamma Delta"));
    const RECT cap = rig.f().g_CaptionRect;
    EXPECT_GT(cap.height(), oneLine);
    EXPECT_LE(cap.width(), rig.f().g_InnerRect.width());
    EXPECT_EQ(cap.top, 4 + (52 - cap.height()) / 2);
    EXPECT_EQ(cap.left, 4 + (67 - cap.width()) / 2);
}

TEST(LayoutTest, EmptyHoverPictureTakesNoRoomFromTheCaption) {
    // A new button's hover picture is an empty picture object; hovering must not move the text.
    PaintRig rig(2, 75, 23, QStringLiteral("Button"));
    const RECT atRest = rig.f().g_CaptionRect;
    ASSERT_TRUE(rig.f().g_PictureHover);
    rig.f().g_Picture = rig.f().g_PictureHover;
    rig.setState(true, false, false);
    rig.paint();
    EXPECT_EQ(rig.f().g_CaptionRect, atRest);
}

// --- picture pixels -----------------------------------------------------------------------------

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreyShadow{146, 146, 146};
constexpr Rgb kFlatHover{220, 255, 255};
constexpr Rgb kFlatPressed{205, 245, 255};

struct PictureCase {
    const char* name;
    Long style;
    bool icon;
    bool over, down, enabled;
    Long drawnSize; // PictureWidth = PictureHeight
    std::vector<std::pair<QPoint, Rgb>> probes;
};

void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.name;
}

class PictureTest : public testing::TestWithParam<PictureCase> {};

// An 8 x 8 picture in the middle of a 75 x 23 face lands on (33, 7)-(41, 15); its green (masked
// or transparent) block on (36, 10)-(38, 12).
TEST_P(PictureTest, DrawsThePictureInItsState) {
    const PictureCase& c = GetParam();
    PaintRig rig(c.style, 75, 23);
    QImage image = redSquare();
    if (c.icon) {
        // An icon carries its transparency itself: the green block becomes see-through.
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 3; y < 5; ++y)
            for (int x = 3; x < 5; ++x)
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
        rig.button->setPicture(std::make_shared<StdPicture>(StdPicture::Icon, image));
    } else {
        rig.button->setPicture(bitmapPicture(image));
        rig.button->setMaskColor(gdi::RGB(0, 255, 0));
    }
    rig.button->setPictureWidth(c.drawnSize);
    rig.button->setPictureHeight(c.drawnSize);
    rig.host().setEnabled(c.enabled);
    rig.setState(c.over, c.down, false);
    rig.paint();
    for (const auto& [point, colour] : c.probes)
        EXPECT_EQ(rig.at(point.x(), point.y()), colour)
            << "at (" << point.x() << ", " << point.y() << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Bitmaps, PictureTest,
    testing::Values(
        PictureCase{"maskColourShowsTheFace",
                    4,
                    false,
                    false,
                    false,
                    true,
                    8,
                    {{{33, 7}, kRed},
                     {{40, 14}, kRed},
                     {{36, 10}, kFace},
                     {{37, 11}, kFace},
                     {{41, 15}, kFace},
                     {{32, 6}, kFace}}},
        PictureCase{"stretchedToTheDrawnSize",
                    4,
                    false,
                    false,
                    false,
                    true,
                    16,
                    {{{29, 4}, kRed},
                     {{44, 19}, kRed},
                     {{35, 10}, kFace},
                     {{38, 13}, kFace},
                     {{45, 19}, kFace}}},
        PictureCase{"pressedSinksOnePixel",
                    4,
                    false,
                    true,
                    true,
                    true,
                    8,
                    {{{33, 7}, kFace}, {{34, 8}, kRed}, {{41, 15}, kRed}, {{37, 11}, kFace}}},
        PictureCase{"flatPressedStaysPut",
                    2,
                    false,
                    false,
                    true,
                    true,
                    8,
                    {{{33, 7}, kRed}, {{41, 15}, kFlatPressed}, {{36, 10}, kFlatPressed}}},
        PictureCase{"flatHoverLiftsOverAGreySilhouette",
                    2,
                    false,
                    true,
                    false,
                    true,
                    8,
                    {{{30, 4}, kRed},
                     {{37, 11}, kRed},
                     {{33, 7}, kGreyShadow},
                     {{40, 14}, kGreyShadow},
                     {{38, 12}, kGreyShadow},
                     {{41, 15}, kFlatHover},
                     {{29, 3}, kFlatHover}}},
        // Embossed: ink in the shadow colour in place over a highlight copy one pixel down and
        // right; masked pixels count as white, so they are no ink.
        PictureCase{"disabledIsEmbossed",
                    4,
                    false,
                    false,
                    false,
                    false,
                    8,
                    {{{33, 7}, kShadowColour},
                     {{40, 14}, kShadowColour},
                     {{41, 15}, kHighlightColour},
                     {{36, 10}, kHighlightColour},
                     {{37, 11}, kFace},
                     {{32, 6}, kFace}}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Icons, PictureTest,
    testing::Values(
        PictureCase{"transparentPixelsShowTheFace",
                    4,
                    true,
                    false,
                    false,
                    true,
                    8,
                    {{{33, 7}, kRed}, {{40, 14}, kRed}, {{36, 10}, kFace}, {{41, 15}, kFace}}},
        PictureCase{"scaledIntoItsRectangle",
                    4,
                    true,
                    false,
                    false,
                    true,
                    16,
                    {{{29, 4}, kRed}, {{44, 19}, kRed}, {{35, 10}, kFace}, {{45, 19}, kFace}}},
        PictureCase{"pressedSinksOnePixel",
                    0,
                    true,
                    false,
                    true,
                    true,
                    8,
                    {{{33, 7}, kFace}, {{41, 15}, kRed}}},
        PictureCase{"flatHoverLiftsOverAGreySilhouette",
                    2,
                    true,
                    true,
                    false,
                    true,
                    8,
                    {{{30, 4}, kRed}, {{40, 14}, kGreyShadow}, {{41, 15}, kFlatHover}}},
        PictureCase{"disabledIsEmbossed",
                    4,
                    true,
                    false,
                    false,
                    false,
                    8,
                    // drawn at the icon's own size first, so nothing spills past its edge
                    {{{33, 7}, kShadowColour},
                     {{40, 14}, kShadowColour},
                     {{36, 10}, kHighlightColour},
                     {{37, 11}, kFace},
                     {{41, 15}, kFace}}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- caption pixels -----------------------------------------------------------------------------

// The bounding box of the pixels of one colour, right and bottom exclusive.
RECT boxOf(const QImage& image, Rgb colour) {
    RECT box{image.width(), image.height(), 0, 0};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Rgb::of(gdi::fromQRgb(image.pixel(x, y))) == colour) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

struct CaptionMoveCase {
    const char* name;
    Long style;
    int shift;
};

class CaptionPressTest : public testing::TestWithParam<CaptionMoveCase> {};

TEST_P(CaptionPressTest, PressedCaptionMovesOnlyOutsideTheFlatStyle) {
    const CaptionMoveCase& c = GetParam();
    PaintRig rig(c.style, 75, 23, QStringLiteral("Button"));
    const RECT atRest = boxOf(rig.image(), kBlack);
    ASSERT_LT(atRest.left, atRest.right) << "no caption drawn";
    rig.setState(false, true, false);
    rig.paint();
    RECT expected = atRest;
    expected.offset(c.shift, c.shift);
    EXPECT_EQ(boxOf(rig.image(), kBlack), expected);
}

INSTANTIATE_TEST_SUITE_P(Styles, CaptionPressTest,
                         testing::Values(CaptionMoveCase{"hoverOnly", 1, 1},
                                         CaptionMoveCase{"noBorder", 4, 1},
                                         CaptionMoveCase{"xp", 3, 1},
                                         CaptionMoveCase{"flat", 2, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CaptionTest, DrawnInTheForeColour) {
    PaintRig rig(4, 75, 23, QStringLiteral("Button"));
    rig.button->setForeColor(gdi::RGB(200, 0, 0));
    const RECT box = boxOf(rig.image(), Rgb{200, 0, 0});
    EXPECT_LT(box.left, box.right);
    // Inside the measured caption rectangle.
    EXPECT_GE(box.left, rig.f().g_CaptionRect.left);
    EXPECT_LE(box.right, rig.f().g_CaptionRect.right);
}

TEST(CaptionTest, DisabledCaptionIsEmbossed) {
    PaintRig rig(4, 75, 23, QStringLiteral("Button"));
    const QImage enabled = rig.image();
    rig.button->setEnabled(false);
    const QImage disabled = rig.image();
    // The shadow copy sits exactly where the enabled text was; the highlight copy shows one
    // pixel down and right of it.
    int ink = 0;
    for (int y = 0; y < enabled.height(); ++y)
        for (int x = 0; x < enabled.width(); ++x) {
            const bool wasInk = Rgb::of(gdi::fromQRgb(enabled.pixel(x, y))) == kBlack;
            const bool isShadow = Rgb::of(gdi::fromQRgb(disabled.pixel(x, y))) == kShadowColour;
            EXPECT_EQ(wasInk, isShadow) << "at (" << x << ", " << y << ")";
            ink += wasInk;
        }
    ASSERT_GT(ink, 0);
    RECT inkBox = boxOf(enabled, kBlack);
    const RECT lightBox = boxOf(disabled, kHighlightColour);
    inkBox.offset(1, 1);
    EXPECT_EQ(lightBox.right, inkBox.right);
    EXPECT_EQ(lightBox.bottom, inkBox.bottom);
    // The highlight copy left no stray text colour behind, and the fore colour is back.
    EXPECT_EQ(boxOf(disabled, kBlack).right, 0);
    EXPECT_EQ(gdi::GetTextColor(rig.host().hDC()), 0u);
}

} // namespace
} // namespace velmora::test
