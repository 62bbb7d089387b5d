#pragma once

// DDS images for tests and the benchmark, all built on the core's makeDdsHeader.
#include "FileHelpers.h"

#include <cstddef>
#include <cstdint>

namespace velmora::test {

// The 128-byte header of an uncompressed `side` x `side` B8G8R8A8 image followed by zeroed pixels.
Bytes blankDdsImage(int side = 1024);

// An uncompressed `side` x `side` B8G8R8A8 image; shade(x, y, rgba) gives each pixel's red,
// green, blue and alpha, which are stored in the file's blue-green-red-alpha order.
template <typename Shade> Bytes paintDdsImage(Shade&& shade, int side = 1024) {
    Bytes image = blankDdsImage(side);
    std::uint8_t* pixel = image.data() + 128;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x, pixel += 4) {
            std::uint8_t rgba[4] = {};
            shade(x, y, rgba);
            pixel[0] = rgba[2];
            pixel[1] = rgba[1];
            pixel[2] = rgba[0];
            pixel[3] = rgba[3];
        }
    }
    return image;
}

// The image the game takes, 4,194,432 bytes: 1024 x 1024, smooth gradients and shapes, so its
// stream fits a game file. `seed` varies the pixels, so images of two seeds differ.
Bytes validImage(std::uint32_t seed = 1);

// Smooth shapes under sensor-like grain with the given standard deviation in levels: the
// stronger the grain, the less compresses, as with photographs (grain 1 fits a game file,
// 3 to 6 miss it by 20 to 30 %). Opaque.
Bytes photoLikeImage(double grain = 1.0, std::uint32_t seed = 2024);

// Gradients under noise that grows from the smooth top to the grainy bottom, so the detail is
// not spread evenly. Opaque.
Bytes gradientWithNoiseImage(std::uint32_t seed = 7);

} // namespace velmora::test
