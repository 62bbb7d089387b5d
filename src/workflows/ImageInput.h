#pragma once

#include "base/Result.h"
#include "base/StepResult.h"
#include "formats/FileIdentity.h"
#include "formats/PictureReader.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::conversion {

// The pictures Velmora reads, for messages: TGA, which the core reads itself, and whatever
// `pictures` decodes on this system ("PNG, BMP, TGA, JPEG, TIFF, WebP").
std::string readablePictureFormats(const PictureReader* pictures);

// Why a file that is neither a game file, a DDS image nor a picture cannot be used, in the same
// words wherever it is asked for: "it is neither a game file, a DDS image nor a picture Velmora
// reads (PNG, ...)".
std::string neitherGameFileNorPicture(const PictureReader* pictures);

// The message for a file given where a game file belongs that is none, told from its first
// kIdentifyBytes (`head`, `fileSize` as for identifyFile): "this is a DDS image, not a game
// file: to make a game file from it, use pack", or neitherGameFileNorPicture for one that is no
// picture either. Empty for what may be a game file (its lead, or a zlib stream where a game
// file's begins, as in one without "WESYS"), whose own fault says more.
std::string notAGameFile(std::span<const std::uint8_t> head, std::optional<std::uint64_t> fileSize,
                         const PictureReader* pictures);
// `fault`, met reading `file` as a game file; or, when `file` is a DDS image or a picture given
// where a game file belongs, the fault that says so (in notAGameFile's words).
StepResult gameFileFault(const std::filesystem::path& file, StepResult fault,
                         const PictureReader* pictures);
inline constexpr const char* kGameFileNotPicture =
    "this is a game file: unpack it to get its image";

// The image block Pack puts into the record, made from whatever picture the user chose.
struct PackImage {
    std::vector<std::uint8_t> block; // kImageBlockSize bytes: header and B8G8R8A8 pixels
    std::string found; // "DDS, 1024x1024, 32-bit R8G8B8 (bytes B,G,R)", "PNG, 1024x1024, RGBA, ..."
    std::string action; // "used as it is", "converted: ..."
};

// What Pack does with a picture of the game's size as a reader of PictureFormats describes it
// (`fileSize`: the whole file's): "used as it is", "converted: PNG, alpha set to 255", ...
std::string packAction(const Picture& picture, std::uint64_t fileSize);

// Pack's input step: a picture any reader of PictureFormats takes (DDS, TGA, and what `pictures`
// decodes when given), made into the game's image block. Here alone live the game's 1024x1024
// rule and what Pack does with each picture; refusals say what was found and how to fix it.
// `decoded`: the file's picture as PictureFormats decoded it already, not decoded again.
Result<PackImage> prepareImage(std::span<const std::uint8_t> file, const PictureReader* pictures,
                               const Result<Picture>* decoded = nullptr);

// Reads the image file, refusing one larger than kMaxPictureFileSize, then prepares it.
Result<PackImage> loadImage(const std::filesystem::path& path, const PictureReader* pictures);

} // namespace velmora::conversion
