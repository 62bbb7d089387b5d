#include "formats/qt/TiffPictureReader.h"

#include "base/Formatting.h"
#include "formats/PictureLimits.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace velmora::images {

namespace {

using conversion::ErrorKind;
using conversion::fail;
using conversion::Picture;
using conversion::Result;

using conversion::kMaxDecodedBytes;

// The file in memory, read through libtiff's client procedures; its messages are kept, not
// printed.
struct Source {
    std::span<const std::uint8_t> bytes;
    toff_t position = 0;
    std::string error;
};

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* source = static_cast<Source*>(handle);
    if (size < 0 || source->position >= source->bytes.size())
        return 0;
    const auto count = std::min<std::uint64_t>(static_cast<std::uint64_t>(size),
                                               source->bytes.size() - source->position);
    std::memcpy(buffer, source->bytes.data() + source->position, count);
    source->position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
    auto* source = static_cast<Source*>(handle);
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = source->position;
    else if (whence == SEEK_END)
        base = source->bytes.size();
    source->position = base + offset;
    return source->position;
}

int closeProc(thandle_t) {
    return 0;
}
toff_t sizeProc(thandle_t handle) {
    return static_cast<Source*>(handle)->bytes.size();
}

int mapProc(thandle_t handle, void** base, toff_t* size) {
    auto* source = static_cast<Source*>(handle);
    *base = const_cast<std::uint8_t*>(source->bytes.data());
    *size = source->bytes.size();
    return 1;
}

void unmapProc(thandle_t, void*, toff_t) {}

int keepError(TIFF*, void* user, const char*, const char* format, va_list arguments) {
    auto* source = static_cast<Source*>(user);
    if (source->error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        source->error = text;
    }
    return 1;
}

int dropWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffFile {
    explicit TiffFile(std::span<const std::uint8_t> file) {
        source.bytes = file;
        const std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(
            TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keepError, &source);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), dropWarning, nullptr);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxDecodedBytes);
        tiff = TIFFClientOpenExt("TIFF", "r", &source, readProc, writeProc, seekProc, closeProc,
                                 sizeProc, mapProc, unmapProc, options.get());
    }
    ~TiffFile() {
        if (tiff)
            TIFFClose(tiff);
    }
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    conversion::Error damaged() const {
        return {ErrorKind::Damaged,
                "the TIFF picture is cut short or damaged: " +
                    (source.error.empty() ? "libtiff cannot read it" : source.error)};
    }

    Source source;
    TIFF* tiff = nullptr;
};

struct AlphaKind {
    bool any = false;
    bool associated = false;
};

AlphaKind alphaOf(TIFF* tiff) {
    std::uint16_t count = 0;
    std::uint16_t* kinds = nullptr;
    if (!TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) || count == 0)
        return {};
    return {kinds[0] == EXTRASAMPLE_ASSOCALPHA || kinds[0] == EXTRASAMPLE_UNASSALPHA,
            kinds[0] == EXTRASAMPLE_ASSOCALPHA};
}

Picture described(TIFF* tiff) {
    Picture picture;
    picture.format = "TIFF";
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bits = 8;
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    picture.width = width;
    picture.height = height;
    const AlphaKind alpha = alphaOf(tiff);
    picture.hasAlpha = alpha.any;
    const std::string depth = std::to_string(bits) + (bits == 1 ? " bit" : " bits");
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        picture.layout = (alpha.any ? "grey and alpha, " : "grey, ") + depth;
        break;
    case PHOTOMETRIC_PALETTE:
        picture.layout = "palette";
        break;
    case PHOTOMETRIC_SEPARATED:
        picture.layout = "CMYK, " + depth + " per channel";
        break;
    default:
        picture.layout = (alpha.any ? "RGBA, " : "RGB, ") + depth + " per channel" +
                         (alpha.associated ? ", premultiplied" : "");
    }
    return picture;
}

} // namespace

Result<Picture> describeTiff(std::span<const std::uint8_t> file) {
    const TiffFile tiff(file);
    if (!tiff.tiff)
        return fail(tiff.damaged());
    return described(tiff.tiff);
}

Result<Picture> readTiff(std::span<const std::uint8_t> file) {
    const TiffFile tiff(file);
    if (!tiff.tiff)
        return fail(tiff.damaged());
    Picture picture = described(tiff.tiff);
    if (std::uint64_t{picture.width} * picture.height * 4 > kMaxDecodedBytes)
        return fail(ErrorKind::Unsupported,
                    "it is a TIFF picture of " +
                        conversion::sizeText(picture.width, picture.height) +
                        ", too large to decode");
    char why[1024] = {};
    if (!TIFFRGBAImageOK(tiff.tiff, why))
        return fail(ErrorKind::Unsupported,
                    "it is a TIFF picture of a layout Velmora does not read (" + std::string(why) +
                        ")");
    const AlphaKind alpha = alphaOf(tiff.tiff);
    if (alpha.any && !alpha.associated) {
        // libtiff premultiplies straight alpha on the way out; told it is premultiplied
        // already, it hands the samples over as they are, which is what the game wants.
        std::uint16_t count = 0;
        std::uint16_t* kinds = nullptr;
        TIFFGetFieldDefaulted(tiff.tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds);
        std::vector<std::uint16_t> associated(kinds, kinds + count);
        associated[0] = EXTRASAMPLE_ASSOCALPHA;
        TIFFSetField(tiff.tiff, TIFFTAG_EXTRASAMPLES, count, associated.data());
    }
    std::vector<std::uint32_t> raster(std::size_t{picture.width} * picture.height);
    if (!TIFFReadRGBAImageOriented(tiff.tiff, picture.width, picture.height, raster.data(),
                                   ORIENTATION_TOPLEFT, 1))
        return fail(tiff.damaged());
    picture.bgra.resize(raster.size() * 4);
    std::uint8_t* out = picture.bgra.data();
    for (const std::uint32_t pixel : raster) {
        std::uint32_t red = TIFFGetR(pixel);
        std::uint32_t green = TIFFGetG(pixel);
        std::uint32_t blue = TIFFGetB(pixel);
        const std::uint32_t opacity = alpha.any ? TIFFGetA(pixel) : 255;
        if (alpha.associated && opacity != 0 && opacity != 255) {
            red = std::min<std::uint32_t>(255, (red * 255 + opacity / 2) / opacity);
            green = std::min<std::uint32_t>(255, (green * 255 + opacity / 2) / opacity);
            blue = std::min<std::uint32_t>(255, (blue * 255 + opacity / 2) / opacity);
        }
        *out++ = static_cast<std::uint8_t>(blue);
        *out++ = static_cast<std::uint8_t>(green);
        *out++ = static_cast<std::uint8_t>(red);
        *out++ = static_cast<std::uint8_t>(opacity);
    }
    return picture;
}

} // namespace velmora::images
