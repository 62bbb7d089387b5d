#include "GdiTestSupport.h"

#include "platform/gdi/GdiSurface.h"

#include <gtest/gtest.h>

using namespace velmora::gdi;
using namespace velmora::gdi::test;

namespace {

struct LineCase {
    const char* name;
    Point from;
    Point to;
    const char* expected; // 6 x 4 picture, '#' = pen colour
};

class LineToTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineToTest, CoversTheFirstPointAndNotTheLast) {
    const LineCase& c = GetParam();
    QImage image = blankImage(6, 4);
    Dc dc(image);
    SelectObject(dc, CreatePen(PS_SOLID, 1, kRed));
    MoveToEx(dc, c.from.x, c.from.y);
    LineTo(dc, c.to.x, c.to.y);
    EXPECT_EQ(picture(image, kRed), c.expected);
    EXPECT_EQ(dc.currentPosition(), c.to);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineToTest,
    ::testing::Values(
        LineCase{"Horizontal", {1, 1}, {5, 1}, "......\n.####.\n......\n......\n"},
        LineCase{"RightToLeft", {5, 2}, {1, 2}, "......\n......\n..####\n......\n"},
        LineCase{"Vertical", {0, 0}, {0, 3}, "#.....\n#.....\n#.....\n......\n"},
        LineCase{"PastTheEdgeIsClipped", {3, 0}, {9, 0}, "...###\n......\n......\n......\n"},
        LineCase{"ZeroLengthDrawsNothing", {2, 2}, {2, 2}, "......\n......\n......\n......\n"},
        LineCase{"Diagonal", {0, 0}, {3, 3}, "#.....\n.#....\n..#...\n......\n"},
        // Far-away end points cost no more than the surface is large.
        LineCase{"FarRight", {3, 1}, {1000000000, 1}, "......\n...###\n......\n......\n"},
        LineCase{"FarAbove", {2, 2}, {2, -2000000000}, "..#...\n..#...\n..#...\n......\n"},
        LineCase{
            "FarDiagonal", {0, 0}, {1000000000, 1000000000}, "#.....\n.#....\n..#...\n...#..\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineTo, NullPenMovesWithoutDrawing) {
    QImage image = blankImage(4, 4);
    Dc dc(image);
    const Pen previous = SelectObject(dc, Pen());
    EXPECT_FALSE(previous.isNull()); // a new context starts with a black pen
    MoveToEx(dc, 0, 0);
    LineTo(dc, 3, 0);
    EXPECT_EQ(inkBounds(image, kBlack), Rect{});
    EXPECT_EQ(dc.currentPosition(), (Point{3, 0}));
}

struct BoxCase {
    const char* name;
    Rect rect;
    bool frame;
    const char* expected; // 6 x 5
};

class RectTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(RectTest, RightAndBottomEdgesAreExclusive) {
    const BoxCase& c = GetParam();
    QImage image = blankImage(6, 5);
    Dc dc(image);
    const Brush brush = CreateSolidBrush(kRed);
    if (c.frame)
        FrameRect(dc, c.rect, brush);
    else
        FillRect(dc, c.rect, brush);
    EXPECT_EQ(picture(image, kRed), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, RectTest,
    ::testing::Values(
        BoxCase{"Fill", {1, 1, 4, 3}, false, "......\n.###..\n.###..\n......\n......\n"},
        BoxCase{"FillEmpty", {2, 2, 2, 4}, false, "......\n......\n......\n......\n......\n"},
        BoxCase{"FillInverted", {4, 3, 1, 1}, false, "......\n......\n......\n......\n......\n"},
        BoxCase{"Frame", {0, 0, 5, 4}, true, "#####.\n#...#.\n#...#.\n#####.\n......\n"},
        BoxCase{
            "FrameOnePixelHigh", {1, 2, 4, 3}, true, "......\n......\n.###..\n......\n......\n"},
        // A frame one pixel larger than the surface leaves only its top and left edges.
        BoxCase{
            "FramePastTheEdges", {0, 0, 7, 6}, true, "######\n#.....\n#.....\n#.....\n#.....\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Frames, RaisedFrameOfTwoFramesShowsHighlightTopLeftAndShadowBottomRight) {
    // The button's 1-pixel 3-D frame: a shadow frame of the surface's size, then a highlight
    // frame one pixel larger that is cut off at the right and bottom.
    const COLORREF shadow = RGB(172, 168, 153), highlight = RGB(255, 255, 255);
    QImage image = blankImage(8, 5, RGB(236, 233, 216));
    Dc dc(image);
    FrameRect(dc, Rect{0, 0, 8, 5}, CreateSolidBrush(shadow));
    FrameRect(dc, Rect{0, 0, 9, 6}, CreateSolidBrush(highlight));
    EXPECT_EQ(pixelAt(image, 0, 0), highlight);
    EXPECT_EQ(pixelAt(image, 7, 0), highlight);
    EXPECT_EQ(pixelAt(image, 0, 4), highlight);
    EXPECT_EQ(pixelAt(image, 7, 1), shadow);
    EXPECT_EQ(pixelAt(image, 7, 4), shadow);
    EXPECT_EQ(pixelAt(image, 1, 4), shadow);
    EXPECT_EQ(pixelAt(image, 1, 1), RGB(236, 233, 216));
}

TEST(Pixels, SetPixelVAndGetPixelStayInside) {
    QImage image = blankImage(3, 3);
    Dc dc(image);
    EXPECT_TRUE(SetPixelV(dc, 2, 2, RGB(1, 2, 3)));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(1, 2, 3));
    EXPECT_FALSE(SetPixelV(dc, 3, 0, kRed));
    EXPECT_FALSE(SetPixelV(dc, -1, 0, kRed));
    EXPECT_EQ(GetPixel(dc, 0, 3), CLR_INVALID);
    EXPECT_EQ(inkBounds(image, kRed), Rect{});
}

TEST(Pixels, TargetReplacedByItsOwnerInAnotherFormatIsStillDrawnSafely) {
    QImage image = blankImage(4, 4);
    Dc dc(image);
    image = QImage(8, 2, QImage::Format_Mono); // the owner grew and swapped its image
    image.fill(0);
    EXPECT_EQ(FillRect(dc, Rect{0, 0, 8, 2}, CreateSolidBrush(kRed)), 1);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(inkBounds(image, kRed), (Rect{0, 0, 8, 2}));
}

TEST(Pixels, SystemColourCodesAreNotTranslatedByPens) {
    // The top byte of a colour is ignored: the drawing layer only ever sees RGB values.
    QImage image = blankImage(2, 1);
    Dc dc(image);
    SetPixelV(dc, 0, 0, 0x80000010u);
    EXPECT_EQ(pixelAt(image, 0, 0), 0x000010u);
}

TEST(FocusRect, InvertsEveryOtherBorderPixelAndUndoesItself) {
    QImage image = blankImage(7, 5, kBlack);
    const QImage before = image.copy();
    Dc dc(image);
    ASSERT_TRUE(DrawFocusRect(dc, Rect{1, 1, 6, 5}));
    EXPECT_EQ(picture(image, kWhite),
              ".......\n"
              ".#.#.#.\n" // the checkerboard is aligned to the surface: x + y even
              ".......\n"
              ".#...#.\n"
              "..#.#..\n");
    DrawFocusRect(dc, Rect{1, 1, 6, 5});
    EXPECT_EQ(image, before);
}

TEST(FocusRect, ButtonFocusRectangleOnAFace) {
    // (4, 4, W - 4, H - 4) on a 75 x 23 face: corners at (4, 4) and (70, 18).
    const COLORREF face = RGB(236, 233, 216);
    QImage image = blankImage(75, 23, face);
    Dc dc(image);
    DrawFocusRect(dc, Rect{4, 4, 71, 19});
    const COLORREF inverted = face ^ 0xFFFFFFu;
    EXPECT_EQ(pixelAt(image, 4, 4), inverted);
    EXPECT_EQ(pixelAt(image, 5, 4), face);
    EXPECT_EQ(pixelAt(image, 70, 18), inverted);
    EXPECT_EQ(pixelAt(image, 70, 17), face);
    EXPECT_EQ(pixelAt(image, 4, 6), inverted);
    EXPECT_EQ(pixelAt(image, 3, 4), face);
    EXPECT_EQ(pixelAt(image, 71, 19), face);
    EXPECT_EQ(inkBounds(image, inverted), (Rect{4, 4, 71, 19}));
}

TEST(Regions, RoundedCornersOfAButton) {
    // The rounded window shape of the XP face: three pixels cut off each corner.
    const int W = 75, H = 23;
    Region shape = CreateRectRgn(0, 0, W, H);
    const Rect cuts[] = {
        {0, 0, 2, 1}, {0, H - 1, 2, H},     {W - 2, 0, W, 1}, {W - 2, H - 1, W, H},
        {0, 1, 1, 2}, {0, H - 2, 1, H - 1}, {W - 1, 1, W, 2}, {W - 1, H - 2, W, H - 1}};
    for (const Rect& r : cuts)
        EXPECT_EQ(
            CombineRgn(shape, shape, CreateRectRgn(r.left, r.top, r.right, r.bottom), RGN_DIFF),
            COMPLEXREGION);
    const struct {
        int x, y;
        bool inside;
    } probes[] = {{0, 0, false},   {1, 0, false},   {2, 0, true},   {0, 1, false},  {1, 1, true},
                  {0, 2, true},    {74, 0, false},  {73, 0, false}, {72, 0, true},  {74, 1, false},
                  {74, 2, true},   {0, 22, false},  {1, 22, false}, {0, 21, false}, {2, 22, true},
                  {74, 22, false}, {74, 21, false}, {73, 21, true}, {37, 11, true}, {75, 5, false}};
    for (const auto& p : probes)
        EXPECT_EQ(shape.contains(p.x, p.y), p.inside) << p.x << "," << p.y;
    EXPECT_EQ(shape.boundingRect(), (Rect{0, 0, W, H}));
}

TEST(Regions, UnionOfRunsAndTheResultCodes) {
    Region region;
    EXPECT_EQ(CombineRgn(region, region, CreateRectRgn(0, 0, 3, 1), RGN_OR), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(region, region, CreateRectRgn(5, 0, 7, 1), RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(region.contains(2, 0));
    EXPECT_FALSE(region.contains(3, 0));
    EXPECT_FALSE(region.contains(4, 0));
    EXPECT_TRUE(region.contains(6, 0));
    // An empty run leaves the region as it was.
    EXPECT_EQ(CombineRgn(region, region, CreateRectRgn(7, 0, 7, 1), RGN_OR), COMPLEXREGION);
    EXPECT_EQ(CombineRgn(region, region, region, RGN_DIFF), NULLREGION);
    EXPECT_TRUE(region.isEmpty());
    Region untouched = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(CombineRgn(untouched, Region(), Region(), 99), RGN_ERROR);
    EXPECT_FALSE(untouched.isEmpty());
}

TEST(Regions, SwappedCornersAreNormalised) {
    EXPECT_EQ(CreateRectRgn(4, 3, 1, 1).boundingRect(), (Rect{1, 1, 4, 3}));
    EXPECT_TRUE(CreateRectRgn(2, 0, 2, 5).isEmpty());
}

TEST(Selection, MemoryContextStartsMonochromeAndSelectReturnsThePrevious) {
    QImage image = blankImage(4, 4);
    Dc window(image);
    Dc memory = CreateCompatibleDC(&window);
    EXPECT_TRUE(memory.isMonochrome());
    EXPECT_EQ(memory.width(), 1);

    // Compatible with the window: colour. With a fresh memory context: monochrome, as ever.
    const Bitmap colour = CreateCompatibleBitmap(window, 5, 3);
    EXPECT_FALSE(colour.isMonochrome());
    EXPECT_TRUE(CreateCompatibleBitmap(memory, 5, 3).isMonochrome());
    EXPECT_EQ(pixelAt(colour.toImage(), 4, 2), kBlack);

    const Bitmap stock = SelectObject(memory, colour);
    EXPECT_TRUE(stock.isMonochrome());
    EXPECT_FALSE(memory.isMonochrome());
    FillRect(memory, Rect{0, 0, 5, 3}, CreateSolidBrush(kRed));
    // The bitmap keeps what was drawn after it is taken out again.
    EXPECT_TRUE(SelectObject(memory, stock).sameAs(colour));
    EXPECT_EQ(pixelAt(colour.toImage(), 2, 1), kRed);

    // A window context keeps its target.
    EXPECT_TRUE(SelectObject(window, colour).isNull());
    EXPECT_EQ(window.surface(), &image);
}

TEST(Selection, DrawingOnAMonochromeBitmapSnapsToBlackOrWhite) {
    Dc memory = CreateCompatibleDC(nullptr);
    const Bitmap mono = CreateBitmap(4, 1, 1, 1, nullptr);
    SelectObject(memory, mono);
    FillRect(memory, Rect{0, 0, 2, 1}, CreateSolidBrush(RGB(200, 200, 200)));
    FillRect(memory, Rect{2, 0, 4, 1}, CreateSolidBrush(RGB(60, 60, 60)));
    const QImage bits = mono.toMonoImage();
    EXPECT_EQ(bits.pixelIndex(0, 0), 1);
    EXPECT_EQ(bits.pixelIndex(3, 0), 0);
}

TEST(Bitmaps, CreateBitmapReadsWordPaddedMonochromeRows) {
    // 10 pixels wide: two bytes of pixels, already a whole 16-bit word per row.
    const unsigned char rows[] = {0b10100000, 0b01000000, 0xFF, 0xC0};
    const Bitmap bitmap = CreateBitmap(10, 2, 1, 1, rows);
    ASSERT_TRUE(bitmap.isMonochrome());
    const QImage image = bitmap.toMonoImage();
    EXPECT_EQ(image.pixelIndex(0, 0), 1);
    EXPECT_EQ(image.pixelIndex(1, 0), 0);
    EXPECT_EQ(image.pixelIndex(2, 0), 1);
    EXPECT_EQ(image.pixelIndex(9, 0), 1);
    EXPECT_EQ(image.pixelIndex(8, 0), 0);
    EXPECT_EQ(image.pixelIndex(9, 1), 1);
    EXPECT_TRUE(CreateBitmap(0, 5, 1, 1, nullptr).isNull());
}

} // namespace
