#include "button_xp/ButtonPainter.h"

#include "button_xp/ButtonCaption.h"
#include "button_xp/Button_XP.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

constexpr OleColor kSelection = 0x8000000D;
constexpr OleColor kShadow = 0x80000010;
constexpr OleColor kHighlight = 0x80000014;
constexpr OleColor kDarkShadow = 0x80000015;

// The accent colours of the XP face when the default colours are chosen.
constexpr OleColor kDefaultFocusColour = 0xE6AA8C; // RGB(140, 170, 230)
constexpr OleColor kDefaultHoverColour = 0x4799E1; // RGB(225, 153, 71)

constexpr int kFill = 1;
constexpr int kFrame = 0;

int clampByte(double v) {
    return int(std::clamp(v, 0.0, 255.0));
}

// A coordinate of the XP face's edge lines: an offset from the near edge (0) or the far one
// (width or height).
struct Edge {
    bool fromFar;
    int offset;
    Long at(Long size) const { return fromFar ? size + offset : offset; }
};
constexpr Edge nearEdge(int v) {
    return {false, v};
}
constexpr Edge farEdge(int v) {
    return {true, v};
}

struct FaceLine {
    Edge x1, y1, x2, y2;
    Long shift;
};

// Focus ring, over the face in the focus colour.
constexpr FaceLine kFocusRing[] = {
    {nearEdge(2), farEdge(-2), farEdge(-2), farEdge(-2), -33},
    {nearEdge(2), nearEdge(1), farEdge(-2), nearEdge(1), 65},
    {nearEdge(1), nearEdge(2), farEdge(-1), nearEdge(2), 50},
    {nearEdge(2), nearEdge(3), nearEdge(2), farEdge(-3), 31},
    {farEdge(-3), nearEdge(3), farEdge(-3), farEdge(-3), 31},
};

// Light and dark edges of the unfocused normal face, in the base colour.
constexpr FaceLine kNormalEdges[] = {
    {nearEdge(2), farEdge(-2), farEdge(-2), farEdge(-2), -48},
    {nearEdge(1), farEdge(-3), farEdge(-2), farEdge(-3), -32},
    {farEdge(-2), nearEdge(2), farEdge(-2), farEdge(-2), -36},
    {farEdge(-3), nearEdge(3), farEdge(-3), farEdge(-3), -24},
    {nearEdge(2), nearEdge(1), farEdge(-2), nearEdge(1), 16},
    {nearEdge(1), nearEdge(2), farEdge(-2), nearEdge(2), 10},
    {nearEdge(1), nearEdge(2), nearEdge(1), farEdge(-2), -5},
    {nearEdge(2), nearEdge(3), nearEdge(2), farEdge(-3), -10},
};

// Hover ring, in the hover colour; drawn over the focus ring when both apply.
constexpr FaceLine kHoverRing[] = {
    {nearEdge(2), farEdge(-2), farEdge(-2), farEdge(-2), -40},
    {nearEdge(2), nearEdge(1), farEdge(-2), nearEdge(1), 90},
    {nearEdge(1), nearEdge(2), farEdge(-1), nearEdge(2), 35},
    {nearEdge(2), nearEdge(3), nearEdge(2), farEdge(-3), 20},
    {farEdge(-3), nearEdge(3), farEdge(-3), farEdge(-3), 20},
};

// Edges of the pressed face: dark at the top and left, light at the bottom and right.
constexpr FaceLine kPressedEdges[] = {
    {nearEdge(2), farEdge(-2), farEdge(-2), farEdge(-2), 16},
    {nearEdge(1), farEdge(-3), farEdge(-2), farEdge(-3), 10},
    {farEdge(-2), nearEdge(2), farEdge(-2), farEdge(-2), 5},
    {farEdge(-3), nearEdge(3), farEdge(-3), farEdge(-3), 0},
    {nearEdge(2), nearEdge(1), farEdge(-2), nearEdge(1), -32},
    {nearEdge(1), nearEdge(2), farEdge(-2), nearEdge(2), -24},
    {nearEdge(1), nearEdge(2), nearEdge(1), farEdge(-2), -32},
    {nearEdge(2), nearEdge(2), nearEdge(2), farEdge(-2), -22},
};

// Rounds as the face arithmetic does: to the nearest whole number, halves to even.
Long roundHalfEven(double v) {
    return Long(std::nearbyint(v));
}

} // namespace

// --- colour helpers ---------------------------------------------------------------------------

SplitRgb SplitColor(OleColor rgb) {
    const double c = double(rgb);
    const double b = std::trunc(c / 65536.0);
    const double g = std::trunc((c - b * 65536.0) / 256.0);
    const double r = c - b * 65536.0 - g * 256.0;
    return {r, g, b};
}

