#include "DdsImages.h"

#include "conversion/DdsImageCheck.h"

namespace velmora::test {

Bytes blankDdsImage(int side) {
    const auto edge = static_cast<std::uint32_t>(side);
    Bytes image = conversion::makeDdsHeader(edge, edge);
    image.resize(128 + std::size_t{edge} * edge * 4, 0);
    return image;
}

Bytes validImage(std::uint32_t seed) {
    const int cx = 200 + static_cast<int>(seed * 37 % 600);
    const int cy = 200 + static_cast<int>(seed * 91 % 600);
    return paintDdsImage([&](int x, int y, std::uint8_t* rgba) {
        const int dx = x - cx;
        const int dy = y - cy;
        const bool inShape = dx * dx + dy * dy < 150 * 150 || (x > cy && x < cy + 80);
        rgba[0] = static_cast<std::uint8_t>((x + y) / 8 + seed * 3);
        rgba[1] = static_cast<std::uint8_t>(inShape ? 200 : y / 4 + seed);
        rgba[2] = static_cast<std::uint8_t>(inShape ? 40 + seed : x / 4);
        rgba[3] = 0xFF;
    });
}

} // namespace velmora::test
