#include "platform/gdi/StdPicture.h"

#include <QFileInfo>
#include <QImageReader>

#include <cmath>

namespace velmora {

StdPicture::StdPicture(Type type, const QImage& image)
    : StdPicture(type, image, int(std::lround(image.width() * kHimetricPerPixel)),
                 int(std::lround(image.height() * kHimetricPerPixel))) {}

StdPicture::StdPicture(Type type, const QImage& image, int himetricWidth, int himetricHeight)
    : m_type(type), m_image(image), m_himetricWidth(himetricWidth),
      m_himetricHeight(himetricHeight) {}

PicturePtr StdPicture::load(const QString& path) {
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull())
        return nullptr;
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool icon = suffix == QLatin1String("ico") || suffix == QLatin1String("cur");
    return std::make_shared<StdPicture>(icon ? Icon : Bitmap, image);
}

} // namespace velmora
