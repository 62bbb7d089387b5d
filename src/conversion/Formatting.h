#pragma once

#include <cstdint>
#include <string>

namespace velmora::conversion {

// 2400001 -> "2,400,001", as the messages show sizes.
std::string groupedNumber(std::uint64_t value);

} // namespace velmora::conversion
