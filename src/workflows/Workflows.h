#pragma once

#include "base/StepResult.h"
#include "fit/ImageFitter.h"
#include "formats/PictureReader.h"
#include "workflows/CompressionComponent.h"
#include "workflows/Outcome.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

// The two conversions. `folder` is the work folder (the application folder in the GUI); path
// texts are used as the main window's boxes hold them, relative ones taken from the folder.
// A run stops at its first failing step, always ends by deleting the work files, and writes
// each output whole or not at all.
namespace velmora::conversion {

// Unpack button: "\Temp" (the chosen game file's copy) -> image at outputText + ".dds", or a
// PNG at exactly outputText when it ends in ".png".
// gameFileText is txt(2), shown in the second closing message; outputText is txt(3).
// `pictures` only names the picture formats in the message for a file that is not a game file.
Outcome runUnpack(const std::filesystem::path& folder, std::string_view gameFileText,
                  std::string_view outputText, CompressionComponent& component,
                  const PictureReader* pictures = nullptr);

// How Pack takes its inputs, beyond the paths and the texture name.
struct PackOptions {
    // The texture header: a 48-byte file or a game file; "\WE00" in the folder when empty.
    std::filesystem::path textureHeaderFile;
    // The texture header itself, taken in place of textureHeaderFile when set: the window's
    // copy of the one in the game file it last opened.
    std::optional<std::array<std::uint8_t, 48>> textureHeader;
    // Decodes pictures other than DDS; without it only DDS images are taken.
    const PictureReader* pictures = nullptr;
    // An image too detailed for the game file gets its colour precision reduced just enough
    // to fit, instead of being refused.
    bool fitIfTooDetailed = false;
    // An image block fitted earlier (fitPackImage) for this image, header and texture name:
    // packed in place of the image file's own pixels.
    const FitResult* fitted = nullptr;
    // Raised by another thread to end the run early (ErrorKind::Stopped): checked between the
    // steps and during a fit, and last just before the output is written, so a stopped run
    // writes nothing.
    const std::atomic<bool>* stop = nullptr;
    // The game file is written at outputText as it is, no ".bin" added: a menu's game files may
    // be called anything.
    bool outputNamedAsGiven = false;

    static PackOptions reading(const PictureReader* pictures) {
        PackOptions options;
        options.pictures = pictures;
        return options;
    }
};

// Pack button: image at imageText -> game file at outputText + ".bin".
// imageText is txt(0), outputText txt(1), textureName the caption of Label1. The image is a
// DDS of any layout the reader takes, or any picture options.pictures decodes.
Outcome runPack(const std::filesystem::path& folder, std::string_view imageText,
                std::string_view outputText, std::string_view textureName,
                CompressionComponent& component, const PackOptions& options = {});

// The fit Pack would make of an image too detailed for the game file, without writing any
// output, so that the user can be asked first. Ends by deleting the work files.
Result<FitResult, StepResult> fitPackImage(const std::filesystem::path& folder,
                                           std::string_view imageText, std::string_view textureName,
                                           const PackOptions& options = {});

// The steps, each usable on its own.

// "\Temp" from offset 16, cut or zero-filled to 3,000,001 bytes -> "\Tempa".
StepStatus StripGameHeader(const std::filesystem::path& folder);
// The component inflates "\Tempa" into "\Template".
StepStatus Unpack(const std::filesystem::path& folder, CompressionComponent& component);
// "\Template" from offset 48, cut or zero-filled to 4,194,432 bytes -> "\DDS".
StepStatus ExtractDdsImage(const std::filesystem::path& folder);
// A DDS header in "\DDS" that claims mip levels or a complex surface is made to describe the
// one level the block holds, so every reader opens the file; the pixels are untouched.
StepStatus CorrectImageHeader(const std::filesystem::path& folder);

// What BuildTexturePayload learnt on the way.
struct PayloadFacts {
    std::string imageFound;
    std::string imageAction;
    bool placeholderHeader = false;   // the shipped "WE00" and zeros, not a genuine header
    std::vector<std::uint8_t> record; // as written to "\Template": Pack proves its file by it
};

// Texture header + the image made into the game's block + texture name -> "\Template" (and
// its copy "\zlib").
Result<PayloadFacts, StepResult> BuildTexturePayload(const std::filesystem::path& folder,
                                                     const std::filesystem::path& imagePath,
                                                     std::string_view textureName,
                                                     const PackOptions& options = {});

// The 48-byte texture header from a file of that size (or longer), or from a game file's record.
Result<std::array<std::uint8_t, 48>> readTextureHeader(const std::filesystem::path& path);

// Whether the header is the placeholder shipped in place of the genuine one.
bool isPlaceholderHeader(std::span<const std::uint8_t> header);
// The component compresses "\Template" into "\zlib".
StepStatus Pack(const std::filesystem::path& folder, CompressionComponent& component);
// The image in "\Template" made to fit: the changed record -> "\Template", its stream -> "\zlib".
// measuredSize: the unchanged record's stream length at the strongest level, when known.
Result<FitResult, StepResult> FitPayload(const std::filesystem::path& folder,
                                         std::size_t measuredSize = 0,
                                         const std::atomic<bool>* stop = nullptr);
// "\zlib" -> "\zlibPES" with the 16-byte game header; gives the value for Text1.
Result<std::int32_t, StepResult> WriteGameFile(const std::filesystem::path& folder);

} // namespace velmora::conversion
