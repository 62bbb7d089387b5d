#pragma once

#include "base/Result.h"
#include "formats/PictureReader.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Reads the TGA pictures editors write, in the core, because TGA has no signature and the
// toolkit's readers mistake it for other formats or show it upside down.
//
// Accepted: image types 1, 2, 3 (colour-mapped, true colour, greyscale) and their RLE forms 9, 10,
// 11; true colour of 15, 16, 24 or 32 bits (bytes B,G,R[,A]; 15/16 bits as 5-5-5), greyscale of 8
// bits or 16 with alpha, 8- or 16-bit indices into a colour map of 15-, 16-, 24- or 32-bit
// entries. RLE packets may run on from one row to the next. Rows and columns are put in order
// from the descriptor's origin bits. Alpha is read only when the descriptor counts attribute bits
// (exactly one for 5-5-5), and a TGA 2.0 extension area's alpha type can say that it is not
// alpha (0-2) or premultiplied (4, undone here).
// Refused, with what was found: other image types, interleaved rows, sides over 16384, and files
// cut short, with RLE packets past the end of the picture or with indices outside the colour map.
namespace velmora::conversion {

inline constexpr std::size_t kTgaHeaderSize = 18;
inline constexpr std::uint32_t kTgaMaxSide = kMaxPictureSide;

// Whether a file is a TGA. `head` is the start of the file (the whole file when its size is
// fileSize, and only then is the TGA 2.0 footer looked at). The header alone must be plausible
// throughout, so random bytes and other formats are not taken for TGA; callers rule out the
// formats that carry a signature first.
bool looksLikeTga(std::span<const std::uint8_t> head, std::uint64_t fileSize);

// What a TGA holds, from its header and extension area.
struct TgaLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // "32-bit true colour with alpha (bytes B,G,R,A), RLE, origin bottom-left"
    std::string description;
    bool hasAlpha = false;
    bool premultiplied = false; // alpha the file premultiplied, made straight when read

    bool operator==(const TgaLayout&) const = default;
};

// The header only, checked against the file's length: what the file holds, or why it cannot be
// read (ErrorKind::Damaged for a file that is cut short or inconsistent, ErrorKind::Unsupported
// for a layout Velmora does not read). Any size up to 16384x16384 is taken.
Result<TgaLayout> inspectTga(std::span<const std::uint8_t> file);

// The whole picture, B8G8R8A8 rows from the top, straight alpha (format "TGA", layout the
// description), or the refusal inspectTga gives, or one for damaged pixel data.
Result<Picture> readTga(std::span<const std::uint8_t> file);

} // namespace velmora::conversion
