#pragma once

#include "platform/gdi/GdiTypes.h"

#include <QImage>

// Pixel-level helpers shared by the drawing layer's sources. Every surface is Format_RGB32;
// a monochrome one holds only black (bit 0) and white (bit 1).
namespace velmora::gdi::pixels {

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;

// The pixel value a colour is stored as on a surface: on a monochrome surface the nearer of
// black and white.
QRgb storedValue(COLORREF colour, bool monochrome);

inline bool inside(const QImage& image, int x, int y) {
    return x >= 0 && y >= 0 && x < image.width() && y < image.height();
}

inline QRgb* line(QImage& image, int y) {
    return reinterpret_cast<QRgb*>(image.scanLine(y));
}
inline const QRgb* line(const QImage& image, int y) {
    return reinterpret_cast<const QRgb*>(image.constScanLine(y));
}

// Fills [left, right) x [top, bottom), clipped to the image.
void fill(QImage& image, int left, int top, int right, int bottom, QRgb value);
// XORs the RGB bits of [left, right) x [top, bottom), clipped, where (x + y) has the given
// parity (0 or 1); parity < 0 means every pixel.
void invert(QImage& image, int left, int top, int right, int bottom, int parity);

} // namespace velmora::gdi::pixels
