#include "conversion/DeflateCompressionComponent.h"

#include "conversion/FileIo.h"
#include "conversion/ZlibStream.h"

#include <memory>

namespace velmora::conversion {

namespace {
// Inputs are a texture record or the payload block, both under 5 MB; anything far larger is
// not ours to compress.
constexpr std::size_t kMaxInputSize = 64u * 1024u * 1024u;

Status readInput(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes)
{
    if (path.empty())
        return Status::failure("no input path set");
    std::string error;
    auto data = readWholeFile(path, kMaxInputSize, error);
    if (!data)
        return Status::failure("cannot read " + path.string() + ": " + error);
    bytes = std::move(*data);
    return Status::success();
}

Status writeOutput(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    if (path.empty())
        return Status::failure("no output path set");
    // Nothing is written unless the whole result is at hand; the output is a work file, so it
    // is written fresh rather than renamed over.
    const std::string error = writeFileFresh(path, bytes);
    if (!error.empty())
        return Status::failure("cannot write " + path.string() + ": " + error);
    return Status::success();
}
}  // namespace

Status DeflateCompressionComponent::CompressFile()
{
    std::vector<std::uint8_t> input;
    if (Status status = readInput(InputPath(), input); !status)
        return status;
    DeflateResult result = deflateZlibStream(input);
    m_lastLevel = result.level;
    return writeOutput(OutputPath(), result.stream);
}

Status DeflateCompressionComponent::UncompressFile()
{
    std::vector<std::uint8_t> input;
    if (Status status = readInput(InputPath(), input); !status)
        return status;
    const std::unique_ptr<std::uint8_t[]> record(new std::uint8_t[kInflateLimit]);
    std::size_t produced = 0;
    std::size_t consumed = 0;
    const Status status =
        inflateZlibStreamInto(input, std::span(record.get(), kInflateLimit), produced, consumed);
    if (!status)
        return status;
    return writeOutput(OutputPath(), std::span<const std::uint8_t>(record.get(), produced));
}

}  // namespace velmora::conversion
