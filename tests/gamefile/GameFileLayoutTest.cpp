// Byte layouts of the steps that read and write the game file, the work files and the record.
#include "ConversionTestSupport.h"

#include "base/Formatting.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

Bytes pattern(std::size_t size, std::uint8_t salt) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + salt) | 1); // never zero, so fill shows
    return bytes;
}

class WriteGameFileLayout : public testing::TestWithParam<std::size_t> {};

TEST_P(WriteGameFileLayout, HeaderFieldsThenStreamThenZeros) {
    TempFolder folder;
    const std::size_t length = GetParam();
    const Bytes stream = pattern(length, 3);
    writeFile(workFilePath(folder.path(), WorkFile::Zlib), stream);

    const auto stored = WriteGameFile(folder.path());
    ASSERT_TRUE(stored) << failureText(stored);
    EXPECT_EQ(*stored, static_cast<std::int32_t>(length) - 4);

    const Bytes game = readFile(workFilePath(folder.path(), WorkFile::ZlibPES));
    ASSERT_EQ(game.size(), 2'400'017u);
    const Bytes lead{0x00, 0x01, 0x01, 'W', 'E', 'S', 'Y', 'S'};
    EXPECT_EQ(Bytes(game.begin(), game.begin() + 8), lead);
    EXPECT_EQ(readLe32(game, 8), static_cast<std::uint32_t>(length - 4));
    EXPECT_EQ(Bytes(game.begin() + 12, game.begin() + 16), (Bytes{0xD0, 0x00, 0x40, 0x00}));
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), game.begin() + 16));
    EXPECT_TRUE(std::all_of(game.begin() + 16 + static_cast<std::ptrdiff_t>(length), game.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(StreamLengths, WriteGameFileLayout,
                         testing::Values(std::size_t{8}, std::size_t{1'234'567},
                                         kCompressedBlockSize));

TEST(WriteGameFile, RefusesAStreamThatDoesNotFitInsteadOfCuttingIt) {
    TempFolder folder;
    writeFile(workFilePath(folder.path(), WorkFile::Zlib), pattern(kCompressedBlockSize + 1, 1));
    const auto result = WriteGameFile(folder.path());
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, ErrorKind::DoesNotFit);
    EXPECT_NE(
        failureText(result).find("too detailed to fit the game file: 2,400,002 bytes compressed, "
                                 "2,400,001 allowed"),
        std::string::npos)
        << failureText(result);
    EXPECT_FALSE(std::filesystem::exists(workFilePath(folder.path(), WorkFile::ZlibPES)));
}

// Game files of every length give a 3,000,001-byte payload: cut, or zero-filled.
class StripGameHeaderLengths : public testing::TestWithParam<std::size_t> {};

TEST_P(StripGameHeaderLengths, PayloadIsTheFileFromOffset16CutOrZeroFilled) {
    TempFolder folder;
    Bytes game = pattern(GetParam(), 9);
    if (game.size() >= 8)
        std::fill(game.begin(), game.begin() + 8,
                  0xEE); // no lead bytes, no "WESYS": read all the same
    writeFile(workFilePath(folder.path(), WorkFile::Temp), game);

    ASSERT_TRUE(StripGameHeader(folder.path()));
    const Bytes payload = readFile(workFilePath(folder.path(), WorkFile::Tempa));
    ASSERT_EQ(payload.size(), 3'000'001u);
    Bytes expected(3'000'001, 0);
    for (std::size_t i = 16; i < game.size() && i - 16 < expected.size(); ++i)
        expected[i - 16] = game[i];
    EXPECT_EQ(payload, expected);
}

INSTANTIATE_TEST_SUITE_P(GameFileLengths, StripGameHeaderLengths,
                         testing::Values(std::size_t{0}, std::size_t{10}, std::size_t{16},
                                         std::size_t{2'400'017}, std::size_t{3'000'017},
                                         std::size_t{3'000'100}));

class ExtractDdsImageLengths : public testing::TestWithParam<std::size_t> {};

TEST_P(ExtractDdsImageLengths, ImageIsTheRecordFromOffset48CutOrZeroFilled) {
    TempFolder folder;
    const Bytes record = pattern(GetParam(), 5);
    writeFile(workFilePath(folder.path(), WorkFile::Template), record);

    ASSERT_TRUE(ExtractDdsImage(folder.path()));
    const Bytes image = readFile(workFilePath(folder.path(), WorkFile::DDS));
    ASSERT_EQ(image.size(), kImageBlockSize);
    Bytes expected(kImageBlockSize, 0);
    for (std::size_t i = 48; i < record.size() && i - 48 < expected.size(); ++i)
        expected[i - 48] = record[i];
    EXPECT_EQ(image, expected);
}

// Short records, a record without name, and the two genuine record lengths (name dropped).
INSTANTIATE_TEST_SUITE_P(RecordLengths, ExtractDdsImageLengths,
                         testing::Values(std::size_t{30}, std::size_t{100'000}, kRecordNameOffset,
                                         std::size_t{4'194'506}, std::size_t{4'194'507}));

TEST(StripGameHeader, WithoutTheGameCopyAsksToChooseTheGameFileAgain) {
    TempFolder folder;
    const StepStatus result = StripGameHeader(folder.path());
    ASSERT_FALSE(result);
    EXPECT_NE(failureText(result).find("choose the game file again"), std::string::npos)
        << failureText(result);
    EXPECT_TRUE(fileNames(folder.path()).empty());
}

TEST(WorkFiles, NamesAndPathsInTheFolder) {
    const std::vector<std::pair<WorkFile, std::string>> rows{
        {WorkFile::Temp, "Temp"}, {WorkFile::Tempa, "Tempa"},     {WorkFile::Template, "Template"},
        {WorkFile::Zlib, "zlib"}, {WorkFile::ZlibPES, "zlibPES"}, {WorkFile::DDS, "DDS"},
        {WorkFile::WE00, "WE00"}};
    for (const auto& [file, name] : rows) {
        EXPECT_EQ(workFileName(file), "\\" + name);
        EXPECT_EQ(workFilePath("/app", file), std::filesystem::path("/app") / name);
    }
}

TEST(WorkFiles, DeletingRemovesTheSixAndKeepsTheTextureHeaderAndOtherFiles) {
    TempFolder folder;
    for (const char* name :
         {"Temp", "Tempa", "Template", "zlib", "zlibPES", "DDS", "WE00", "mine.dds"})
        writeText(folder / name, "x");
    deleteWorkFiles(folder.path());
    EXPECT_EQ(fileNames(folder.path()), (std::set<std::string>{"WE00", "mine.dds"}));
    deleteWorkFiles(folder.path()); // missing ones are passed over
}

TEST(WorkFiles, BrowseCopyReplacesTheCopyAndAFailedOneLeavesNoStaleCopy) {
    TempFolder folder;
    writeText(folder / "game.bin", "new game");
    writeText(folder / "Temp", "old copy");

    ASSERT_TRUE(copyToWorkFile(folder / "game.bin", folder.path(), WorkFile::Temp));
    EXPECT_EQ(readText(folder / "Temp"), "new game");

    // The earlier choice must not be converted in place of the one that failed to copy.
    const StepStatus missing = copyToWorkFile(folder / "gone.bin", folder.path(), WorkFile::Temp);
    EXPECT_FALSE(missing);
    EXPECT_NE(failureText(missing).find("gone.bin\" failed: the file does not exist"),
              std::string::npos)
        << failureText(missing);
    writeText(folder / "Template", "old record");
    EXPECT_FALSE(copyToWorkFile({}, folder.path(), WorkFile::Template));
    EXPECT_EQ(fileNames(folder.path()), (std::set<std::string>{"game.bin"}));
}

TEST(Formatting, GroupsThousands) {
    const std::vector<std::pair<std::uint64_t, std::string>> rows{{0, "0"},
                                                                  {999, "999"},
                                                                  {1000, "1,000"},
                                                                  {2'400'001, "2,400,001"},
                                                                  {12'345'678, "12,345,678"}};
    for (const auto& [value, text] : rows)
        EXPECT_EQ(groupedNumber(value), text);
}

} // namespace
} // namespace velmora::test

namespace velmora::test {
namespace {

TEST(WorkFiles, TheUsersOwnTextureHeaderWinsOverTheShippedOne) {
    TempFolder home;
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const std::filesystem::path program = home / "program";
    const std::filesystem::path data = home / "data";
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    EXPECT_EQ(defaultTextureHeader(program), program / "WE00") << "nothing installed yet";
    std::filesystem::create_directories(data / "velmora");
    writeText(data / "velmora" / "WE00", "genuine");
    EXPECT_EQ(defaultTextureHeader(program), data / "velmora" / "WE00");
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(userTextureHeaderPath(), home / ".local/share/velmora/WE00");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
} // namespace velmora::test
