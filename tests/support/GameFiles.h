#pragma once

// Texture records, zlib streams and game files made for tests with zlib or by hand, never with
// the code under test.
#include "FileHelpers.h"

#include <cstdint>
#include <string>

namespace velmora::test {

inline constexpr const char* kTextureName = "topModeSelect_Mov00_Ex.tex";

// A 48-byte texture header for where its content does not matter: "WE00" and zeros.
Bytes plainTextureHeader();
// The texture record a game file holds: 48-byte texture header, image, texture name.
Bytes textureRecord(const Bytes& image, const std::string& textureName = kTextureName,
                    const Bytes& header = plainTextureHeader());
// One zlib stream of `data`, made with zlib.
Bytes zlibStream(const Bytes& data, int level = 9);
// The 16-byte game header (lead bytes, "WESYS", stored length, 208, 64) followed by `stream`,
// not zero-filled.
Bytes gameFileAround(const Bytes& stream);
// A zlib stream that inflates to `size` (at least 1) zero bytes, about size / 1032 bytes long,
// written by hand without holding the zeros: one dynamic-Huffman block in which a copy of 258
// bytes at distance 1 takes two bits, then the Adler-32 of the zeros.
Bytes zeroBombStream(std::uint64_t size);

} // namespace velmora::test
