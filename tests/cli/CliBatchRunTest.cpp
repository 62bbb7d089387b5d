// The batch form as a whole run: the README's two commands on photographs, a reader that goes
// away, and more jobs than the machine has.
#include "CliInProcess.h"
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <iterator>
#include <set>

#include <sched.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

const char* const kNames[] = {"topModeSelect_Mov03_ML.tex", "topModeSelect_Mov06_OL.tex",
                              "topModeSelect_Mov09_Sys.tex", "topModeSelect_Mov00_Ex.tex"};

Bytes ownHeader() {
    Bytes header(48);
    for (std::size_t i = 0; i < header.size(); ++i)
        header[i] = static_cast<std::uint8_t>(0x5A ^ i);
    return header;
}

// menu/tile<i>.bin: game files made with zlib around `image(i)`, padded as the game's are.
template <typename Image> std::vector<std::string> writeMenu(const TempFolder& f, Image&& image) {
    fs::create_directories(f / "menu");
    std::vector<std::string> files;
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        Bytes file = gameFileAround(zlibStream(textureRecord(image(i), kNames[i], ownHeader()), 6));
        file.resize(2'400'017, 0);
        files.push_back("menu/tile" + std::to_string(i) + ".bin");
        writeFile(f / files.back(), file);
    }
    return files;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Photographs are read through Qt's PNG reader on the worker threads; the run must end as
// cleanly as it worked (it once aborted at exit, after its summary, freeing a plug-in twice).
TEST(CliBatchRun, TheReadmeCommandsOnPhotographsEndCleanly) {
    TempFolder f;
    const auto menu =
        writeMenu(f, [](std::size_t i) { return validImage(20 + static_cast<std::uint32_t>(i)); });
    std::vector<std::string> unpack{"unpack"};
    unpack.insert(unpack.end(), menu.begin(), menu.end());
    unpack.insert(unpack.end(), {"--to", "edit", "--format", "png"});
    const ProcessResult unpacked = runCliInProcess(f, unpack);
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
    // The edit: each tile replaced by a detailed photograph, saved by Qt as an editor would.
    std::vector<std::string> pack{"pack"};
    for (std::size_t i = 0; i < menu.size(); ++i) {
        const Bytes photo = photoLikeImage(1.0, 100 + static_cast<std::uint32_t>(i));
        const QImage picture(photo.data() + 128, 1024, 1024, 4096, QImage::Format_ARGB32);
        pack.push_back("edit/tile" + std::to_string(i) + ".png");
        ASSERT_TRUE(picture.save(QString::fromStdString((f / pack.back()).string()), "PNG"));
    }
    pack.insert(pack.end(), {"--to", "out", "--like", "menu"});
    const ProcessResult packed = runCliInProcess(f, pack);
    EXPECT_EQ(packed.exitCode, 0) << packed.err;
    EXPECT_EQ(packed.err, "");
    EXPECT_EQ(count(packed.out, "\n4 written, 0 failed\n"), 1u) << packed.out;
    for (std::size_t i = 0; i < menu.size(); ++i) {
        const std::string out = "out/tile" + std::to_string(i) + ".bin";
        const ProcessResult verify = runCliInProcess(f, {"verify", out, pack[1 + i]});
        EXPECT_EQ(verify.out, "ok\n") << out << verify.err;
    }
    EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{}); // the parent folder stays
}

// `velmora-cli ... | head -1`: the reader is gone before the first line. Every conversion
// still finishes, the lines (the summary too) are dropped without a word, and the status is
// that of the conversions.
TEST(CliBatchRun, AClosedOutputStopsNoConversion) {
    TempFolder f;
    const auto menu =
        writeMenu(f, [](std::size_t i) { return validImage(30 + static_cast<std::uint32_t>(i)); });
    ProcessOptions closed;
    closed.closedStdout = true;
    std::vector<std::string> unpack{"unpack"};
    unpack.insert(unpack.end(), menu.begin(), menu.end());
    unpack.insert(unpack.end(), {"--to", "edit", "--format", "png", "-j", "2"});
    const ProcessResult unpacked = runCli(f, unpack, closed);
    EXPECT_EQ(unpacked.exitCode, 0) << unpacked.err;
    EXPECT_EQ(unpacked.err, "");
    EXPECT_EQ(fileNames(f / "edit").size(), menu.size());
    const ProcessResult packed =
        runCli(f, {"pack", "edit", "--to", "out", "--like", "menu", "-j", "1"}, closed);
    EXPECT_EQ(packed.exitCode, 0) << packed.err;
    EXPECT_EQ(packed.err, "");
    for (std::size_t i = 0; i < menu.size(); ++i) {
        const std::string stem = "tile" + std::to_string(i);
        EXPECT_EQ(
            runCliInProcess(f, {"verify", "out/" + stem + ".bin", "edit/" + stem + ".png"}).out,
            "ok\n")
            << stem;
    }
    // A failure is still told on stderr and in the status.
    writeText(f / "edit" / "tile0.png", "not a picture");
    const ProcessResult failing =
        runCli(f, {"pack", "edit", "--to", "again", "--like", "menu"}, closed);
    EXPECT_EQ(failing.exitCode, 1);
    EXPECT_EQ(count(failing.err, "\n"), 1u) << failing.err;
    EXPECT_EQ(count(failing.err, "tile0.png: Reading the image"), 1u) << failing.err;
    EXPECT_EQ(fileNames(f / "again").size(), menu.size() - 1);
    EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{}); // the parent folder stays
}

// Runs `arguments` with this thread (and so the forked program) on its first allowed core only.
ProcessResult onOneCore(const TempFolder& f, const std::vector<std::string>& arguments) {
    const PinnedToOneCore pinned;
    return runCliInProcess(f, arguments);
}

TEST(CliBatchRun, MoreJobsThanTheMachineHasAreLoweredOnce) {
    TempFolder f;
    const auto menu =
        writeMenu(f, [](std::size_t i) { return validImage(40 + static_cast<std::uint32_t>(i)); });
    const auto unpack = [&](const std::string& to, std::vector<std::string> jobs) {
        std::vector<std::string> arguments{"unpack"};
        arguments.insert(arguments.end(), menu.begin(), menu.end());
        arguments.insert(arguments.end(), {"--to", to});
        arguments.insert(arguments.end(), jobs.begin(), jobs.end());
        return arguments;
    };
    struct Row {
        const char* to;
        std::vector<std::string> jobs;
        const char* said; // the one line on stderr, nullptr: none
    };
    const std::vector<Row> rows{
        {"a", {"-j", "64"}, "velmora-cli: -j 64 lowered to 1 (1 core)\n"},
        {"b", {"-j", "1"}, nullptr},
        {"c", {}, nullptr}, // the default is left as it is
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.to);
        const ProcessResult run = onOneCore(f, unpack(row.to, row.jobs));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, row.said ? row.said : "");
        EXPECT_EQ(fileNames(f / row.to).size(), menu.size());
    }
}

} // namespace
} // namespace velmora::test
