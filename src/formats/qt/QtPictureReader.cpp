#include "formats/qt/QtPictureReader.h"

#include "base/Formatting.h"
#include "formats/FileIdentity.h"
#include "formats/qt/DecoderMessages.h"
#include "formats/qt/TiffPictureReader.h"
#include "formats/qt/WholeFileChecks.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <bit>
#include <cstring>

namespace velmora::images {

// QImage's ARGB32 is a 32-bit value per pixel; only on a little-endian machine are its bytes
// the game's B G R A.
static_assert(std::endian::native == std::endian::little);

namespace {

using conversion::ErrorKind;
using conversion::fail;
using conversion::Picture;
using conversion::Result;

constexpr auto kMaxSide = conversion::kMaxPictureSide;

std::string layoutOf(QImage::Format format) {
    switch (format) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return "1-bit";
    case QImage::Format_Indexed8:
        return "palette";
    case QImage::Format_Alpha8:
        return "alpha only";
    case QImage::Format_Grayscale8:
        return "grey, 8 bits";
    case QImage::Format_Grayscale16:
        return "grey, 16 bits";
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGBX8888:
        return "RGB, 8 bits per channel";
    case QImage::Format_ARGB32:
    case QImage::Format_RGBA8888:
        return "RGBA, 8 bits per channel";
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBA8888_Premultiplied:
        return "RGBA, 8 bits per channel, premultiplied";
    case QImage::Format_RGBX64:
        return "RGB, 16 bits per channel";
    case QImage::Format_RGBA64:
        return "RGBA, 16 bits per channel";
    case QImage::Format_RGBA64_Premultiplied:
        return "RGBA, 16 bits per channel, premultiplied";
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBX32FPx4:
        return "RGB, floating point";
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA32FPx4:
        return "RGBA, floating point";
    default:
        return "RGB";
    }
}

// Reads through a buffer over the caller's bytes, never copying them.
struct Source {
    explicit Source(std::span<const std::uint8_t> file)
        : bytes(QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()),
                                        static_cast<qsizetype>(file.size()))),
          buffer(&bytes) {
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setAutoTransform(false);
    }
    QByteArray bytes;
    QBuffer buffer;
    QImageReader reader;
};

Result<Picture> describeFrom(QImageReader& reader) {
    if (!reader.canRead())
        return fail(ErrorKind::Unsupported, "it is not a picture Velmora can read");
    Picture picture;
    picture.format = reader.format().toUpper().toStdString();
    const QSize size = reader.size();
    if (size.isValid()) {
        picture.width = static_cast<std::uint32_t>(size.width());
        picture.height = static_cast<std::uint32_t>(size.height());
    }
    const QImage::Format format = reader.imageFormat();
    if (format != QImage::Format_Invalid) {
        picture.layout = layoutOf(format);
        picture.hasAlpha = QImage::toPixelFormat(format).alphaUsage() == QPixelFormat::UsesAlpha;
    }
    return picture;
}

// The format by the file's signature, else as Qt's readers recognise it (they take less: a JPEG
// needs only FF D8), so the checks below never miss a file Qt would decode.
std::string formatOf(std::span<const std::uint8_t> file, QImageReader& reader) {
    std::string name = conversion::identifyFile(file).name;
    if (name.empty())
        name = reader.format().toUpper().toStdString();
    return name;
}

} // namespace

void QtPictureReader::loadPlugIns() {
    // Listing the formats asks every plug-in what it reads, which loads them all.
    (void)QImageReader::supportedImageFormats();
}

std::vector<std::string> QtPictureReader::formatNames() const {
    // Qt names a format by its file suffixes, some by two.
    const auto nameOf = [](const QByteArray& key) -> std::string {
        const QByteArray lower = key.toLower();
        if (lower == "jpg" || lower == "jpeg")
            return "JPEG";
        if (lower == "tif" || lower == "tiff")
            return "TIFF";
        if (lower == "webp")
            return "WebP";
        if (lower == "svgz")
            return "SVG";
        return lower.toUpper().toStdString();
    };
    std::vector<std::string> others;
    for (const QByteArray& key : QImageReader::supportedImageFormats()) {
        const std::string name = nameOf(key);
        if (std::find(others.begin(), others.end(), name) == others.end())
            others.push_back(name);
    }
    std::sort(others.begin(), others.end());
    // The formats users make tiles in first, the rest after them.
    std::vector<std::string> names;
    for (const char* common : {"PNG", "BMP", "JPEG", "TIFF", "WebP"}) {
        if (const auto it = std::find(others.begin(), others.end(), common); it != others.end()) {
            names.push_back(*it);
            others.erase(it);
        }
    }
    names.insert(names.end(), others.begin(), others.end());
    return names;
}

