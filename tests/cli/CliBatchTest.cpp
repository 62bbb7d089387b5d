// The batch form, verify, numbers, help and the traps of the command line.
#include "CliInProcess.h"
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include "base/ByteOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace velmora::test {
namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

Bytes genuineHeader() {
    Bytes header(48);
    for (std::size_t i = 0; i < header.size(); ++i)
        header[i] = static_cast<std::uint8_t>(0xC0 ^ i);
    return header;
}

// A game file made with zlib, padded as the game's are.
Bytes gameFile(const Bytes& image, const std::string& name) {
    Bytes file = gameFileAround(zlibStream(textureRecord(image, name, genuineHeader())));
    file.resize(2'400'017, 0);
    return file;
}

TEST(CliBatch, UnpackThenPackLikeTheOriginalsAFailingInputInTheMiddle) {
    TempFolder f;
    std::filesystem::create_directories(f / "menu");
    writeFile(f / "menu" / "a.bin", gameFile(validImage(1), "topModeSelect_Mov03_ML.tex"));
    writeText(f / "menu" / "b.bin", "not a game file");
    writeFile(f / "menu" / "c.bin", gameFile(validImage(2), "topModeSelect_Mov09_Sys.tex"));

    const ProcessResult unpack =
        runCliInProcess(f, {"unpack", "menu", "--to", "edit", "--format", "png", "-j", "2"});
    EXPECT_EQ(unpack.exitCode, 1);
    EXPECT_TRUE(contains(unpack.out, "2 written, 1 failed")) << unpack.out;
    EXPECT_EQ(std::count(unpack.err.begin(), unpack.err.end(), '\n'), 1) << unpack.err;
    EXPECT_TRUE(contains(unpack.err, "b.bin")) << unpack.err;
    EXPECT_EQ(fileNames(f / "edit"), (std::set<std::string>{"a.png", "c.png"}));

    const ProcessResult pack =
        runCliInProcess(f, {"pack", "edit/a.png", "edit/c.png", "--to", "out", "--like", "menu"});
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    EXPECT_TRUE(contains(pack.out, "2 written, 0 failed")) << pack.out;
    for (const char* stem : {"a", "c"}) {
        SCOPED_TRACE(stem);
        const std::string out = std::string("out/") + stem + ".bin";
        const ProcessResult verify =
            runCliInProcess(f, {"verify", out, std::string("edit/") + stem + ".png"});
        EXPECT_EQ(verify.exitCode, 0) << verify.err;
        EXPECT_EQ(verify.out, "ok\n");
        // Nothing edited: the record is the original's, texture header and name included (the
        // streams may differ: another compressor made the originals).
        const auto original =
            runCliInProcess(f, {"info", "--json", std::string("menu/") + stem + ".bin"});
        const auto repacked = runCliInProcess(f, {"info", out, "--json"});
        EXPECT_EQ(original.out.substr(original.out.find("\"recordSize\"")),
                  repacked.out.substr(repacked.out.find("\"recordSize\"")));
        ASSERT_EQ(runCliInProcess(f, {"header", out, "h"}).exitCode, 0);
        EXPECT_EQ(readFile(f / "h"), genuineHeader());
    }
    EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{});
}

TEST(CliBatch, ModeFromFileNamesAndAClearMessageWhenThereIsNone) {
    TempFolder f;
    for (const char* name : {"topModeSelect_Mov03_ML.dds", "Master-League.dds", "holiday.dds"})
        writeFile(f / name, validImage());
    std::filesystem::create_directories(f / "data" / "velmora");
    writeFile(f / "data" / "velmora" / "WE00", genuineHeader());
    const ProcessResult pack =
        runCliInProcess(f, {"pack", "topModeSelect_Mov03_ML.dds", "Master-League.dds",
                            "holiday.dds", "--to", "out/"});
    EXPECT_EQ(pack.exitCode, 1);
    EXPECT_TRUE(contains(pack.err, "holiday.dds: its mode is not known: name the file"))
        << pack.err;
    EXPECT_TRUE(contains(pack.out, "2 written, 1 failed")) << pack.out;
    for (const char* out : {"out/topModeSelect_Mov03_ML.bin", "out/Master-League.bin"}) {
        const ProcessResult info = runCliInProcess(f, {"info", "--json", out});
        EXPECT_TRUE(contains(info.out, "\"textureName\": \"topModeSelect_Mov03_ML.tex\""))
            << info.out;
        // The installed texture header, not the placeholder.
        ASSERT_EQ(runCliInProcess(f, {"header", out, "h"}).exitCode, 0);
        EXPECT_EQ(readFile(f / "h"), genuineHeader());
    }
}

