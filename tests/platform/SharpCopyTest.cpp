// What a self-drawn control shows on a high-density screen: its pixels replicated, its text at
// the screen's resolution, and never a stale stroke once something else is drawn over it.
#include "GdiTestSupport.h"

#include "platform/gdi/SharpCopy.h"

#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace velmora::gdi {
namespace {

using test::blankImage;
using test::kBlack;
using test::kRed;
using test::kWhite;

// Device pixels of `shown` that do not show the source pixel they belong to, outside `skip`.
int unlikeSource(const QImage& shown, const QImage& source, qreal scale, const QRect& skip = {}) {
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const int sx = int(std::floor(x / scale + 1e-6)),
                      sy = int(std::floor(y / scale + 1e-6));
            if (!skip.contains(sx, sy) && shown.pixel(x, y) != source.pixel(sx, sy))
                ++wrong;
        }
    return wrong;
}

struct Drawn {
    QImage source = blankImage(40, 16);
    SharpCopy sharp{source};
    Dc dc{source};
    explicit Drawn(qreal scale) {
        sharp.setScale(scale);
        dc.setSharpCopy(&sharp);
    }
    Rect caption() {
        Rect rect{2, 2, 38, 14};
        DrawTextExA(dc, QStringLiteral("Browse"), -1, &rect, DT_CENTER, nullptr);
        return rect;
    }
};

TEST(SharpCopy, ShowsLinesAndFillsReplicatedAtAnyScale) {
    for (const qreal scale : {1.0, 1.5, 2.0, 3.0}) {
        Drawn drawn(scale);
        FillRect(drawn.dc, Rect{3, 1, 17, 9}, CreateSolidBrush(kRed));
        MoveToEx(drawn.dc, 0, 15);
        LineTo(drawn.dc, 40, 0);
        const QImage shown = drawn.sharp.image();
        EXPECT_EQ(shown.devicePixelRatio(), scale);
        EXPECT_EQ(shown.size(), QSize(int(std::ceil(40 * scale)), int(std::ceil(16 * scale))));
        EXPECT_EQ(unlikeSource(shown, drawn.source, scale), 0) << "scale " << scale;
    }
}

TEST(SharpCopy, TextIsWhatTheScreenWouldDrawThereAndNothingElse) {
    // No trace of the pixel-sized glyphs may show through the sharp ones.
    Drawn drawn(2.0);
    QFont font = drawn.dc.font();
    font.setKerning(false);
    Rect rect{2, 2, 38, 14};
    DrawTextExA(drawn.dc, QStringLiteral("Browse"), -1, &rect, DT_LEFT, nullptr);

    QImage expected = blankImage(80, 32);
    expected.setDevicePixelRatio(2.0);
    QPainter painter(&expected);
    painter.setFont(font);
    painter.setClipRect(rect.toQRect());
    painter.drawText(QPoint(2, 2 + QFontMetrics(font).ascent()), QStringLiteral("Browse"));
    painter.end();
    EXPECT_EQ(drawn.sharp.image(), expected);
}

TEST(SharpCopy, DrawsTextAtTheScreenResolutionUntilSomethingCoversIt) {
    Drawn drawn(2.0);
    SetTextColor(drawn.dc, kBlack);
    const Rect caption = drawn.caption();
    const QRect area = caption.toQRect();
    QImage shown = drawn.sharp.image();
    // Around the text the copy is the source replicated; on it, it is not.
    EXPECT_EQ(unlikeSource(shown, drawn.source, 2.0, area), 0);
    EXPECT_GT(unlikeSource(shown, drawn.source, 2.0), 20);

    // A fill over part of the text turns its whole area back into the source's pixels.
    FillRect(drawn.dc, Rect{caption.left, caption.top, caption.left + 3, caption.bottom},
             CreateSolidBrush(kWhite));
    shown = drawn.sharp.image();
    EXPECT_EQ(unlikeSource(shown, drawn.source, 2.0), 0);

    // Drawn again, it is sharp again; a later draw elsewhere leaves it so.
    drawn.caption();
    FillRect(drawn.dc, Rect{0, 0, 40, 1}, CreateSolidBrush(kRed));
    shown = drawn.sharp.image();
    EXPECT_GT(unlikeSource(shown, drawn.source, 2.0), 20);
    EXPECT_EQ(unlikeSource(shown, drawn.source, 2.0, area), 0);
}

} // namespace
} // namespace velmora::gdi
