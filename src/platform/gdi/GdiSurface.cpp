#include "platform/gdi/GdiSurface.h"

#include "platform/gdi/GdiPixels.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace velmora::gdi {

namespace pixels {

QRgb storedValue(COLORREF colour, bool monochrome) {
    if (!monochrome)
        return toQRgb(colour);
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    const long toBlack = long(r) * r + long(g) * g + long(b) * b;
    const long toWhite =
        long(255 - r) * (255 - r) + long(255 - g) * (255 - g) + long(255 - b) * (255 - b);
    return toWhite <= toBlack ? kWhite : kBlack;
}

void fill(QImage& image, int left, int top, int right, int bottom, QRgb value) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width());
    bottom = std::min(bottom, image.height());
    for (int y = top; y < bottom; ++y)
        std::fill(line(image, y) + left, line(image, y) + std::max(left, right), value);
}

void invert(QImage& image, int left, int top, int right, int bottom, int parity) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width());
    bottom = std::min(bottom, image.height());
    for (int y = top; y < bottom; ++y) {
        QRgb* row = line(image, y);
        for (int x = left; x < right; ++x)
            if (parity < 0 || ((x + y) & 1) == parity)
                row[x] ^= 0x00FFFFFFu;
    }
}

} // namespace pixels

Dc::Dc(QImage& target) : m_target(&target), m_bkMode(TRANSPARENT) {
    if (!target.isNull() && target.format() != QImage::Format_RGB32)
        target = target.convertToFormat(QImage::Format_RGB32);
}

Dc::~Dc() = default;

Dc::Dc(Dc&& other) noexcept {
    *this = std::move(other);
}

Dc& Dc::operator=(Dc&& other) noexcept {
    if (this != &other) {
        m_target = std::exchange(other.m_target, nullptr);
        m_sharp = std::exchange(other.m_sharp, nullptr);
        m_bitmap = std::move(other.m_bitmap);
        m_pen = other.m_pen;
        m_brush = other.m_brush;
        m_font = std::move(other.m_font);
        m_textColour = other.m_textColour;
        m_bkColour = other.m_bkColour;
        m_bkMode = other.m_bkMode;
        m_stretchMode = other.m_stretchMode;
        m_position = other.m_position;
    }
    return *this;
}

Dc Dc::createMemory() {
    Dc dc;
    dc.m_bitmap = Bitmap::create(1, 1, true);
    return dc;
}

QImage* Dc::surface() const {
    if (m_target) {
        if (m_target->isNull())
            return nullptr;
        // The owner may have replaced its image since; every pixel routine reads 32-bit rows.
        if (m_target->format() != QImage::Format_RGB32)
            *m_target = m_target->convertToFormat(QImage::Format_RGB32);
        return m_target;
    }
    return m_bitmap.pixels();
}

bool Dc::isMonochrome() const {
    return !m_target && m_bitmap.isMonochrome();
}

int Dc::width() const {
    const QImage* image = surface();
    return image ? image->width() : 0;
}

int Dc::height() const {
    const QImage* image = surface();
    return image ? image->height() : 0;
}

Dc CreateCompatibleDC(const Dc*) {
    return Dc::createMemory();
}

Bitmap CreateCompatibleBitmap(const Dc& dc, int width, int height) {
    return Bitmap::create(width, height, dc.isMonochrome());
}

Pen SelectObject(Dc& dc, const Pen& pen) {
    return std::exchange(dc.m_pen, pen);
}
Brush SelectObject(Dc& dc, const Brush& brush) {
    return std::exchange(dc.m_brush, brush);
}
QFont SelectObject(Dc& dc, const QFont& font) {
    return std::exchange(dc.m_font, font);
}

Bitmap SelectObject(Dc& dc, const Bitmap& bitmap) {
    if (!dc.isMemory() || bitmap.isNull())
        return Bitmap();
    return std::exchange(dc.m_bitmap, bitmap);
}

COLORREF SetTextColor(Dc& dc, COLORREF colour) {
    return std::exchange(dc.m_textColour, colour & 0xFFFFFFu);
}
COLORREF GetTextColor(const Dc& dc) {
    return dc.textColor();
}
COLORREF SetBkColor(Dc& dc, COLORREF colour) {
    return std::exchange(dc.m_bkColour, colour & 0xFFFFFFu);
}
COLORREF GetBkColor(const Dc& dc) {
    return dc.bkColor();
}

int SetBkMode(Dc& dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return std::exchange(dc.m_bkMode, mode);
}

int SetStretchBltMode(Dc& dc, int mode) {
    if (mode < BLACKONWHITE || mode > COLORONCOLOR + 1)
        return 0;
    // HALFTONE (4) is taken as COLORONCOLOR: no filtering on these surfaces.
    return std::exchange(dc.m_stretchMode, mode > COLORONCOLOR ? COLORONCOLOR : mode);
}

bool MoveToEx(Dc& dc, int x, int y, Point* previous) {
    if (previous)
        *previous = dc.m_position;
    dc.m_position = Point{x, y};
    return true;
}

