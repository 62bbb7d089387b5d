#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velmora::conversion {

// An 8-bit RGBA PNG (straight alpha, no colour-space chunks) of pixels stored as B8G8R8A8,
// `width` * `height` * 4 bytes. Written for speed: the file's size matters far less to a
// user than the time it takes.
std::vector<std::uint8_t> encodePng(std::span<const std::uint8_t> bgraPixels, std::uint32_t width,
                                    std::uint32_t height);

} // namespace velmora::conversion
