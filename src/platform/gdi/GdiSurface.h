#pragma once

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/GdiTypes.h"

#include <QFont>
#include <QImage>
#include <QString>

// A device context over a QImage, and the classic drawing operations on it with their edge
// conventions kept exactly: a line covers its first point and not its last, FillRect and
// FrameRect leave out the right and bottom edges, mono <-> colour copies go through the text and
// background colours. The painting code of the button is written in these operations.
namespace velmora::gdi {

class SharpCopy;

class Dc {
  public:
    // A context that draws straight into an image someone else owns, such as a window's
    // persistent image. The image is converted to Format_RGB32 whenever it is found in another
    // format (also after its owner replaced it), and must outlive the context. Text is drawn with a
    // transparent background here (the host surface draws its text that way); everything else
    // starts at the classic defaults.
    explicit Dc(QImage& target);
    ~Dc();

    Dc(Dc&& other) noexcept;
    Dc& operator=(Dc&& other) noexcept;
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    // A memory context: a 1 x 1 monochrome bitmap is selected until SelectObject puts another
    // one in, as with the classic call. Prefer CreateCompatibleDC.
    static Dc createMemory();

    bool isMemory() const { return m_target == nullptr; }
    // Where text drawn into a window context is drawn again at the screen's resolution; not
    // owned, null for none.
    void setSharpCopy(SharpCopy* copy) { m_sharp = copy; }
    SharpCopy* sharpCopy() const { return m_sharp; }
    // The pixels drawn into now (the target image, or the selected bitmap's pixels).
    QImage* surface() const;
    bool isMonochrome() const;
    int width() const;
    int height() const;

    // --- state ----------------------------------------------------------------------------------
    const Pen& pen() const { return m_pen; }
    const Brush& brush() const { return m_brush; }
    const Bitmap& bitmap() const { return m_bitmap; }
    const QFont& font() const { return m_font; }
    COLORREF textColor() const { return m_textColour; }
    COLORREF bkColor() const { return m_bkColour; }
    int bkMode() const { return m_bkMode; }
    int stretchMode() const { return m_stretchMode; }
    Point currentPosition() const { return m_position; }

  private:
    Dc() = default;

    friend Pen SelectObject(Dc&, const Pen&);
    friend Brush SelectObject(Dc&, const Brush&);
    friend Bitmap SelectObject(Dc&, const Bitmap&);
    friend QFont SelectObject(Dc&, const QFont&);
    friend COLORREF SetTextColor(Dc&, COLORREF);
    friend COLORREF SetBkColor(Dc&, COLORREF);
    friend int SetBkMode(Dc&, int);
    friend int SetStretchBltMode(Dc&, int);
    friend bool MoveToEx(Dc&, int, int, Point*);
    friend bool LineTo(Dc&, int, int);

