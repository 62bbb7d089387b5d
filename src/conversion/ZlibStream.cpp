#include "conversion/ZlibStream.h"

#include "conversion/Formatting.h"

#include <libdeflate.h>

#include <memory>

namespace velmora::conversion {

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

std::vector<std::uint8_t> compressAt(std::span<const std::uint8_t> input, int level)
{
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(level));
    if (!compressor)
        throw std::bad_alloc();
    std::vector<std::uint8_t> out(libdeflate_zlib_compress_bound(compressor.get(), input.size()));
    const std::size_t size = libdeflate_zlib_compress(compressor.get(), input.data(), input.size(),
                                                      out.data(), out.size());
    out.resize(size);  // never 0: the bound always holds the stream
    return out;
}

bool hasZlibHeader(std::span<const std::uint8_t> input)
{
    if (input.size() < 2)
        return false;
    const unsigned cmf = input[0];
    const unsigned flg = input[1];
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0 && !(flg & 0x20);
}

}  // namespace

DeflateResult deflateZlibStream(std::span<const std::uint8_t> input, std::size_t fitLimit)
{
    DeflateResult result{compressAt(input, kFastCompressionLevel), kFastCompressionLevel};
    if (result.stream.size() > fitLimit) {
        result.stream = compressAt(input, kStrongestCompressionLevel);
        result.level = kStrongestCompressionLevel;
    }
    return result;
}

InflateResult inflateZlibStream(std::span<const std::uint8_t> input, std::size_t limit)
{
    InflateResult result;
    if (!hasZlibHeader(input)) {
        result.status = Status::failure("the data does not begin with a zlib stream");
        return result;
    }
    std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor)
        throw std::bad_alloc();
    // One-shot: the output buffer is the bound, so nothing can inflate past it.
    result.bytes.resize(limit);
    std::size_t consumed = 0;
    std::size_t produced = 0;
    const libdeflate_result code = libdeflate_zlib_decompress_ex(
        decompressor.get(), input.data(), input.size(), result.bytes.data(), result.bytes.size(),
        &consumed, &produced);
    switch (code) {
    case LIBDEFLATE_SUCCESS:
        result.bytes.resize(produced);
        result.bytes.shrink_to_fit();
        result.consumed = consumed;
        return result;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
        result.status = Status::failure("the data inflates to more than " + groupedNumber(limit) +
                                        " bytes, far more than a menu tile holds: it is damaged, cut short or not a menu tile");
        break;
    default:
        result.status = Status::failure("the compressed data is damaged or cut short");
        break;
    }
    result.bytes.clear();
    result.bytes.shrink_to_fit();
    return result;
}

}  // namespace velmora::conversion
