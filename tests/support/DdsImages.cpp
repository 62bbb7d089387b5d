#include "DdsImages.h"

#include "formats/DdsImageCheck.h"

#include <cmath>
#include <random>

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

namespace {

std::uint8_t clamp(double v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v));
}

} // namespace

Bytes photoLikeImage(double grain, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, grain);
    return paintDdsImage([&](int x, int y, std::uint8_t* rgba) {
        const double base =
            110 + 60 * std::sin(x / 97.0) * std::cos(y / 131.0) + 30 * std::sin((x - y) / 41.0);
        rgba[0] = clamp(base + 40 + noise(random));
        rgba[1] = clamp(base + 10 * std::sin(y / 23.0) + noise(random));
        rgba[2] = clamp(base - 30 + 20 * std::cos(x / 57.0) + noise(random));
        rgba[3] = 255;
    });
}

Bytes gradientWithNoiseImage(std::uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    return paintDdsImage([&](int x, int y, std::uint8_t* rgba) {
        const double grain = 0.5 + 6.0 * y / 1024;
        rgba[0] = clamp(255 - (x + y) / 8.0 + grain * noise(random));
        rgba[1] = clamp(y / 4.0 + grain * noise(random));
        rgba[2] = clamp(x / 4.0 + grain * noise(random));
        rgba[3] = 255;
    });
}

} // namespace velmora::test
