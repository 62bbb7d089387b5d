#pragma once

#include "base/Result.h"
#include "formats/PictureReader.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The conversions the menu workspace runs on one tile, each in a private work folder of its own
// so that any number can run at once. Safe on any thread.
namespace velmora::workspace {

namespace conv = velmora::conversion;

// The tile's picture to `output`: a PNG when it ends in ".png", else a DDS (".dds" added unless
// there). Written whole or not at all.
conv::Result<> unpackTile(const std::filesystem::path& gameFile,
                          const std::filesystem::path& output, const conv::PictureReader& pictures);

struct PackedTile {
    std::optional<double> fittedPsnr; // set when the picture had to be fitted
};

// Packs `picture` with the tile's texture name and header and puts the result over `gameFile`
// (atomically; a failure leaves it as it was). Without `fit`, a picture too detailed for the
// game file fails with ErrorKind::DoesNotFit.
conv::Result<PackedTile> packTile(const std::filesystem::path& picture,
                                  const std::filesystem::path& gameFile,
                                  const std::string& textureName,
                                  const std::array<std::uint8_t, 48>& header, bool fit,
                                  const conv::PictureReader& pictures);

} // namespace velmora::workspace
