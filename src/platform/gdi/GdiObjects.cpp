#include "platform/gdi/GdiObjects.h"

#include <cstring>
#include <utility>

namespace velmora::gdi {

QRgb toQRgb(COLORREF colour) {
    return qRgb(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

QColor toQColor(COLORREF colour) {
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

COLORREF fromQRgb(QRgb rgb) {
    return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

COLORREF fromQColor(const QColor& colour) {
    return fromQRgb(colour.rgb());
}

Pen::Pen(int style, int width, COLORREF colour)
    : m_style(style), m_width(width < 1 ? 1 : width), m_colour(colour & 0xFFFFFFu) {}

Brush::Brush(COLORREF colour) : m_null(false), m_colour(colour & 0xFFFFFFu) {}

Icon::Icon(const QImage& image)
    : m_image(image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32)) {}

struct Bitmap::Data {
    QImage image; // Format_RGB32 always; monochrome ones hold only black and white
    bool monochrome = false;
};

Bitmap Bitmap::fromImage(const QImage& image) {
    Bitmap bitmap;
    if (image.isNull())
        return bitmap;
    bitmap.m_data = std::make_shared<Data>();
    // Drop any alpha: a bitmap is opaque, and the raster operations work on RGB only.
    bitmap.m_data->image = image.convertToFormat(QImage::Format_RGB32);
    return bitmap;
}

Bitmap Bitmap::create(int width, int height, bool monochrome) {
    Bitmap bitmap;
    if (width <= 0 || height <= 0)
        return bitmap;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) // too large to allocate
        return bitmap;
    image.fill(qRgb(0, 0, 0));
    bitmap.m_data = std::make_shared<Data>();
    bitmap.m_data->image = std::move(image);
    bitmap.m_data->monochrome = monochrome;
    return bitmap;
}

bool Bitmap::isMonochrome() const {
    return m_data && m_data->monochrome;
}
int Bitmap::width() const {
    return m_data ? m_data->image.width() : 0;
}
int Bitmap::height() const {
    return m_data ? m_data->image.height() : 0;
}
QImage Bitmap::toImage() const {
    return m_data ? m_data->image.copy() : QImage();
}
QImage* Bitmap::pixels() const {
    return m_data ? &m_data->image : nullptr;
}

QImage Bitmap::toMonoImage() const {
    if (!m_data)
        return QImage();
    const QImage& src = m_data->image;
    QImage mono(src.size(), QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < src.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x)
            mono.setPixel(x, y, (line[x] & 0xFFFFFFu) == 0xFFFFFFu ? 1 : 0);
    }
    return mono;
}

Bitmap CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                    const void* bits) {
    const bool monochrome = planes * bitsPerPixel == 1;
    Bitmap bitmap = Bitmap::create(width, height, monochrome);
    if (bitmap.isNull() || bits == nullptr)
        return bitmap;
    QImage& image = *bitmap.pixels();
    const auto* bytes = static_cast<const unsigned char*>(bits);
    if (monochrome) {
        // Rows are padded to whole 16-bit words.
        const int stride = ((width + 15) / 16) * 2;
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const bool set = (bytes[y * stride + x / 8] >> (7 - x % 8)) & 1;
                line[x] = set ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
            }
        }
    } else {
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            std::memcpy(line, bytes + static_cast<std::size_t>(y) * width * 4,
                        static_cast<std::size_t>(width) * 4);
            for (int x = 0; x < width; ++x)
                line[x] |= 0xFF000000u;
        }
    }
    return bitmap;
}

Pen CreatePen(int style, int width, COLORREF colour) {
    return Pen(style, width, colour);
}

Brush CreateSolidBrush(COLORREF colour) {
    return Brush(colour);
}

Region CreateRectRgn(int left, int top, int right, int bottom) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    if (left == right || top == bottom)
        return Region();
    return Region(QRegion(left, top, right - left, bottom - top));
}

int CombineRgn(Region& dest, const Region& a, const Region& b, int mode) {
    QRegion result;
    switch (mode) {
    case RGN_AND:
        result = a.toQRegion().intersected(b.toQRegion());
        break;
    case RGN_OR:
        result = a.toQRegion().united(b.toQRegion());
        break;
    case RGN_XOR:
        result = a.toQRegion().xored(b.toQRegion());
        break;
    case RGN_DIFF:
        result = a.toQRegion().subtracted(b.toQRegion());
        break;
    case RGN_COPY:
        result = a.toQRegion();
        break;
    default:
        return RGN_ERROR;
    }
    dest = Region(result);
    if (result.isEmpty())
        return NULLREGION;
    return result.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

} // namespace velmora::gdi
