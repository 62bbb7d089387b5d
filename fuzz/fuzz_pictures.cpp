// The pictures Pack reads through the picture reader (PNG, BMP, JPEG, TIFF, WebP, GIF) on
// arbitrary bytes: described, read and prepared for Pack, each accepted or refused with a reason,
// never a crash, and a picture read is exactly as large as its header said.
#include "formats/qt/QtPictureReader.h"
#include "workflows/ImageInput.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace conv = velmora::conversion;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "picture fault: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const velmora::images::QtPictureReader pictures;
    const std::span<const std::uint8_t> file(data, size);
    const auto described = pictures.describe(file);
    if (!described) {
        if (described.error().reason.empty())
            fail("a refusal without a reason");
        return 0;
    }
    // Pack decodes nothing larger than its tile; neither does this, so the fuzzer's memory
    // bound holds.
    if (std::uint64_t{described->width} * described->height <= 1024u * 1024u) {
        const auto picture = pictures.read(file);
        if (picture) {
            if (picture->bgra.size() != std::size_t{picture->width} * picture->height * 4)
                fail("the pixels do not fill the picture");
            if (described->width != 0 &&
                (picture->width != described->width || picture->height != described->height))
                fail("the picture read is not the size described");
        } else if (picture.error().reason.empty()) {
            fail("a refusal without a reason");
        }
    }
    const auto prepared = conv::prepareImage(file, &pictures);
    if (!prepared && prepared.error().reason.empty())
        fail("a refusal without a reason");
    return 0;
}
