#pragma once

#include <QRect>
#include <QRegion>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class QImage;
class QObject;
class QWidget;

namespace velmora {

// The capture is one pixel wider than the window, rounded up to whole 4-byte units per
// 24-bit row, and one row taller, so the scan may look at column W without leaving it.
constexpr int captureWidth(int width) {
    return 4 * (width / 4) + 4;
}
constexpr int captureHeight(int height) {
    return height + 1;
}

// Largest side the scan accepts; a window larger than this cannot exist on any screen we
// run on, and the bound keeps every buffer size well inside 64 bits.
inline constexpr int kMaxShapeSide = 1 << 15;

// Packs the first width × height pixels of an image into the capture layout: rows of
// captureWidth(width) pixels, 3 bytes each in the order blue, green, red, bottom row first,
// with the extra column and the extra row left zero.
std::vector<std::uint8_t> packCapture(const QImage& image, int width, int height);

// One rectangle, one pixel high, per maximal horizontal run of pixels whose colour
// (red + 256·green + 65536·blue) differs from keyColour, rows top to bottom.
// Pure: returns nothing when the sizes are negative or too large, or when the buffer is
// shorter than the capture layout needs, so it can be driven with arbitrary input.
std::optional<std::vector<QRect>> scanOpaqueRuns(std::span<const std::uint8_t> buffer, int width,
                                                 int height, std::uint32_t keyColour);

// The union of the runs, built in one step.
QRegion regionFromRuns(const std::vector<QRect>& runs);

// Cuts a window to the pixels that differ from its own background colour, so the picture
// behind it shows through. The object is read through its properties, as any control of a
// window is: it must be a widget and carry a "BackColor" property (a Colour value).
class clsTrans {
  public:
    // True when the widget now has its new shape and is queued for repainting; false, with
    // nothing changed, for an object without a window or a background colour, a background
    // colour of 0, an untranslatable colour, or a window with no area.
    bool DoIT(QObject* control) const;

  private:
    // The region of all captured pixels not in the key colour; nothing if the capture
    // cannot be laid out.
    std::optional<QRegion> BuildRegion(QWidget* window, int height, int width,
                                       std::uint32_t keyColour) const;
};

} // namespace velmora
