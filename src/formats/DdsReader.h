#pragma once

#include "base/Result.h"
#include "formats/PictureLimits.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Reads the DDS files image editors write and decodes the first picture of one, of any size up to
// kMaxPictureSide, to B8G8R8A8 pixels. Whether the game takes it is Pack's question, not this
// reader's (workflows/ImageInput).
//
// Accepted: uncompressed pictures with 8 bits per channel in any byte order, found by their
// channel masks (32-bit with or without alpha, 24-bit; no alpha mask means alpha 255), the same
// as legacy D3DFMT codes 20, 21, 22, 32, 33 or as DX10 formats 27-29 and 87, 88, 90-93, and
// block-compressed BC1/BC2/BC3 (DXT1, DXT3, DXT5, DX10 formats 70-78), decoded. GIMP's DXT5
// variants marked in the header (YCoCg "YCG1", scaled YCoCg "YCG2", alpha exponent "AEXP") are
// decoded to the colours GIMP shows when it opens them, opaque as GIMP shows them. Extra mip
// levels are dropped. The header's flags, caps and pitch are not relied on; the magic "DDS " and
// the header size 124 are.
// Refused, with what was found and one way to fix it: sides of 0 or over kMaxPictureSide, cube
// maps, volumes and arrays, formats with other than 8 bits per channel, BC4-BC7, premultiplied
// DXT2/DXT4, swizzled normal maps (GIMP's BC3n: DXT5 flagged as a normal map; RXGB), luminance,
// alpha-only, YUV, and files shorter than their header says.
//
// Format names: channel masks are named as Direct3D 9 names them, from the highest bit down, with
// the byte order in the file where the channels are whole bytes ("32-bit A8R8G8B8 (bytes
// B,G,R,A)" is the game's layout); DX10 formats carry their DXGI number and name.
namespace velmora::conversion {

inline constexpr std::size_t kDdsHeaderSize = 128;     // magic + DDS_HEADER
inline constexpr std::size_t kDdsDx10HeaderSize = 148; // ... + DDS_HEADER_DXT10
// How much of the start of a file inspectDdsHeader needs (all of it when the file is shorter).
inline constexpr std::size_t kDdsInspectBytes = kDdsDx10HeaderSize;

// What a DDS file holds and how its pixels become B8G8R8A8.
struct DdsLayout {
    std::string format; // "32-bit A8R8G8B8 (bytes B,G,R,A)", "DXGI 28 R8G8B8A8_UNORM", "BC3 / DXT5"
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t mipCount = 1; // levels the header announces; a count of 0 reads as 1
    std::string writer; // "GIMP-DDS", "IMAGEMAGICK", "NVTT" when the header says; else empty
    // Steps from the file's pixels to B8G8R8A8 ("24-bit to 32-bit", "alpha set to 255"); none
    // when they are those bytes already.
    std::vector<std::string> conversion;
    bool gameHeader = false; // the header soundly describes B8G8R8A8 pixels, one level or more
    bool hasAlpha = false;   // the pixels carry alpha (else it reads as 255)
    std::uint64_t neededBytes = 0; // header(s) and the first picture: the shortest usable file

    bool operator==(const DdsLayout&) const = default;
};

struct DdsPicture {
    DdsLayout layout;
    std::vector<std::uint8_t> bgra; // width x height pixels, B8G8R8A8, rows from the top
};

// Only the header: what the file holds, or why it cannot be read (ErrorKind::Damaged for bytes
// that are no DDS or a file cut short, ErrorKind::Unsupported for a layout it does not decode).
// `head` is the start of the file, at least kDdsInspectBytes of it unless the file is shorter;
// fileSize is the whole file's length. Agrees with readDdsPicture on the whole file.
Result<DdsLayout> inspectDdsHeader(std::span<const std::uint8_t> head, std::uint64_t fileSize);

// The whole file: its first picture decoded, or the same refusal inspectDdsHeader gives.
Result<DdsPicture> readDdsPicture(std::span<const std::uint8_t> fileBytes);

// Makes a DDS header describe one level only: clears the mip-map flag (0x20000), sets the mip
// count to 0 and clears the complex and mip-map caps (0x400008).
void setSingleMipLevel(std::span<std::uint8_t, kDdsHeaderSize> header);

} // namespace velmora::conversion
