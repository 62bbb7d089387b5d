#include "formats/PictureFormats.h"

#include "formats/DdsReader.h"
#include "formats/FileIdentity.h"
#include "formats/TgaReader.h"
#include "io/FileIo.h"

#include <algorithm>

namespace velmora::conversion {

namespace {

Picture described(std::uint32_t width, std::uint32_t height, std::string format, std::string layout,
                  bool hasAlpha) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.format = std::move(format);
    picture.layout = std::move(layout);
    picture.hasAlpha = hasAlpha;
    return picture;
}

class DdsFormat final : public PictureFormat {
  public:
    std::string name() const override { return "DDS"; }
    bool canRead(std::span<const std::uint8_t> head, std::uint64_t fileSize) const override {
        return identifyFile(head, fileSize).kind == FileKind::Dds;
    }
    Result<Picture> describe(std::span<const std::uint8_t> file) const override {
        auto layout = inspectDdsHeader(file, file.size());
        if (!layout)
            return fail(std::move(layout.error()));
        Picture picture =
            described(layout->width, layout->height, "DDS", layout->format, layout->hasAlpha);
        picture.dds = std::move(*layout);
        return picture;
    }
    Result<Picture> decode(std::span<const std::uint8_t> file) const override {
        auto read = readDdsPicture(file);
        if (!read)
            return fail(std::move(read.error()));
        Picture picture = described(read->layout.width, read->layout.height, "DDS",
                                    read->layout.format, read->layout.hasAlpha);
        picture.bgra = std::move(read->bgra);
        picture.dds = std::move(read->layout);
        return picture;
    }
};

class TgaFormat final : public PictureFormat {
  public:
    std::string name() const override { return std::string(kTgaName); }
    bool canRead(std::span<const std::uint8_t> head, std::uint64_t fileSize) const override {
        return isTga(identifyFile(head, fileSize));
    }
    Result<Picture> describe(std::span<const std::uint8_t> file) const override {
        const auto layout = inspectTga(file);
        if (!layout)
            return fail(layout.error());
        Picture picture = described(layout->width, layout->height, std::string(kTgaName),
                                    layout->description, layout->hasAlpha);
        if (layout->premultiplied)
            picture.conversion.emplace_back("premultiplied alpha made straight");
        return picture;
    }
    Result<Picture> decode(std::span<const std::uint8_t> file) const override {
        return readTga(file);
    }
};

// The toolkit's formats, as one: they are told apart by the toolkit itself.
class OtherFormats final : public PictureFormat {
  public:
    explicit OtherFormats(const PictureReader& reader) : m_reader(reader) {}
    std::string name() const override {
        std::string text;
        for (const std::string& name : m_reader.formatNames())
            text += (text.empty() ? "" : ", ") + name;
        return text;
    }
    bool canRead(std::span<const std::uint8_t> head, std::uint64_t fileSize) const override {
        const FileIdentity identity = identifyFile(head, fileSize);
        return identity.kind == FileKind::Picture && !isTga(identity);
    }
    Result<Picture> describe(std::span<const std::uint8_t> file) const override {
        return m_reader.describe(file);
    }
    Result<Picture> decode(std::span<const std::uint8_t> file) const override {
        return m_reader.read(file);
    }

  private:
    const PictureReader& m_reader;
};

} // namespace

PictureFormats::PictureFormats(const PictureReader* others) : m_others(others) {
    m_formats.push_back(std::make_unique<DdsFormat>());
    m_formats.push_back(std::make_unique<TgaFormat>());
    if (others)
        m_formats.push_back(std::make_unique<OtherFormats>(*others));
}

PictureFormats::~PictureFormats() = default;

const PictureFormat* PictureFormats::formatOf(std::span<const std::uint8_t> head,
                                              std::optional<std::uint64_t> fileSize) const {
    const std::uint64_t size = fileSize.value_or(head.size());
    for (const auto& format : m_formats)
        if (format->canRead(head, size))
            return format.get();
    return nullptr;
}

const PictureFormat* PictureFormats::formatOrOthers(std::span<const std::uint8_t> file) const {
    if (const PictureFormat* format = formatOf(file))
        return format;
    // The toolkit recognises some pictures without a signature of their own. Only a file it
    // does not know is no picture; one it refuses is its, and says why.
    if (!m_others || identifyFile(file).kind != FileKind::Unknown)
        return nullptr;
    if (const auto header = m_others->describe(file);
        !header && header.error().kind == ErrorKind::Unsupported)
        return nullptr;
    return m_formats.back().get();
}

Result<Picture> PictureFormats::describe(std::span<const std::uint8_t> file) const {
    const PictureFormat* format = formatOrOthers(file);
    if (!format)
        return fail(ErrorKind::Unsupported, neitherGameFileNorPicture());
    return format->describe(file);
}

Result<Picture> PictureFormats::decode(std::span<const std::uint8_t> file) const {
    const PictureFormat* format = formatOrOthers(file);
    if (!format)
        return fail(ErrorKind::Unsupported, neitherGameFileNorPicture());
    return format->decode(file);
}

Result<std::vector<std::uint8_t>> PictureFormats::readFile(const std::filesystem::path& path) {
    return readWholeFile(path, kMaxPictureFileSize);
}

std::string PictureFormats::names() const {
    std::vector<std::string> names =
        m_others ? m_others->formatNames() : std::vector<std::string>{};
    // TGA is read by the core, whatever the toolkit says of it: named after PNG and BMP, the
    // formats users know it beside.
    std::erase(names, std::string(kTgaName));
    const auto tgaAt = std::find_if(names.begin(), names.end(), [](const std::string& name) {
        return name != "PNG" && name != "BMP";
    });
    names.insert(tgaAt, std::string(kTgaName));
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string PictureFormats::neitherGameFileNorPicture() const {
    return "it is neither a game file, a DDS image nor a picture Velmora reads (" + names() + ")";
}

} // namespace velmora::conversion
