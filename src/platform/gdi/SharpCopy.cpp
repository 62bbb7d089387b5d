#include "platform/gdi/SharpCopy.h"

#include <algorithm>
#include <cmath>

namespace velmora::gdi {

namespace {

QImage asRgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image
                                                  : image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

void SharpCopy::setScale(qreal scale) {
    if (scale <= 0 || scale == m_scale)
        return;
    m_scale = scale;
    m_copy = QImage(); // made again, whole, when next asked for
}

int SharpCopy::toDevice(int x) const {
    // The device pixels of source pixel x are [toDevice(x), toDevice(x + 1)): every device pixel
    // belongs to exactly one source pixel, also at fractional scales.
    return int(std::ceil(x * m_scale - 1e-6));
}

void SharpCopy::replicate(int left, int top, int right, int bottom) {
    const QImage source = asRgb32(m_source);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, source.width());
    bottom = std::min(bottom, source.height());
    const int copyWidth = m_copy.width(), copyHeight = m_copy.height();
    for (int y = top; y < bottom; ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int dy = toDevice(y); dy < std::min(toDevice(y + 1), copyHeight); ++dy) {
            auto* to = reinterpret_cast<QRgb*>(m_copy.scanLine(dy));
            for (int x = left; x < right; ++x)
                std::fill(to + std::min(toDevice(x), copyWidth),
                          to + std::min(toDevice(x + 1), copyWidth), from[x]);
        }
    }
}

const QImage& SharpCopy::image() {
    if (!active())
        return m_source;
    const QImage source = asRgb32(m_source);
    const QSize wanted(toDevice(source.width()), toDevice(source.height()));
    if (m_copy.size() != wanted || m_seen.size() != source.size()) {
        m_copy = QImage(wanted, QImage::Format_RGB32);
        m_copy.setDevicePixelRatio(m_scale);
        replicate(0, 0, source.width(), source.height());
        m_seen = source.copy();
        m_textAreas.clear();
        return m_copy;
    }

    std::vector<bool> textTouched(m_textAreas.size(), false);
    for (int y = 0; y < source.height(); ++y) {
        const auto* now = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* seen = reinterpret_cast<QRgb*>(m_seen.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            if (now[x] == seen[x])
                continue;
            seen[x] = now[x];
            replicate(x, y, x + 1, y + 1);
            for (std::size_t i = 0; i < m_textAreas.size(); ++i)
                if (m_textAreas[i].contains(x, y))
                    textTouched[i] = true;
        }
    }
    // Text partly drawn over is no text any more: the whole area shows the source again, so no
    // sharp stroke survives next to the new pixels.
    for (std::size_t i = m_textAreas.size(); i-- > 0;) {
        if (!textTouched[i])
            continue;
        const QRect& area = m_textAreas[i];
        replicate(area.left(), area.top(), area.right() + 1, area.bottom() + 1);
        m_textAreas.erase(m_textAreas.begin() + std::ptrdiff_t(i));
    }
    return m_copy;
}

QImage& SharpCopy::beginText() {
    image();
    return m_copy;
}

void SharpCopy::textDrawn(const QRect& area) {
    const QImage source = asRgb32(m_source);
    const QRect inside = area.intersected(source.rect());
    if (inside.isEmpty() || m_seen.size() != source.size())
        return;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* now = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* seen = reinterpret_cast<QRgb*>(m_seen.scanLine(y));
        std::copy(now + inside.left(), now + inside.right() + 1, seen + inside.left());
    }
    std::erase_if(m_textAreas, [&](const QRect& old) { return inside.contains(old); });
    m_textAreas.push_back(inside);
}

} // namespace velmora::gdi
