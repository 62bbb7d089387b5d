#pragma once

#include "base/Result.h"
#include "formats/PictureReader.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace velmora::conversion {

// Reading any file Velmora handles in order to show it: a game file's image, a DDS of any
// layout the DDS reader takes, a TGA, or any picture `pictures` decodes (a TGA or another
// picture of any size: it is only looked at, never packed). The pixels come back in B8G8R8A8 order,
// straight alpha.
Result<Picture> readShownPicture(const std::filesystem::path& path, const PictureReader* pictures);
// The same from the file's bytes, read by the caller once for everything it shows of them.
Result<Picture> shownPictureOf(std::span<const std::uint8_t> file, const PictureReader* pictures);
// A picture PictureFormats decoded, as the preview shows it.
Result<Picture> asShown(Result<Picture> decoded);
// The image of a game file's inflated record.
Result<Picture> gameRecordPicture(std::span<const std::uint8_t> record);

// The picture made to fit a `size` x `size` square with its proportions kept. Each output pixel
// is the alpha-weighted mean of the source pixels it covers, so transparent pixels lend no
// colour to the edges around them. A picture already small enough is returned as it is.
Picture scaleToFit(const Picture& picture, std::uint32_t size);

} // namespace velmora::conversion
