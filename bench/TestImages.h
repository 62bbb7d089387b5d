#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::bench {

// Three 1024x1024 B8G8R8A8 DDS images of the kinds users paint: a flat graphic, a gradient
// with shapes, and a photo-like image with grain.
struct TestImage {
    std::string name;
    std::vector<std::uint8_t> bytes; // 4,194,432 bytes: 128-byte header + pixels
};

std::vector<TestImage> makeTestImages();

} // namespace velmora::bench
