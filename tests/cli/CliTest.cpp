// velmora-cli as a user runs it: exit statuses, messages, file names, parallel runs.
#include "TestPaths.h"

#include "../conversion/ConversionTestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>

namespace velmora::test {
namespace {

const std::string kCli = std::string(kBinDir) + "/velmora-cli";

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the program in `folder` with its temporary folder inside it, so leftovers show.
CliRun runCli(const TempFolder& folder, const std::string& arguments)
{
    std::filesystem::create_directories(folder / "tmp");
    const std::string command = "cd " + quoted(folder.path().string()) + " && TMPDIR=" +
                                quoted((folder / "tmp").string()) + " " + quoted(kCli) + " " +
                                arguments + " >" + quoted((folder / "stdout").string()) + " 2>" +
                                quoted((folder / "stderr").string());
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readText(folder / "stdout");
    run.err = readText(folder / "stderr");
    std::filesystem::remove(folder / "stdout");
    std::filesystem::remove(folder / "stderr");
    return run;
}

int lineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Cli, PackThenUnpackGivesTheImageBackByteForByte)
{
    TempFolder f;
    const Bytes image = validImage(9);
    writeFile(f / "tile.dds", image);

    const CliRun pack = runCli(f, "pack tile.dds 'Master League' out");
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_TRUE(pack.err.empty());
    EXPECT_NE(pack.out.find("stored length: "), std::string::npos) << pack.out;
    EXPECT_EQ(readFile(f / "out.bin").size(), 2'400'017u);

    const CliRun unpack = runCli(f, "unpack out.bin back.DDS");
    ASSERT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_EQ(readFile(f / "back.DDS"), image);
    EXPECT_FALSE(std::filesystem::exists(f / "back.DDS.dds"));

    const CliRun info = runCli(f, "info out.bin");
    ASSERT_EQ(info.status, 0) << info.err;
    for (const char* expected : {"topModeSelect_Mov03_ML.tex", "3 \"Master League\"", "1024x1024 B8G8R8A8",
                                 "record size:     4,194,506 bytes", "magic WESYS:     yes"})
        EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;
    EXPECT_TRUE(std::filesystem::is_empty(f / "tmp"));  // private work folders removed
}

TEST(Cli, HeaderOptionAndHeaderCommandCarryTheSame48Bytes)
{
    TempFolder f;
    writeFile(f / "tile.dds", validImage());
    Bytes genuine(48);
    for (std::size_t i = 0; i < genuine.size(); ++i)
        genuine[i] = static_cast<std::uint8_t>(200 - i);
    writeFile(f / "genuine48", genuine);

    ASSERT_EQ(runCli(f, "pack tile.dds 4 g --header genuine48").status, 0);
    const CliRun header = runCli(f, "header g.bin extracted");
    ASSERT_EQ(header.status, 0) << header.err;
    EXPECT_EQ(readFile(f / "extracted"), genuine);
    const CliRun info = runCli(f, "info g.bin");
    EXPECT_NE(info.out.find("topModeSelect_Mov04_Cmm.tex"), std::string::npos);
}

TEST(Cli, PackWithoutHeaderUsesTheWE00BesideTheProgram)
{
    TempFolder f;
    writeFile(f / "tile.dds", validImage());
    ASSERT_EQ(runCli(f, "pack tile.dds gallery g.bin").status, 0);
    ASSERT_EQ(runCli(f, "header g.bin h").status, 0);
    EXPECT_EQ(readFile(f / "h"), readFile(std::filesystem::path(kBinDir) / "WE00"));
}

struct ExitCase {
    const char* arguments;
    int status;
    const char* stderrText;  // part of the one message, nullptr: stderr empty
};

class CliExit : public testing::TestWithParam<ExitCase> {};

TEST_P(CliExit, StatusAndMessage)
{
    TempFolder f;
    writeFile(f / "tile.dds", validImage());
    writeText(f / "notgame.bin", "not a game file");
    writeText(f / "out", "unrelated");
    const CliRun run = runCli(f, GetParam().arguments);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
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
    EXPECT_TRUE(std::filesystem::is_empty(f / "tmp"));
}

INSTANTIATE_TEST_SUITE_P(Commands, CliExit, testing::Values(
    ExitCase{"--help", 0, nullptr},
    ExitCase{"--version", 0, nullptr},
    ExitCase{"modes", 0, nullptr},
    ExitCase{"", 2, "no command"},
    ExitCase{"explode", 2, "unknown command \"explode\""},
    ExitCase{"unpack notgame.bin", 2, "unpack needs GAME_FILE and OUTPUT"},
    ExitCase{"pack tile.dds 13 out", 2, "unknown mode \"13\""},
    ExitCase{"pack tile.dds online", 2, "pack needs IMAGE, MODE and OUTPUT"},
    ExitCase{"pack tile.dds online out --header", 2, "--header needs a FILE"},
    ExitCase{"pack tile.dds online out --fast", 2, "unknown option"},
    ExitCase{"info", 2, "info needs GAME_FILE"},
    ExitCase{"unpack missing.bin out", 1, "missing.bin\" failed: the file does not exist"},
    ExitCase{"unpack notgame.bin out", 1, "notgame.bin\" failed: the data does not begin with a zlib stream"},
    ExitCase{"pack notgame.bin online out", 1, "not a DDS image"},
    ExitCase{"pack tile.dds online out --header missing48", 1, "Reading the texture header"},
    ExitCase{"info notgame.bin", 1, "Decompressing"},
    ExitCase{"header notgame.bin out", 1, "Decompressing"}));

TEST(Cli, ModesListsThe13Rows)
{
    TempFolder f;
    const CliRun run = runCli(f, "modes");
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(lineCount(run.out), 13);
    EXPECT_NE(run.out.find("\"Gallery  \""), std::string::npos);
    EXPECT_NE(run.out.find("topModeSelect_Mov09_Sys.tex"), std::string::npos);
}

TEST(Cli, ParallelRunsNeverCollide)
{
    TempFolder f;
    const int runs = 4;
    for (int i = 0; i < runs; ++i)
        writeFile(f / ("in" + std::to_string(i) + ".dds"), validImage(static_cast<std::uint32_t>(i + 1)));
    std::filesystem::create_directories(f / "tmp");
    std::string script = "cd " + quoted(f.path().string()) + " && export TMPDIR=tmp; ";
    for (int i = 0; i < runs; ++i) {
        const std::string n = std::to_string(i);
        script += "( " + quoted(kCli) + " pack in" + n + ".dds " + n + " g" + n + " >/dev/null && " + quoted(kCli) +
                  " unpack g" + n + ".bin back" + n + " >/dev/null; echo $? > rc" + n + " ) & ";
    }
    script += "wait";
    ASSERT_EQ(std::system(script.c_str()), 0);
    for (int i = 0; i < runs; ++i) {
        const std::string n = std::to_string(i);
        SCOPED_TRACE(n);
        EXPECT_EQ(readText(f / ("rc" + n)), "0\n");
        EXPECT_EQ(readFile(f / ("back" + n + ".dds")), readFile(f / ("in" + n + ".dds")));
    }
    EXPECT_TRUE(std::filesystem::is_empty(f / "tmp"));
}

}  // namespace
}  // namespace velmora::test
