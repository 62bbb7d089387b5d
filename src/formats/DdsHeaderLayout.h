#pragma once

#include <cstddef>
#include <cstdint>

// Where the fields of a DDS file's header stand, counted from the start of the file (the
// 4-byte magic "DDS " included), and the flag bits the reader and writer use. All fields
// are little-endian 32-bit values.
namespace velmora::conversion::dds {

// DDS_HEADER
inline constexpr std::size_t kSizeOffset = 4; // 124
inline constexpr std::size_t kFlagsOffset = 8;
inline constexpr std::size_t kHeightOffset = 12;
inline constexpr std::size_t kWidthOffset = 16;
inline constexpr std::size_t kPitchOffset = 20;
inline constexpr std::size_t kDepthOffset = 24;
inline constexpr std::size_t kMipCountOffset = 28;
inline constexpr std::size_t kReservedOffset = 32; // dwReserved1[11], where writers sign
inline constexpr std::size_t kReservedEnd = 76;
// GIMP signs the reserved words with "GIMP-DDS" and a version, and names the variant of DXT5 it
// wrote in the word after them ("YCG1", "YCG2", "AEXP"; 0 for plain DXT5).
inline constexpr std::size_t kGimpMarkOffset = kReservedOffset + 12;
inline constexpr std::size_t kPfSizeOffset = 76; // DDS_PIXELFORMAT: 32
inline constexpr std::size_t kPfFlagsOffset = 80;
inline constexpr std::size_t kFourCcOffset = 84;
inline constexpr std::size_t kBitCountOffset = 88;
inline constexpr std::size_t kRedMaskOffset = 92;
inline constexpr std::size_t kGreenMaskOffset = 96;
inline constexpr std::size_t kBlueMaskOffset = 100;
inline constexpr std::size_t kAlphaMaskOffset = 104;
inline constexpr std::size_t kCapsOffset = 108;
inline constexpr std::size_t kCaps2Offset = 112;
inline constexpr std::size_t kHeaderBytes = 128;
// DDS_HEADER_DXT10, right after.
inline constexpr std::size_t kDxgiFormatOffset = 128;
inline constexpr std::size_t kDimensionOffset = 132;
inline constexpr std::size_t kMiscFlagOffset = 136;
inline constexpr std::size_t kArraySizeOffset = 140;

inline constexpr std::uint32_t kDdpfAlphaPixels = 0x1, kDdpfFourCc = 0x4, kDdpfRgb = 0x40;
// Set by GIMP and NVTT on normal maps; on DXT5 it means the channels are swizzled (BC3n).
inline constexpr std::uint32_t kDdpfNormal = 0x80000000;

// The variant mark GIMP left in the header, or 0 when GIMP did not sign it.
inline std::uint32_t gimpMark(const std::uint8_t* header) {
    constexpr char kSign[] = "GIMP-DDS";
    for (std::size_t i = 0; i + 1 < sizeof kSign; ++i)
        if (header[kReservedOffset + i] != std::uint8_t(kSign[i]))
            return 0;
    const std::uint8_t* mark = header + kGimpMarkOffset;
    return std::uint32_t(mark[0]) | std::uint32_t(mark[1]) << 8 | std::uint32_t(mark[2]) << 16 |
           std::uint32_t(mark[3]) << 24;
}

} // namespace velmora::conversion::dds
