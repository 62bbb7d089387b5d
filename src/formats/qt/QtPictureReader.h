#pragma once

#include "formats/PictureReader.h"

namespace velmora::images {

// Decodes pictures through Qt's image readers and plug-ins, with no colour-space or gamma
// conversion: the bytes in the file are the bytes the game gets.
class QtPictureReader final : public conversion::PictureReader {
  public:
    conversion::Result<conversion::Picture>
    describe(std::span<const std::uint8_t> file) const override;
    conversion::Result<conversion::Picture> read(std::span<const std::uint8_t> file) const override;
    // From the image plug-ins Qt finds at run time: TIFF and WebP only where
    // qt6-image-formats-plugins is installed.
    std::vector<std::string> formatNames() const override;

    // Loads Qt's image plug-ins on the calling thread. Call it on the main thread before
    // threads read pictures: a plug-in belongs to the thread that loaded it first.
    static void loadPlugIns();
};

} // namespace velmora::images
