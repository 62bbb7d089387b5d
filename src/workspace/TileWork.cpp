#include "workspace/TileWork.h"

#include "io/PrivateWorkFolder.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

namespace velmora::workspace {

namespace fs = std::filesystem;

namespace {

conv::Error errorOf(const conv::StepResult& step) {
    return conv::Error{step.kind, step.message()};
}

} // namespace

conv::Result<> unpackTile(const fs::path& gameFile, const fs::path& output,
                          const conv::PictureReader& pictures) {
    auto work = conv::PrivateWorkFolder::create("menu");
    if (!work)
        return conv::fail(work.error());
    if (auto copy = conv::copyToWorkFile(gameFile, work->path(), conv::WorkFile::Temp); !copy)
        return conv::fail(errorOf(copy.error()));
    conv::DeflateCompressionComponent component;
    const auto outcome =
        conv::runUnpack(work->path(), gameFile.string(), output.string(), component, &pictures);
    if (!outcome)
        return conv::fail(errorOf(outcome.error()));
    return {};
}

conv::Result<PackedTile> packTile(const fs::path& picture, const fs::path& gameFile,
                                  const std::string& textureName,
                                  const std::array<std::uint8_t, 48>& header, bool fit,
                                  const conv::PictureReader& pictures) {
    auto work = conv::PrivateWorkFolder::create("menu");
    if (!work)
        return conv::fail(work.error());
    auto options = conv::PackOptions::reading(&pictures);
    options.textureHeader = header;
    options.fitIfTooDetailed = fit;
    options.outputNamedAsGiven = true;
    conv::DeflateCompressionComponent component;
    const auto outcome = conv::runPack(work->path(), picture.string(), gameFile.string(),
                                       textureName, component, options);
    if (!outcome)
        return conv::fail(errorOf(outcome.error()));
    return PackedTile{outcome->fittedPsnr};
}

} // namespace velmora::workspace