OleColor ClampedRgb(double r, double g, double b) {
    return gdi::RGB(clampByte(r), clampByte(g), clampByte(b));
}

OleColor ShiftColor(OleColor rgb, Long amount) {
    const Long blue = gdi::GetBValue(rgb);
    const Long green = gdi::GetGValue(rgb);
    const Long red = gdi::GetRValue(rgb);
    // Blue moves in proportion to itself; C++ division truncates toward zero as wanted.
    const Long blue2 = blue + (blue * amount) / 192;
    return ClampedRgb(red + amount, green + amount, blue2);
}

OleColor BrightenColor(OleColor rgb, Long amount) {
    const SplitRgb c = SplitColor(rgb);
    return ClampedRgb(c.r + amount, c.g + amount, c.b + amount);
}

gdi::Region roundCornerRegion(Long w, Long h) {
    using gdi::CreateRectRgn;
    gdi::Region region = CreateRectRgn(0, 0, w, h);
    const gdi::Region corners[] = {
        CreateRectRgn(0, 0, 2, 1),     CreateRectRgn(0, h - 1, 2, h),
        CreateRectRgn(w - 2, 0, w, 1), CreateRectRgn(w - 2, h - 1, w, h),
        CreateRectRgn(0, 1, 1, 2),     CreateRectRgn(0, h - 2, 1, h - 1),
        CreateRectRgn(w - 1, 1, w, 2), CreateRectRgn(w - 1, h - 2, w, h - 1),
    };
    for (const gdi::Region& corner : corners)
        gdi::CombineRgn(region, region, corner, gdi::RGN_DIFF);
    return region;
}

void paintButton(Button_XP& button) {
    ButtonPainter(button).Refresh();
}

void handleButtonResize(Button_XP& button) {
    ButtonPainter(button).Resize();
}

// --- painter ----------------------------------------------------------------------------------

ButtonPainter::ButtonPainter(Button_XP& button)
    : m_button(button), m_f(button.fields()), m_host(button.host()) {}

gdi::Dc& ButtonPainter::dc() {
    return m_host.hDC();
}

void ButtonPainter::Refresh() {
    m_host.setAutoRedraw(true);
    m_host.Cls();
    PaintBackground();
    if (m_f.g_ButtonStyle != StyleNoBorder)
        PaintFrame();
    ButtonCaption caption(m_button);
    caption.LayoutContent();
    caption.DrawPicture();
    if (m_f.g_HasFocus == 1 && m_f.g_ShowFocusRect && m_f.g_ButtonStyle != StyleXP)
        gdi::DrawFocusRect(dc(), m_f.g_FocusRect);
    caption.DrawCaption();
    // Switching the persistent image off presents the finished face in one piece.
    m_host.setAutoRedraw(false);
}

void ButtonPainter::Resize() {
    // 150 twips is the smallest side a button keeps: ten pixels.
    if (m_host.ScaleWidth() < 10)
        m_host.setWidthTwips(150);
    if (m_host.ScaleHeight() < 10)
        m_host.setHeightTwips(150);
    m_f.g_Width = Long(std::lrint(m_host.ScaleWidth()));
    m_f.g_Height = Long(std::lrint(m_host.ScaleHeight()));
    m_f.g_FocusRect = RECT{4, 4, Long(std::lrint(m_host.ScaleWidth())) - 4,
                           Long(std::lrint(m_host.ScaleHeight())) - 4};
    // Every other style gets its whole rectangle back, so a style change reaches the shape too.
    m_f.g_Region = gdi::Region();
    m_host.setWindowRegion(QRegion());
    if (m_f.g_ButtonStyle == StyleXP)
        ShapeRoundCorners();
    m_button.Refresh();
}

void ButtonPainter::PaintBackground() {
    const Long style = m_f.g_ButtonStyle;
    if (style == StyleXP)
        return;
    if (style == StyleFlat) {
        if (m_f.g_IsDown != 0 || !m_f.g_TransparentBG) {
            m_host.setBackColor(m_f.g_BackColor);
        } else {
            // A hover colour left on the surface by the previous repaint must not stay behind
            // when the container has no picture to show through.
            if (m_host.BackColor() != m_f.g_BackColor)
                m_host.setBackColor(m_f.g_BackColor);
            CopyParentBackground();
        }
    } else if (m_f.g_TransparentBG) {
        CopyParentBackground();
    }

    if (style != StyleFlat)
        return;
    const SplitRgb sel = SplitColor(Button_XP::TranslateColor(kSelection));
    if (m_f.g_IsOver == 1 && m_f.g_IsDown == 0) {
        m_host.setBackColor(m_f.g_XPDefaultColors
                                ? ClampedRgb(sel.r + 171, sel.g + 154, sel.b + 108)
                                : m_f.g_XPColorHover);
    }
    if (m_f.g_IsDown == 1) {
        m_host.setBackColor(m_f.g_XPDefaultColors
                                ? ClampedRgb(sel.r + 156, sel.g + 139, sel.b + 108)
                                : m_f.g_XPColorPressed);
    }
}

