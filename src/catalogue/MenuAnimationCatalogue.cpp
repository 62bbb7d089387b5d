#include "catalogue/MenuAnimationCatalogue.h"

#include <array>
#include <charconv>

namespace velmora {

namespace {

// Stored whole: the mode codes are irregular in length and case ("Cmm", "Sys", "Tl"), and
// row 10's display name really ends in two blanks.
constexpr std::array<MenuAnimation, MenuAnimationCatalogue::kRowCount> kRows{{
    {0, "Exhibition", "topModeSelect_Mov00_Ex.tex", 1431},
    {1, "Champions League", "topModeSelect_Mov01_CL.tex", 1432},
    {2, "Become A Legend", "topModeSelect_Mov02_BL.tex", 1433},
    {3, "Master League", "topModeSelect_Mov03_ML.tex", 1434},
    {4, "Community", "topModeSelect_Mov04_Cmm.tex", 1435},
    {5, "League - Cup", "topModeSelect_Mov05_LC.tex", 1436},
    {6, "Online", "topModeSelect_Mov06_OL.tex", 1437},
    {7, "Training", "topModeSelect_Mov07_Tl.tex", 1438},
    {8, "Edit", "topModeSelect_Mov08_Ed.tex", 1439},
    {9, "System Settings", "topModeSelect_Mov09_Sys.tex", 1440},
    {10, "Gallery  ", "topModeSelect_Mov10_Gl.tex", 1441},
    {11, "Extra Content", "topModeSelect_Mov11_EC.tex", 1442},
    {12, "Copa Santander Libertadores", "topModeSelect_Mov12_SL.tex", 1443},
}};

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

} // namespace

std::span<const MenuAnimation> MenuAnimationCatalogue::rows() {
    return kRows;
}

std::vector<std::string_view> MenuAnimationCatalogue::listEntries() {
    std::vector<std::string_view> names;
    names.reserve(kRows.size());
    for (const auto& row : kRows)
        names.push_back(row.displayName);
    return names;
}

const MenuAnimation* MenuAnimationCatalogue::findByDisplayName(std::string_view listText) {
    // Every row is compared and the last match wins, so no row can shadow a later one.
    const MenuAnimation* match = nullptr;
    for (const auto& row : kRows)
        if (row.displayName == listText)
            match = &row;
    return match;
}

std::optional<std::string_view> MenuAnimationCatalogue::textureNameFor(std::string_view listText) {
    if (const auto* row = findByDisplayName(listText))
        return row->textureName;
    return std::nullopt;
}

const MenuAnimation* MenuAnimationCatalogue::findByTextureName(std::string_view textureName) {
    for (const auto& row : kRows)
        if (row.textureName == textureName)
            return &row;
    return nullptr;
}

const MenuAnimation* MenuAnimationCatalogue::findForCommandLine(std::string_view text) {
    const std::string_view wanted = trimmed(text);
    if (wanted.empty())
        return nullptr;
    int position = -1;
    const auto [end, error] =
        std::from_chars(wanted.data(), wanted.data() + wanted.size(), position);
    if (error == std::errc() && end == wanted.data() + wanted.size())
        return (position >= 0 && position < kRowCount) ? &kRows[static_cast<std::size_t>(position)]
                                                       : nullptr;
    for (const auto& row : kRows)
        if (equalIgnoringCase(row.textureName, wanted) ||
            equalIgnoringCase(trimmed(row.displayName), wanted))
            return &row;
    return nullptr;
}

} // namespace velmora
