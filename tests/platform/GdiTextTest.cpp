#include "GdiTestSupport.h"

#include "platform/gdi/GdiSurface.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

using namespace velmora::gdi;
using namespace velmora::gdi::test;

namespace {

constexpr unsigned kMeasure = DT_WORDBREAK | DT_VCENTER | DT_CENTER | DT_CALCRECT; // 0x415
constexpr unsigned kDraw = DT_WORDBREAK | DT_VCENTER | DT_CENTER;                  // 0x15

class TextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        font.setPixelSize(11);
        font.setStyleStrategy(QFont::NoAntialias);
        font.setKerning(false); // text is laid out without kerning
        SelectObject(dc, font);
        SetTextColor(dc, kBlack);
    }

    int lineHeight() const {
        const QFontMetrics m(font);
        return m.ascent() + m.descent();
    }
    int advance(const QString& s) const { return QFontMetrics(font).horizontalAdvance(s); }

    Rect measure(const QString& text, Rect rect, unsigned format = kMeasure) {
        DrawTextParams params;
        params.iTabLength = 1;
        params.iLeftMargin = 1;
        params.iRightMargin = 1;
        DrawTextExA(dc, text, -1, &rect, format, &params);
        return rect;
    }

    QImage draw(const QString& text, Rect rect, unsigned format) {
        QImage out = blankImage(120, 40);
        Dc target(out);
        SelectObject(target, font);
        SetTextColor(target, kBlack);
        DrawTextParams params{20, 1, 1, 1, 0};
        DrawTextExA(target, text, -1, &rect, format, &params);
        return out;
    }

    QFont font{QStringLiteral("Liberation Sans")};
    QImage image = blankImage(120, 40);
    Dc dc{image};
};

TEST_F(TextTest, CalcRectKeepsLeftTopAndAddsTheMargins) {
    const Rect r = measure(QStringLiteral("Button"), Rect{4, 4, 71, 19});
    EXPECT_EQ(r.left, 4);
    EXPECT_EQ(r.top, 4);
    EXPECT_EQ(r.width(), advance(QStringLiteral("Button")) + 2);
    EXPECT_EQ(r.height(), lineHeight());
    EXPECT_EQ(inkBounds(image, kBlack), Rect{}) << "measuring must not draw";
}

struct PrefixCase {
    const char* caption;
    const char* shown;
};

class PrefixTest : public TextTest, public ::testing::WithParamInterface<PrefixCase> {};

TEST_P(PrefixTest, MeasuresAndDrawsTheShownText) {
    const QString caption = QString::fromUtf8(GetParam().caption);
    const QString shown = QString::fromUtf8(GetParam().shown);
    EXPECT_EQ(measure(caption, Rect{0, 0, 200, 20}).width(),
              measure(shown, Rect{0, 0, 200, 20}, kMeasure | DT_NOPREFIX).width());
    // Drawn with the underline hidden, the two pictures are the same.
    EXPECT_EQ(draw(caption, Rect{2, 2, 118, 38}, DT_HIDEPREFIX),
              draw(shown, Rect{2, 2, 118, 38}, DT_NOPREFIX));
}

INSTANTIATE_TEST_SUITE_P(Captions, PrefixTest,
                         ::testing::Values(PrefixCase{"&Open", "Open"},
                                           PrefixCase{"Save && &Exit", "Save & Exit"},
                                           PrefixCase{"A&&B", "A&B"}, PrefixCase{"Go&", "Go&"},
                                           PrefixCase{"&&", "&"},
                                           PrefixCase{"No prefix", "No prefix"}));

