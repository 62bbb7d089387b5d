#pragma once

#include "conversion/Result.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora::conversion {

// What the first 128 bytes of a DDS file say, for display.
struct DdsSummary {
    bool isDds = false;        // magic "DDS ", header size 124, pixel-format size 32
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string pixelFormat;   // "B8G8R8A8", "R8G8B8A8", "DXT5", "DX10", "24-bit RGB", ...
};

DdsSummary describeDds(std::span<const std::uint8_t> bytes);

// Whether the game can use the image: an uncompressed 1024x1024 32-bit DDS in B8G8R8A8 order
// with a 128-byte header, at least 4,194,432 bytes long (extra mip levels are cut off later).
// `bytes` is the start of the file (at least its first 128 bytes when it has them), fileSize
// its full length. Refuses with ErrorKind::Unsupported and the message for the user.
Result<> checkDdsImage(std::span<const std::uint8_t> bytes, std::uint64_t fileSize);

// The 128-byte header (magic included) of an uncompressed 32-bit B8G8R8A8 image of the given
// size: with 1024 x 1024 it is the header checkDdsImage accepts. Tests, seeds and the
// benchmark build their images on it, so the layout lives in one place.
std::vector<std::uint8_t> makeDdsHeader(std::uint32_t width = 1024, std::uint32_t height = 1024);

}  // namespace velmora::conversion
