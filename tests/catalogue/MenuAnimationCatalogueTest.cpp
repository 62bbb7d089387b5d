// The menu-mode table and its three lookups.
#include "catalogue/MenuAnimationCatalogue.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

struct Row {
    const char* displayName;
    const char* textureName;
};

// The game's own table, typed out again so a slip in either copy shows.
const Row kExpected[] = {
    {"Exhibition", "topModeSelect_Mov00_Ex.tex"},
    {"Champions League", "topModeSelect_Mov01_CL.tex"},
    {"Become A Legend", "topModeSelect_Mov02_BL.tex"},
    {"Master League", "topModeSelect_Mov03_ML.tex"},
    {"Community", "topModeSelect_Mov04_Cmm.tex"},
    {"League - Cup", "topModeSelect_Mov05_LC.tex"},
    {"Online", "topModeSelect_Mov06_OL.tex"},
    {"Training", "topModeSelect_Mov07_Tl.tex"},
    {"Edit", "topModeSelect_Mov08_Ed.tex"},
    {"System Settings", "topModeSelect_Mov09_Sys.tex"},
    {"Gallery  ", "topModeSelect_Mov10_Gl.tex"},
    {"Extra Content", "topModeSelect_Mov11_EC.tex"},
    {"Copa Santander Libertadores", "topModeSelect_Mov12_SL.tex"},
};

TEST(MenuAnimationCatalogue, HoldsThe13RowsInOrder) {
    const auto rows = MenuAnimationCatalogue::rows();
    ASSERT_EQ(rows.size(), 13u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].position, static_cast<int>(i));
        EXPECT_EQ(rows[i].displayName, kExpected[i].displayName);
        EXPECT_EQ(rows[i].textureName, kExpected[i].textureName);
        EXPECT_EQ(rows[i].entryNumber, 1431 + static_cast<int>(i));
        const std::string digits = (i < 10 ? "0" : "") + std::to_string(i);
        EXPECT_EQ(rows[i].textureName.substr(17, 2), digits);
        const bool threeLetterCode = i == 4 || i == 9;
        EXPECT_EQ(rows[i].textureName.size(), threeLetterCode ? 27u : 26u);
    }
}

TEST(MenuAnimationCatalogue, ListOffersEveryRowInTableOrder) {
    const auto entries = MenuAnimationCatalogue::listEntries();
    ASSERT_EQ(entries.size(), 13u);
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(entries[i], kExpected[i].displayName);
}

struct Lookup {
    std::string text;
    const char* textureName; // nullptr: no row, the caller keeps its texture name
};

class SelectionLookup : public testing::TestWithParam<Lookup> {};

TEST_P(SelectionLookup, WholeStringExactCaseAndTrailingBlanksCount) {
    const auto found = MenuAnimationCatalogue::textureNameFor(GetParam().text);
    if (GetParam().textureName == nullptr)
        EXPECT_FALSE(found.has_value()) << *found;
    else
        EXPECT_EQ(found.value_or("none"), GetParam().textureName);
}

INSTANTIATE_TEST_SUITE_P(
    ListTexts, SelectionLookup,
    testing::Values(Lookup{"Online", "topModeSelect_Mov06_OL.tex"},
                    Lookup{"Copa Santander Libertadores", "topModeSelect_Mov12_SL.tex"},
                    Lookup{"Gallery  ", "topModeSelect_Mov10_Gl.tex"},
                    Lookup{"System Settings", "topModeSelect_Mov09_Sys.tex"},
                    Lookup{"Community", "topModeSelect_Mov04_Cmm.tex"}, Lookup{"Gallery", nullptr},
                    Lookup{"Gallery ", nullptr}, Lookup{"online", nullptr},
                    Lookup{"Online ", nullptr}, Lookup{" Online", nullptr},
                    Lookup{"League", nullptr}, Lookup{"topModeSelect_Mov06_OL.tex", nullptr},
                    Lookup{"", nullptr}));

TEST(MenuAnimationCatalogue, EveryTextureNameFindsItsOwnRowExactly) {
    for (const auto& row : MenuAnimationCatalogue::rows()) {
        ASSERT_NE(MenuAnimationCatalogue::findByTextureName(row.textureName), nullptr);
        EXPECT_EQ(MenuAnimationCatalogue::findByTextureName(row.textureName)->position,
                  row.position);
        EXPECT_EQ(MenuAnimationCatalogue::findByDisplayName(row.displayName)->position,
                  row.position);
    }
    EXPECT_EQ(MenuAnimationCatalogue::findByTextureName("topmodeselect_mov06_ol.tex"), nullptr);
    EXPECT_EQ(MenuAnimationCatalogue::findByTextureName("topModeSelect_Mov06_OL"), nullptr);
}

struct CommandLineCase {
    std::string text;
    int position; // -1: no row
};

class CommandLineLookup : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineLookup, PositionTextureOrDisplayNameIgnoringCaseAndBlanks) {
    const MenuAnimation* row = MenuAnimationCatalogue::findForCommandLine(GetParam().text);
    if (GetParam().position < 0) {
        EXPECT_EQ(row, nullptr) << row->position;
    } else {
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->position, GetParam().position);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineLookup,
    testing::Values(CommandLineCase{"0", 0}, CommandLineCase{"12", 12}, CommandLineCase{"07", 7},
                    CommandLineCase{"13", -1}, CommandLineCase{"-1", -1}, CommandLineCase{"1x", -1},
                    CommandLineCase{"gallery", 10}, CommandLineCase{"  GALLERY  ", 10},
                    CommandLineCase{"Master League", 3}, CommandLineCase{"master league ", 3},
                    CommandLineCase{"league - cup", 5},
                    CommandLineCase{"TOPMODESELECT_MOV07_TL.TEX", 7},
                    CommandLineCase{"topModeSelect_Mov04_Cmm.tex", 4},
                    CommandLineCase{"master", -1}, CommandLineCase{"", -1},
                    CommandLineCase{"   ", -1}));

} // namespace
} // namespace velmora