void ButtonPainter::DrawRaisedFrame() {
    const Long w = m_f.g_Width, h = m_f.g_Height;
    DrawBox(0, 0, w, h, kShadow, kFrame);
    // Right and bottom of this frame fall outside the surface: only top and left show.
    DrawBox(0, 0, w + 1, h + 1, kHighlight, kFrame);
}

void ButtonPainter::DrawSunkenFrame() {
    const Long w = m_f.g_Width, h = m_f.g_Height;
    DrawBox(0, 0, w, h, kHighlight, kFrame);
    DrawBox(0, 0, w + 1, h + 1, kShadow, kFrame);
}

void ButtonPainter::PaintFrame() {
    const Long style = m_f.g_ButtonStyle;
    const Integer bevel = m_f.g_Bevel;
    const Integer depth = m_f.g_BevelDepth;

    if (!m_host.ambientUserMode()) {
        if (style == StyleXP) {
            DrawXPFace(0, 0);
        } else if (style != StyleFlat) {
            if (bevel < 2)
                DrawRaisedFrame();
            else
                DrawRaisedBevel(Button_XP::TranslateColor(m_host.BackColor()), bevel, depth);
        }
        return;
    }

    if (style == StyleFlat) {
        if (m_f.g_IsOver != 0 || m_f.g_XPShowBorderAlways)
            DrawBox(0, 0, m_f.g_Width, m_f.g_Height, m_f.g_ForeColor, kFrame);
        return;
    }
    if (style == StyleXP) {
        if (m_f.g_IsDown == 1)
            DrawXPFace(2, 0);
        else if (m_f.g_IsOver == 1)
            DrawXPFace(0, 1);
        else
            DrawXPFace(0, 0);
        return;
    }

    const OleColor face = Button_XP::TranslateColor(m_host.BackColor());
    const bool down = m_f.g_IsDown == 1;
    const bool over = m_f.g_IsOver == 1;
    if (down) {
        if (bevel < 2)
            DrawSunkenFrame();
        else
            DrawSunkenBevel(face, bevel, depth);
    }
    const bool raised = (over && m_f.g_IsDown == 0) ||
                        (m_f.g_IsOver == 0 && m_f.g_IsDown == 0 && style == StyleClassic);
    if (raised) {
        if (bevel < 2)
            DrawRaisedFrame();
        else
            DrawRaisedBevel(face, bevel, depth);
    }
    if (m_host.extenderDefault() ||
        (m_f.g_HasFocus == 1 && style == StyleClassic && m_f.g_IsDown == 0))
        DrawDefaultFrame(face, bevel, depth);
}

void ButtonPainter::DrawRaisedBevel(OleColor colour, Long levels, Long depth) {
    const Long w = m_f.g_Width, h = m_f.g_Height;
    OleColor ring = colour;
    for (Long n = levels; n >= 0; --n) {
        ring = ShiftColor(ring, -depth);
        DrawBox(n, n, w - n, h - n, ring, kFrame);
    }
    OleColor light = colour;
    for (Long n = levels; n >= 0; --n) {
        light = BrightenColor(light, depth);
        DrawLine(n, n, w - (n + 1), n, light);
        DrawLine(n, n, n, h - (n + 1), light);
    }
}

void ButtonPainter::DrawSunkenBevel(OleColor colour, Long levels, Long depth) {
    const Long w = m_f.g_Width, h = m_f.g_Height;
    OleColor ring = colour;
    for (Long n = levels; n >= 0; --n) {
        ring = BrightenColor(ring, depth);
        DrawBox(n, n, w - n, h - n, ring, kFrame);
    }
    OleColor dark = colour;
    for (Long n = levels; n >= 0; --n) {
        dark = ShiftColor(dark, -depth);
        DrawLine(n, n, w - (n + 1), n, dark);
        DrawLine(n, n, n, h - (n + 1), dark);
    }
}

void ButtonPainter::DrawDefaultFrame(OleColor colour, Long levels, Long depth) {
    const Long w = m_f.g_Width, h = m_f.g_Height;
    if (levels < 2) {
        DrawBox(0, 0, w - 1, h - 1, kShadow, kFrame);
        DrawBox(0, 0, w + 1, h + 1, kHighlight, kFrame);
        return;
    }
    // The wide default frame is a raised bevel three steps deeper than the button's own.
    DrawRaisedBevel(colour, levels, depth + 3);
}

