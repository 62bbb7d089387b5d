#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora::conversion {

// The limits every picture reader keeps to. A 1024x1024 picture with every mip level at 16 bytes
// a pixel is under 23 MB; a larger file is no picture anyone means to use here.
inline constexpr std::size_t kMaxPictureFileSize = 64u * 1024u * 1024u;
// Nothing a menu tile could come from is larger; a header claiming more is refused before
// anything is allocated for it.
inline constexpr std::uint32_t kMaxPictureSide = 16384;
// The most a decoded picture may take (8192x8192 at 4 bytes a pixel), so a small file that
// unpacks to a huge picture cannot exhaust the memory of the preview or the thumbnailer.
inline constexpr std::uint64_t kMaxDecodedBytes = 256u * 1024u * 1024u;

} // namespace velmora::conversion
