// The TGA reader on arbitrary bytes: a picture or a one-line refusal, never a crash, a read out
// of bounds or an allocation beyond what the file's length allows. The header inspection must
// agree with the whole read, and a picture must have the size it describes.
#include "formats/TgaReader.h"
#include "workflows/ImageInput.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace conv = velmora::conversion;

namespace {

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "tga reader fault: %s\n", what.c_str());
    std::abort();
}

void checkRefusal(const conv::Error& error) {
    if (error.reason.empty())
        fault("a refusal without a message");
    if (error.reason.find_first_of("\r\n") != std::string::npos)
        fault("a refusal on more than one line: " + error.reason);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so a read one byte past the end is caught.
    const std::vector<std::uint8_t> file(data, data + size);
    const auto picture = conv::readTga(file);
    const auto layout = conv::inspectTga(file);
    if (!layout) {
        checkRefusal(layout.error());
        if (picture)
            fault("the inspection refuses what the read takes");
        if (picture.error().reason != layout.error().reason)
            fault("different refusals: \"" + picture.error().reason + "\" and \"" +
                  layout.error().reason + "\"");
    } else if (!picture) {
        checkRefusal(picture.error());
    } else {
        if (picture->width != layout->width || picture->height != layout->height ||
            picture->layout != layout->description || picture->hasAlpha != layout->hasAlpha ||
            picture->format != "TGA")
            fault("the read describes another picture than the inspection");
        if (picture->bgra.size() != std::size_t{picture->width} * picture->height * 4)
            fault("pixels of the wrong length");
        if (!picture->hasAlpha)
            for (std::size_t i = 3; i < picture->bgra.size(); i += 4)
                if (picture->bgra[i] != 0xFF)
                    fault("a picture without alpha has a pixel that is not opaque");
    }

    // Whatever identifyFile takes for a TGA, the inspection reads as one or refuses in a line.
    const std::span<const std::uint8_t> whole(file);
    const auto identity =
        conv::identifyFile(whole.first(std::min(size, conv::kIdentifyBytes)), std::uint64_t{size});
    if (identity.name == "TGA" && !conv::looksLikeTga(whole, size))
        fault("identified as TGA from the head only, but not from the whole file");
    return 0;
}
