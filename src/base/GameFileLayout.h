#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Byte layouts of the game's compressed menu-tile file and of the texture record inside it.
// All multi-byte integers are little-endian.
namespace velmora::conversion {

// The blocks were first dimensioned by their last index (a buffer "to 3,000,000"), so each holds
// one byte more than its round figure. Every game file in circulation is 16 + 2,400,001 =
// 2,400,017 bytes long because of that, and the game and other readers may rely on that size,
// so the odd sizes stay.
inline constexpr std::size_t kGamePayloadBlockSize = 3'000'001; // game file from offset 16
inline constexpr std::size_t kImageBlockSize = 4'194'432;       // 1024x1024x4 + 128-byte DDS header
inline constexpr std::size_t kTextureHeaderBlockSize = 48;      // the bytes of "WE00"
inline constexpr std::size_t kCompressedBlockSize = 2'400'001;  // stream slot in the game file

// Compressed game file: 16-byte header, then the compressed block.
inline constexpr std::size_t kGameHeaderSize = 16;
inline constexpr std::size_t kGameFileSize = kGameHeaderSize + kCompressedBlockSize; // 2,400,017
inline constexpr std::array<std::uint8_t, 3> kGameLeadBytes{0x00, 0x01, 0x01};
inline constexpr std::string_view kGameMagic = "WESYS";
inline constexpr std::size_t kGameMagicOffset = 3;
inline constexpr std::size_t kStoredLengthOffset = 8; // signed 32-bit: stream length - 4
inline constexpr std::size_t kFirstConstantOffset = 12;
inline constexpr std::size_t kSecondConstantOffset = 14;
// Written on every Pack whatever the payload; read as one 32-bit value they are 4,194,512.
inline constexpr std::int16_t kFirstHeaderConstant = 208; // D0 00
inline constexpr std::int16_t kSecondHeaderConstant = 64; // 40 00
inline constexpr std::int32_t kStoredLengthBias = 4;

// Uncompressed texture record: texture header, image block, texture name (no terminator).
inline constexpr std::size_t kRecordImageOffset = kTextureHeaderBlockSize;             // 48
inline constexpr std::size_t kRecordNameOffset = kRecordImageOffset + kImageBlockSize; // 4,194,480

// A genuine record is 4,194,506 or 4,194,507 bytes; nothing a game file may legitimately hold
// inflates past this, so a larger stream is refused before it can fill memory or the disk.
inline constexpr std::size_t kInflateLimit = 8u * 1024u * 1024u;

} // namespace velmora::conversion
