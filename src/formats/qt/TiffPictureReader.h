#pragma once

#include "formats/PictureReader.h"

namespace velmora::images {

// TIFF through libtiff directly: Qt's TIFF reader premultiplies a straight (unassociated) alpha,
// which loses the colour under transparent pixels, and fills in strips a cut file lacks.
conversion::Result<conversion::Picture> describeTiff(std::span<const std::uint8_t> file);
conversion::Result<conversion::Picture> readTiff(std::span<const std::uint8_t> file);

} // namespace velmora::images
