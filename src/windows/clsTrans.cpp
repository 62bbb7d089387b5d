#include "windows/clsTrans.h"

#include "windows/ColourKey.h"

#include <QImage>
#include <QPixmap>
#include <QVariant>
#include <QWidget>

namespace velmora {

namespace {

// Bytes needed for the capture of a width × height window, or nothing past the bounds.
std::optional<std::size_t> captureBytes(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxShapeSide || height > kMaxShapeSide) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(captureWidth(width)) * 3u *
           static_cast<std::size_t>(captureHeight(height));
}

} // namespace

std::vector<std::uint8_t> packCapture(const QImage& image, int width, int height) {
    const auto bytes = captureBytes(width, height);
    if (!bytes) {
        return {};
    }
    std::vector<std::uint8_t> buffer(*bytes, 0);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const std::size_t stride = static_cast<std::size_t>(captureWidth(width)) * 3u;
    const int rows = std::min(height, rgb.height());
    const int columns = std::min(width, rgb.width());
    for (int y = 0; y < rows; ++y) {
        // Bottom-up: buffer row H′ − 1 − y holds image row y.
        std::uint8_t* out = buffer.data() + stride * static_cast<std::size_t>(height - y);
        const uchar* in = rgb.constScanLine(y);
        for (int x = 0; x < columns; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    return buffer;
}

std::optional<std::vector<QRect>> scanOpaqueRuns(std::span<const std::uint8_t> buffer, int width,
                                                 int height, std::uint32_t keyColour) {
    const auto bytes = captureBytes(width, height);
    if (!bytes || buffer.size() < *bytes) {
        return std::nullopt;
    }
    const std::size_t stride = static_cast<std::size_t>(captureWidth(width)) * 3u;
    std::vector<QRect> runs;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = buffer.data() + stride * static_cast<std::size_t>(height - y);
        const auto colourAt = [row](int x) {
            const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
            return std::uint32_t{p[2]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[0]} << 16);
        };
        int x = 0;
        // The bound is tested before the pixel here; column W never decides a run, so the
        // runs are the same as reading it first.
        while (x < width) {
            while (x < width && colourAt(x) == keyColour) {
                ++x;
            }
            const int start = x;
            while (x < width && colourAt(x) != keyColour) {
                ++x;
            }
            if (x > start) {
                runs.emplace_back(QPoint(start, y), QPoint(x - 1, y));
            }
        }
    }
    return runs;
}

QRegion regionFromRuns(const std::vector<QRect>& runs) {
    // Rows with the same runs as the row above grow the band above instead of adding
    // rectangles, which gives the toolkit the banded, y-x sorted list it expects.
    std::vector<QRect> bands;
    std::size_t bandStart = 0;
    std::size_t i = 0;
    while (i < runs.size()) {
        std::size_t end = i;
        while (end < runs.size() && runs[end].top() == runs[i].top()) {
            ++end;
        }
        const std::size_t count = end - i;
        const std::size_t bandCount = bands.size() - bandStart;
        bool continues =
            !bands.empty() && bandCount == count && bands[bandStart].bottom() + 1 == runs[i].top();
        for (std::size_t k = 0; continues && k < count; ++k) {
            continues = bands[bandStart + k].left() == runs[i + k].left() &&
                        bands[bandStart + k].right() == runs[i + k].right();
        }
        if (continues) {
            for (std::size_t k = 0; k < count; ++k) {
                bands[bandStart + k].setBottom(runs[i + k].top());
            }
        } else {
            bandStart = bands.size();
            bands.insert(bands.end(), runs.begin() + static_cast<std::ptrdiff_t>(i),
                         runs.begin() + static_cast<std::ptrdiff_t>(end));
        }
        i = end;
    }
    QRegion region;
    if (!bands.empty()) {
        region.setRects(bands.data(), static_cast<int>(bands.size()));
    }
    return region;
}

bool clsTrans::DoIT(QObject* control) const {
    auto* window = qobject_cast<QWidget*>(control);
    if (window == nullptr) {
        return false;
    }
    const QVariant backColor = window->property("BackColor");
    bool isNumber = false;
    const auto colour = static_cast<std::uint32_t>(backColor.toUInt(&isNumber));
    if (!backColor.isValid() || !isNumber || colour == 0) {
        return false;
    }
    const int width = window->width();
    const int height = window->height();
    if (width <= 0 && height <= 0) {
        return false;
    }
    const auto key = colourKey(colour);
    if (!key) {
        return false;
    }
    const auto region = BuildRegion(window, height, width, *key);
    if (!region) {
        return false;
    }
    // An empty mask would mean "no mask" to the toolkit and show the whole window; a
    // window all in its key colour must vanish, so it gets one pixel outside itself.
    window->setMask(region->isEmpty() ? QRegion(-1, -1, 1, 1) : *region);
    window->update();
    return true;
}

std::optional<QRegion> clsTrans::BuildRegion(QWidget* window, int height, int width,
                                             std::uint32_t keyColour) const {
    // The current pixels of the window and its children, as they would paint now, without
    // any shape given earlier.
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(Qt::black);
    if (width > 0 && height > 0) {
        const QPixmap grabbed = window->grab(QRect(0, 0, width, height));
        if (!grabbed.isNull()) {
            QImage shot = grabbed.toImage();
            if (shot.size() != QSize(width, height)) {
                // A scaled screen gives more device pixels than logical ones.
                shot = shot.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            }
            image = shot;
        }
    }
    const std::vector<std::uint8_t> buffer = packCapture(image, width, height);
    const auto runs = scanOpaqueRuns(buffer, width, height, keyColour);
    if (!runs) {
        return std::nullopt;
    }
    return regionFromRuns(*runs);
}

} // namespace velmora
