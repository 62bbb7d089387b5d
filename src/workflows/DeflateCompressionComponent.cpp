#include "workflows/DeflateCompressionComponent.h"

#include "gamefile/ZlibStream.h"
#include "io/FileIo.h"

#include <memory>

namespace velmora::conversion {

namespace {
// Inputs are a texture record or the payload block, both under 5 MB; anything far larger is
// not ours to compress.
constexpr std::size_t kMaxInputSize = 64u * 1024u * 1024u;

Result<std::vector<std::uint8_t>> readInput(const std::filesystem::path& path) {
    if (path.empty())
        return fail(ErrorKind::ReadFailed, "no input path set");
    return readWholeFile(path, kMaxInputSize).map_error([&](Error error) {
        error.reason = "cannot read " + path.string() + ": " + error.reason;
        return error;
    });
}

Result<> writeOutput(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    if (path.empty())
        return fail(ErrorKind::WriteFailed, "no output path set");
    // Nothing is written unless the whole result is at hand; the output is a work file, so it
    // is written fresh rather than renamed over.
    return writeFileFresh(path, bytes).map_error([&](Error error) {
        error.reason = "cannot write " + path.string() + ": " + error.reason;
        return error;
    });
}
} // namespace

Result<> DeflateCompressionComponent::CompressFile() {
    const auto input = readInput(InputPath());
    if (!input)
        return fail(input.error());
    DeflateResult result = deflateZlibStream(*input);
    m_lastLevel = result.level;
    return writeOutput(OutputPath(), result.stream);
}

Result<> DeflateCompressionComponent::UncompressFile() {
    const auto input = readInput(InputPath());
    if (!input)
        return fail(input.error());
    const std::unique_ptr<std::uint8_t[]> record(new std::uint8_t[kInflateLimit]);
    const auto size = inflateZlibStreamInto(*input, std::span(record.get(), kInflateLimit));
    if (!size)
        return fail(size.error());
    return writeOutput(OutputPath(), std::span<const std::uint8_t>(record.get(), size->produced));
}

} // namespace velmora::conversion
