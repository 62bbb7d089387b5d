#include "windows/ColourKey.h"

#include <array>

namespace velmora {

namespace {

// The classic XP colour scheme, as 0x00BBGGRR, indexed by system colour number.
constexpr std::array<std::uint32_t, 31> kXpColours = {
    0xC8D0D4, 0x984E00, 0xE35400, 0xDF967A, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0xC56A31, 0xFFFFFF, 0xD8E9EC,
    0x99A8AC, 0x99A8AC, 0x000000, 0xF8E4D8, 0xFFFFFF, 0x646F71, 0xE2EFF1, 0x000000,
    0xE1FFFF, 0xB5B5B5, 0x800000, 0xFF953D, 0xEBB99D, 0xC56A31, 0xD8E9EC};

std::optional<std::uint32_t> systemColour(std::uint32_t index) {
    if (index >= kXpColours.size()) {
        return std::nullopt;
    }
    return kXpColours[index];
}

} // namespace

std::optional<std::uint32_t> colourKey(std::uint32_t colour) {
    if (colour < 0x1000000u) {
        return colour;
    }
    if ((colour & 0xFF000000u) == 0x80000000u) {
        return systemColour(colour & 0x00FFFFFFu);
    }
    return std::nullopt;
}

QColor colourOf(std::uint32_t colour) {
    const std::uint32_t rgb = colourKey(colour).value_or(0);
    return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>((rgb >> 16) & 0xFF));
}

} // namespace velmora
