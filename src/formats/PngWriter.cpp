#include "formats/PngWriter.h"

#include "base/ByteOrder.h"

#include <libdeflate.h>

#include <array>
#include <memory>
#include <new>
#include <string_view>

namespace velmora::conversion {

namespace {

// libdeflate's level 1 is several times faster than zlib's, and PNG's own row filter does
// most of the work on photographs.
constexpr int kPngCompressionLevel = 1;
constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kFilterSub = 1;

void appendChunk(std::vector<std::uint8_t>& out, std::string_view type,
                 std::span<const std::uint8_t> data) {
    const std::size_t start = out.size();
    out.resize(start + 8 + data.size() + 4);
    const std::span<std::uint8_t> chunk(out.data() + start, out.size() - start);
    writeBe32(chunk, 0, static_cast<std::uint32_t>(data.size()));
    std::copy(type.begin(), type.end(), chunk.begin() + 4);
    std::copy(data.begin(), data.end(), chunk.begin() + 8);
    // The checksum covers the type and the data, not the length.
    const std::uint32_t crc = libdeflate_crc32(0, chunk.data() + 4, 4 + data.size());
    writeBe32(chunk, 8 + data.size(), crc);
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

} // namespace

std::vector<std::uint8_t> encodePng(std::span<const std::uint8_t> bgraPixels, std::uint32_t width,
                                    std::uint32_t height) {
    // Each row: its filter type, then R G B A per pixel as differences from the pixel to the
    // left (the "Sub" filter: cheap, and it halves a photograph's stream).
    const std::size_t rowBytes = std::size_t{width} * 4;
    std::vector<std::uint8_t> filtered((rowBytes + 1) * height);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* in = bgraPixels.data() + y * rowBytes;
        std::uint8_t* out = filtered.data() + y * (rowBytes + 1);
        *out++ = kFilterSub;
        std::uint8_t left[4] = {0, 0, 0, 0};
        for (std::size_t x = 0; x < width; ++x, in += 4, out += 4) {
            const std::uint8_t rgba[4] = {in[2], in[1], in[0], in[3]};
            for (int c = 0; c < 4; ++c) {
                out[c] = static_cast<std::uint8_t>(rgba[c] - left[c]);
                left[c] = rgba[c];
            }
        }
    }

    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kPngCompressionLevel));
    if (!compressor)
        throw std::bad_alloc();
    std::vector<std::uint8_t> stream(
        libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
    stream.resize(libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(),
                                           stream.data(), stream.size()));

    std::array<std::uint8_t, 13> header{};
    writeBe32(header, 0, width);
    writeBe32(header, 4, height);
    header[8] = 8; // bits per channel
    header[9] = 6; // RGBA

    std::vector<std::uint8_t> png(kSignature.begin(), kSignature.end());
    png.reserve(png.size() + stream.size() + 64);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", stream);
    appendChunk(png, "IEND", {});
    return png;
}

} // namespace velmora::conversion
