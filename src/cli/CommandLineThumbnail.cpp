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

} // namespace

int CommandLine::thumbnail(const ParsedArguments& args) {
    const auto& positional = args.positional;
    if (positional.size() < 2 || positional.size() > 3)
        return usageError(positional.size() < 2 ? "thumbnail needs INPUT and OUTPUT"
                                                : "thumbnail takes INPUT, OUTPUT and at most SIZE");
    std::uint32_t size = kDefaultThumbnailSize;
    if (positional.size() == 3) {
        const auto given = parseWholeNumber(positional[2], 1, kMaxThumbnailSize);
        if (!given)
            return usageError("SIZE is a number of pixels: " + given.error());
        size = *given;
    }
    if (positional[1].empty())
        return usageError("OUTPUT is empty");
    const auto input = fromHere(positional[0]);
    // File managers name the output themselves: it is written under exactly that name.
    const auto output = fromHere(positional[1]);
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
