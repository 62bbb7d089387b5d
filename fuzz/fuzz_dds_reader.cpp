// The DDS reader on arbitrary bytes: the decoded picture or a one-line refusal, never a crash, a
// read out of bounds or an unbounded allocation. The header-only inspection must agree with the
// whole read, and every header Pack's input step makes of it must describe the game's layout.
//
// Input: byte 0 chooses the file length, the rest is the start of the file.
//   selector % 8 == 0   the file is exactly the rest
//   otherwise           the rest zero-filled to the length a 1024x1024 picture of one layout
//                       needs (BC1, BC2/BC3, 24-bit, 32-bit; each also after a DX10 header),
//                       one byte less when selector & 8, so the pixel paths are reached too
#include "base/GameFileLayout.h"
#include "formats/DdsReader.h"
#include "workflows/ImageInput.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace conv = velmora::conversion;

namespace {

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "dds reader fault: %s\n", what.c_str());
    std::abort();
}

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

constexpr std::size_t kPixels = 1024 * 1024;
constexpr std::array<std::size_t, 8> kLengths{
    0,
    128 + kPixels / 2, // BC1
    128 + kPixels,     // BC2, BC3
    128 + kPixels * 3, // 24-bit
    128 + kPixels * 4, // 32-bit: the game's image block
    148 + kPixels / 2, // DX10 BC1
    148 + kPixels,     // DX10 BC2, BC3
    148 + kPixels * 4, // DX10 32-bit
};

void checkRefusal(const conv::Error& error) {
    if (error.reason.empty())
        fault("a refusal without a message");
    if (error.reason.find_first_of("\r\n") != std::string::npos)
        fault("a refusal on more than one line: " + error.reason);
}

void checkGameHeader(std::span<const std::uint8_t> block) {
    if (block.size() != conv::kImageBlockSize)
        fault("an image block of " + std::to_string(block.size()) + " bytes");
    const bool sound = block[0] == 'D' && block[1] == 'D' && block[2] == 'S' && block[3] == ' ' &&
                       u32(block, 4) == 124 && (u32(block, 8) & 0x20000) == 0 &&
                       u32(block, 12) == 1024 && u32(block, 16) == 1024 && u32(block, 20) == 4096 &&
                       u32(block, 28) <= 1 && (u32(block, 80) & 0x45) == 0x41 &&
                       u32(block, 88) == 32 && u32(block, 92) == 0x00FF0000 &&
                       u32(block, 96) == 0x0000FF00 && u32(block, 100) == 0x000000FF &&
                       u32(block, 104) == 0xFF000000 && (u32(block, 108) & 0x400008) == 0;
    if (!sound)
        fault("the reader gave a header that is not the game's layout");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t selector = data[0];
    std::vector<std::uint8_t> file(data + 1, data + size);
    if (const std::size_t length = kLengths[selector % 8]; length != 0)
        file.resize(length - ((selector & 8) ? 1 : 0), 0);

    const auto image = conv::readDdsPicture(file);
    const std::span<const std::uint8_t> whole(file);
    const auto inspected = conv::inspectDdsHeader(
        whole.first(std::min(file.size(), conv::kDdsInspectBytes)), file.size());
    if (image.has_value() != inspected.has_value())
        fault("the header inspection and the whole read disagree");
    if (!image) {
        checkRefusal(image.error());
        if (inspected.error().kind != image.error().kind ||
            inspected.error().reason != image.error().reason)
            fault("different refusals: \"" + image.error().reason + "\" and \"" +
                  inspected.error().reason + "\"");
    } else {
        const conv::DdsLayout& layout = image->layout;
        if (!(layout == *inspected))
            fault("the inspection describes another layout than the read");
        if (layout.width == 0 || layout.height == 0 || layout.neededBytes > file.size() ||
            image->bgra.size() != std::size_t{layout.width} * layout.height * 4 ||
            layout.format.empty() || layout.mipCount == 0)
            fault("an accepted image with an odd description: " + layout.format);
        const auto packed = conv::prepareImage(file, nullptr);
        if (packed)
            checkGameHeader(packed->block);
        else if (layout.width == 1024 && layout.height == 1024)
            fault("Pack refused a 1024x1024 picture the reader took: " + packed.error().reason);
        if (packed && packed->action.empty())
            fault("Pack took a picture without saying how");
    }

    // Given fewer bytes than the file has, the inspection refuses or is sure of the header.
    const std::size_t partial =
        std::min<std::size_t>(file.size(), size % (conv::kDdsInspectBytes + 1));
    const auto fromPart = conv::inspectDdsHeader(whole.first(partial), file.size());
    if (fromPart && partial < conv::kDdsHeaderSize)
        fault("a layout from only " + std::to_string(partial) + " bytes");
    if (!fromPart)
        checkRefusal(fromPart.error());

    if (file.size() >= conv::kDdsHeaderSize) {
        std::array<std::uint8_t, conv::kDdsHeaderSize> header{};
        std::copy_n(file.begin(), conv::kDdsHeaderSize, header.begin());
        conv::setSingleMipLevel(header);
        const std::span<const std::uint8_t> h(header);
        if ((u32(h, 8) & 0x20000) != 0 || u32(h, 28) != 0 || (u32(h, 108) & 0x400008) != 0)
            fault("setSingleMipLevel left a mip field");
    }
    return 0;
}