TEST(CliBatch, RefusedBeforeStarting) {
    TempFolder f;
    std::filesystem::create_directories(f / "x");
    std::filesystem::create_directories(f / "y");
    writeFile(f / "x" / "a.dds", validImage());
    writeFile(f / "y" / "a.dds", validImage());
    const std::vector<std::vector<std::string>> rows{
        {"pack", "x/a.dds", "y/a.dds", "--to", "out", "--mode", "0"},
        {"pack", "x/a.dds", "--to", "out", "--mode", "99"},
        {"unpack", "x/a.dds", "--to", "out", "--format", "gif"},
        {"pack", "x/a.dds", "--to", "out", "-j", "0", "--mode", "0"},
    };
    for (const auto& arguments : rows) {
        const ProcessResult run = runCliInProcess(f, arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.back() << run.err;
        EXPECT_FALSE(std::filesystem::exists(f / "out" / "a.bin"));
    }
}

// Every number on the command line is read whole: "3abc" is no 3, "-1" no huge count.
TEST(CliBatch, NumbersAreWholeOrRefusedInEveryForm) {
    TempFolder f;
    writeFile(f / "a.bin", gameFile(validImage(5), "topModeSelect_Mov00_Ex.tex"));
    writeFile(f / "a.dds", validImage(5));
    struct Row {
        std::vector<std::string> arguments;
        int status;
    };
    const auto unpack = [](std::vector<std::string> jobs) {
        std::vector<std::string> arguments{"unpack", "a.bin", "--to", "out"};
        arguments.insert(arguments.end(), jobs.begin(), jobs.end());
        return arguments;
    };
    const std::vector<Row> rows{
        {unpack({"-j", "3abc"}), 2},
        {unpack({"-j", "0"}), 2},
        {unpack({"-j", "-1"}), 2},
        {unpack({"-j", "+4"}), 2},
        {unpack({"-j", " 4"}), 2},
        {unpack({"-j", ""}), 2},
        {unpack({"-j", "99999999999"}), 2},
        {unpack({"-j4"}), 0},
        {unpack({"--jobs", "4"}), 0},
        {unpack({"--jobs=4"}), 0},
        {unpack({"-j", "1"}), 0},
        {unpack({"-j=2"}), 0},
        {{"thumbnail", "a.dds", "t.png", "12px"}, 2},
        {{"thumbnail", "a.dds", "t.png", "0x10"}, 2},
        {{"thumbnail", "a.dds", "t.png", "4097"}, 2},
        {{"thumbnail", "a.dds", "t.png", "64"}, 0},
    };
    for (const Row& row : rows) {
        std::string line;
        for (const std::string& argument : row.arguments)
            line += "[" + argument + "]";
        SCOPED_TRACE(line);
        std::filesystem::remove_all(f / "out");
        const ProcessResult run = runCliInProcess(f, row.arguments);
        EXPECT_EQ(run.exitCode, row.status) << run.err;
        if (row.status == 2) {
            EXPECT_TRUE(contains(run.err, "a whole number from 1 to ") ||
                        contains(run.err, "-j needs a value"))
                << run.err;
            EXPECT_FALSE(std::filesystem::exists(f / "out"));
        }
    }
}

// Each command's help is its own lines of the whole usage, which lists every command.
TEST(CliHelp, EachCommandShowsItsOwnLinesOfTheUsage) {
    TempFolder f;
    const std::string usage = runCliInProcess(f, {"--help"}).out;
    // The commands as the usage lists them: "  unpack GAME_FILE ...".
    std::vector<std::string> commands;
    std::istringstream usageLines(usage);
    for (std::string line; std::getline(usageLines, line);) {
        if (line.size() > 2 && line.rfind("  ", 0) == 0 && std::islower(line[2])) {
            const std::string name = line.substr(2, line.find(' ', 2) - 2);
            if (std::find(commands.begin(), commands.end(), name) == commands.end())
                commands.push_back(name);
        }
    }
    EXPECT_GE(commands.size(), 8u);
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const ProcessResult help = runCliInProcess(f, {command, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        ASSERT_EQ(help.out.rfind("Usage:\n  " + command, 0), 0u) << help.out;
        const std::string lines = help.out.substr(std::string("Usage:\n").size());
        EXPECT_TRUE(contains(usage, lines)) << lines;
        // Only its own: no other command's line starts in it.
        std::istringstream stream(lines);
        for (std::string line; std::getline(stream, line);)
            EXPECT_TRUE(line.rfind("  " + command, 0) == 0 || line.rfind("       ", 0) == 0)
                << line;
        // -h, and help asked for beside a fault in the line, show the same.
        EXPECT_EQ(runCliInProcess(f, {command, "-h"}).out, help.out);
        EXPECT_EQ(runCliInProcess(f, {command, "--no-such-option", "--help"}).out, help.out);
    }
}

TEST(CliVerify, GoodAndDamagedGameFiles) {
    TempFolder f;
    const Bytes good = gameFile(validImage(5), "topModeSelect_Mov04_Cmm.tex");
    writeFile(f / "tile.dds", validImage(5));
    writeFile(f / "other.dds", validImage(6));
    Bytes constants = good;
    constants[12] = 7;
    Bytes length = good;
    conversion::writeLe32(length, 8, conversion::readLe32(length, 8) + 1);
    Bytes cut = good;
    cut.resize(100'000);
    Bytes name = gameFile(validImage(5), "someOtherTexture.tex");
    Bytes magic = good;
    magic[4] = 'X';
    const std::vector<std::tuple<const char*, Bytes, std::vector<std::string>, const char*>> rows{
        {"good", good, {"tile.dds"}, nullptr},
        {"pixels", good, {"other.dds"}, "its pixels differ"},
        {"constants", constants, {}, "the constants are 7, 64"},
        {"length", length, {}, "the stored length is"},
        {"cut", cut, {}, "the stream does not inflate"},
        {"name", name, {}, "is not one of the menu's"},
        {"magic", magic, {}, "\"WESYS\" is missing"},
    };
    for (const auto& [file, bytes, extra, finding] : rows) {
        SCOPED_TRACE(file);
        writeFile(f / file, bytes);
        std::vector<std::string> arguments{"verify", file};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const ProcessResult run = runCliInProcess(f, arguments);
        EXPECT_EQ(run.exitCode, finding ? 1 : 0) << run.err;
        if (finding) {
            EXPECT_TRUE(contains(run.err, finding)) << run.err;
        } else {
            EXPECT_EQ(run.out, "ok\n");
        }
    }
}

TEST(CliHeader, ThePlaceholderIsWarnedOnceABatchAndReportedByInfoAndVerify) {
    TempFolder f;
    for (const char* name : {"a.dds", "b.dds", "c.dds"})
        writeFile(f / name, validImage());
    // No header installed: the placeholder beside the program is what the batch takes.
    const ProcessResult pack =
        runCliInProcess(f, {"pack", "a.dds", "b.dds", "c.dds", "--to", "out", "--mode", "3"});
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    EXPECT_EQ(pack.err, "velmora-cli: warning: the texture header is the placeholder shipped with "
                        "Velmora (\"WE00\" and zeros); the game may need the genuine one: pack "
                        "with --header YOUR_GAME_FILE, or install it once with 'velmora-cli "
                        "header YOUR_GAME_FILE'\n");
    writeFile(f / "genuine.bin", gameFile(validImage(), "topModeSelect_Mov03_ML.tex"));

    struct Row {
        const char* file;
        bool placeholder;
    };
    for (const Row& row : {Row{"out/a.bin", true}, Row{"genuine.bin", false}}) {
        SCOPED_TRACE(row.file);
        const ProcessResult info = runCliInProcess(f, {"info", row.file});
        EXPECT_TRUE(contains(info.out, row.placeholder ? "texture header:  the placeholder"
                                                       : "texture header:  not the placeholder"))
            << info.out;
        const ProcessResult json = runCliInProcess(f, {"info", "--json", row.file});
        EXPECT_TRUE(contains(json.out, std::string("\"placeholderHeader\": ") +
                                           (row.placeholder ? "true" : "false")))
            << json.out;
        // Valid, so verify passes with one warning line; --strict makes it a fault.
        const ProcessResult verify = runCliInProcess(f, {"verify", row.file});
        EXPECT_EQ(verify.exitCode, 0) << verify.err;
        EXPECT_EQ(verify.out, "ok\n");
        EXPECT_EQ(std::count(verify.err.begin(), verify.err.end(), '\n'), row.placeholder ? 1 : 0)
            << verify.err;
        EXPECT_EQ(contains(verify.err, ": warning: the texture header is the placeholder"),
                  row.placeholder)
            << verify.err;
        const ProcessResult strict = runCliInProcess(f, {"verify", "--strict", row.file});
        EXPECT_EQ(strict.exitCode, row.placeholder ? 1 : 0) << strict.err;
        EXPECT_EQ(strict.out, row.placeholder ? "" : "ok\n");
    }
}

TEST(CliTraps, OutputsAreWhereAUserExpectsAndNeverTheInput) {
    TempFolder f;
    writeFile(f / "tile.dds", validImage());
    writeFile(f / "-dash.dds", validImage());
    writeFile(f / "img.bin", validImage());
    std::filesystem::create_directories(f / "dir");
    writeText(f / "real.bin", "old");
    std::filesystem::create_symlink("real.bin", f / "link.bin");
    struct Row {
        std::vector<std::string> arguments;
        int status;
        const char* written; // the file that must now exist, nullptr: none
    };
    const std::vector<Row> rows{
        {{"pack", "tile.dds", "3", "dir"}, 0, "dir/tile.bin"},
        {{"pack", "tile.dds", "3", "new/"}, 1, nullptr}, // a missing folder is not made
        {{"pack", "--", "-dash.dds", "3", "dash"}, 0, "dash.bin"},
        {{"pack", "img.bin", "3", "img.bin"}, 2, nullptr},
        {{"pack", "tile.dds", "3", ""}, 2, nullptr},
        {{"unpack", "tile.dds", "./tile.dds"}, 2, nullptr},
        {{"pack", "--help"}, 0, nullptr},
        {{"pack", "tile.dds", "3", "link.bin"}, 0, "real.bin"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.back());
        const ProcessResult run = runCliInProcess(f, row.arguments);
        EXPECT_EQ(run.exitCode, row.status) << run.err;
        if (row.written) {
            EXPECT_EQ(readFile(f / row.written).size(), 2'400'017u);
        }
    }
    EXPECT_TRUE(std::filesystem::is_symlink(f / "link.bin"));
    EXPECT_EQ(readFile(f / "tile.dds"), validImage());
    EXPECT_EQ(readFile(f / "img.bin"), validImage());
    EXPECT_TRUE(contains(runCliInProcess(f, {"pack", "--help"}).out, "pack IMAGE MODE OUTPUT"));
    EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{});
}

TEST(CliTraps, AHugeSparseGameFileCostsNoMoreThanANormalOne) {
    TempFolder f;
    const Bytes game = gameFile(validImage(8), "topModeSelect_Mov00_Ex.tex");
    writeFile(f / "game.bin", game);
    writeFile(f / "huge.bin", game);
    std::filesystem::resize_file(f / "huge.bin", 50ull << 30); // sparse: no disk taken
    ASSERT_EQ(runCliInProcess(f, {"unpack", "game.bin", "a"}).exitCode, 0);
    const ProcessResult huge = runCliInProcess(f, {"unpack", "huge.bin", "b"});
    ASSERT_EQ(huge.exitCode, 0) << huge.err;
    EXPECT_EQ(readFile(f / "a.dds"), readFile(f / "b.dds"));
}

TEST(CliTraps, SignalsLeaveNothingBehind) {
    TempFolder f;
    writeFile(f / "photo.dds", photoLikeImage(3.0));
    writeText(f / "out.bin", "before");
    for (const auto& [signal, status] :
         std::vector<std::pair<std::string, int>>{{"TERM", 143}, {"INT", 130}, {"HUP", 129}}) {
        SCOPED_TRACE(signal);
        // Fitting takes seconds, so the signal comes in the middle of the run.
        const std::string script = "\"$0\" pack photo.dds 0 out --fit & pid=$!; sleep 0.4; kill -" +
                                   signal + " $pid; wait $pid; echo $?";
        ProcessOptions options;
        options.workingDirectory = f.path();
        options.environment["TMPDIR"] = (f / "tmp").string();
        options.environment["XDG_RUNTIME_DIR"] = (f / "tmp").string();
        std::filesystem::create_directories(f / "tmp");
        const ProcessResult run = velmora::test::run({"/bin/sh", "-c", script, cliPath()}, options);
        EXPECT_EQ(run.out, std::to_string(status) + "\n") << run.err;
        EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{});
        EXPECT_EQ(fileNames(f.path()), (std::set<std::string>{"out.bin", "photo.dds", "tmp"}));
        EXPECT_EQ(readText(f / "out.bin"), "before");
    }
}

} // namespace
} // namespace velmora::test