TEST_F(TextTest, AccessKeyIsUnderlinedOnOneRowUnderItsLetter) {
    const QImage marked = draw(QStringLiteral("&Open"), Rect{2, 2, 118, 38}, 0);
    const QImage plain = draw(QStringLiteral("Open"), Rect{2, 2, 118, 38}, DT_NOPREFIX);
    ASSERT_NE(marked, plain);
    const int x0 = 2 + 1; // left edge plus the left margin
    int row = -1;
    for (int y = 0; y < marked.height(); ++y)
        for (int x = 0; x < marked.width(); ++x)
            if (marked.pixel(x, y) != plain.pixel(x, y)) {
                EXPECT_GE(x, x0);
                EXPECT_LT(x, x0 + advance(QStringLiteral("O")));
                if (row < 0)
                    row = y;
                EXPECT_EQ(y, row);
            }
    EXPECT_GE(row, 2 + QFontMetrics(font).ascent()) << "the underline lies below the baseline";
}

TEST_F(TextTest, PrefixOnlyDrawsJustTheUnderline) {
    const QImage marked = draw(QStringLiteral("&Open"), Rect{2, 2, 118, 38}, 0);
    const QImage plain = draw(QStringLiteral("Open"), Rect{2, 2, 118, 38}, DT_NOPREFIX);
    const QImage underline = draw(QStringLiteral("&Open"), Rect{2, 2, 118, 38}, DT_PREFIXONLY);
    const Rect ink = inkBounds(underline, kBlack);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_EQ(ink.height(), 1);
    for (int x = ink.left; x < ink.right; ++x) {
        EXPECT_EQ(pixelAt(marked, x, ink.top), kBlack);
        EXPECT_EQ(pixelAt(plain, x, ink.top), kWhite);
    }
}

TEST_F(TextTest, DoubledAmpersandIsNotUnderlined) {
    EXPECT_EQ(draw(QStringLiteral("A&&B"), Rect{2, 2, 118, 38}, 0),
              draw(QStringLiteral("A&B"), Rect{2, 2, 118, 38}, DT_NOPREFIX));
}

TEST_F(TextTest, WordBreakWrapsAtTheWidthAndGrowsTheHeight) {
    const QString caption = QStringLiteral("Download DDS Plugins For PhotoShop");
    const int width = advance(QStringLiteral("Download DDS")) + 2;
    const Rect r = measure(caption, Rect{0, 0, width, 10});
    EXPECT_GE(r.height(), 3 * lineHeight());
    EXPECT_EQ(r.height() % lineHeight(), 0);
    EXPECT_LE(r.width(), width);
    // Without word-break it stays on one line.
    const Rect single = measure(caption, Rect{0, 0, width, 10}, DT_CALCRECT);
    EXPECT_EQ(single.height(), lineHeight());
    EXPECT_EQ(single.width(), advance(caption) + 2);
}

TEST_F(TextTest, BreakFallsBetweenWordsAndDropsTheSpace) {
    // "aa bb" in exactly the width of "aa": two lines, each as wide as its word.
    const int width = advance(QStringLiteral("aa")) + 2;
    const Rect r = measure(QStringLiteral("aa bb"), Rect{0, 0, width, 10});
    EXPECT_EQ(r.height(), 2 * lineHeight());
    EXPECT_EQ(r.width(),
              std::max(advance(QStringLiteral("aa")), advance(QStringLiteral("bb"))) + 2);
}

TEST_F(TextTest, AWordWiderThanTheRectangleWidensIt) {
    const Rect r = measure(QStringLiteral("Extraordinarily"), Rect{10, 0, 30, 10});
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.width(), advance(QStringLiteral("Extraordinarily")) + 2);
    EXPECT_EQ(r.height(), lineHeight());
}

TEST_F(TextTest, NewlinesBreakLines) {
    EXPECT_EQ(measure(QStringLiteral("a\nb\r\nc"), Rect{0, 0, 100, 10}).height(), 3 * lineHeight());
    EXPECT_EQ(
        measure(QStringLiteral("a\nb"), Rect{0, 0, 100, 10}, DT_SINGLELINE | DT_CALCRECT).height(),
        lineHeight());
}

TEST_F(TextTest, EmptyTextMeasuresOneLineOfNoWidth) {
    const Rect r = measure(QString(), Rect{4, 4, 71, 19});
    EXPECT_EQ(r.width(), 2);
    EXPECT_EQ(r.height(), lineHeight());
}

