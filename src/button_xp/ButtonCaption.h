#pragma once

#include "button_xp/ButtonXpFields.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/GdiSurface.h"

namespace velmora {

class Button_XP;

// Where picture and caption go inside the inner rectangle: one block, 4 pixels between them,
// placed by PicturePosition. The caption rectangle comes in already centred by the measurement
// and is replaced only for the four known positions; the picture rectangle likewise.
struct ContentPlacement {
    RECT picture;
    RECT caption;
};
ContentPlacement placePictureAndCaption(const RECT& inner, Long position, Long pictureWidth,
                                        Long pictureHeight, const RECT& measuredCaption,
                                        const RECT& previousPicture);
// A picture alone, centred in the inner rectangle.
RECT centrePicture(const RECT& inner, Long pictureWidth, Long pictureHeight);
// A measured size centred in the inner rectangle.
RECT centreExtent(const RECT& inner, Long width, Long height);

// Copies (sx, sy)-(sRight, sBottom) of source to (dx, dy) of dest, leaving out the source pixels
// of maskColour: there the pixels of background at (dx, dy) show.
void TransparentBlit(gdi::Dc& dest, gdi::Dc& background, gdi::Dc& source, Long sx, Long sy,
                     Long sRight, Long sBottom, Long dx, Long dy, OleColor maskColour);

// Lays out and draws the picture and the caption of one button for one repaint.
class ButtonCaption {
  public:
    explicit ButtonCaption(Button_XP& button);

    // Computes g_InnerRect, g_PictureRect and g_CaptionRect.
    void LayoutContent();
    // Measures the caption wrapped at g_CaptionRect's width and centres it in g_InnerRect.
    void MeasureCaption();
    void DrawPicture();
    void DrawCaption();

  private:
    // normal = 1 draws the picture as it is; normal = 0 greyed (shadow = 0) or as a flat grey
    // silhouette (shadow = 1). rect gives the top-left corner (and the size for icons).
    void DrawBitmapPicture(int normal, const RECT& rect, int shadow);
    void DrawIconPicture(int normal, const RECT& rect, int shadow);
    bool hasPicture() const;
    gdi::Dc& dc();

    Button_XP& m_button;
    ButtonXpFields& m_f;
    UserControl& m_host;
};

} // namespace velmora
