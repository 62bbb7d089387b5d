#pragma once

#include <QColor>

#include <cstdint>
#include <optional>

namespace velmora {

// A Colour value (RGB with red in the low byte, or 0x80000000 + n for system colour n) as
// the 24-bit value red + 256·green + 65536·blue; nothing for a value that names neither.
std::optional<std::uint32_t> colourKey(std::uint32_t colour);

// The same colour for painting; black for a value that names no colour.
QColor colourOf(std::uint32_t colour);

// The system colours the windows use, as Colour values.
inline constexpr std::uint32_t kButtonFace = 0x8000000Fu;
inline constexpr std::uint32_t kGrayText = 0x80000011u;
inline constexpr std::uint32_t kButtonShadow = 0x80000010u;
inline constexpr std::uint32_t kButtonHighlight = 0x80000014u;

} // namespace velmora
