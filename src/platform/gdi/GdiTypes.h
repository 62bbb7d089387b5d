#pragma once

#include <QColor>
#include <QRect>

#include <cstdint>

// The value types and constants of the drawing layer. The button paints with the classic
// device-context operations, so their names, codes and edge conventions are kept as they are:
// colours are 0x00BBGGRR, rectangles exclude their right and bottom edges.
namespace velmora::gdi {

using COLORREF = std::uint32_t;

// Returned by GetPixel for a point outside the surface.
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GetGValue(COLORREF c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int GetBValue(COLORREF c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// COLORREF <-> Qt; the top byte of a COLORREF is ignored, Qt colours come out opaque.
QColor toQColor(COLORREF colour);
QRgb toQRgb(COLORREF colour);
COLORREF fromQColor(const QColor& colour);
COLORREF fromQRgb(QRgb rgb);

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// left, top, right, bottom; right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    // Empty as the classic IsRectEmpty: no area, or right/bottom not past left/top.
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    // Moves all four edges (OffsetRect).
    constexpr void offset(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    QRect toQRect() const { return QRect(left, top, right - left, bottom - top); }
    static Rect fromQRect(const QRect& r) {
        return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// Raster operations of BitBlt / StretchBlt (the classic ternary codes).
enum RasterOp : std::uint32_t {
    SRCCOPY = 0x00CC0020,
    SRCPAINT = 0x00EE0086,
    SRCAND = 0x008800C6,
    SRCINVERT = 0x00660046,
    SRCERASE = 0x00440328,
    NOTSRCCOPY = 0x00330008,
    NOTSRCERASE = 0x001100A6,
    DSTINVERT = 0x00550009,
    BLACKNESS = 0x00000042,
    WHITENESS = 0x00FF0062,
};

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

// Background modes of text drawing.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Stretch modes.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;

// DrawTextExA format flags.
constexpr unsigned DT_TOP = 0x0;
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_EXPANDTABS = 0x40;
constexpr unsigned DT_NOCLIP = 0x100;
constexpr unsigned DT_CALCRECT = 0x400;
constexpr unsigned DT_NOPREFIX = 0x800;
constexpr unsigned DT_HIDEPREFIX = 0x100000;
constexpr unsigned DT_PREFIXONLY = 0x200000;

// DrawStateA: image type in the low bits, effect in the high bits.
constexpr unsigned DST_BITMAP = 0x4;
constexpr unsigned DST_ICON = 0x3;
constexpr unsigned DSS_NORMAL = 0x0;
constexpr unsigned DSS_DISABLED = 0x20;
constexpr unsigned DSS_MONO = 0x80;

// CombineRgn modes and results.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr int RGN_ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

// Parameter block of DrawTextExA. Margins are in pixels; uiLengthDrawn receives the number of
// characters processed.
struct DrawTextParams {
    unsigned cbSize = 20;
    int iTabLength = 0;
    int iLeftMargin = 0;
    int iRightMargin = 0;
    unsigned uiLengthDrawn = 0;
};

} // namespace velmora::gdi
