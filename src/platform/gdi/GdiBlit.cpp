#include "platform/gdi/GdiSurface.h"

#include "platform/SystemColors.h"
#include "platform/gdi/GdiPixels.h"

#include <algorithm>
#include <optional>

namespace velmora::gdi {

namespace {

// Applies a ternary raster operation to 24 bits: every bit of the result is the operation's
// truth table looked up with the pattern, source and destination bits at that place. This
// is what makes SRCAND, SRCINVERT and NOTSRCCOPY bit-exact on every channel.
QRgb applyRop(std::uint32_t rop, QRgb pattern, QRgb source, QRgb dest) {
    const unsigned table = (rop >> 16) & 0xFFu;
    switch (table) { // the common ones without the general loop
    case 0xCC:
        return source | 0xFF000000u;
    case 0x88:
        return (source & dest) | 0xFF000000u;
    case 0x66:
        return (source ^ dest) | 0xFF000000u;
    case 0x33:
        return (~source) | 0xFF000000u;
    case 0xEE:
        return (source | dest) | 0xFF000000u;
    default:
        break;
    }
    std::uint32_t result = 0;
    for (unsigned index = 0; index < 8; ++index) {
        if (!((table >> index) & 1u))
            continue;
        const std::uint32_t p = (index & 4u) ? pattern : ~pattern;
        const std::uint32_t s = (index & 2u) ? source : ~source;
        const std::uint32_t d = (index & 1u) ? dest : ~dest;
        result |= p & s & d;
    }
    return (result & 0x00FFFFFFu) | 0xFF000000u;
}

// Turns a source pixel into the destination's terms: colour to monochrome through the
// source's background colour, monochrome to colour through the destination's text and
// background colours.
struct Converter {
    bool srcMono;
    bool destMono;
    QRgb srcBk;    // source background colour, for colour -> mono
    QRgb destText; // for mono -> colour: bit 0
    QRgb destBk;   // for mono -> colour: bit 1

