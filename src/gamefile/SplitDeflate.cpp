#include "gamefile/SplitDeflate.h"

#include "gamefile/JobShare.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace velmora::conversion {

namespace {

// libdeflate writes this header at its strongest levels.
constexpr std::array<std::uint8_t, 2> kZlibHeader{0x78, 0xDA};
// LEN 0 and NLEN 0xFFFF of an empty stored block.
constexpr std::array<std::uint8_t, 4> kEmptyStoredLengths{0x00, 0x00, 0xFF, 0xFF};

// Walks `raw` block by block with zlib and notes where its last block begins and where that
// block's end-of-block code ends. Refuses anything but one whole deflate stream that inflates
// to exactly `part`.
bool walkBlocks(DeflatedPart& deflated, std::span<const std::uint8_t> part,
                std::vector<std::uint8_t>& check) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        throw std::bad_alloc();
    check.resize(part.size() + 1); // one spare byte: a stream making more than `part` is caught
    z.next_in = const_cast<Bytef*>(deflated.raw.data());
    z.avail_in = static_cast<uInt>(deflated.raw.size());
    z.next_out = check.data();
    z.avail_out = static_cast<uInt>(check.size());
    std::size_t lastHeader = 0;
    bool endSeen = false;
    int code = Z_OK;
    for (;;) {
        code = inflate(&z, Z_BLOCK);
        if (code != Z_OK)
            break;
        // Bit 128: stopped at a block boundary, with fewer than eight bits of the last byte
        // taken unread; bit 64: the block just ended was the last.
        if (z.data_type & 128) {
            const std::size_t bit = std::size_t{z.total_in} * 8 - (z.data_type & 7);
            if (z.data_type & 64) {
                deflated.endBit = bit;
                endSeen = true;
            } else {
                lastHeader = bit;
            }
        }
    }
    const bool whole = code == Z_STREAM_END && endSeen && z.total_in == deflated.raw.size() &&
                       z.total_out == part.size() &&
                       std::equal(part.begin(), part.end(), check.begin());
    inflateEnd(&z);
    deflated.lastBlockBit = lastHeader;
    return whole && deflated.endBit + 8 > deflated.raw.size() * 8 &&
           deflated.endBit <= deflated.raw.size() * 8;
}

} // namespace

std::span<const std::uint8_t> deflatePart(std::span<const std::uint8_t> input, std::size_t index) {
    const std::size_t length = input.size() / kDeflateParts;
    const std::size_t start = index * length;
    return input.subspan(start, index + 1 == kDeflateParts ? input.size() - start : length);
}

void PartDeflater::Deleter::operator()(libdeflate_compressor* c) const {
    libdeflate_free_compressor(c);
}

PartDeflater::PartDeflater(int level) : m_compressor(libdeflate_alloc_compressor(level)) {
    if (!m_compressor)
        throw std::bad_alloc();
}

PartDeflater::~PartDeflater() = default;

std::optional<DeflatedPart> PartDeflater::compress(std::span<const std::uint8_t> part) {
    const std::size_t bound = libdeflate_deflate_compress_bound(m_compressor.get(), part.size());
    if (m_out.size() < bound)
        m_out.resize(bound);
    const std::size_t size = libdeflate_deflate_compress(m_compressor.get(), part.data(),
                                                         part.size(), m_out.data(), m_out.size());
    DeflatedPart deflated;
    deflated.raw.assign(m_out.begin(), m_out.begin() + static_cast<std::ptrdiff_t>(size));
    if (size == 0 || !walkBlocks(deflated, part, m_check))
        return std::nullopt;
    return deflated;
}

std::vector<std::uint8_t> joinDeflatedParts(std::span<const DeflatedPart> parts,
                                            std::span<const std::uint8_t> input) {
    std::size_t total = kZlibHeader.size() + 4;
    for (const DeflatedPart& part : parts)
        total += part.raw.size() + 1 + kEmptyStoredLengths.size();
    std::vector<std::uint8_t> stream;
    stream.reserve(total);
    stream.insert(stream.end(), kZlibHeader.begin(), kZlibHeader.end());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const DeflatedPart& part = parts[i];
        const std::size_t start = stream.size();
        stream.insert(stream.end(), part.raw.begin(), part.raw.end());
        if (i + 1 == parts.size())
            break;
        stream[start + part.lastBlockBit / 8] &=
            static_cast<std::uint8_t>(~(1u << (part.lastBlockBit % 8)));
        // The empty stored block's three header bits (not final, type 0) are zeros from the
        // end of the last block on, then zeros up to the byte boundary; libdeflate's padding
        // is cleared rather than trusted.
        const std::size_t used = part.endBit % 8;
        if (used != 0)
            stream.back() &= static_cast<std::uint8_t>((1u << used) - 1);
        const std::size_t spare = used == 0 ? 0 : 8 - used;
        if (spare < 3)
            stream.push_back(0);
        stream.insert(stream.end(), kEmptyStoredLengths.begin(), kEmptyStoredLengths.end());
    }
    const std::uint32_t adler = libdeflate_adler32(1, input.data(), input.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(static_cast<std::uint8_t>(adler >> shift));
    return stream;
}

bool partsMayCostTheFit(std::size_t joinedSize, std::size_t fitLimit) {
    // Measured at 0.03 to 0.16 % on tiles, a few tenths on tiny streams; half a percent is safe.
    return joinedSize > fitLimit && joinedSize - fitLimit <= joinedSize / 200 + 64;
}

std::optional<std::vector<std::uint8_t>> deflateInParts(std::span<const std::uint8_t> input,
                                                        int level) {
    std::array<std::optional<DeflatedPart>, kDeflateParts> parts;
    const auto compressPart = [&](std::size_t i) {
        try {
            parts[i] = PartDeflater(level).compress(deflatePart(input, i));
        } catch (const std::bad_alloc&) {
            // Left empty: the caller compresses in one piece instead.
        }
    };
    runOnTwoWorkers(kDeflateParts, [&](std::size_t i, std::size_t) { compressPart(i); });
    std::array<DeflatedPart, kDeflateParts> done;
    for (std::size_t i = 0; i < kDeflateParts; ++i) {
        if (!parts[i])
            return std::nullopt;
        done[i] = std::move(*parts[i]);
    }
    return joinDeflatedParts(done, input);
}

} // namespace velmora::conversion