TEST_F(TextTest, CentredLinesStartHalfWayAcrossTheSpareWidth) {
    const QString text = QStringLiteral("Button");
    const Rect box{4, 4, 71, 19};
    const int x = (box.left + 1 + box.right - 1 - advance(text)) / 2;
    EXPECT_EQ(draw(text, box, kDraw),
              draw(text, Rect{x - 1, box.top, box.right, box.bottom}, DT_WORDBREAK));
    EXPECT_NE(inkBounds(draw(text, box, kDraw), kBlack), Rect{});
}

TEST_F(TextTest, VerticalCentringAppliesToSingleLines) {
    const QString text = QStringLiteral("Hi");
    const Rect box{0, 0, 60, 30};
    const int y = (30 - lineHeight()) / 2;
    EXPECT_EQ(draw(text, box, DT_SINGLELINE | DT_VCENTER),
              draw(text, Rect{0, y, 60, 30}, DT_SINGLELINE));
    // Without DT_SINGLELINE the text stays at the top, as the classic call does.
    EXPECT_EQ(draw(text, box, DT_VCENTER), draw(text, box, 0));
}

TEST_F(TextTest, DrawingIsClippedToTheRectangle) {
    const Rect box{10, 10, 20, 14};
    const QImage out = draw(QStringLiteral("Wide text here"), box, 0);
    const Rect ink = inkBounds(out, kBlack);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left, box.left);
    EXPECT_GE(ink.top, box.top);
    EXPECT_LE(ink.right, box.right);
    EXPECT_LE(ink.bottom, box.bottom);
    EXPECT_GT(inkBounds(draw(QStringLiteral("Wide text here"), box, DT_NOCLIP), kBlack).right,
              box.right);
}

TEST_F(TextTest, GlyphsAreDrawnInTheTextColourOnly) {
    QImage out = blankImage(80, 20);
    Dc target(out);
    SelectObject(target, font);
    SetTextColor(target, RGB(172, 168, 153));
    Rect box{0, 0, 80, 20};
    DrawTextExA(target, QStringLiteral("Caption"), -1, &box, kDraw, nullptr);
    int ink = 0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const COLORREF p = pixelAt(out, x, y);
            ASSERT_TRUE(p == kWhite || p == RGB(172, 168, 153)) << x << "," << y;
            ink += p != kWhite;
        }
    EXPECT_GT(ink, 10);
}

TEST_F(TextTest, OpaqueModeFillsBehindTheLine) {
    QImage out = blankImage(80, 20);
    Dc target(out);
    SelectObject(target, font);
    SetBkMode(target, OPAQUE);
    SetBkColor(target, kRed);
    Rect box{0, 0, 80, 20};
    DrawTextExA(target, QStringLiteral("Hi"), -1, &box, 0, nullptr);
    EXPECT_EQ(inkBounds(out, kRed).top, 0);
    EXPECT_EQ(inkBounds(out, kRed).bottom, lineHeight());
}

TEST_F(TextTest, LongCaptionWrapsWordByWord) {
    // Tens of thousands of words: one per line in a narrow rectangle, all on one line in a
    // wide one (a caption from a stored design can be any length).
    QString caption;
    for (int i = 0; i < 10000; ++i)
        caption += QStringLiteral("ab ");
    const int word = advance(QStringLiteral("ab"));
    EXPECT_EQ(measure(caption, Rect{0, 0, word + 2, 10}).height(), 10000 * lineHeight());
    const Rect wide = measure(caption, Rect{0, 0, 1 << 30, 10});
    EXPECT_EQ(wide.height(), lineHeight());
    EXPECT_EQ(wide.width(), advance(caption) + 2);
}

TEST_F(TextTest, LengthDrawnAndCount) {
    DrawTextParams params{20, 1, 1, 1, 0};
    Rect r{0, 0, 100, 20};
    DrawTextExA(dc, QStringLiteral("Button"), 3, &r, kMeasure, &params);
    EXPECT_EQ(params.uiLengthDrawn, 3u);
    EXPECT_EQ(r.width(), advance(QStringLiteral("But")) + 2);
}

} // namespace