    QRgb operator()(QRgb s) const {
        if (srcMono == destMono)
            return s;
        if (destMono)
            return (s & 0xFFFFFFu) == (srcBk & 0xFFFFFFu) ? pixels::kWhite : pixels::kBlack;
        return (s & 0xFFFFFFu) == 0xFFFFFFu ? destBk : destText;
    }
};

Converter converterFor(const Dc& dest, const Dc& src) {
    return Converter{src.isMonochrome(), dest.isMonochrome(), toQRgb(src.bkColor()),
                     toQRgb(dest.textColor()), toQRgb(dest.bkColor())};
}

QRgb patternOf(const Dc& dest) {
    return dest.brush().isNull() ? pixels::kBlack
                                 : pixels::storedValue(dest.brush().color(), dest.isMonochrome());
}

// Combines the source pixels one destination pixel stands for, when shrinking.
QRgb combine(int mode, QRgb acc, QRgb next) {
    switch (mode) {
    case BLACKONWHITE:
        return acc & next;
    case WHITEONBLACK:
        return acc | next;
    default:
        return acc;
    }
}

} // namespace

bool StretchBlt(Dc& dest, int x, int y, int cx, int cy, const Dc& src, int xSrc, int ySrc,
                int cxSrc, int cySrc, std::uint32_t rop) {
    QImage* destImage = dest.surface();
    const QImage* srcImage = src.surface();
    if (!destImage || !srcImage || cx < 0 || cy < 0 || cxSrc < 0 || cySrc < 0)
        return false;
    if (cx == 0 || cy == 0 || cxSrc == 0 || cySrc == 0)
        return true;

    // Copying within one surface reads from a snapshot, so overlapping areas come out right.
    QImage snapshot;
    if (srcImage == destImage) {
        snapshot = srcImage->copy();
        srcImage = &snapshot;
    }
    const Converter convert = converterFor(dest, src);
    const QRgb pattern = patternOf(dest);
    const int mode = dest.stretchMode();

    // Only the part that lands on the destination is visited, however large the request.
    const int jBegin = static_cast<int>(std::max<long long>(0, -static_cast<long long>(y)));
    const int jEnd =
        static_cast<int>(std::min<long long>(cy, static_cast<long long>(destImage->height()) - y));
    const int iBegin = static_cast<int>(std::max<long long>(0, -static_cast<long long>(x)));
    const int iEnd =
        static_cast<int>(std::min<long long>(cx, static_cast<long long>(destImage->width()) - x));
    for (int j = jBegin; j < jEnd; ++j) {
        const int dy = y + j;
        const int sy0 = ySrc + static_cast<int>(static_cast<long long>(j) * cySrc / cy);
        const int sy1 =
            std::max(sy0 + 1, ySrc + static_cast<int>(static_cast<long long>(j + 1) * cySrc / cy));
        QRgb* destLine = pixels::line(*destImage, dy);
        for (int i = iBegin; i < iEnd; ++i) {
            const int dx = x + i;
            const int sx0 = xSrc + static_cast<int>(static_cast<long long>(i) * cxSrc / cx);
            const int sx1 = std::max(
                sx0 + 1, xSrc + static_cast<int>(static_cast<long long>(i + 1) * cxSrc / cx));
            std::optional<QRgb> value;
            const int syEnd = std::min(sy1, srcImage->height());
            const int sxEnd = std::min(sx1, srcImage->width());
            for (int sy = std::max(sy0, 0); sy < syEnd; ++sy) {
                const QRgb* srcLine = pixels::line(*srcImage, sy);
                for (int sx = std::max(sx0, 0); sx < sxEnd; ++sx) {
                    const QRgb s = convert(srcLine[sx]);
                    value = value ? combine(mode, *value, s) : s;
                }
            }
            if (value)
                destLine[dx] = applyRop(rop, pattern, *value, destLine[dx]);
        }
    }
    return true;
}

bool BitBlt(Dc& dest, int x, int y, int cx, int cy, const Dc& src, int xSrc, int ySrc,
            std::uint32_t rop) {
    return StretchBlt(dest, x, y, cx, cy, src, xSrc, ySrc, cx, cy, rop);
}

namespace {

// The pixels of a picture that DrawStateA treats as ink in its MONO and DISABLED looks: all
// that are not pure white (for icons: after laying them on white).
QImage inkMask(const QImage& argb) {
    QImage mask(argb.size(), QImage::Format_RGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* in = pixels::line(argb, y);
        QRgb* out = pixels::line(mask, y);
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = in[x];
            const int a = qAlpha(p);
            const int r = (qRed(p) * a + 255 * (255 - a) + 127) / 255;
            const int g = (qGreen(p) * a + 255 * (255 - a) + 127) / 255;
            const int b = (qBlue(p) * a + 255 * (255 - a) + 127) / 255;
            out[x] = (r == 255 && g == 255 && b == 255) ? pixels::kWhite : pixels::kBlack;
        }
    }
    return mask;
}

void paintInk(Dc& dc, const QImage& mask, int x, int y, int cx, int cy, COLORREF colour) {
    QImage* image = dc.surface();
    const QRgb value = pixels::storedValue(colour, dc.isMonochrome());
    for (int j = 0; j < cy && j < mask.height(); ++j) {
        if (y + j < 0 || y + j >= image->height())
            continue;
        const QRgb* in = pixels::line(mask, j);
        QRgb* out = pixels::line(*image, y + j);
        for (int i = 0; i < cx && i < mask.width(); ++i)
            if (x + i >= 0 && x + i < image->width() && in[i] == pixels::kBlack)
                out[x + i] = value;
    }
}

bool drawStateEffect(Dc& dc, const Brush* brush, const QImage& ink, int x, int y, int cx, int cy,
                     unsigned flags) {
    if (flags & DSS_DISABLED) {
        paintInk(dc, ink, x + 1, y + 1, cx, cy, GetSysColor(COLOR_BTNHIGHLIGHT));
        paintInk(dc, ink, x, y, cx, cy, GetSysColor(COLOR_BTNSHADOW));
        return true;
    }
    // MONO without a brush of its own uses the one selected into the context.
    const Brush& use = (brush && !brush->isNull()) ? *brush : dc.brush();
    paintInk(dc, ink, x, y, cx, cy, use.isNull() ? 0 : use.color());
    return true;
}

} // namespace