void ButtonPainter::DrawXPFace(int pressedState, Byte hover) {
    const Long w = m_f.g_Width, h = m_f.g_Height;
    const OleColor back = Button_XP::TranslateColor(m_f.g_BackColor);
    const OleColor focusColour = m_f.g_XPDefaultColors
                                     ? kDefaultFocusColour
                                     : Button_XP::TranslateColor(m_f.g_XPColorPressed);
    const OleColor hoverColour =
        m_f.g_XPDefaultColors ? kDefaultHoverColour : Button_XP::TranslateColor(m_f.g_XPColorHover);

    const auto drawLines = [&](const auto& table, OleColor from) {
        for (const FaceLine& l : table)
            DrawLine(l.x1.at(w), l.y1.at(h), l.x2.at(w), l.y2.at(h), ShiftColor(from, l.shift));
    };
    const auto cornerPixels = [&](OleColor colour) {
        gdi::SetPixelV(dc(), 1, 1, colour);
        gdi::SetPixelV(dc(), 1, h - 2, colour);
        gdi::SetPixelV(dc(), w - 2, 1, colour);
        gdi::SetPixelV(dc(), w - 2, h - 2, colour);
    };

    DrawBox(0, 0, w, h, back, kFill);

    if (!m_button.Enabled()) {
        const OleColor base = ShiftColor(back, 48);
        DrawBox(0, 0, w, h, ShiftColor(base, -24), kFill);
        DrawBox(0, 0, w, h, ShiftColor(base, -84), kFrame);
        cornerPixels(ShiftColor(base, -72));
        return;
    }

    if (pressedState == 0) {
        const OleColor base = ShiftColor(back, 48);
        const float step = 25.0f / float(h);
        for (Long i = 1; i <= h; ++i)
            DrawLine(0, i, w, i, ShiftColor(base, roundHalfEven(-double(step) * i)));
        DrawBox(0, 0, w, h, kDarkShadow, kFrame);
        cornerPixels(Button_XP::TranslateColor(kDarkShadow));
        if (m_f.g_HasFocus == 1) {
            DrawBox(1, 2, w - 1, h - 2, focusColour, kFrame);
            drawLines(kFocusRing, focusColour);
        } else {
            drawLines(kNormalEdges, base);
        }
        if (hover == 1) {
            DrawBox(1, 2, w - 1, h - 2, hoverColour, kFrame);
            drawLines(kHoverRing, hoverColour);
        }
    } else if (pressedState == 2) {
        const OleColor base = ShiftColor(ShiftColor(back, 48), -32);
        const float step = 15.0f / float(h);
        for (Long i = 1; i <= h; ++i)
            DrawLine(0, h - i, w, h - i, ShiftColor(base, roundHalfEven(-double(step) * i)));
        DrawBox(0, 0, w, h, kDarkShadow, kFrame);
        cornerPixels(Button_XP::TranslateColor(kDarkShadow));
        drawLines(kPressedEdges, base);
    }
}

void ButtonPainter::CopyParentBackground() {
    const PicturePtr picture = m_host.parentPicture();
    if (!picture || !picture->hasImage())
        return;
    const ScaleUnit from = m_host.parentScaleMode();
    const ScaleUnit to = m_host.ScaleMode();
    const Long x = Long(std::lrint(UserControl::ScaleX(m_host.extenderLeft(), from, to)));
    const Long y = Long(std::lrint(UserControl::ScaleY(m_host.extenderTop(), from, to)));
    gdi::Dc& surface = dc();
    gdi::Dc memory = gdi::CreateCompatibleDC(&surface);
    gdi::SelectObject(memory, gdi::Bitmap::fromImage(picture->image()));
    gdi::BitBlt(surface, 0, 0, m_f.g_Width, m_f.g_Height, memory, x, y, gdi::SRCCOPY);
}

void ButtonPainter::ShapeRoundCorners() {
    m_f.g_Region = roundCornerRegion(m_f.g_Width, m_f.g_Height);
    m_host.setWindowRegion(m_f.g_Region.toQRegion());
}

void ButtonPainter::DrawLine(Long x1, Long y1, Long x2, Long y2, OleColor colour) {
    gdi::Dc& surface = dc();
    gdi::SelectObject(surface, gdi::CreatePen(gdi::PS_SOLID, 1, colour));
    gdi::MoveToEx(surface, x1, y1);
    gdi::LineTo(surface, x2, y2);
}

void ButtonPainter::DrawBox(Long left, Long top, Long right, Long bottom, OleColor colour,
                            int fill) {
    const gdi::Brush brush = gdi::CreateSolidBrush(Button_XP::TranslateColor(colour));
    const RECT rect{left, top, right, bottom};
    if (fill == kFill)
        gdi::FillRect(dc(), rect, brush);
    else
        gdi::FrameRect(dc(), rect, brush);
}

} // namespace velmora
