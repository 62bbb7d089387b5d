#include "windows/clsTrans.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <string>
#include <vector>

namespace {

using velmora::clsTrans;

constexpr std::uint32_t kKeyRgb = 0x00D8E9EC; // the XP button face, red in the low byte
constexpr QRgb kKeyPixel = 0xFFECE9D8;        // the same colour as the toolkit writes it
constexpr QRgb kInk = 0xFF102030;

// A widget that paints a fixed picture: '.' is the key colour, anything else ink.
class PatternWidget : public QWidget {
  public:
    PatternWidget(const std::vector<std::string>& rows, QWidget* parent)
        : QWidget(parent), m_picture(static_cast<int>(rows.empty() ? 0 : rows[0].size()),
                                     static_cast<int>(rows.size()), QImage::Format_RGB32) {
        for (int y = 0; y < m_picture.height(); ++y) {
            for (int x = 0; x < m_picture.width(); ++x) {
                m_picture.setPixel(x, y, rows[y][x] == '.' ? kKeyPixel : kInk);
            }
        }
        resize(m_picture.size());
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, m_picture);
    }

  private:
    QImage m_picture;
};

// The capture layout, filled from rows of '.' (key) and '#' (ink); the extra column W is
// ink on purpose, so a scan that let it into a run would show.
std::vector<std::uint8_t> bufferOf(const std::vector<std::string>& rows) {
    const int height = static_cast<int>(rows.size());
    const int width = height == 0 ? 0 : static_cast<int>(rows[0].size());
    const std::size_t stride = static_cast<std::size_t>(velmora::captureWidth(width)) * 3;
    std::vector<std::uint8_t> buffer(stride * static_cast<std::size_t>(height + 1), 0x55);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = buffer.data() + stride * static_cast<std::size_t>(height - y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = rows[y][x] == '.' ? kKeyRgb : 0x00302010u;
            row[3 * x] = static_cast<std::uint8_t>(c >> 16);
            row[3 * x + 1] = static_cast<std::uint8_t>(c >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(c);
        }
    }
    return buffer;
}

struct ScanCase {
    const char* name;
    std::vector<std::string> rows;
    std::vector<QRect> runs; // (left, top, width, height)
};

class ScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanTest, FindsOneRunPerStretchOfInk) {
    const ScanCase& c = GetParam();
    const auto buffer = bufferOf(c.rows);
    const int width = c.rows.empty() ? 0 : static_cast<int>(c.rows[0].size());
    const auto runs =
        velmora::scanOpaqueRuns(buffer, width, static_cast<int>(c.rows.size()), kKeyRgb);
    ASSERT_TRUE(runs.has_value());
    EXPECT_EQ(*runs, c.runs);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScanTest,
    ::testing::Values(
        ScanCase{"KeyPixelSplitsRow", {"###.###"}, {QRect(0, 0, 3, 1), QRect(4, 0, 3, 1)}},
        ScanCase{"RowBeginsInKey", {"..#####"}, {QRect(2, 0, 5, 1)}},
        ScanCase{"RowEndsInKey", {"####..."}, {QRect(0, 0, 4, 1)}},
        ScanCase{"BothEndsInKey", {".##.#.."}, {QRect(1, 0, 2, 1), QRect(4, 0, 1, 1)}},
        ScanCase{"AllKey", {"....", "...."}, {}},
        ScanCase{"NoKey", {"###", "###"}, {QRect(0, 0, 3, 1), QRect(0, 1, 3, 1)}},
        ScanCase{"RowsTopToBottom", {"#..", "..#"}, {QRect(0, 0, 1, 1), QRect(2, 1, 1, 1)}},
        ScanCase{"WidthThirteen", {"#############"}, {QRect(0, 0, 13, 1)}},
        ScanCase{"WidthTwelve", {"############"}, {QRect(0, 0, 12, 1)}},
        ScanCase{"WidthThree", {"###"}, {QRect(0, 0, 3, 1)}}, ScanCase{"NoPixels", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureLayout, WidthRoundsUpToWholeUnitsAndOneMore) {
    const std::vector<std::pair<int, int>> cases = {{13, 16}, {12, 16}, {3, 4}, {0, 4}, {4, 8}};
    for (const auto& [width, expected] : cases) {
        EXPECT_EQ(velmora::captureWidth(width), expected) << "W = " << width;
    }
    EXPECT_EQ(velmora::captureHeight(7), 8);
}

TEST(CaptureLayout, PacksBottomUpInBlueGreenRed) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(0xFF000000);
    image.setPixel(0, 0, qRgb(0x11, 0x22, 0x33)); // top-left
    image.setPixel(2, 1, qRgb(0x44, 0x55, 0x66)); // bottom-right
    const auto buffer = velmora::packCapture(image, 3, 2);
    ASSERT_EQ(buffer.size(), 4u * 3u * 3u);
    // Buffer row 0 is the extra row; row 1 holds image row 1, row 2 holds image row 0.
    const std::size_t stride = 12;
    EXPECT_EQ(buffer[2 * stride + 0], 0x33);
    EXPECT_EQ(buffer[2 * stride + 1], 0x22);
    EXPECT_EQ(buffer[2 * stride + 2], 0x11);
    EXPECT_EQ(buffer[1 * stride + 6], 0x66);
    EXPECT_EQ(buffer[1 * stride + 8], 0x44);
    for (std::size_t i = 0; i < stride; ++i) {
        EXPECT_EQ(buffer[i], 0) << "extra row byte " << i;
    }
    EXPECT_EQ(buffer[2 * stride + 9], 0) << "extra column";
}

TEST(CaptureLayout, RefusesBuffersThatDoNotFit) {
    const auto buffer = bufferOf({"####", "####"});
    EXPECT_FALSE(velmora::scanOpaqueRuns(std::span(buffer).first(buffer.size() - 1), 4, 2, 0));
    EXPECT_FALSE(velmora::scanOpaqueRuns(buffer, -1, 2, 0));
    EXPECT_FALSE(velmora::scanOpaqueRuns(buffer, 4, -1, 0));
    EXPECT_FALSE(velmora::scanOpaqueRuns({}, velmora::kMaxShapeSide + 1, 1, 0));
    EXPECT_TRUE(velmora::scanOpaqueRuns(buffer, 4, 2, 0));
}

TEST(CaptureLayout, RegionCoversExactlyTheRuns) {
    const std::vector<QRect> runs = {QRect(0, 0, 3, 1), QRect(0, 1, 3, 1), QRect(5, 1, 2, 1),
                                     QRect(1, 2, 1, 1)};
    QRegion expected;
    for (const QRect& r : runs) {
        expected += r;
    }
    EXPECT_TRUE((velmora::regionFromRuns(runs) ^ expected).isEmpty());
    EXPECT_TRUE(velmora::regionFromRuns({}).isEmpty());
}

// Each pixel of the widget, in the parent's picture after shaping: key pixels must show
// the parent, the others the widget.
class ShaperWidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_parent.resize(64, 32);
        m_parent.setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(0xFF, 0x00, 0xFF));
        m_parent.setPalette(palette);
    }

    PatternWidget* addPattern(const std::vector<std::string>& rows, QVariant backColor) {
        auto* widget = new PatternWidget(rows, &m_parent);
        widget->move(4, 4);
        if (backColor.isValid()) {
            widget->setProperty("BackColor", backColor);
        }
        return widget;
    }

    QWidget m_parent;
};