bool DrawStateA(Dc& dc, const Brush* brush, const Bitmap& bitmap, int x, int y, int cx, int cy,
                unsigned flags) {
    if (!dc.surface() || bitmap.isNull() || (flags & 0xFu) != DST_BITMAP)
        return false;
    cx = cx == 0 ? bitmap.width() : std::min(cx, bitmap.width());
    cy = cy == 0 ? bitmap.height() : std::min(cy, bitmap.height());
    if (flags & (DSS_DISABLED | DSS_MONO))
        return drawStateEffect(dc, brush, inkMask(*bitmap.pixels()), x, y, cx, cy, flags);
    Dc source = CreateCompatibleDC(&dc);
    SelectObject(source, bitmap);
    return BitBlt(dc, x, y, cx, cy, source, 0, 0, SRCCOPY);
}

bool DrawIconEx(Dc& dc, int x, int y, const Icon& icon, int cx, int cy) {
    QImage* image = dc.surface();
    if (!image || icon.isNull() || cx < 0 || cy < 0)
        return false;
    cx = cx == 0 ? icon.width() : cx;
    cy = cy == 0 ? icon.height() : cy;
    const QImage& src = icon.image();
    const bool mono = dc.isMonochrome();
    const int jBegin = static_cast<int>(std::max<long long>(0, -static_cast<long long>(y)));
    const int jEnd =
        static_cast<int>(std::min<long long>(cy, static_cast<long long>(image->height()) - y));
    const int iBegin = static_cast<int>(std::max<long long>(0, -static_cast<long long>(x)));
    const int iEnd =
        static_cast<int>(std::min<long long>(cx, static_cast<long long>(image->width()) - x));
    for (int j = jBegin; j < jEnd; ++j) {
        const QRgb* in =
            pixels::line(src, static_cast<int>(static_cast<long long>(j) * src.height() / cy));
        QRgb* out = pixels::line(*image, y + j);
        for (int i = iBegin; i < iEnd; ++i) {
            const QRgb s = in[static_cast<long long>(i) * src.width() / cx];
            const int a = qAlpha(s);
            if (a == 0)
                continue;
            const QRgb d = out[x + i];
            const int r = (qRed(s) * a + qRed(d) * (255 - a) + 127) / 255;
            const int g = (qGreen(s) * a + qGreen(d) * (255 - a) + 127) / 255;
            const int b = (qBlue(s) * a + qBlue(d) * (255 - a) + 127) / 255;
            out[x + i] = pixels::storedValue(RGB(r, g, b), mono);
        }
    }
    return true;
}

bool DrawStateA(Dc& dc, const Brush* brush, const Icon& icon, int x, int y, int cx, int cy,
                unsigned flags) {
    if (!dc.surface() || icon.isNull() || (flags & 0xFu) != DST_ICON)
        return false;
    cx = cx == 0 ? icon.width() : std::min(cx, icon.width());
    cy = cy == 0 ? icon.height() : std::min(cy, icon.height());
    if (flags & (DSS_DISABLED | DSS_MONO))
        return drawStateEffect(dc, brush, inkMask(icon.image()), x, y, cx, cy, flags);
    // DrawStateA never scales: cx and cy only cut the icon.
    return DrawIconEx(dc, x, y, Icon(icon.image().copy(0, 0, cx, cy)), 0, 0);
}

} // namespace velmora::gdi
