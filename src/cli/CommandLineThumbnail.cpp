// The thumbnail command, which file managers run through velmora.thumbnailer.
#include "cli/CommandLine.h"

#include "cli/CliSupport.h"
#include "formats/PngWriter.h"
#include "formats/qt/QtPictureReader.h"
#include "io/FileIo.h"
#include "workflows/ShownPicture.h"

#include <filesystem>
#include <ostream>

namespace velmora::cli {

namespace conv = velmora::conversion;

namespace {

constexpr std::uint32_t kDefaultThumbnailSize = 256;
// Larger than the largest freedesktop thumbnail (1024) and than the game's image.
constexpr std::uint32_t kMaxThumbnailSize = 4096;

// The size argument, or 0 when it is not a whole number from 1 to kMaxThumbnailSize.
std::uint32_t thumbnailSize(const std::string& text) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const auto size = static_cast<std::uint32_t>(std::stoul(text));
    return size <= kMaxThumbnailSize ? size : 0;
}

} // namespace

int CommandLine::thumbnail(const ParsedArguments& args) {
    const auto& positional = args.positional;
    if (positional.size() < 2 || positional.size() > 3)
        return usageError(positional.size() < 2 ? "thumbnail needs INPUT and OUTPUT"
                                                : "thumbnail takes INPUT, OUTPUT and at most SIZE");
    const std::uint32_t size =
        positional.size() == 3 ? thumbnailSize(positional[2]) : kDefaultThumbnailSize;
    if (size == 0)
        return usageError("SIZE is a number of pixels from 1 to " +
                          std::to_string(kMaxThumbnailSize));
    if (positional[1].empty())
        return usageError("OUTPUT is empty");
    const auto input = absoluteFromHere(positional[0]);
    // File managers name the output themselves: it is written under exactly that name.
    const auto output = absoluteFromHere(positional[1]);
    if (sameFile(input, output))
        return usageError("the output would replace the input: " + shownName(output));

    const images::QtPictureReader pictures;
    const auto picture = conv::readShownPicture(input, &pictures);
    if (!picture)
        return failed(conv::StepResult::of("Reading the picture", input, picture.error()));
    const conv::Picture small = conv::scaleToFit(*picture, size);
    const auto png = conv::encodePng(small.bgra, small.width, small.height);
    // Thumbnail services (tumbler) create the output, keep it open and read the picture through
    // that handle once the command ends: a renamed-over file would leave them the empty one. So
    // an existing file is filled in place; a new one takes its name only when complete.
    std::error_code ignored;
    const auto saved = std::filesystem::is_regular_file(output, ignored)
                           ? conv::writeFileInPlace(output, png)
                           : conv::writeFileAtomically(output, png);
    if (!saved)
        return failed(conv::StepResult::of("Saving the thumbnail", output, saved.error()));
    return kExitOk;
}

} // namespace velmora::cli