    QImage* m_target = nullptr; // window context; null for a memory context
    SharpCopy* m_sharp = nullptr;
    Bitmap m_bitmap;           // memory context only
    Pen m_pen{PS_SOLID, 1, 0}; // black pen
    Brush m_brush{0xFFFFFF};   // white brush
    QFont m_font;
    COLORREF m_textColour = 0;
    COLORREF m_bkColour = 0xFFFFFF;
    int m_bkMode = OPAQUE;
    int m_stretchMode = BLACKONWHITE;
    Point m_position;
};

// --- contexts and bitmaps ---------------------------------------------------------------------
// A memory context (DeleteDC is the destructor). The argument only fixes compatibility.
Dc CreateCompatibleDC(const Dc* dc);
// A bitmap in the format of dc's current surface: colour for a window context, and, as with the
// classic call, monochrome for a memory context that still holds its default 1 x 1 bitmap.
// The new bitmap is black.
Bitmap CreateCompatibleBitmap(const Dc& dc, int width, int height);

// --- selection and state (each returns the previous value) ------------------------------------
Pen SelectObject(Dc& dc, const Pen& pen);
Brush SelectObject(Dc& dc, const Brush& brush);
// Memory contexts only; a window context keeps its target and the call returns a null bitmap.
Bitmap SelectObject(Dc& dc, const Bitmap& bitmap);
QFont SelectObject(Dc& dc, const QFont& font);
COLORREF SetTextColor(Dc& dc, COLORREF colour);
COLORREF GetTextColor(const Dc& dc);
COLORREF SetBkColor(Dc& dc, COLORREF colour);
COLORREF GetBkColor(const Dc& dc);
int SetBkMode(Dc& dc, int mode);
int SetStretchBltMode(Dc& dc, int mode);

// --- lines, rectangles, pixels ----------------------------------------------------------------
bool MoveToEx(Dc& dc, int x, int y, Point* previous = nullptr);
// Draws with the selected pen from the current position to (x, y), leaving (x, y) itself out,
// and makes (x, y) the current position.
bool LineTo(Dc& dc, int x, int y);
// Paints [left, right) x [top, bottom); nothing for an empty rectangle. Returns 1, or 0 if
// nothing could be painted (null brush, no surface).
int FillRect(Dc& dc, const Rect& rect, const Brush& brush);
// A one-pixel border along the inside of [left, right) x [top, bottom).
int FrameRect(Dc& dc, const Rect& rect, const Brush& brush);
bool SetPixelV(Dc& dc, int x, int y, COLORREF colour);
COLORREF GetPixel(const Dc& dc, int x, int y);
// Inverts every other pixel (those with x + y even) of the rectangle's one-pixel border; drawing
// it twice restores the picture.
bool DrawFocusRect(Dc& dc, const Rect& rect);

// --- text ---------------------------------------------------------------------------------------
// Draws or measures text with the selected font and text colour (and, in OPAQUE mode, the
// background colour behind each line). count < 0 means the whole text.
// - DT_WORDBREAK breaks lines between words at the rectangle's width (less the margins of
//   params); a word wider than that stays whole. "\n" and "\r\n" always break (unless
//   DT_SINGLELINE).
// - DT_CENTER / DT_RIGHT place each line; DT_VCENTER / DT_BOTTOM apply to DT_SINGLELINE only.
// - Unless DT_NOPREFIX: "&&" shows "&", "&x" shows x underlined (DT_HIDEPREFIX: not underlined;
//   DT_PREFIXONLY: only the underline is drawn). With several, the last one is underlined; a
//   "&" that ends the text is shown as it is.
// - DT_CALCRECT draws nothing: rect keeps left and top and gets the right and bottom the text
//   needs (the margins included); a rectangle narrower than the widest word grows.
// - The text is clipped to rect unless DT_NOCLIP.
// Returns the height of the text (0 on failure).
int DrawTextExA(Dc& dc, const QString& text, int count, Rect* rect, unsigned format,
                DrawTextParams* params);

// --- pictures -----------------------------------------------------------------------------------
// Draws a bitmap (flags DST_BITMAP) at (x, y); cx, cy of 0 mean the bitmap's own size.
// DSS_NORMAL copies it. DSS_MONO paints brush colour wherever the bitmap is not white and leaves
// the rest. DSS_DISABLED draws the embossed look: the non-white pixels in the 3-D highlight
// colour one pixel down and right, then in the button shadow colour in place.
bool DrawStateA(Dc& dc, const Brush* brush, const Bitmap& bitmap, int x, int y, int cx, int cy,
                unsigned flags);
// The same for an icon (DST_ICON): DSS_NORMAL draws it through its mask; for DSS_MONO and
// DSS_DISABLED its opaque pixels that are not white count as ink.
bool DrawStateA(Dc& dc, const Brush* brush, const Icon& icon, int x, int y, int cx, int cy,
                unsigned flags);
// Draws an icon through its mask, scaled to cx x cy (0: its own size).
bool DrawIconEx(Dc& dc, int x, int y, const Icon& icon, int cx, int cy);

// --- block transfer -----------------------------------------------------------------------------
// Copies cx x cy pixels from (xSrc, ySrc) of src to (x, y) of dest with the raster operation.
// Colour to monochrome: pixels equal to src's background colour become 1 (white), all others 0.
// Monochrome to colour: 0 becomes dest's text colour, 1 dest's background colour. Source pixels
// outside src's surface are not copied (dest keeps its pixels there). src may be dest.
bool BitBlt(Dc& dest, int x, int y, int cx, int cy, const Dc& src, int xSrc, int ySrc,
            std::uint32_t rop);
// As BitBlt, scaling cxSrc x cySrc to cx x cy by pixel replication; when shrinking, the dropped
// pixels are combined as dest's stretch mode says (BLACKONWHITE: AND, WHITEONBLACK: OR,
// COLORONCOLOR: dropped). Negative sizes are refused.
bool StretchBlt(Dc& dest, int x, int y, int cx, int cy, const Dc& src, int xSrc, int ySrc,
                int cxSrc, int cySrc, std::uint32_t rop);

} // namespace velmora::gdi