Result<Picture> QtPictureReader::describe(std::span<const std::uint8_t> file) const {
    const DecoderMessages quiet;
    Source source(file);
    const std::string format = formatOf(file, source.reader);
    if (format == "TIFF")
        return describeTiff(file);
    if (auto damaged = whyHeaderDamaged(format, file))
        return fail(ErrorKind::Damaged, "the " + format + " picture is damaged: " + *damaged);
    auto described = describeFrom(source.reader);
    // Qt gives a GIF's first frame as its size but decodes the whole logical screen, which is
    // what its header says.
    if (described && format == "GIF" && file.size() >= 10 && (file[6] | file[7]) &&
        (file[8] | file[9])) {
        described->width = file[6] | std::uint32_t{file[7]} << 8;
        described->height = file[8] | std::uint32_t{file[9]} << 8;
    }
    return described;
}

Result<Picture> QtPictureReader::read(std::span<const std::uint8_t> file) const {
    const DecoderMessages quiet;
    Source source(file);
    const std::string format = formatOf(file, source.reader);
    if (format == "TIFF")
        return readTiff(file);
    if (auto damaged = whyHeaderDamaged(format, file))
        return fail(ErrorKind::Damaged, "the " + format + " picture is damaged: " + *damaged);
    auto described = describeFrom(source.reader);
    if (!described)
        return described;
    Picture picture = std::move(*described);
    if (picture.width > kMaxSide || picture.height > kMaxSide)
        return fail(ErrorKind::Unsupported,
                    "it is " + conversion::sizeText(picture.width, picture.height) +
                        ", far too large");
    // Qt refuses to allocate more than its limit and says only "cannot be decoded"; the size
    // says more. 16-bit pictures decode to 8 bytes a pixel.
    const QImage::Format decoded = source.reader.imageFormat();
    const std::uint64_t pixelBytes =
        decoded == QImage::Format_Invalid
            ? 4
            : std::max<std::uint64_t>(4, QImage::toPixelFormat(decoded).bitsPerPixel() / 8);
    if (std::uint64_t{picture.width} * picture.height * pixelBytes >
        std::uint64_t(std::max(source.reader.allocationLimit(), 0)) * 1024 * 1024)
        return fail(ErrorKind::Unsupported,
                    "it is a " + picture.format + " picture of " +
                        conversion::sizeText(picture.width, picture.height) +
                        ", too large to decode");
    // Qt's readers make up what a cut file lacks; the file's own structure tells.
    if (auto cut = whyNotWhole(format, file))
        return fail(ErrorKind::Damaged,
                    "the " + picture.format + " picture is cut short or damaged: " + *cut);
    QImage image;
    if (!source.reader.read(&image)) {
        const std::string detail = quiet.lines().empty() ? source.reader.errorString().toStdString()
                                                         : quiet.lines().front();
        return fail(ErrorKind::Damaged,
                    "the " + picture.format + " picture cannot be decoded (" + detail + ")");
    }
    picture.width = static_cast<std::uint32_t>(image.width());
    picture.height = static_cast<std::uint32_t>(image.height());
    picture.layout = layoutOf(image.format());
    picture.hasAlpha = image.hasAlphaChannel();
    // ARGB32 is straight alpha stored B G R A on a little-endian machine, the game's order.
    // The conversion rounds 16-bit channels to the nearest 8-bit value, expands grey and
    // palette pictures, and makes pictures without alpha opaque; it changes no colour space.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const std::size_t rowBytes = std::size_t{picture.width} * 4;
    picture.bgra.resize(rowBytes * picture.height);
    for (int y = 0; y < argb.height(); ++y)
        std::memcpy(picture.bgra.data() + rowBytes * static_cast<std::size_t>(y),
                    argb.constScanLine(y), rowBytes);
    return picture;
}

} // namespace velmora::images
