#include "workflows/FileFacts.h"

#include "base/GameFileLayout.h"
#include "formats/PictureFormats.h"
#include "io/FileIo.h"
#include "workflows/ImageInput.h"
#include "workflows/ShownPicture.h"

namespace velmora::conversion {

namespace {

FileFacts pictureFacts(std::span<const std::uint8_t> file, const PictureReader* pictures,
                       const Result<Picture>* decoded = nullptr) {
    FileFacts facts;
    facts.fileSize = file.size();
    facts.identity = identifyFile(file);
    const PictureFormats formats(pictures);
    auto described = formats.describe(file);
    if (facts.identity.kind == FileKind::Dds) {
        facts.kind = FileFacts::Kind::Dds;
        if (described)
            facts.ddsLayout = std::move(described->dds);
        else if (DdsSummary summary = describeDds(file); summary.isDds)
            facts.ddsSummary = std::move(summary);
    } else {
        facts.kind = FileFacts::Kind::Picture;
        if (described)
            facts.picture = std::move(*described);
    }
    // Pack's own verdict: whether the game takes the picture is its question alone.
    facts.packAction = prepareImage(file, pictures, decoded).map([](PackImage image) {
        return std::move(image.action);
    });
    return facts;
}

FileFacts gameFacts(GameFileInfo inspected) {
    FileFacts facts;
    facts.kind = FileFacts::Kind::GameFile;
    facts.fileSize = inspected.fileSize;
    facts.game = std::move(inspected);
    if (facts.game.record)
        facts.mode = MenuAnimationCatalogue::findByTextureName(facts.game.record->textureName);
    return facts;
}

} // namespace

Result<FileFacts, StepResult> gatherFileFacts(const std::filesystem::path& path,
                                              const PictureReader* pictures) {
    const auto head = readBlock(path, 0, kIdentifyBytes);
    const FileKind kind =
        head ? identifyFile(std::span(head->bytes).first(head->bytesRead), head->fileSize).kind
             : FileKind::Unknown;
    if (kind == FileKind::Dds || kind == FileKind::Picture) {
        const auto file = PictureFormats::readFile(path);
        if (!file)
            return stepFailed("Reading the image", path, file.error());
        return pictureFacts(*file, pictures);
    }
    auto inspected = inspectGameFileAt(path);
    if (!inspected)
        return tl::unexpected(std::move(inspected.error()));
    // Other pictures without a signature of their own are recognised by the picture reader.
    if (!inspected->record && kind == FileKind::Unknown && pictures) {
        if (const auto file = PictureFormats::readFile(path);
            file && PictureFormats(pictures).describe(*file))
            return pictureFacts(*file, pictures);
    }
    return gameFacts(std::move(*inspected));
}

ShownFile shownFileOf(std::span<const std::uint8_t> file, const PictureReader* pictures) {
    const FileKind kind = identifyFile(file).kind;
    if (kind == FileKind::Dds || kind == FileKind::Picture) {
        // One decoding for the pixels shown and for Pack's verdict.
        const Result<Picture> decoded = PictureFormats(pictures).decode(file);
        return {pictureFacts(file, pictures, &decoded), asShown(decoded)};
    }
    if (kind == FileKind::GameFile && file.size() > kGameHeaderSize) {
        // One inflation for the facts and the pixels.
        std::vector<std::uint8_t> record;
        GameFileInfo inspected = inspectGameFile(file, &record);
        inspected.fileSize = file.size();
        Result<Picture> picture =
            inspected.record ? gameRecordPicture(record) : fail(inspected.record.error());
        return {gameFacts(std::move(inspected)), std::move(picture)};
    }
    return {fileFactsOf(file, pictures), shownPictureOf(file, pictures)};
}

FileFacts fileFactsOf(std::span<const std::uint8_t> file, const PictureReader* pictures) {
    const FileKind kind = identifyFile(file).kind;
    if (kind == FileKind::Dds || kind == FileKind::Picture)
        return pictureFacts(file, pictures);
    GameFileInfo inspected = inspectGameFile(file);
    inspected.fileSize = file.size();
    if (!inspected.record && kind == FileKind::Unknown && pictures &&
        PictureFormats(pictures).describe(file))
        return pictureFacts(file, pictures);
    return gameFacts(std::move(inspected));
}

} // namespace velmora::conversion
