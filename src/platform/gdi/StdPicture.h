#pragma once

#include <QImage>
#include <QString>

#include <memory>

namespace velmora {

// A picture object: a bitmap or an icon with its natural size in HIMETRIC (0.01 mm), or an
// empty picture that holds no image at all. Shared by reference (PicturePtr); "none" is a null
// PicturePtr, which is not the same as an empty picture.
class StdPicture {
  public:
    enum Type : short { Empty = 0, Bitmap = 1, Icon = 3 };

    // An empty picture (type 0, no image, natural size 0 x 0).
    StdPicture() = default;
    // A picture of the given type whose natural size is the image size at 96 pixels per inch.
    StdPicture(Type type, const QImage& image);
    // A picture with an explicit natural size, as a stored design describes it.
    StdPicture(Type type, const QImage& image, int himetricWidth, int himetricHeight);

    Type type() const { return m_type; }
    bool hasImage() const { return m_type != Empty && !m_image.isNull(); }
    const QImage& image() const { return m_image; }
    int Width() const { return m_himetricWidth; }   // HIMETRIC
    int Height() const { return m_himetricHeight; } // HIMETRIC

    // Reads a bitmap (BMP, PNG, GIF, JPEG) or icon (ICO, CUR) file; none when unreadable.
    static std::shared_ptr<StdPicture> load(const QString& path);

    friend bool operator==(const StdPicture& a, const StdPicture& b) {
        return a.m_type == b.m_type && a.m_himetricWidth == b.m_himetricWidth &&
               a.m_himetricHeight == b.m_himetricHeight && a.m_image == b.m_image;
    }

  private:
    Type m_type = Empty;
    QImage m_image;
    int m_himetricWidth = 0;
    int m_himetricHeight = 0;
};

using PicturePtr = std::shared_ptr<StdPicture>;

// HIMETRIC <-> pixels at 96 pixels per inch (2540 HIMETRIC per inch).
constexpr double kHimetricPerPixel = 2540.0 / 96.0;

} // namespace velmora
