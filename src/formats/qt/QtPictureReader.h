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
};

} // namespace velmora::images
