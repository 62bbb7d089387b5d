#include "platform/SystemColors.h"

#include <array>

namespace velmora {

using gdi::RGB;

namespace {

constexpr std::array<gdi::COLORREF, kSystemColourCount> kXpColours = {
    RGB(212, 208, 200), // 0 scroll bar
    RGB(0, 78, 152),    // 1 desktop
    RGB(0, 84, 227),    // 2 active caption
    RGB(122, 150, 223), // 3 inactive caption
    RGB(255, 255, 255), // 4 menu
    RGB(255, 255, 255), // 5 window
    RGB(0, 0, 0),       // 6 window frame
    RGB(0, 0, 0),       // 7 menu text
    RGB(0, 0, 0),       // 8 window text
    RGB(255, 255, 255), // 9 caption text
    RGB(212, 208, 200), // 10 active border
    RGB(212, 208, 200), // 11 inactive border
    RGB(128, 128, 128), // 12 application workspace
    RGB(49, 106, 197),  // 13 selected item background
    RGB(255, 255, 255), // 14 selected item text
    RGB(236, 233, 216), // 15 button face
    RGB(172, 168, 153), // 16 button shadow
    RGB(172, 168, 153), // 17 grey text
    RGB(0, 0, 0),       // 18 button text
    RGB(216, 228, 248), // 19 inactive caption text
    RGB(255, 255, 255), // 20 3-D highlight
    RGB(113, 111, 100), // 21 3-D dark shadow
    RGB(241, 239, 226), // 22 3-D light
    RGB(0, 0, 0),       // 23 tooltip text
    RGB(255, 255, 225), // 24 tooltip background
    RGB(181, 181, 181), // 25 alternate button face
    RGB(0, 0, 128),     // 26 hot-tracked item
    RGB(61, 149, 255),  // 27 active caption gradient
    RGB(157, 185, 235), // 28 inactive caption gradient
    RGB(49, 106, 197),  // 29 menu highlight
    RGB(236, 233, 216), // 30 menu bar
};

} // namespace

gdi::COLORREF GetSysColor(int index) {
    if (index < 0 || index >= kSystemColourCount)
        return 0;
    return kXpColours[static_cast<std::size_t>(index)];
}

gdi::COLORREF resolveColour(std::uint32_t colour) {
    if (colour >= 0x1000000u)
        return GetSysColor(static_cast<int>(colour & 0xFFFFFFu));
    return colour;
}

bool oleTranslateColor(std::uint32_t colour, gdi::COLORREF* out) {
    gdi::COLORREF value = 0;
    if ((colour & 0xFF000000u) == 0) {
        value = colour;
    } else if ((colour & 0xFF000000u) == 0x80000000u && (colour & 0xFFFFFFu) < kSystemColourCount) {
        value = GetSysColor(static_cast<int>(colour & 0xFFFFFFu));
    } else {
        return false;
    }
    if (out)
        *out = value;
    return true;
}

QColor colourToQColor(std::uint32_t colour) {
    return gdi::toQColor(resolveColour(colour));
}

} // namespace velmora
