#include "watch/PackTargets.h"

#include "catalogue/MenuAnimationCatalogue.h"
#include "workflows/PackSource.h"
#include "workflows/Workflows.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace velmora::watch {

bool isWatchedPicture(const std::filesystem::path& name) {
    const std::string file = name.filename().string();
    if (file.empty() || file.front() == '.')
        return false;
    std::string extension = name.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::array<const char*, 10> kPictures{".png",  ".dds", ".tga",  ".bmp",  ".jpg",
                                                       ".jpeg", ".tif", ".tiff", ".webp", ".gif"};
    return std::find(kPictures.begin(), kPictures.end(), extension) != kPictures.end();
}

conv::Result<TargetFor> makeTargetFor(const TargetChoice& choice) {
    if (choice.like.empty() == choice.mode.empty())
        return conv::fail(conv::ErrorKind::NotFound, "give --like or --mode (one of them)");
    const auto outputFor = [folder = choice.outputFolder](const std::filesystem::path& picture) {
        return folder / (picture.stem().string() + ".bin");
    };
    if (!choice.like.empty()) {
        return TargetFor([like = choice.like, outputFor](
                             const std::filesystem::path& picture) -> conv::Result<PackTarget> {
            const auto original = conv::likeFileFor(like, picture);
            const auto source = conv::readOriginalGameFile(original);
            if (!source)
                return conv::fail(source.error().kind, "the original game file " +
                                                           original.string() + " cannot be read (" +
                                                           source.error().reason + ")");
            return PackTarget{outputFor(picture), source->textureName,
                              std::vector<std::uint8_t>(source->textureHeader.begin(),
                                                        source->textureHeader.end())};
        });
    }
    const MenuAnimation* mode = MenuAnimationCatalogue::findForCommandLine(choice.mode);
    if (!mode)
        return conv::fail(conv::ErrorKind::NotFound,
                          "unknown mode \"" + choice.mode + "\"; 'velmora-cli modes' lists them");
    const auto headerFile = choice.headerFile.empty() ? choice.defaultHeader : choice.headerFile;
    return TargetFor([textureName = std::string(mode->textureName), headerFile,
                      outputFor](const std::filesystem::path& picture) -> conv::Result<PackTarget> {
        const auto header = conv::readTextureHeader(headerFile);
        if (!header)
            return conv::fail(header.error().kind, "the texture header " + headerFile.string() +
                                                       " cannot be read (" + header.error().reason +
                                                       ")");
        return PackTarget{outputFor(picture), textureName,
                          std::vector<std::uint8_t>(header->begin(), header->end())};
    });
}

} // namespace velmora::watch
