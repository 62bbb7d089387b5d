#pragma once

#include "base/GameFileLayout.h"
#include "base/Result.h"

#include <cstdint>
#include <span>
#include <vector>

namespace velmora::conversion {

// The cheapest level that fits. Level 1 fits flat and gradient tiles at a quarter of level 9's
// time or less; level 6 wins back 2 to 6 % over it on tiles that miss the game file; 10 to 12
// switch to libdeflate's near-optimal parser, several times slower, and win back 7 to 13 %.
inline constexpr int kFastCompressionLevel = 1;
inline constexpr int kMiddleCompressionLevel = 6;
inline constexpr int kStrongestCompressionLevel = 12;

struct DeflateResult {
    std::vector<std::uint8_t> stream; // one standard zlib stream
    int level = 0;                    // the level that produced it
};

// Where the pieces of a fast-level sample of `size` bytes lie: up to `pieces` pieces of
// `pieceBytes` spread evenly, as offset and length.
struct SamplePiece {
    std::uint64_t offset = 0;
    std::size_t length = 0;
};
std::vector<SamplePiece> fastSampleLayout(std::uint64_t size, std::size_t pieces,
                                          std::size_t pieceBytes);

// `size` bytes' size at the fast level as their sample, its pieces compressed together,
// predicts it. Each piece starts without context, so short pieces run high: eight of 64 KB
// came within 0.5 to 3 % of a tile's level-1 size, at an eighth of the time.
std::uint64_t estimateFastSize(std::span<const std::uint8_t> sample, std::uint64_t size);

// Whether the fast levels would miss fitLimit by so much that only the strongest can help, as the
// sample predicts: a sure miss is not worth a whole pass.
bool fastLevelsClearlyMiss(std::span<const std::uint8_t> input,
                           std::size_t fitLimit = kCompressedBlockSize);

// Level 1 and, when it misses fitLimit by no more than level 6 usually wins back, level 6: the
// first stream that fits, or else the last one made (longer than fitLimit).
DeflateResult deflateCheaply(std::span<const std::uint8_t> input,
                             std::size_t fitLimit = kCompressedBlockSize);

// kStrongestCompressionLevel on every core (SplitDeflate.h), or in one piece when the parts'
// small cost is what keeps the stream from fitting fitLimit.
std::vector<std::uint8_t> deflateStrongest(std::span<const std::uint8_t> input,
                                           std::size_t fitLimit = kCompressedBlockSize);

// deflateCheaply, then deflateStrongest if nothing cheaper fits (the caller decides what to do
// if it still does not fit); straight to the strongest when the fast levels clearly miss.
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

// Whether `input` begins with a zlib stream header (deflate, no preset dictionary).
bool hasZlibHeader(std::span<const std::uint8_t> input);

// Inflates the one zlib stream at the start of `input`; bytes after it are ignored. Refuses a
// stream that is not valid zlib, is cut short, or inflates past `limit` (ErrorKind::Damaged).
Result<Inflated> inflateZlibStream(std::span<const std::uint8_t> input,
                                   std::size_t limit = kInflateLimit);

// The same into the caller's buffer, whose size is the bound.
Result<InflatedSize> inflateZlibStreamInto(std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output);

} // namespace velmora::conversion
