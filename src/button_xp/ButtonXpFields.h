#pragma once

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/StdFont.h"
#include "platform/gdi/StdPicture.h"
#include "platform/gdi/UserControl.h"

#include <QString>

#include <cstdint>

namespace velmora {

// Value types of the control's data.
using Long = std::int32_t;
using Integer = std::int16_t;
using Byte = std::uint8_t;
using Single = float;
// Colour values (OleColor) below 0x1000000 are RGB with red in the low byte; 0x80000000 + n
// is system colour n.

// Rectangles in surface pixels (right and bottom exclusive) and the caption drawing call's
// parameter block, as the drawing layer takes them.
using RECT = gdi::Rect;
using DRAWTEXTPARAMS = gdi::DrawTextParams;

enum ButtonStyleValue : Long {
    StyleClassic = 0,      // raised frame at rest, raised on hover, sunk while pressed
    StyleFrameOnHover = 1, // like classic without a frame at rest
    StyleFlat = 2,         // flat, border in ForeColor while hovered
    StyleXP = 3,           // XP face with rounded window shape
    StyleNoBorder = 4,
};

enum PicturePositionValue : Long {
    PictureAbove = 0,
    PictureLeft = 1,
    PictureRight = 2,
    PictureBelow = 3,
};

enum PictureSizeValue : Long {
    PictureSize16 = 0,
    PictureSize32 = 1,
    PictureSizeNatural = 2,
};

// Every member field of the button, in declaration order. Flags are bool (any non-zero value
// counts as true; stored as -1/0). Painting and input read and write these directly.
struct ButtonXpFields {
    gdi::Region g_Region; // rounded window shape of the XP style; empty when none is set
    Long g_Width = 0;
    Long g_Height = 0;
    RECT g_InnerRect; // (4, 4, width - 1 - 3, height - 1 - 3)
    RECT g_PictureRect;
    RECT g_CaptionRect;
    RECT g_WorkRect;             // scratch copy while a rectangle is moved for drawing
    RECT g_FocusRect;            // (4, 4, width - 4, height - 4)
    RECT g_ClientRect;           // (0, 0, width - 1, height - 1)
    Long g_OriginalPicSizeW = 0; // natural picture size in pixels
    Long g_OriginalPicSizeH = 0;
    PicturePtr g_PictureNormal; // what Picture was last given; shown when not hovered
    PicturePtr g_PictureHover;
    QString g_Caption;
    Long g_PicturePosition = 0;
    Long g_ButtonStyle = 0;
    PicturePtr g_Picture; // the picture painted now
    Long g_PictureWidth = 0;
    Long g_PictureHeight = 0;
    Long g_PictureSize = 0;
    DRAWTEXTPARAMS g_TextParams{0, 0, 0, 0, 0}; // filled before each measurement
    Byte g_HasFocus = 0;
    Byte g_IsDown = 0;
    Byte g_IsOver = 0;
    Integer g_LastButton = 0;
    Integer g_LastShift = 0;
    Single g_LastX = 0;
    Single g_LastY = 0;
    Byte g_KeyIsDown = 0; // stops key auto-repeat from pressing again
    QString g_URL;
    bool g_ShowFocusRect = false;
    Integer g_Bevel = 0;
    Integer g_BevelDepth = 0;
    bool g_TransparentBG = false;
    OleColor g_MaskColor = 0;
    bool g_XPShowBorderAlways = false;
    bool g_DefCurHand = false;
    QString g_SoundOver;
    QString g_SoundClick;
    OleColor g_ForeColor = 0;
    OleColor g_BackColor = 0;
    bool g_XPDefaultColors = false;
    OleColor g_XPColorPressed = 0;
    OleColor g_XPColorHover = 0;
    FontPtr g_Font;
};

} // namespace velmora
