#include "windows/ColourKey.h"

#include "platform/SystemColors.h"

namespace velmora {

std::optional<std::uint32_t> colourKey(std::uint32_t colour) {
    gdi::COLORREF rgb = 0;
    if (!oleTranslateColor(colour, &rgb)) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(rgb) & 0xFFFFFFu;
}

QColor colourOf(std::uint32_t colour) {
    const std::uint32_t rgb = colourKey(colour).value_or(0);
    return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>((rgb >> 16) & 0xFF));
}

} // namespace velmora
