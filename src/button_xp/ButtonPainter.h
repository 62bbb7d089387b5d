#pragma once

#include "button_xp/ButtonXpFields.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/GdiSurface.h"

namespace velmora {

class Button_XP;

// --- colour helpers ---------------------------------------------------------------------------
// An RGB value split into its components, in double precision as the bevel arithmetic uses them.
struct SplitRgb {
    double r = 0;
    double g = 0;
    double b = 0;
};
SplitRgb SplitColor(OleColor rgb);
// RGB from components that may have run past the byte range; each is clamped to 0..255.
OleColor ClampedRgb(double r, double g, double b);
// Shifts red and green by the plain amount and blue in proportion to its own value, clamped.
OleColor ShiftColor(OleColor rgb, Long amount);
// The bevels' plain brightening: every component plus amount, clamped.
OleColor BrightenColor(OleColor rgb, Long amount);

// The window shape of the XP style: the rectangle with three pixels cut from each corner.
gdi::Region roundCornerRegion(Long width, Long height);

// Paints every style and state of one button into its host's persistent image. One instance
// lives for one repaint (or one resize); it holds no state of its own.
class ButtonPainter {
  public:
    explicit ButtonPainter(Button_XP& button);

    // The full repaint: background, border or face, picture, focus rectangle, caption.
    void Refresh();
    // Size rules, geometry, window shape, then a repaint.
    void Resize();

  private:
    void PaintBackground();
    void PaintFrame();
    void DrawRaisedBevel(OleColor colour, Long levels, Long depth);
    void DrawSunkenBevel(OleColor colour, Long levels, Long depth);
    void DrawDefaultFrame(OleColor colour, Long levels, Long depth);
    void DrawXPFace(int pressedState, Byte hover);
    void CopyParentBackground();
    void ShapeRoundCorners();

    void DrawRaisedFrame();
    void DrawSunkenFrame();
    // Solid one-pixel line in an RGB colour, first point in, last point out.
    void DrawLine(Long x1, Long y1, Long x2, Long y2, OleColor colour);
    // fill = 1 fills the rectangle, anything else frames it; the colour is translated first.
    void DrawBox(Long left, Long top, Long right, Long bottom, OleColor colour, int fill);
    gdi::Dc& dc();

    Button_XP& m_button;
    ButtonXpFields& m_f;
    UserControl& m_host;
};

} // namespace velmora
