#pragma once

#include "base/GameFileLayout.h"
#include "base/Result.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora::conversion {

// Below this the picture visibly suffers; the fitter refuses rather than go lower.
inline constexpr double kLowestFitPsnr = 30.0;

struct FitResult {
    std::vector<std::uint8_t> block;  // the image block (DDS header + pixels) to pack
    std::vector<std::uint8_t> stream; // zlib stream of the whole record; fits the slot
    double psnr = 0;                  // dB over blue, green and red; infinite when unchanged
    bool changed = false;
    std::string description; // for the user: "colour precision reduced", "unchanged"
    // The unchanged record's compressed size: what was too much, for telling the user.
    std::size_t unfittedSize = 0;
};

// The texture record around the image: texture header before it, texture name after it.
struct RecordFrame {
    std::span<const std::uint8_t> textureHeader;
    std::span<const std::uint8_t> textureName;
};

// Changes the colours of a 1024x1024 B8G8R8A8 image block as little as it can (by PSNR over
// blue, green and red) so that the record compresses into `slotSize` bytes. Colour precision
// is lowered band by band of rows, each band to its own number of levels, where it saves the
// most bytes per unit of error. Alpha is never changed. An image that already fits comes back
// unchanged. Refuses with ErrorKind::DoesNotFit when fitting would take the picture below
// kLowestFitPsnr, and with ErrorKind::Unsupported when the block is not a 1024x1024 image.
// Uses two threads; the same input always gives the same bytes. `measuredSize` is the unchanged
// record's size at the strongest level when the caller has just measured it and found it over
// the slot (0: measured here), which spares compressing it again. A raised `stop` ends the search
// between its measurements with ErrorKind::Stopped.
Result<FitResult> fitImageToSlot(std::span<const std::uint8_t> imageBlock, RecordFrame frame,
                                 std::size_t slotSize = kCompressedBlockSize,
                                 std::size_t measuredSize = 0,
                                 const std::atomic<bool>* stop = nullptr);

// PSNR over blue, green and red of two image blocks of the same size (the 128-byte DDS header
// is skipped); infinite for identical pixels.
double colourPsnr(std::span<const std::uint8_t> original, std::span<const std::uint8_t> changed);

} // namespace velmora::conversion
