#pragma once

#include "platform/gdi/GdiTypes.h"

#include <QImage>
#include <QRegion>

#include <memory>

// Pens, brushes, bitmaps, icons and regions. Each is a value (or a shared handle, for bitmaps)
// that frees whatever it holds when the last copy goes away, so no caller ever deletes one.
namespace velmora::gdi {

class Pen {
  public:
    Pen() = default; // the null pen: draws nothing
    Pen(int style, int width, COLORREF colour);

    int style() const { return m_style; }
    int width() const { return m_width; }
    COLORREF color() const { return m_colour; }
    bool isNull() const { return m_style == PS_NULL; }

  private:
    int m_style = PS_NULL;
    int m_width = 1;
    COLORREF m_colour = 0;
};

class Brush {
  public:
    Brush() = default; // the null brush: paints nothing
    explicit Brush(COLORREF colour);

    bool isNull() const { return m_null; }
    COLORREF color() const { return m_colour; }

  private:
    bool m_null = true;
    COLORREF m_colour = 0;
};

// A colour (32 bits per pixel) or monochrome (1 bit per pixel) bitmap. Copies share the pixels,
// as handles do: drawing through one memory surface is seen by every copy. The pixels live as
// long as any copy does.
class Bitmap {
  public:
    Bitmap() = default; // null

    // A colour bitmap holding a copy of the image (converted to 32 bits, opaque).
    static Bitmap fromImage(const QImage& image);
    // A blank bitmap: colour ones are black, monochrome ones are 0 (black).
    static Bitmap create(int width, int height, bool monochrome);

    bool isNull() const { return !m_data; }
    bool isMonochrome() const;
    int width() const;
    int height() const;
    // The pixels as a QImage::Format_RGB32 image; a monochrome bitmap holds only black
    // (bit 0) and white (bit 1). Null for a null bitmap.
    QImage toImage() const;
    // A 1-bit image (QImage::Format_Mono, 0 = black, 1 = white) of a monochrome bitmap.
    QImage toMonoImage() const;

    // Direct access for the drawing layer; pixels are Format_RGB32 in both kinds.
    QImage* pixels() const;
    bool sameAs(const Bitmap& other) const { return m_data == other.m_data; }

  private:
    struct Data;
    std::shared_ptr<Data> m_data;
};

// CreateBitmap: planes x bitsPerPixel of 1 gives a monochrome bitmap, anything else a colour
// one. bits, when given, holds rows padded to 16 bits (monochrome, most significant bit first)
// or 32-bit 0x00RRGGBB pixels (colour). Null for a size of 0 or less.
Bitmap CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                    const void* bits);

// An icon: an image with a transparency mask (the alpha channel: 0 = transparent).
class Icon {
  public:
    Icon() = default;
    explicit Icon(const QImage& image);

    bool isNull() const { return m_image.isNull(); }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    // Format_ARGB32 (not premultiplied).
    const QImage& image() const { return m_image; }

  private:
    QImage m_image;
};

class Region {
  public:
    Region() = default; // empty
    explicit Region(const QRegion& region) : m_region(region) {}

    const QRegion& toQRegion() const { return m_region; }
    bool isEmpty() const { return m_region.isEmpty(); }
    bool contains(int x, int y) const { return m_region.contains(QPoint(x, y)); }
    // The bounding rectangle, right and bottom exclusive.
    Rect boundingRect() const { return Rect::fromQRect(m_region.boundingRect()); }

  private:
    QRegion m_region;
};

Pen CreatePen(int style, int width, COLORREF colour);
Brush CreateSolidBrush(COLORREF colour);
// Like the classic call, swapped corners are put in order; a zero width or height is empty.
Region CreateRectRgn(int left, int top, int right, int bottom);
// dest = a (mode) b; dest may be a or b. Returns NULLREGION, SIMPLEREGION, COMPLEXREGION or
// RGN_ERROR for an unknown mode (dest then stays as it was).
int CombineRgn(Region& dest, const Region& a, const Region& b, int mode);

} // namespace velmora::gdi
