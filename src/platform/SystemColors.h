#pragma once

#include "platform/gdi/GdiTypes.h"

#include <QColor>

#include <cstdint>

namespace velmora {

// System colour indexes (the classic COLOR_* numbers).
enum SystemColourIndex : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_ALTERNATEBTNFACE = 25,
    COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION = 27,
    COLOR_GRADIENTINACTIVECAPTION = 28,
    COLOR_MENUHILIGHT = 29,
    COLOR_MENUBAR = 30,
    kSystemColourCount = 31,
};

// The system colour table, fixed to the XP (blue theme) defaults so the buttons look the same
// on every desktop. Returns 0x00BBGGRR; an index outside 0..30 gives 0 (black).
gdi::COLORREF GetSysColor(int index);

// Resolves a colour value: below 0x1000000 it is RGB and returned unchanged; from 0x1000000 up
// (compared unsigned) it is system colour (value AND 0xFFFFFF).
gdi::COLORREF resolveColour(std::uint32_t colour);

// The stricter OLE translation used for window backgrounds: 0x00BBGGRR is RGB, 0x80000000 + n is
// system colour n (n in 0..30). Anything else is refused and out stays untouched.
bool oleTranslateColor(std::uint32_t colour, gdi::COLORREF* out);

// resolveColour as an opaque QColor.
QColor colourToQColor(std::uint32_t colour);

} // namespace velmora
