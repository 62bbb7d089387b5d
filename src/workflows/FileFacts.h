#pragma once

#include "base/Result.h"
#include "base/StepResult.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "formats/DdsImageCheck.h"
#include "formats/DdsReader.h"
#include "formats/PictureReader.h"
#include "gamefile/GameFileInspection.h"
#include "workflows/ImageInput.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace velmora::conversion {

// What Velmora can tell about any file it handles, for `velmora-cli info` and the preview
// window alike: they print it each their own way, but find it out here, once.
struct FileFacts {
    // A game file, a DDS image or another picture. A file that is none of these is taken for
    // a damaged game file, so its header fields still show.
    enum class Kind { GameFile, Dds, Picture };
    Kind kind = Kind::GameFile;
    std::uint64_t fileSize = 0;

    // A game file: its header and record as far as they could be read.
    GameFileInfo game;
    const MenuAnimation* mode = nullptr; // the menu tile its texture name belongs to, if any

    // A DDS image or another picture.
    FileIdentity identity;                // by the first bytes; a TGA by its header
    std::optional<DdsLayout> ddsLayout;   // a DDS whose header the reader takes
    std::optional<DdsSummary> ddsSummary; // one it refuses, as far as its header tells
    std::optional<Picture> picture;       // another picture, as the picture reader sees it
    Result<std::string> packAction;       // what Pack would do with it, or why it refuses
};

// Fails only when the file cannot be read at all; everything wrong inside it is in the facts.
// `pictures` recognises pictures other than DDS; without it such a file counts as a game file.
Result<FileFacts, StepResult> gatherFileFacts(const std::filesystem::path& path,
                                              const PictureReader* pictures);
// The same from a whole file the caller has read (the preview, which shows its picture too).
FileFacts fileFactsOf(std::span<const std::uint8_t> file, const PictureReader* pictures);

// A file's facts and the picture it shows (as shownPictureOf reads it), from one decoding of a
// picture or one inflation of a game file.
struct ShownFile {
    FileFacts facts;
    Result<Picture> picture;
};
ShownFile shownFileOf(std::span<const std::uint8_t> file, const PictureReader* pictures);

} // namespace velmora::conversion
