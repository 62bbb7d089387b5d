// Pixel tests of the button faces: colour arithmetic, every style in its states, bevels, the
// default frame, the XP face with its rings, the window shape and the size rules.
#include "ButtonPaintRig.h"

#include "button_xp/ButtonPainter.h"

#include <string>
#include <vector>

namespace velmora::test {
namespace {

// --- colour arithmetic --------------------------------------------------------------------------

struct ShiftCase {
    const char* name;
    Rgb in;
    Long amount;
    Rgb out;
};

class ShiftColorTest : public testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftColorTest, ShiftsRedGreenPlainlyAndBlueInProportion) {
    const ShiftCase& c = GetParam();
    EXPECT_EQ(Rgb::of(ShiftColor(c.in.ref(), c.amount)), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, ShiftColorTest,
    testing::Values(ShiftCase{"darkerBlueish", {100, 100, 192}, -24, {76, 76, 168}},
                    ShiftCase{"clampsHighAndLow", {250, 10, 0}, 16, {255, 26, 0}},
                    ShiftCase{"faceToWhite", {236, 233, 216}, 48, {255, 255, 255}},
                    ShiftCase{"disabledFill", {255, 255, 255}, -24, {231, 231, 224}},
                    ShiftCase{"disabledOutline", {255, 255, 255}, -84, {171, 171, 144}},
                    ShiftCase{"disabledCorner", {255, 255, 255}, -72, {183, 183, 160}},
                    // Blue's share truncates toward zero: -100/192 is 0, not -1.
                    ShiftCase{"truncatesTowardZero", {0, 0, 100}, -1, {0, 0, 100}},
                    ShiftCase{"focusBottom", {140, 170, 230}, -33, {107, 137, 191}},
                    ShiftCase{"focusTop", {140, 170, 230}, 65, {205, 235, 255}},
                    ShiftCase{"focusSecondRow", {140, 170, 230}, 50, {190, 220, 255}},
                    ShiftCase{"focusSides", {140, 170, 230}, 31, {171, 201, 255}},
                    ShiftCase{"hoverBottom", {225, 153, 71}, -40, {185, 113, 57}},
                    ShiftCase{"hoverTop", {225, 153, 71}, 90, {255, 243, 104}},
                    ShiftCase{"hoverSecondRow", {225, 153, 71}, 35, {255, 188, 83}},
                    ShiftCase{"hoverSides", {225, 153, 71}, 20, {245, 173, 78}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColourHelpersTest, SplitColorGivesTheThreeComponents) {
    const SplitRgb c = SplitColor(gdi::RGB(49, 106, 197));
    EXPECT_EQ(c.r, 49);
    EXPECT_EQ(c.g, 106);
    EXPECT_EQ(c.b, 197);
}

TEST(ColourHelpersTest, BrighteningClampsEveryComponentToTheByteRange) {
    EXPECT_EQ(Rgb::of(BrightenColor(gdi::RGB(250, 100, 0), 10)), (Rgb{255, 110, 10}));
    // A negative depth darkens; no component runs below zero into the next byte.
    EXPECT_EQ(Rgb::of(BrightenColor(gdi::RGB(5, 100, 0), -10)), (Rgb{0, 90, 0}));
}

// --- faces --------------------------------------------------------------------------------------

struct Probe {
    int x;
    int y;
    Rgb colour;
};

struct FaceCase {
    const char* name;
    Long style;
    int height;
    bool over = false;
    bool down = false;
    bool focus = false;
    bool enabled = true;
    bool isDefault = false;
    Integer bevel = 1;
    Integer depth = 8;
    bool runMode = true;
    std::vector<Probe> probes;
};

void PrintTo(const FaceCase& c, std::ostream* os) {
    *os << c.name;
}

class FaceTest : public testing::TestWithParam<FaceCase> {};

TEST_P(FaceTest, PaintsTheExpectedPixels) {
    const FaceCase& c = GetParam();
    PaintRig rig(c.style, 75, c.height);
    rig.host().setAmbientUserMode(c.runMode);
    rig.host().setExtenderDefault(c.isDefault);
    rig.button->setBEVEL(c.bevel);
    rig.button->setBEVELDEPTH(c.depth);
    rig.host().setEnabled(c.enabled);
    rig.setState(c.over, c.down, c.focus);
    rig.paint();
    for (const Probe& p : c.probes)
        EXPECT_EQ(rig.at(p.x, p.y), p.colour) << "at (" << p.x << ", " << p.y << ")";
}

constexpr Rgb kFocusRingTop{205, 235, 255};
constexpr Rgb kHoverColour{225, 153, 71};
constexpr Rgb kFocusColour{140, 170, 230};
// A face pixel inverted by the dotted focus rectangle.
constexpr Rgb kInvertedFace{19, 22, 39};

INSTANTIATE_TEST_SUITE_P(
    XPStyle, FaceTest,
    testing::Values(FaceCase{"normal",
                             3,
                             23,
                             false,
                             false,
                             false,
                             true,
                             false,
                             1,
                             8,
                             true,
                             {{37, 11, {243, 243, 240}},
                              {37, 5, {250, 250, 249}},
                              {37, 19, {234, 234, 228}},
                              {0, 11, kDarkShadowColour},
                              {37, 0, kDarkShadowColour},
                              {74, 11, kDarkShadowColour},
                              {37, 22, kDarkShadowColour},
                              {1, 1, kDarkShadowColour},
                              {1, 21, kDarkShadowColour},
                              {73, 1, kDarkShadowColour},
                              {73, 21, kDarkShadowColour},
                              {37, 21, {207, 207, 192}},
                              {37, 1, {255, 255, 255}},
                              {73, 11, {219, 219, 208}},
                              {72, 11, {231, 231, 224}},
                              {1, 11, {250, 250, 249}},
                              {2, 11, {245, 245, 242}},
                              // no dotted focus rectangle in this style
                              {4, 4, {251, 251, 250}}}},
                    // A ten-pixel face steps 2.5 per row: row 5 rounds -12.5 to the even -12.
                    FaceCase{"roundsHalfToEven",
                             3,
                             10,
                             false,
                             false,
                             false,
                             true,
                             false,
                             1,
                             8,
                             true,
                             {{37, 5, {243, 243, 240}}, {37, 3, {247, 247, 245}}}},
                    FaceCase{"focused",
                             3,
                             23,
                             false,
                             false,
                             true,
                             true,
                             false,
                             1,
                             8,
                             true,
                             {{37, 21, {107, 137, 191}},
                              {37, 1, kFocusRingTop},
                              {37, 2, {190, 220, 255}},
                              {2, 11, {171, 201, 255}},
                              {72, 11, {171, 201, 255}},
                              {1, 11, kFocusColour},
                              {73, 11, kFocusColour},
                              {37, 20, kFocusColour},
                              {37, 11, {243, 243, 240}},
                              {4, 4, {251, 251, 250}},
                              {5, 4, {251, 251, 250}},
                              // the ring's lines stop short of the rounded inner corners
                              {1, 1, kDarkShadowColour},
                              {73, 1, kDarkShadowColour},
                              {1, 21, kDarkShadowColour},
                              {73, 21, kDarkShadowColour}}},
                    FaceCase{"hovered",
                             3,
                             23,
                             true,
                             false,
                             false,
                             true,
                             false,
                             1,
                             8,
                             true,
                             {{37, 21, {185, 113, 57}},
                              {37, 1, {255, 243, 104}},
                              {37, 2, {255, 188, 83}},
                              {2, 11, {245, 173, 78}},
                              {72, 11, {245, 173, 78}},
                              {1, 11, kHoverColour},
                              {1, 20, kHoverColour},
                              {37, 20, kHoverColour},
                              {37, 11, {243, 243, 240}},
                              {1, 1, kDarkShadowColour},
                              {73, 1, kDarkShadowColour},
                              {1, 21, kDarkShadowColour},
                              {73, 21, kDarkShadowColour}}},
                    FaceCase{"hoverRingOverFocusRing",
                             3,
                             23,
                             true,
                             false,
                             true,
                             true,
                             false,
                             1,
                             8,
                             true,
                             {{37, 21, {185, 113, 57}},
                              {37, 1, {255, 243, 104}},
                              {37, 2, {255, 188, 83}},
                              {2, 11, {245, 173, 78}},
                              {1, 11, kHoverColour},
                              {37, 20, kHoverColour}}},
                    FaceCase{"pressedShowsNoRing",
                             3,
                             23,
                             true,
                             true,
                             true,
                             true,
                             false,
                             1,
                             8,
                             true,
                             {{37, 11, {215, 215, 205}},
                              {37, 3, {210, 210, 199}},
                              {37, 21, {239, 239, 230}},
                              {37, 20, {233, 233, 224}},
                              {37, 1, {191, 191, 178}},
                              {37, 2, {199, 199, 187}},
                              {1, 11, {191, 191, 178}},
                              {2, 11, {201, 201, 189}},
                              {73, 11, {228, 228, 218}},
                              {72, 11, {223, 223, 213}},
                              {37, 0, kDarkShadowColour},
                              {73, 21, kDarkShadowColour}}},
                    FaceCase{"disabledIgnoresEveryState",
                             3,
                             23,
                             true,
                             true,
                             true,
                             false,
                             false,
                             1,
                             8,
                             true,
                             {{37, 11, {231, 231, 224}},
                              {37, 1, {231, 231, 224}},
                              {2, 11, {231, 231, 224}},
                              {37, 21, {231, 231, 224}},
                              {0, 11, {171, 171, 144}},
                              {37, 22, {171, 171, 144}},
                              {1, 1, {183, 183, 160}},
                              {1, 21, {183, 183, 160}},
                              {73, 1, {183, 183, 160}},
                              {73, 21, {183, 183, 160}}}},
                    FaceCase{"designModeShowsTheNormalFace",
                             3,
                             23,
                             true,
                             true,
                             false,
                             true,
                             false,
                             1,
                             8,
                             false,
                             {{37, 11, {243, 243, 240}}, {37, 21, {207, 207, 192}}}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    FlatStyle, FaceTest,
    testing::Values(
        FaceCase{"atRest",
                 2,
                 23,
                 false,
                 false,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{37, 11, kFace}, {0, 0, kFace}, {74, 22, kFace}}},
        FaceCase{
            "hovered",
            2,
            23,
            true,
            false,
            false,
            true,
            false,
            1,
            8,
            true,
            {{37, 11, {220, 255, 255}}, {0, 0, kBlack}, {74, 22, kBlack}, {1, 1, {220, 255, 255}}}},
        FaceCase{"pressedAway",
                 2,
                 23,
                 false,
                 true,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{37, 11, {205, 245, 255}}, {0, 0, {205, 245, 255}}}},
        FaceCase{"pressedOver",
                 2,
                 23,
                 true,
                 true,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{37, 11, {205, 245, 255}}, {0, 0, kBlack}}},
        FaceCase{"designModeHasNoBorder",
                 2,
                 23,
                 true,
                 false,
                 false,
                 true,
                 false,
                 1,
                 8,
                 false,
                 {{37, 11, {220, 255, 255}}, {0, 0, {220, 255, 255}}}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    FramedStyles, FaceTest,
    testing::Values(
        FaceCase{"classicAtRest",
                 0,
                 23,
                 false,
                 false,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kHighlightColour},
                  {0, 22, kHighlightColour},
                  {74, 0, kHighlightColour},
                  {74, 22, kShadowColour},
                  {74, 11, kShadowColour},
                  {37, 22, kShadowColour},
                  {73, 11, kFace},
                  {37, 11, kFace}}},
        FaceCase{"classicHovered",
                 0,
                 23,
                 true,
                 false,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kHighlightColour}, {74, 11, kShadowColour}, {73, 11, kFace}}},
        FaceCase{"classicPressed",
                 0,
                 23,
                 true,
                 true,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kShadowColour},
                  {0, 22, kShadowColour},
                  {74, 0, kShadowColour},
                  {74, 11, kHighlightColour},
                  {37, 22, kHighlightColour}}},
        FaceCase{"classicFocusedGetsDefaultFrame",
                 0,
                 23,
                 false,
                 false,
                 true,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kHighlightColour},
                  {73, 11, kShadowColour},
                  {74, 11, kShadowColour},
                  {37, 21, kShadowColour},
                  {37, 22, kShadowColour},
                  {4, 4, kInvertedFace},
                  {5, 4, kFace},
                  {70, 18, kInvertedFace},
                  {70, 17, kFace}}},
        FaceCase{"classicFocusedPressedLosesDefaultFrame",
                 0,
                 23,
                 false,
                 true,
                 true,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kShadowColour}, {73, 11, kFace}, {74, 11, kHighlightColour}}},
        FaceCase{"classicDefaultPressed",
                 0,
                 23,
                 false,
                 true,
                 false,
                 true,
                 true,
                 1,
                 8,
                 true,
                 {{0, 0, kHighlightColour}, {73, 11, kShadowColour}, {74, 11, kHighlightColour}}},
        FaceCase{"classicDesignModeStaysRaised",
                 0,
                 23,
                 true,
                 true,
                 false,
                 true,
                 false,
                 1,
                 8,
                 false,
                 {{0, 0, kHighlightColour}, {74, 22, kShadowColour}}},
        FaceCase{"hoverOnlyAtRestHasNoBorder",
                 1,
                 23,
                 false,
                 false,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kFace}, {0, 11, kFace}, {74, 22, kFace}, {73, 11, kFace}}},
        FaceCase{"hoverOnlyHovered",
                 1,
                 23,
                 true,
                 false,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kHighlightColour}, {74, 22, kShadowColour}}},
        FaceCase{"hoverOnlyPressed",
                 1,
                 23,
                 true,
                 true,
                 false,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kShadowColour}, {74, 22, kHighlightColour}}},
        FaceCase{"hoverOnlyFocusedHasNoDefaultFrame",
                 1,
                 23,
                 false,
                 false,
                 true,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kFace}, {73, 11, kFace}, {4, 4, kInvertedFace}}},
        FaceCase{"hoverOnlyDefaultButton",
                 1,
                 23,
                 false,
                 false,
                 false,
                 true,
                 true,
                 1,
                 8,
                 true,
                 {{0, 11, kHighlightColour},
                  {73, 11, kShadowColour},
                  {74, 11, kFace},
                  {37, 21, kShadowColour},
                  {37, 22, kFace}}},
        FaceCase{"noBorderEvenHoveredPressedDefault",
                 4,
                 23,
                 true,
                 true,
                 false,
                 true,
                 true,
                 1,
                 8,
                 true,
                 {{0, 0, kFace}, {74, 22, kFace}, {73, 11, kFace}, {0, 11, kFace}}},
        FaceCase{"noBorderFocusedKeepsFocusRect",
                 4,
                 23,
                 false,
                 false,
                 true,
                 true,
                 false,
                 1,
                 8,
                 true,
                 {{0, 0, kFace}, {4, 4, kInvertedFace}, {5, 4, kFace}}}),
    [](const auto& info) { return std::string(info.param.name); });

