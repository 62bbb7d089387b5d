#pragma once

#include "base/Result.h"
#include "formats/PictureLimits.h"
#include "formats/PictureReader.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::conversion {

// One picture format, in the shape of Qt's image handlers: whether the bytes are its own, what
// they hold, and the pixels. Readers take any size up to kMaxPictureSide; what the game takes
// is Pack's question.
class PictureFormat {
  public:
    virtual ~PictureFormat() = default;
    // "DDS", "TGA", "PNG", ...; for the toolkit's reader, the formats it names.
    virtual std::string name() const = 0;
    // Whether the file is this format, from its start (`head`: the whole file, unless fileSize
    // gives its length; kIdentifyBytes are enough).
    virtual bool canRead(std::span<const std::uint8_t> head, std::uint64_t fileSize) const = 0;
    // Size and layout from the header, pixels left empty; the refusal decode would give for a
    // header it does not take.
    virtual Result<Picture> describe(std::span<const std::uint8_t> file) const = 0;
    // The whole picture in B8G8R8A8, straight alpha, rows from the top; never made-up pixels.
    virtual Result<Picture> decode(std::span<const std::uint8_t> file) const = 0;
};

// Every picture format Velmora reads, asked in one order: DDS and TGA, which the core reads,
// then the toolkit's formats through `others` (PNG, BMP, JPEG, ...) when the caller has them.
// Pack's input, `info`, `verify` with a picture, the preview and the thumbnailer all read
// through this.
class PictureFormats {
  public:
    explicit PictureFormats(const PictureReader* others = nullptr);
    ~PictureFormats();
    PictureFormats(const PictureFormats&) = delete;
    PictureFormats& operator=(const PictureFormats&) = delete;

    // The format whose own the file is, by its start; null for none. A format without a
    // signature that only the toolkit recognises is found by describe, from the whole file.
    const PictureFormat* formatOf(std::span<const std::uint8_t> head,
                                  std::optional<std::uint64_t> fileSize = std::nullopt) const;
    // Fails with ErrorKind::Unsupported and neitherGameFileNorPicture's words for bytes no
    // format knows; else as the format's describe and decode.
    Result<Picture> describe(std::span<const std::uint8_t> file) const;
    Result<Picture> decode(std::span<const std::uint8_t> file) const;
    // Reads the whole file, refusing one larger than kMaxPictureFileSize.
    static Result<std::vector<std::uint8_t>> readFile(const std::filesystem::path& path);

    // "PNG, BMP, TGA, JPEG, TIFF, WebP": the pictures read on this system, for messages.
    std::string names() const;
    // "it is neither a game file, a DDS image nor a picture Velmora reads (PNG, ...)"
    std::string neitherGameFileNorPicture() const;
    const PictureReader* others() const { return m_others; }

  private:
    const PictureFormat* formatOrOthers(std::span<const std::uint8_t> file) const;

    const PictureReader* m_others;
    std::vector<std::unique_ptr<PictureFormat>> m_formats;
};

} // namespace velmora::conversion