bool LineTo(Dc& dc, int x, int y) {
    const Point from = dc.m_position;
    dc.m_position = Point{x, y};
    QImage* image = dc.surface();
    if (!image || dc.m_pen.isNull())
        return image != nullptr;
    const QRgb value = pixels::storedValue(dc.m_pen.color(), dc.isMonochrome());
    const int w = dc.m_pen.width();
    // A wider pen is stamped as a square centred on each point of the one-pixel line.
    const int lo = -(w - 1) / 2, hi = w / 2 + 1;

    // Horizontal and vertical lines (all the button draws) are spans, clipped at once.
    if (from.y == y || from.x == x) {
        const long long x0 = from.x, y0 = from.y;
        long long l, t, r, b;
        if (from.y == y) { // the last point is left out: [min, max) toward the end point
            l = x >= x0 ? x0 : x + 1LL;
            r = x >= x0 ? x : x0 + 1LL;
            t = y0;
            b = y0 + 1;
        } else {
            t = y >= y0 ? y0 : y + 1LL;
            b = y >= y0 ? y : y0 + 1LL;
            l = x0;
            r = x0 + 1;
        }
        const auto clampInt = [](long long v) {
            return static_cast<int>(std::clamp<long long>(v, -1, 1LL << 30));
        };
        pixels::fill(*image, clampInt(l + lo), clampInt(t + lo), clampInt(r - 1 + hi),
                     clampInt(b - 1 + hi), value);
        return true;
    }

    // Bresenham from the first point; the loop stops before the last one, which a line
    // never covers. It also stops once the line has left the surface for good, so a line
    // to a far-away point costs no more than the surface is wide.
    long long cx = from.x, cy = from.y;
    const long long dx = std::llabs(x - cx), sx = cx < x ? 1 : -1;
    const long long dy = -std::llabs(y - cy), sy = cy < y ? 1 : -1;
    long long err = dx + dy;
    const int width = image->width(), height = image->height();
    while (cx != x || cy != y) {
        if ((sx > 0 ? cx - hi >= width : cx + hi < 0) || (sy > 0 ? cy - hi >= height : cy + hi < 0))
            break;
        if (cx + hi > 0 && cy + hi > 0 && cx + lo < width && cy + lo < height) {
            const int px = static_cast<int>(cx), py = static_cast<int>(cy);
            if (w == 1) // inside: hi is 1 and lo 0 here
                pixels::line(*image, py)[px] = value;
            else
                pixels::fill(*image, px + lo, py + lo, px + hi, py + hi, value);
        }
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            cx += sx;
        }
        if (e2 <= dx) {
            err += dx;
            cy += sy;
        }
    }
    return true;
}

int FillRect(Dc& dc, const Rect& rect, const Brush& brush) {
    QImage* image = dc.surface();
    if (!image || brush.isNull())
        return 0;
    if (!rect.isEmpty())
        pixels::fill(*image, rect.left, rect.top, rect.right, rect.bottom,
                     pixels::storedValue(brush.color(), dc.isMonochrome()));
    return 1;
}

int FrameRect(Dc& dc, const Rect& rect, const Brush& brush) {
    QImage* image = dc.surface();
    if (!image || brush.isNull())
        return 0;
    if (rect.isEmpty())
        return 1;
    const QRgb value = pixels::storedValue(brush.color(), dc.isMonochrome());
    pixels::fill(*image, rect.left, rect.top, rect.right, rect.top + 1, value);
    pixels::fill(*image, rect.left, rect.bottom - 1, rect.right, rect.bottom, value);
    pixels::fill(*image, rect.left, rect.top, rect.left + 1, rect.bottom, value);
    pixels::fill(*image, rect.right - 1, rect.top, rect.right, rect.bottom, value);
    return 1;
}

bool SetPixelV(Dc& dc, int x, int y, COLORREF colour) {
    QImage* image = dc.surface();
    if (!image || !pixels::inside(*image, x, y))
        return false;
    pixels::line(*image, y)[x] = pixels::storedValue(colour, dc.isMonochrome());
    return true;
}

COLORREF GetPixel(const Dc& dc, int x, int y) {
    const QImage* image = dc.surface();
    if (!image || !pixels::inside(*image, x, y))
        return CLR_INVALID;
    return fromQRgb(pixels::line(*image, y)[x]);
}

bool DrawFocusRect(Dc& dc, const Rect& rect) {
    QImage* image = dc.surface();
    if (!image || rect.isEmpty())
        return false;
    // The classic dotted look: a checkerboard XORed onto the border, aligned to the surface so
    // that pixels with x + y even are inverted. Each border pixel is inverted exactly once.
    pixels::invert(*image, rect.left, rect.top, rect.right, rect.top + 1, 0);
    if (rect.height() > 1)
        pixels::invert(*image, rect.left, rect.bottom - 1, rect.right, rect.bottom, 0);
    if (rect.height() > 2) {
        pixels::invert(*image, rect.left, rect.top + 1, rect.left + 1, rect.bottom - 1, 0);
        if (rect.width() > 1)
            pixels::invert(*image, rect.right - 1, rect.top + 1, rect.right, rect.bottom - 1, 0);
    }
    return true;
}

} // namespace velmora::gdi
