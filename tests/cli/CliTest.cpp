// velmora-cli as a user runs it: exit statuses, messages, file names, parallel runs.
#include "TestPaths.h"

#include "CliInProcess.h"
#include "DdsImages.h"
#include "FileHelpers.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include "base/ByteOrder.h"
#include "formats/DdsImageCheck.h"
#include "formats/PngWriter.h"
#include "velmora/Version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace velmora::test {
namespace {

int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Cli, PackThenUnpackGivesTheImageBackByteForByte) {
    TempFolder f;
    const Bytes image = validImage(9);
    writeFile(f / "tile.dds", image);

    const ProcessResult pack = runCliInProcess(f, {"pack", "tile.dds", "Master League", "out"});
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    // The WE00 beside the build's binaries is the shipped placeholder.
    EXPECT_EQ(lineCount(pack.err), 1) << pack.err;
    EXPECT_NE(pack.err.find("warning: the texture header is the placeholder"), std::string::npos)
        << pack.err;
    EXPECT_NE(pack.out.find("stored length: "), std::string::npos) << pack.out;
    EXPECT_EQ(readFile(f / "out.bin").size(), 2'400'017u);

    const ProcessResult unpack = runCliInProcess(f, {"unpack", "out.bin", "back.DDS"});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.err;
    EXPECT_EQ(readFile(f / "back.DDS"), image);
    EXPECT_FALSE(std::filesystem::exists(f / "back.DDS.dds"));

    const ProcessResult info = runCliInProcess(f, {"info", "out.bin"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (const char* expected :
         {"topModeSelect_Mov03_ML.tex", "3 \"Master League\"", "1024x1024 B8G8R8A8",
          "record size:     4,194,506 bytes", "magic WESYS:     yes"})
        EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;
    EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{}); // private work folders removed
}

TEST(Cli, HeaderOptionAndHeaderCommandCarryTheSame48Bytes) {
    TempFolder f;
    writeFile(f / "tile.dds", validImage());
    Bytes genuine(48);
    for (std::size_t i = 0; i < genuine.size(); ++i)
        genuine[i] = static_cast<std::uint8_t>(200 - i);
    writeFile(f / "genuine48", genuine);

    ASSERT_EQ(runCliInProcess(f, {"pack", "tile.dds", "4", "g", "--header", "genuine48"}).exitCode,
              0);
    const ProcessResult header = runCliInProcess(f, {"header", "g.bin", "extracted"});
    ASSERT_EQ(header.exitCode, 0) << header.err;
    EXPECT_EQ(readFile(f / "extracted"), genuine);
    const ProcessResult info = runCliInProcess(f, {"info", "g.bin"});
    EXPECT_NE(info.out.find("topModeSelect_Mov04_Cmm.tex"), std::string::npos);

    // A game file carries its texture header to the next pack, with no placeholder warning.
    const ProcessResult again =
        runCliInProcess(f, {"pack", "tile.dds", "5", "h", "--header", "g.bin"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(again.err.empty()) << again.err;
    ASSERT_EQ(runCliInProcess(f, {"header", "h.bin", "extracted2"}).exitCode, 0);
    EXPECT_EQ(readFile(f / "extracted2"), genuine);
}

TEST(Cli, FitMakesATooDetailedImageFitAndSaysByHowMuch) {
    TempFolder f;
    writeFile(f / "photo.dds", photoLikeImage(3.0));
    const ProcessResult refused = runCliInProcess(f, {"pack", "photo.dds", "0", "out"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("pack --fit"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("blurring does not help"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(f / "out.bin"));

    const ProcessResult fitted = runCliInProcess(f, {"pack", "photo.dds", "0", "out", "--fit"});
    ASSERT_EQ(fitted.exitCode, 0) << fitted.err;
    EXPECT_NE(fitted.out.find("fitted: colour precision reduced, PSNR "), std::string::npos)
        << fitted.out;
    EXPECT_EQ(readFile(f / "out.bin").size(), 2'400'017u);

    // The picture fit writes packs as it is, with no fitting left to do.
    ASSERT_EQ(runCliInProcess(f, {"fit", "photo.dds", "look.png"}).exitCode, 0);
    const ProcessResult again = runCliInProcess(f, {"pack", "look.png", "0", "again"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out.find("fitted:"), std::string::npos) << again.out;
}

TEST(Cli, InfoOnAPictureSaysWhatItIsAndWhatPackWouldDo) {
    TempFolder f;
    Bytes mips = validImage();
    conversion::writeLe32(mips, 8, conversion::readLe32(mips, 8) | 0x20000);
    conversion::writeLe32(mips, 28, 11);
    std::copy_n("GIMP-DDS", 8, mips.begin() + 32);
    mips.resize(5'592'532, 0x5A);
    writeFile(f / "mips.dds", mips);
    Bytes small = conversion::makeDdsHeader(512, 512);
    small.resize(128 + 512 * 512 * 4);
    writeFile(f / "small.dds", small);
    writeFile(f / "tile.png", conversion::encodePng(Bytes(4 * 1024 * 1024, 0x7F), 1024, 1024));
    const std::vector<std::pair<const char*, std::vector<const char*>>> rows{
        {"mips.dds",
         {"kind:            DDS image", "size:            1024x1024", "mip levels:      11",
          "written by:      GIMP-DDS", "pack:            used as it is"}},
        {"small.dds", {"size:            512x512", "pack:            refused: it is 512x512"}},
        {"tile.png",
         {"kind:            PNG picture", "layout:          RGBA, 8 bits per channel",
          "pack:            converted: PNG"}}};
    for (const auto& [file, expected] : rows) {
        const ProcessResult info = runCliInProcess(f, {"info", file});
        EXPECT_EQ(info.exitCode, 0) << info.err;
        for (const char* line : expected)
            EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
    }
}

TEST(Cli, PackWithoutHeaderUsesTheWE00BesideTheProgram) {
    TempFolder f;
    writeFile(f / "tile.dds", validImage());
    ASSERT_EQ(runCliInProcess(f, {"pack", "tile.dds", "gallery", "g.bin"}).exitCode, 0);
    ASSERT_EQ(runCliInProcess(f, {"header", "g.bin", "h"}).exitCode, 0);
    EXPECT_EQ(readFile(f / "h"), readFile(std::filesystem::path(kBinDir) / "WE00"));
}

struct ExitCase {
    std::vector<std::string> arguments;
    int status;
    const char* stderrText; // part of the one message, nullptr: stderr empty
};

class CliExit : public testing::TestWithParam<ExitCase> {};

TEST_P(CliExit, StatusAndMessage) {
    TempFolder f;
    writeFile(f / "tile.dds", validImage());
    writeText(f / "notgame.bin", "not a game file");
    writeText(f / "out", "unrelated");
    const ProcessResult run = runCliInProcess(f, GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().status) << run.err;
    if (GetParam().stderrText == nullptr) {
        EXPECT_TRUE(run.err.empty()) << run.err;
    } else {
        EXPECT_NE(run.err.find(GetParam().stderrText), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("velmora-cli: ", 0), 0u);
        if (GetParam().status == 1) {
            EXPECT_EQ(lineCount(run.err), 1) << run.err;
        }
    }
    EXPECT_EQ(readText(f / "out"), "unrelated");
    EXPECT_FALSE(std::filesystem::exists(f / "out.bin"));
    EXPECT_FALSE(std::filesystem::exists(f / "out.dds"));
    EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliExit,
    testing::Values(
        ExitCase{{"--help"}, 0, nullptr}, ExitCase{{"--version"}, 0, nullptr},
        ExitCase{{"modes"}, 0, nullptr}, ExitCase{{}, 2, "no command"},
        ExitCase{{"explode"}, 2, "unknown command \"explode\""},
        ExitCase{{"unpack", "notgame.bin"}, 2, "unpack needs GAME_FILE and OUTPUT"},
        ExitCase{{"pack", "tile.dds", "13", "out"}, 2, "unknown mode \"13\""},
        ExitCase{{"pack", "tile.dds", "online"}, 2, "pack needs IMAGE, MODE and OUTPUT"},
        ExitCase{{"pack", "tile.dds", "online", "out", "--header"}, 2, "--header needs a FILE"},
        ExitCase{{"pack", "tile.dds", "online", "out", "--fast"}, 2, "unknown option"},
        ExitCase{{"info"}, 2, "info needs GAME_FILE"},
        ExitCase{
            {"unpack", "missing.bin", "out"}, 1, "missing.bin\" failed: the file does not exist"},
        ExitCase{{"unpack", "notgame.bin", "out"},
                 1,
                 "notgame.bin\" failed: it is neither a game file, a DDS image nor a picture "
                 "Velmora reads (PNG, BMP, TGA, JPEG"},
        ExitCase{{"pack", "notgame.bin", "online", "out"},
                 1,
                 "neither a DDS image nor a picture Velmora reads"},
        ExitCase{{"pack", "tile.dds", "online", "out", "--header", "missing48"},
                 1,
                 "Reading the texture header"},
        ExitCase{{"info", "notgame.bin"}, 1, "Decompressing"},
        ExitCase{{"header", "notgame.bin", "out"}, 1, "it is neither a game file, a DDS image"},
        ExitCase{{"unpack", "tile.dds", "out"},
                 1,
                 "this is a DDS image, not a game file: to make a game file from it, use pack"},
        ExitCase{{"header", "tile.dds", "out"}, 1, "this is a DDS image, not a game file"}));

// The version printed is project()'s, the one the window's title shows.
TEST(Cli, VersionIsTheProjectVersion) {
    TempFolder f;
    for (const char* option : {"--version", "-V"}) {
        const ProcessResult run = runCliInProcess(f, {option});
        ASSERT_EQ(run.exitCode, 0) << option;
        EXPECT_EQ(run.out, "velmora-cli " VELMORA_VERSION "\n") << option;
    }
}

TEST(Cli, ModesListsThe13Rows) {
    TempFolder f;
    const ProcessResult run = runCliInProcess(f, {"modes"});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(lineCount(run.out), 13);
    EXPECT_NE(run.out.find("\"Gallery  \""), std::string::npos);
    EXPECT_NE(run.out.find("topModeSelect_Mov09_Sys.tex"), std::string::npos);
}

TEST(Cli, ParallelRunsNeverCollide) {
    TempFolder f;
    const int runs = 4;
    for (int i = 0; i < runs; ++i)
        writeFile(f / ("in" + std::to_string(i) + ".dds"),
                  validImage(static_cast<std::uint32_t>(i + 1)));
    std::vector<ProcessResult> results(runs);
    std::vector<std::thread> threads;
    for (int i = 0; i < runs; ++i) {
        threads.emplace_back([&f, &results, i] {
            const std::string n = std::to_string(i);
            results[i] = runCli(f, {"pack", "in" + n + ".dds", n, "g" + n});
            if (results[i].exitCode == 0)
                results[i] = runCli(f, {"unpack", "g" + n + ".bin", "back" + n});
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < runs; ++i) {
        const std::string n = std::to_string(i);
        SCOPED_TRACE(n);
        EXPECT_EQ(results[i].exitCode, 0) << results[i].err;
        EXPECT_EQ(readFile(f / ("back" + n + ".dds")), readFile(f / ("in" + n + ".dds")));
    }
    EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{});
}

} // namespace
} // namespace velmora::test
