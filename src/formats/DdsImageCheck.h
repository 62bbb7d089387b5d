#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora::conversion {

// What the first 128 bytes of a DDS file say, for display.
struct DdsSummary {
    bool isDds = false; // magic "DDS ", header size 124, pixel-format size 32
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string pixelFormat; // "B8G8R8A8", "R8G8B8A8", "DXT5", "DX10", "24-bit RGB", ...
};

DdsSummary describeDds(std::span<const std::uint8_t> bytes);

// The 128-byte header (magic included) of an uncompressed 32-bit B8G8R8A8 image of the given
// size: with 1024 x 1024 it is the game's own layout. Pack gives it to every converted picture,
// and tests, seeds and the benchmark build their images on it, so the layout lives in one place.
std::vector<std::uint8_t> makeDdsHeader(std::uint32_t width = 1024, std::uint32_t height = 1024);

} // namespace velmora::conversion
