#include "button_xp/ButtonCaption.h"

#include "button_xp/Button_XP.h"

#include <cmath>

namespace velmora {

namespace {

constexpr OleColor kHighlight = 0x80000014;
constexpr OleColor kShadow = 0x80000010;
// Grey of the silhouette a hovered flat button drops behind its picture.
constexpr gdi::COLORREF kSilhouetteGrey = gdi::RGB(146, 146, 146);
constexpr gdi::COLORREF kWhite = 0xFFFFFF;
// Gap between picture and caption.
constexpr Long kGap = 4;

constexpr unsigned kCaptionFormat = gdi::DT_WORDBREAK | gdi::DT_VCENTER | gdi::DT_CENTER;

RECT sized(Long left, Long top, Long width, Long height) {
    return RECT{left, top, left + width, top + height};
}

// A bitmap the size and kind of the window surface, in its own memory context.
struct MemorySurface {
    gdi::Dc dc;
    gdi::Bitmap bitmap;
    MemorySurface(const gdi::Dc& compatible, Long width, Long height)
        : dc(gdi::CreateCompatibleDC(&compatible)),
          bitmap(gdi::CreateCompatibleBitmap(compatible, width, height)) {
        gdi::SelectObject(dc, bitmap);
    }
};

// A monochrome bitmap in its own memory context.
struct MonoSurface {
    gdi::Dc dc;
    gdi::Bitmap bitmap;
    MonoSurface(const gdi::Dc& compatible, Long width, Long height)
        : dc(gdi::CreateCompatibleDC(&compatible)),
          bitmap(gdi::CreateBitmap(width, height, 1, 1, nullptr)) {
        gdi::SelectObject(dc, bitmap);
    }
};

} // namespace

// --- placement ----------------------------------------------------------------------------------

RECT centreExtent(const RECT& inner, Long width, Long height) {
    // Integer division truncates toward zero, so a block larger than the area sits at the
    // offset rounded toward the area's edge.
    return sized(inner.left + (inner.width() - width) / 2,
                 inner.top + (inner.height() - height) / 2, width, height);
}

RECT centrePicture(const RECT& inner, Long pictureWidth, Long pictureHeight) {
    return centreExtent(inner, pictureWidth, pictureHeight);
}

ContentPlacement placePictureAndCaption(const RECT& inner, Long position, Long pw, Long ph,
                                        const RECT& measuredCaption, const RECT& previousPicture) {
    const Long il = inner.left, it = inner.top, iw = inner.width(), ih = inner.height();
    const Long tw = measuredCaption.width(), th = measuredCaption.height();
    ContentPlacement out{previousPicture, measuredCaption};
    switch (position) {
    case PictureAbove:
        out.picture = sized(il + (iw - pw) / 2, it + (ih - (ph + kGap + th)) / 2, pw, ph);
        out.caption = sized(il + (iw - tw) / 2, out.picture.bottom + kGap, tw, th);
        break;
    case PictureLeft:
        out.picture = sized(il + (iw - (tw + kGap + pw)) / 2, it + (ih - ph) / 2, pw, ph);
        out.caption = sized(out.picture.right + kGap, it + (ih - th) / 2, tw, th);
        break;
    case PictureRight:
        out.caption = sized(il + (iw - (tw + kGap + pw)) / 2, it + (ih - th) / 2, tw, th);
        out.picture = sized(out.caption.right + kGap, it + (ih - ph) / 2, pw, ph);
        break;
    case PictureBelow:
        out.caption = sized(il + (iw - tw) / 2, it + (ih - (ph + kGap + th)) / 2, tw, th);
        out.picture = sized(il + (iw - pw) / 2, out.caption.bottom + kGap, pw, ph);
        break;
    default:
        break;
    }
    return out;
}

// --- masked copy ------------------------------------------------------------------------------

void TransparentBlit(gdi::Dc& dest, gdi::Dc& background, gdi::Dc& source, Long sx, Long sy,
                     Long sRight, Long sBottom, Long dx, Long dy, OleColor maskColour) {
    using gdi::BitBlt;
    // The extent is a 16-bit quantity in this copy.
    const Long w = Integer(sRight - sx);
    const Long h = Integer(sBottom - sy);

    MonoSurface mask(background, w, h);
    MonoSurface inverse(background, w, h);
    MemorySurface work(background, w, h);
    MemorySurface sourceCopy(background, w, h);

    // Colour to monochrome turns the pixels of the background colour white, the rest black.
    const gdi::COLORREF previousBk = gdi::SetBkColor(source, maskColour);
    BitBlt(mask.dc, 0, 0, w, h, source, sx, sy, gdi::SRCCOPY);
    gdi::SetBkColor(source, previousBk);

    BitBlt(inverse.dc, 0, 0, w, h, mask.dc, 0, 0, gdi::NOTSRCCOPY);

    BitBlt(work.dc, 0, 0, w, h, background, dx, dy, gdi::SRCCOPY);
    BitBlt(work.dc, 0, 0, w, h, mask.dc, 0, 0, gdi::SRCAND);

    BitBlt(sourceCopy.dc, 0, 0, w, h, source, sx, sy, gdi::SRCCOPY);
    BitBlt(sourceCopy.dc, 0, 0, w, h, inverse.dc, 0, 0, gdi::SRCAND);

    BitBlt(work.dc, 0, 0, w, h, sourceCopy.dc, 0, 0, gdi::SRCINVERT);
    BitBlt(dest, dx, dy, w, h, work.dc, 0, 0, gdi::SRCCOPY);
}

// --- caption and picture ----------------------------------------------------------------------

ButtonCaption::ButtonCaption(Button_XP& button)
    : m_button(button), m_f(button.fields()), m_host(button.host()) {}

gdi::Dc& ButtonCaption::dc() {
    return m_host.hDC();
}

bool ButtonCaption::hasPicture() const {
    // An empty picture object draws nothing, so it must not take room from the caption either
    // (a new button's hover picture is one).
    return m_f.g_Picture && m_f.g_Picture->hasImage();
}

void ButtonCaption::LayoutContent() {
    m_f.g_InnerRect = RECT{4, 4, Long(std::lrint(m_host.ScaleWidth())) - 4,
                           Long(std::lrint(m_host.ScaleHeight())) - 4};
    if (!hasPicture()) {
        m_f.g_CaptionRect = m_f.g_InnerRect;
        MeasureCaption();
        return;
    }
    if (m_f.g_Caption.isEmpty()) {
        m_f.g_PictureRect = centrePicture(m_f.g_InnerRect, m_f.g_PictureWidth, m_f.g_PictureHeight);
        return;
    }
    m_f.g_CaptionRect = m_f.g_InnerRect;
    MeasureCaption();
    const ContentPlacement placed =
        placePictureAndCaption(m_f.g_InnerRect, m_f.g_PicturePosition, m_f.g_PictureWidth,
                               m_f.g_PictureHeight, m_f.g_CaptionRect, m_f.g_PictureRect);
    m_f.g_PictureRect = placed.picture;
    m_f.g_CaptionRect = placed.caption;
}

void ButtonCaption::MeasureCaption() {
    m_f.g_TextParams = DRAWTEXTPARAMS{20, 1, 1, 1, 0};
    gdi::DrawTextExA(dc(), m_f.g_Caption, -1, &m_f.g_CaptionRect, kCaptionFormat | gdi::DT_CALCRECT,
                     &m_f.g_TextParams);
    m_f.g_CaptionRect =
        centreExtent(m_f.g_InnerRect, m_f.g_CaptionRect.width(), m_f.g_CaptionRect.height());
}

void ButtonCaption::DrawPicture() {
    if (!m_f.g_Picture)
        return;
    const bool flat = m_f.g_ButtonStyle == StyleFlat;
    const bool liftedHover = m_f.g_IsOver == 1 && m_f.g_IsDown == 0 && flat;
    m_f.g_WorkRect = m_f.g_PictureRect;
    int k = 0;
    if (liftedHover)
        k = -3; // lifts up and to the left over its shadow
    else if (m_f.g_IsDown == 1 && !flat)
        k = 1; // sinks with the pressed face
    m_f.g_PictureRect.offset(k, k);

    void (ButtonCaption::*draw)(int, const RECT&, int) = nullptr;
    if (m_f.g_Picture->type() == StdPicture::Bitmap)
        draw = &ButtonCaption::DrawBitmapPicture;
    else if (m_f.g_Picture->type() == StdPicture::Icon)
        draw = &ButtonCaption::DrawIconPicture;

    if (draw) {
        if (!m_button.Enabled()) {
            (this->*draw)(0, m_f.g_PictureRect, 0);
        } else if (liftedHover) {
            (this->*draw)(0, m_f.g_WorkRect, 1);
            (this->*draw)(1, m_f.g_PictureRect, 0);
        } else {
            (this->*draw)(1, m_f.g_PictureRect, 0);
        }
    }
    m_f.g_PictureRect = m_f.g_WorkRect;
}

void ButtonCaption::DrawBitmapPicture(int normal, const RECT& rect, int shadow) {
    gdi::Dc& surface = dc();
    const Long natW = m_f.g_OriginalPicSizeW, natH = m_f.g_OriginalPicSizeH;
    const Long pw = m_f.g_PictureWidth, ph = m_f.g_PictureHeight;
    const gdi::Bitmap picture = gdi::Bitmap::fromImage(m_f.g_Picture->image());
    MemorySurface a(surface, natW, natH);
    MemorySurface b(surface, pw, ph);

    if (normal == 1) {
        gdi::DrawStateA(a.dc, nullptr, picture, 0, 0, 0, 0, gdi::DST_BITMAP);
        gdi::StretchBlt(b.dc, 0, 0, pw, ph, a.dc, 0, 0, natW, natH, gdi::SRCCOPY);
        TransparentBlit(surface, surface, b.dc, 0, 0, pw, ph, rect.left, rect.top, m_f.g_MaskColor);
        return;
    }

    gdi::Dc p = gdi::CreateCompatibleDC(&surface);
    gdi::SelectObject(p, picture);
    gdi::SetBkColor(a.dc, kWhite);
    gdi::FillRect(a.dc, RECT{0, 0, natW, natH}, gdi::CreateSolidBrush(kWhite));
    // The picture on white, its transparent pixels white too.
    TransparentBlit(a.dc, a.dc, p, 0, 0, natW, natH, 0, 0, m_f.g_MaskColor);
    gdi::StretchBlt(b.dc, 0, 0, pw, ph, a.dc, 0, 0, natW, natH, gdi::SRCCOPY);
    // The bitmap is taken out of its context before it is drawn from.
    const gdi::Bitmap scaled = b.bitmap;
    gdi::SelectObject(b.dc, gdi::Bitmap::create(1, 1, true));
    if (shadow == 1) {
        const gdi::Brush grey = gdi::CreateSolidBrush(kSilhouetteGrey);
        gdi::DrawStateA(surface, &grey, scaled, rect.left, rect.top, 0, 0,
                        gdi::DST_BITMAP | gdi::DSS_MONO);
    } else {
        gdi::DrawStateA(surface, nullptr, scaled, rect.left, rect.top, 0, 0,
                        gdi::DST_BITMAP | gdi::DSS_DISABLED);
    }
}

void ButtonCaption::DrawIconPicture(int normal, const RECT& rect, int shadow) {
    gdi::Dc& surface = dc();
    const gdi::Icon icon(m_f.g_Picture->image());
    if (normal == 1) {
        // A zero-sized destination draws nothing (the icon call would read 0 as "own size").
        if (rect.width() > 0 && rect.height() > 0)
            gdi::DrawIconEx(surface, rect.left, rect.top, icon, rect.width(), rect.height());
        return;
    }
    const Long natW = m_f.g_OriginalPicSizeW, natH = m_f.g_OriginalPicSizeH;
    const Long pw = m_f.g_PictureWidth, ph = m_f.g_PictureHeight;
    MemorySurface a(surface, natW, natH);
    MemorySurface b(surface, pw, ph);
    if (shadow == 1) {
        const gdi::Brush grey = gdi::CreateSolidBrush(kSilhouetteGrey);
        gdi::DrawStateA(a.dc, &grey, icon, 0, 0, 0, 0, gdi::DST_ICON | gdi::DSS_MONO);
    } else {
        gdi::DrawStateA(a.dc, nullptr, icon, 0, 0, 0, 0, gdi::DST_ICON | gdi::DSS_DISABLED);
    }
    gdi::StretchBlt(b.dc, 0, 0, rect.width(), rect.height(), a.dc, 0, 0, natW, natH, gdi::SRCCOPY);
    // The icon was drawn on black, so black is what is left out.
    TransparentBlit(surface, surface, b.dc, 0, 0, pw, ph, rect.left, rect.top, 0);
}

void ButtonCaption::DrawCaption() {
    if (m_f.g_Caption.isEmpty())
        return;
    gdi::Dc& surface = dc();
    gdi::SetTextColor(surface, Button_XP::TranslateColor(m_f.g_ForeColor));
    m_f.g_WorkRect = m_f.g_CaptionRect;
    if (m_f.g_IsDown == 1 && m_f.g_ButtonStyle != StyleFlat)
        m_f.g_CaptionRect.offset(1, 1);

    if (m_button.Enabled()) {
        gdi::DrawTextExA(surface, m_f.g_Caption, -1, &m_f.g_CaptionRect, kCaptionFormat,
                         &m_f.g_TextParams);
    } else {
        // Embossed: a highlight copy one pixel down and right, the shadow copy in place.
        const OleColor foreColour = m_host.ForeColor();
        RECT embossed = m_f.g_CaptionRect;
        embossed.offset(1, 1);
        gdi::SetTextColor(surface, Button_XP::TranslateColor(kHighlight));
        gdi::DrawTextExA(surface, m_f.g_Caption, -1, &embossed, kCaptionFormat, &m_f.g_TextParams);
        gdi::SetTextColor(surface, Button_XP::TranslateColor(kShadow));
        gdi::DrawTextExA(surface, m_f.g_Caption, -1, &m_f.g_CaptionRect, kCaptionFormat,
                         &m_f.g_TextParams);
        gdi::SetTextColor(surface, Button_XP::TranslateColor(foreColour));
    }
    m_f.g_CaptionRect = m_f.g_WorkRect;
}

} // namespace velmora
