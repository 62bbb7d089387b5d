// The window shaper's run scan over arbitrary pixel buffers and sizes. Each result is checked
// against a plain pixel-by-pixel reading of the same buffer: every pixel not in the key colour
// lies in exactly one run, no key-colour pixel lies in any, and every run is maximal.
#include "windows/clsTrans.h"

#include <QRegion>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Sides up to this get a buffer of the full capture size built from the input, so the scan
// runs over whole windows and not only over inputs that happen to be long enough.
constexpr int kFullBufferSide = 1100;

[[noreturn]] void fail(const char* what, int width, int height) {
    std::fprintf(stderr, "region scan fault: %s (width %d, height %d)\n", what, width, height);
    std::abort();
}

std::uint32_t pixelAt(const std::vector<std::uint8_t>& buffer, int width, int height, int x,
                      int y) {
    const std::size_t stride = static_cast<std::size_t>(velmora::captureWidth(width)) * 3u;
    const std::uint8_t* p = buffer.data() + stride * static_cast<std::size_t>(height - y) +
                            3u * static_cast<std::size_t>(x);
    return std::uint32_t{p[2]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[0]} << 16);
}

std::size_t neededBytes(int width, int height) {
    return static_cast<std::size_t>(velmora::captureWidth(width)) * 3u *
           static_cast<std::size_t>(velmora::captureHeight(height));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Layout: width (int16), height (int16), key colour (3 bytes), mode, then pixels.
    if (size < 8) {
        return 0;
    }
    const int width = static_cast<std::int16_t>(data[0] | (data[1] << 8));
    const int height = static_cast<std::int16_t>(data[2] | (data[3] << 8));
    const std::uint32_t key = data[4] | (data[5] << 8) | (data[6] << 16);
    const std::uint8_t mode = data[7];
    const std::uint8_t* pixels = data + 8;
    const std::size_t pixelBytes = size - 8;

    std::vector<std::uint8_t> buffer;
    const bool sizesValid = width >= 0 && height >= 0 && width <= velmora::kMaxShapeSide &&
                            height <= velmora::kMaxShapeSide;
    if ((mode & 1) && sizesValid && width <= kFullBufferSide && height <= kFullBufferSide) {
        // Repeat the input over the whole capture; the key colour itself is mixed in where the
        // input is empty so rows hold both kinds of pixel.
        buffer.resize(neededBytes(width, height));
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = pixelBytes ? pixels[i % pixelBytes]
                                   : static_cast<std::uint8_t>(key >> (8 * (2 - i % 3)));
        }
    } else {
        buffer.assign(pixels, pixels + pixelBytes);
        if (mode & 2) {
            // A buffer exactly one byte short of the layout must be refused, not read past.
            if (sizesValid && width <= kFullBufferSide && height <= kFullBufferSide) {
                buffer.resize(neededBytes(width, height) - 1);
            }
        }
    }

    const auto runs = velmora::scanOpaqueRuns(buffer, width, height, key);
    const bool fits = sizesValid && buffer.size() >= neededBytes(width, height);
    if (runs.has_value() != fits) {
        fail(fits ? "a valid buffer was refused" : "a buffer too short or bad sizes were accepted",
             width, height);
    }
    if (!runs) {
        return 0;
    }

    std::vector<std::uint8_t> covered(
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    for (const QRect& r : *runs) {
        if (r.height() != 1 || r.width() < 1 || r.left() < 0 || r.right() >= width || r.top() < 0 ||
            r.top() >= height) {
            fail("a run lies outside the window or is not one pixel high", width, height);
        }
        const int y = r.top();
        if (r.left() > 0 && pixelAt(buffer, width, height, r.left() - 1, y) != key) {
            fail("a run does not start at the first pixel after the key colour", width, height);
        }
        if (r.right() + 1 < width && pixelAt(buffer, width, height, r.right() + 1, y) != key) {
            fail("a run does not end at the first key-colour pixel", width, height);
        }
        for (int x = r.left(); x <= r.right(); ++x) {
            std::uint8_t& c = covered[static_cast<std::size_t>(y) * width + x];
            if (c) {
                fail("two runs overlap", width, height);
            }
            c = 1;
        }
    }
    std::size_t opaque = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool isKey = pixelAt(buffer, width, height, x, y) == key;
            opaque += isKey ? 0 : 1;
            if (covered[static_cast<std::size_t>(y) * width + x] == (isKey ? 1 : 0)) {
                fail(isKey ? "a key-colour pixel is in the region"
                           : "a pixel is missing from the region",
                     width, height);
            }
        }
    }

    // The region built from the runs covers the same number of pixels.
    const QRegion region = velmora::regionFromRuns(*runs);
    std::size_t area = 0;
    for (const QRect& r : region) {
        area += static_cast<std::size_t>(r.width()) * static_cast<std::size_t>(r.height());
    }
    if (area != opaque) {
        fail("the region's area differs from the pixels found", width, height);
    }
    return 0;
}
