#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct libdeflate_compressor;

namespace velmora::conversion {

// The strongest level is several times slower than the others, so a record is cut into this
// many parts, compressed side by side and joined into one zlib stream. The count is fixed, not
// the machine's core count, so the same record always gives the same bytes. Two parts cost
// 0.03 to 0.06 % on a photo-like tile (the second part starts without the first's window);
// four cost about three times that.
inline constexpr std::size_t kDeflateParts = 2;

// Part `index` of kDeflateParts consecutive parts of `input`; the last takes the remainder.
std::span<const std::uint8_t> deflatePart(std::span<const std::uint8_t> input, std::size_t index);

// One part as raw deflate, with where its last block begins and ends (in bits from its start),
// which the join needs.
struct DeflatedPart {
    std::vector<std::uint8_t> raw;
    std::size_t lastBlockBit = 0;
    std::size_t endBit = 0;
};

// Compresses parts at one level; reusable, one per thread.
class PartDeflater {
  public:
    explicit PartDeflater(int level);
    ~PartDeflater();
    PartDeflater(const PartDeflater&) = delete;
    PartDeflater& operator=(const PartDeflater&) = delete;

    // Nothing when the stream libdeflate made does not inflate back to `part` (never expected).
    std::optional<DeflatedPart> compress(std::span<const std::uint8_t> part);

  private:
    struct Deleter {
        void operator()(libdeflate_compressor* c) const;
    };
    std::unique_ptr<libdeflate_compressor, Deleter> m_compressor;
    std::vector<std::uint8_t> m_out;
    std::vector<std::uint8_t> m_check;
};

// One zlib stream of `input` from its kDeflateParts parts, compressed in order: every part but
// the last has its final-block flag cleared and is byte-aligned by an empty stored block, as a
// sync flush would leave it; the checksum is the Adler-32 of the whole input.
std::vector<std::uint8_t> joinDeflatedParts(std::span<const DeflatedPart> parts,
                                            std::span<const std::uint8_t> input);

// Whether a joined stream of `joinedSize` bytes misses `fitLimit` by so little that the parts'
// cost may be all that keeps it out: then one stream of the whole is worth making.
bool partsMayCostTheFit(std::size_t joinedSize, std::size_t fitLimit);

// `input` at `level` in kDeflateParts parts, each on its own thread; nothing if a part failed.
std::optional<std::vector<std::uint8_t>> deflateInParts(std::span<const std::uint8_t> input,
                                                        int level);

} // namespace velmora::conversion
