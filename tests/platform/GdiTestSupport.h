#pragma once

#include "platform/gdi/GdiSurface.h"

#include <QImage>

#include <string>

namespace velmora::gdi::test {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kRed = 0x0000FF;

inline QImage blankImage(int w, int h, COLORREF colour = kWhite) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(toQColor(colour));
    return image;
}

inline COLORREF pixelAt(const QImage& image, int x, int y) {
    return fromQRgb(image.pixel(x, y));
}

// The image as rows of '#' (the given colour) and '.' (anything else), for readable failures.
inline std::string picture(const QImage& image, COLORREF ink) {
    std::string out;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            out += pixelAt(image, x, y) == ink ? '#' : '.';
        out += '\n';
    }
    return out;
}

// Pixels of the given colour, as a bounding rectangle (empty when none).
inline Rect inkBounds(const QImage& image, COLORREF ink) {
    Rect r{image.width(), image.height(), 0, 0};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (pixelAt(image, x, y) == ink) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r.isEmpty() ? Rect{} : r;
}

} // namespace velmora::gdi::test