// BEVEL 3, BEVELDEPTH 8: four rings at insets 3, 2, 1, 0, each one shift darker than the one
// inside it, and four highlight edge pairs, each brighter.
constexpr Rgb kRing3{228, 225, 207};
constexpr Rgb kRing2{220, 217, 199};
constexpr Rgb kRing1{212, 209, 191};
constexpr Rgb kRing0{204, 201, 184};
constexpr Rgb kLight3{244, 241, 224};
constexpr Rgb kLight2{252, 249, 232};
constexpr Rgb kLight1{255, 255, 240};
constexpr Rgb kLight0{255, 255, 248};

INSTANTIATE_TEST_SUITE_P(
    Bevels, FaceTest,
    testing::Values(FaceCase{"raised",
                             0,
                             23,
                             false,
                             false,
                             false,
                             true,
                             false,
                             3,
                             8,
                             true,
                             {{74, 11, kRing0},
                              {73, 11, kRing1},
                              {72, 11, kRing2},
                              {71, 11, kRing3},
                              {70, 11, kFace},
                              {37, 22, kRing0},
                              {37, 19, kRing3},
                              {37, 0, kLight0},
                              {37, 1, kLight1},
                              {37, 2, kLight2},
                              {37, 3, kLight3},
                              {37, 4, kFace},
                              {0, 11, kLight0},
                              {3, 11, kLight3},
                              // the edge lines stop one short of the far corner
                              {74, 0, kRing0},
                              {0, 22, kRing0},
                              {73, 1, kRing1}}},
                    FaceCase{"sunken",
                             0,
                             23,
                             true,
                             true,
                             false,
                             true,
                             false,
                             3,
                             8,
                             true,
                             {{74, 11, kLight0},
                              {73, 11, kLight1},
                              {72, 11, kLight2},
                              {71, 11, kLight3},
                              {37, 0, kRing0},
                              {37, 1, kRing1},
                              {37, 2, kRing2},
                              {37, 3, kRing3},
                              {74, 0, kLight0}}},
                    FaceCase{"defaultFrameIsThreeStepsDeeper",
                             0,
                             23,
                             false,
                             false,
                             true,
                             true,
                             false,
                             3,
                             8,
                             true,
                             {{74, 11, {192, 189, 172}},
                              {71, 11, {225, 222, 204}},
                              {37, 3, {247, 244, 227}},
                              {37, 2, {255, 255, 238}},
                              {37, 0, {255, 255, 255}}}},
                    FaceCase{"designModeRaised",
                             0,
                             23,
                             true,
                             true,
                             false,
                             true,
                             false,
                             3,
                             8,
                             false,
                             {{74, 11, kRing0}, {37, 0, kLight0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FaceOptionsTest, FlatStyleUsesTheChosenColoursWithoutTheDefaults) {
    PaintRig rig(2, 75, 23);
    rig.button->setXPDefaultColors(false);
    rig.setState(true, false, false);
    rig.paint();
    EXPECT_EQ(rig.at(37, 11), (Rgb{241, 239, 226})); // 3-D light
    rig.setState(false, true, false);
    rig.paint();
    EXPECT_EQ(rig.at(37, 11), kHighlightColour);
}

TEST(FaceOptionsTest, FlatStyleShowsItsBorderAlwaysWhenAsked) {
    PaintRig rig(2, 75, 23);
    rig.button->setXPShowBorderAlways(true);
    rig.paint();
    EXPECT_EQ(rig.at(0, 0), kBlack);
    EXPECT_EQ(rig.at(74, 22), kBlack);
    EXPECT_EQ(rig.at(37, 11), kFace);
}

TEST(FaceOptionsTest, FocusRectangleCanBeSwitchedOff) {
    PaintRig rig(0, 75, 23);
    rig.button->setShowFocusRect(false);
    rig.setState(false, false, true);
    rig.paint();
    EXPECT_EQ(rig.at(4, 4), kFace);
}

TEST(FaceOptionsTest, XPFaceUsesTheChosenAccentColours) {
    PaintRig rig(3, 75, 23);
    rig.button->setXPDefaultColors(false);
    rig.button->setXPColor_Pressed(gdi::RGB(0, 0, 200));
    rig.button->setXPColor_Hover(gdi::RGB(200, 0, 0));
    rig.setState(false, false, true);
    rig.paint();
    EXPECT_EQ(rig.at(1, 11), (Rgb{0, 0, 200}));
    rig.setState(true, false, false);
    rig.paint();
    EXPECT_EQ(rig.at(1, 11), (Rgb{200, 0, 0}));
}

// --- transparent background ---------------------------------------------------------------------

// A parent picture whose every pixel tells where it came from.
PicturePtr coordinatePicture() {
    QImage image(200, 120, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x, y, 77));
    return std::make_shared<StdPicture>(StdPicture::Bitmap, image);
}

TEST(TransparentBackgroundTest, ShowsTheParentPictureBehindTheButtonsPlace) {
    PaintRig rig(4, 75, 23);
    rig.host().setParentPicture(coordinatePicture());
    // The button sits at (10, 5) pixels; the parent measures in twips.
    rig.host().setParentScaleMode(ScaleUnit::Twips);
    rig.button->setTransparentBG(true);
    EXPECT_EQ(rig.at(0, 0), (Rgb{10, 5, 77}));
    EXPECT_EQ(rig.at(30, 10), (Rgb{40, 15, 77}));
}

TEST(TransparentBackgroundTest, FlatStylePressedFillsInsteadOfShowingThrough) {
    PaintRig rig(2, 75, 23);
    rig.host().setParentPicture(coordinatePicture());
    rig.button->setTransparentBG(true);
    EXPECT_EQ(rig.at(30, 10), (Rgb{40, 15, 77}));
    rig.setState(false, true, false);
    rig.paint();
    EXPECT_EQ(rig.at(30, 10), (Rgb{205, 245, 255}));
}

TEST(TransparentBackgroundTest, FlatStyleWithoutParentPictureDropsTheHoverColourOnLeaving) {
    PaintRig rig(2, 75, 23);
    rig.button->setTransparentBG(true);
    rig.setState(true, false, false);
    rig.paint();
    EXPECT_EQ(rig.at(30, 10), (Rgb{220, 255, 255}));
    rig.setState(false, false, false);
    rig.paint();
    EXPECT_EQ(rig.at(30, 10), kFace);
}

TEST(TransparentBackgroundTest, XPStyleSwitchesTransparencyOff) {
    PaintRig rig(0, 75, 23);
    rig.button->setTransparentBG(true);
    rig.button->setButtonStyle(3);
    EXPECT_FALSE(rig.button->TransparentBG());
}

// --- window shape and size rules ----------------------------------------------------------------

struct ShapeProbe {
    int x;
    int y;
    bool inside;
};

class RoundCornersTest : public testing::TestWithParam<ShapeProbe> {};

TEST_P(RoundCornersTest, CutsThreePixelsFromEachCorner) {
    const ShapeProbe& p = GetParam();
    PaintRig rig(3, 75, 23);
    EXPECT_EQ(rig.f().g_Region.contains(p.x, p.y), p.inside);
    EXPECT_EQ(rig.host().windowRegion().contains(QPoint(p.x, p.y)), p.inside);
}

INSTANTIATE_TEST_SUITE_P(
    Corners, RoundCornersTest,
    testing::Values(ShapeProbe{0, 0, false}, ShapeProbe{1, 0, false}, ShapeProbe{0, 1, false},
                    ShapeProbe{2, 0, true}, ShapeProbe{1, 1, true}, ShapeProbe{0, 2, true},
                    ShapeProbe{73, 0, false}, ShapeProbe{74, 0, false}, ShapeProbe{74, 1, false},
                    ShapeProbe{72, 0, true}, ShapeProbe{74, 2, true}, ShapeProbe{0, 21, false},
                    ShapeProbe{0, 22, false}, ShapeProbe{1, 22, false}, ShapeProbe{2, 22, true},
                    ShapeProbe{1, 21, true}, ShapeProbe{74, 21, false}, ShapeProbe{73, 22, false},
                    ShapeProbe{74, 22, false}, ShapeProbe{72, 22, true}, ShapeProbe{74, 20, true},
                    ShapeProbe{37, 11, true}, ShapeProbe{75, 11, false}));

TEST(WindowShapeTest, LeavingTheXPStyleGivesTheWholeRectangleBack) {
    PaintRig rig(3, 75, 23);
    ASSERT_FALSE(rig.host().windowRegion().isEmpty());
    rig.button->setButtonStyle(0);
    EXPECT_TRUE(rig.f().g_Region.isEmpty());
    EXPECT_TRUE(rig.host().windowRegion().isEmpty());
}

TEST(WindowShapeTest, ShapeFollowsANewSize) {
    PaintRig rig(3, 75, 23);
    rig.host().resize(40, 17);
    handleButtonResize(*rig.button);
    EXPECT_FALSE(rig.f().g_Region.contains(39, 16));
    EXPECT_TRUE(rig.f().g_Region.contains(37, 16));
    EXPECT_FALSE(rig.f().g_Region.contains(72, 11));
}

struct SizeCase {
    int width;
    int height;
    int wantWidth;
    int wantHeight;
};

class SizeRulesTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeRulesTest, EnlargesShortSidesToTenPixelsAndStoresTheGeometry) {
    const SizeCase& c = GetParam();
    PaintRig rig(0, c.width, c.height);
    EXPECT_EQ(rig.host().width(), c.wantWidth);
    EXPECT_EQ(rig.host().height(), c.wantHeight);
    EXPECT_EQ(rig.f().g_Width, c.wantWidth);
    EXPECT_EQ(rig.f().g_Height, c.wantHeight);
    EXPECT_EQ(rig.f().g_FocusRect, (RECT{4, 4, c.wantWidth - 4, c.wantHeight - 4}));
    // The face was drawn at the enlarged size: the bottom-right corner has the shadow.
    EXPECT_EQ(rig.at(c.wantWidth - 1, c.wantHeight - 1), kShadowColour);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeRulesTest,
                         testing::Values(SizeCase{5, 30, 10, 30}, SizeCase{40, 3, 40, 10},
                                         SizeCase{5, 5, 10, 10}, SizeCase{9, 23, 10, 23},
                                         SizeCase{10, 10, 10, 10}, SizeCase{75, 23, 75, 23}));

} // namespace
} // namespace velmora::test
