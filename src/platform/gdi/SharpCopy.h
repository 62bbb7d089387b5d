#pragma once

#include <QImage>
#include <QRect>

#include <vector>

// What a self-drawn control shows on a screen with more than one device pixel per pixel. The
// control draws into its persistent image pixel by pixel, as on any screen; this copy shows that
// image at the screen's resolution: lines, fills and pictures with their pixels replicated, and
// text drawn again at full resolution, so that captions stay as sharp as the rest of the
// window's text.
namespace velmora::gdi {

class SharpCopy {
  public:
    // `source` is the persistent image; it must outlive the copy and keep its address.
    explicit SharpCopy(const QImage& source) : m_source(source) {}

    // Device pixels per pixel of the source; 1 turns the copy off.
    void setScale(qreal scale);
    qreal scale() const { return m_scale; }
    bool active() const { return m_scale != 1.0; }

    // Brings the copy up to date with whatever was drawn into the source since: every changed
    // pixel is replicated, and a text area with a changed pixel loses its sharp text as a whole.
    // Returns the copy, with its device pixel ratio set to the scale.
    const QImage& image();

    // The copy to draw text into, in the source's coordinates (a painter applies the scale),
    // brought up to date first. Call textDrawn() when done.
    QImage& beginText();
    // The text drawn into `area` of the source and of the copy is now the copy's own there.
    void textDrawn(const QRect& area);

  private:
    void replicate(int left, int top, int right, int bottom);
    int toDevice(int x) const;

    const QImage& m_source;
    qreal m_scale = 1.0;
    QImage m_copy;
    QImage m_seen; // the source as the copy last showed it
    std::vector<QRect> m_textAreas;
};

} // namespace velmora::gdi
