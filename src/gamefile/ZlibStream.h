#pragma once

#include "base/GameFileLayout.h"
#include "base/Result.h"

#include <cstdint>
#include <span>
#include <vector>

namespace velmora::conversion {

// Fast first; the strongest level only when the fast stream does not fit the game file.
// 9 is the strongest of libdeflate's quick lazy-matching levels; 10 to 12 switch to its
// near-optimal parser, several times slower.
inline constexpr int kFastCompressionLevel = 9;
inline constexpr int kStrongestCompressionLevel = 12;

struct DeflateResult {
    std::vector<std::uint8_t> stream; // one standard zlib stream
    int level = 0;                    // the level that produced it
};

// Compresses at kFastCompressionLevel and, if the stream is longer than fitLimit, again at
// kStrongestCompressionLevel (the caller decides what to do if it still does not fit).
DeflateResult deflateZlibStream(std::span<const std::uint8_t> input,
                                std::size_t fitLimit = kCompressedBlockSize);

struct InflatedSize {
    std::size_t produced = 0; // bytes the stream inflated to
    std::size_t consumed = 0; // bytes of input the stream occupied
};

struct Inflated {
    std::vector<std::uint8_t> bytes; // the inflated data
    std::size_t consumed = 0;        // bytes of input the stream occupied
};

// Inflates the one zlib stream at the start of `input`; bytes after it are ignored. Refuses a
// stream that is not valid zlib, is cut short, or inflates past `limit` (ErrorKind::Damaged).
Result<Inflated> inflateZlibStream(std::span<const std::uint8_t> input,
                                   std::size_t limit = kInflateLimit);

// The same into the caller's buffer, whose size is the bound.
Result<InflatedSize> inflateZlibStreamInto(std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output);

} // namespace velmora::conversion