TEST_F(ShaperWidgetTest, KeyPixelsShowTheParentAndInkStays) {
    const std::vector<std::string> rows = {"#..##..#....#", "...#.........", "#############"};
    auto* widget = addPattern(rows, QVariant(0x8000000Fu));
    m_parent.show();
    ASSERT_TRUE(clsTrans().DoIT(widget));
    const QImage shot = m_parent.grab().toImage();
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 13; ++x) {
            const QRgb expected = rows[y][x] == '.' ? qRgb(0xFF, 0x00, 0xFF) : kInk;
            EXPECT_EQ(shot.pixel(4 + x, 4 + y), expected) << x << "," << y;
        }
    }
}

TEST_F(ShaperWidgetTest, NoKeyPixelKeepsTheWholeRectangle) {
    auto* widget = addPattern({"####", "####"}, QVariant(0x8000000Fu));
    m_parent.show();
    ASSERT_TRUE(clsTrans().DoIT(widget));
    EXPECT_TRUE((widget->mask() ^ QRegion(0, 0, 4, 2)).isEmpty());
}

TEST_F(ShaperWidgetTest, AllKeyWidgetVanishesAndStillSucceeds) {
    auto* widget = addPattern({"....", "...."}, QVariant(0x00D8E9ECu));
    m_parent.show();
    ASSERT_TRUE(clsTrans().DoIT(widget));
    const QImage shot = m_parent.grab().toImage();
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(shot.pixel(4 + x, 4 + y), qRgb(0xFF, 0x00, 0xFF));
        }
    }
}

TEST_F(ShaperWidgetTest, ColourMustMatchExactly) {
    // One step off the key colour in any channel counts as ink.
    auto* widget = addPattern({"##"}, QVariant(0x00D8E9EDu));
    m_parent.show();
    ASSERT_TRUE(clsTrans().DoIT(widget));
    EXPECT_TRUE((widget->mask() ^ QRegion(0, 0, 2, 1)).isEmpty());
}

TEST_F(ShaperWidgetTest, RefusesAndChangesNothing) {
    struct Case {
        const char* name;
        QVariant backColor;
        QSize size;
    };
    const std::vector<Case> cases = {
        {"no BackColor", QVariant(), QSize(4, 2)},
        {"BackColor 0", QVariant(0u), QSize(4, 2)},
        {"BackColor not a number", QVariant(QStringLiteral("grey")), QSize(4, 2)},
        {"unknown system colour", QVariant(0x80000040u), QSize(4, 2)},
        {"not a colour", QVariant(0x40000000u), QSize(4, 2)},
        {"no area", QVariant(0x8000000Fu), QSize(0, 0)},
    };
    m_parent.show();
    for (const Case& c : cases) {
        auto* widget = addPattern({"#..#", "...."}, c.backColor);
        widget->resize(c.size);
        EXPECT_FALSE(clsTrans().DoIT(widget)) << c.name;
        EXPECT_TRUE(widget->mask().isEmpty()) << c.name;
        delete widget;
    }
    QObject notAWindow;
    notAWindow.setProperty("BackColor", 0x8000000Fu);
    EXPECT_FALSE(clsTrans().DoIT(&notAWindow));
    EXPECT_FALSE(clsTrans().DoIT(nullptr));
}

} // namespace
