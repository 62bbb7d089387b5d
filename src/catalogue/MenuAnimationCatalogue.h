#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace velmora {

// One tile of the game's mode-selection menu.
struct MenuAnimation {
    int position;                 // 0..12, also the two digits in the texture name
    std::string_view displayName; // as the list shows it, trailing blanks included
    std::string_view textureName; // the game's texture name, 26 or 27 ASCII characters
    int entryNumber;              // archive entry in "dt06.img": 1431 + position
};

// The fixed, built-in table of the 13 menu modes.
class MenuAnimationCatalogue {
  public:
    static constexpr int kRowCount = 13;

    // All rows in table order.
    static std::span<const MenuAnimation> rows();

    // The display names the main window lists, in table order (all 13 rows).
    static std::vector<std::string_view> listEntries();

    // The selection rule: the whole text, exact and case-sensitive, trailing blanks count.
    // Nothing when no row matches (the caller keeps its previous texture name).
    static std::optional<std::string_view> textureNameFor(std::string_view listText);
    static const MenuAnimation* findByDisplayName(std::string_view listText);

    // Exact texture name, as found at the end of a texture record.
    static const MenuAnimation* findByTextureName(std::string_view textureName);

    // What a user types on the command line: a position "0".."12", a texture name, or a
    // display name, the names compared ignoring letter case and surrounding blanks.
    static const MenuAnimation* findForCommandLine(std::string_view text);
};

} // namespace velmora
