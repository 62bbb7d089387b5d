#pragma once

#include "base/Result.h"
#include "formats/DdsReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmora::conversion {

// A picture decoded to the game's pixel order: B G R A per pixel, straight alpha, rows from
// the top.
struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> bgra; // empty when only described
    std::string format;             // "PNG", "JPEG", ...
    std::string layout;             // "RGBA, 16 bits per channel", "palette", ...
    bool hasAlpha = false;
    // Steps the reader took to give straight B8G8R8A8 beyond decoding ("premultiplied alpha
    // made straight").
    std::vector<std::string> conversion;
    std::optional<DdsLayout> dds; // a DDS: what its header says
};

// Reads the picture formats other than DDS and TGA, which the core reads itself (PNG, BMP, JPEG,
// and TIFF, WebP where their plug-ins are installed). The core knows the interface only; the
// implementation lives with the toolkit that decodes them.
class PictureReader {
  public:
    virtual ~PictureReader() = default;

    // Size, format and colour type, without decoding the pixels. Fails with
    // ErrorKind::Unsupported when the bytes are no picture it knows.
    virtual Result<Picture> describe(std::span<const std::uint8_t> file) const = 0;
    // The whole picture, never one with made-up pixels: a file cut short fails with
    // ErrorKind::Damaged, as does one that cannot be decoded; ErrorKind::Unsupported is a
    // picture it does not know or will not decode (a layout, a size), with the reason.
    virtual Result<Picture> read(std::span<const std::uint8_t> file) const = 0;
    // The formats it decodes on this system ("PNG", "JPEG", "WebP"), for messages: some come
    // from plug-ins that may not be installed.
    virtual std::vector<std::string> formatNames() const = 0;
};

} // namespace velmora::conversion
