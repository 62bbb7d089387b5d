#pragma once

#include <cstdint>
#include <string>

namespace velmora::conversion {

// 2400001 -> "2,400,001", as the messages show sizes.
std::string groupedNumber(std::uint64_t value);

// 1024, 512 -> "1024x512", as the messages show picture sizes.
inline std::string sizeText(std::uint64_t width, std::uint64_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

} // namespace velmora::conversion
