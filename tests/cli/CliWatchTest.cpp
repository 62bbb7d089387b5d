// `velmora-cli watch` as a process: a picture saved into the watched folder is packed and
// verifies, a damaged one is refused on stderr, and SIGTERM stops it cleanly (143), leaving
// neither a work folder nor a partial game file; its folder or OUT taken away ends it with 3.
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include <csignal>
#include <sched.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Saved as an editor does: to a temporary name, then renamed over the picture.
void savePng(const fs::path& picture, std::uint32_t seed) {
    const Bytes image = validImage(seed);
    const QImage qimage(image.data() + 128, 1024, 1024, 4096, QImage::Format_ARGB32);
    const fs::path temporary = picture.string() + ".part";
    ASSERT_TRUE(qimage.save(QString::fromStdString(temporary.string()), "PNG"));
    fs::rename(temporary, picture);
}

void writeOriginal(const fs::path& gameFile) {
    Bytes file = gameFileAround(zlibStream(textureRecord(validImage(1), kTextureName), 6));
    file.resize(2'400'017, 0);
    writeFile(gameFile, file);
}

TEST(CliWatch, PacksEverySaveUntilSigtermAndLeavesNothingBehind) {
    TempFolder f;
    for (const char* folder : {"edit", "out", "menu", "tmp"})
        fs::create_directories(f / folder);
    writeOriginal(f / "menu" / "tile.bin");
    writeOriginal(f / "menu" / "second.bin");
    ProcessOptions options;
    options.workingDirectory = f.path();
    options.environment = {{"TMPDIR", (f / "tmp").string()},
                           {"XDG_RUNTIME_DIR", (f / "tmp").string()},
                           {"XDG_DATA_HOME", (f / "data").string()}};
    options.timeoutSeconds = 120;
    Process watch({cliPath(), "watch", "edit", "--to", "out", "--like", "menu"}, options);
    // Saved while it starts: packed at start, or on its save.
    savePng(f / "edit" / "tile.png", 5);
    writeText(f / "edit" / "damaged.png", "\x89PNG\r\n\x1a\n not really");
    bool verified = false;
    for (int i = 0;
         i < 600 && !(verified && watch.errSoFar().find("damaged.png") != std::string::npos); ++i) {
        std::this_thread::sleep_for(100ms);
        verified =
            verified || (fs::exists(f / "out" / "tile.bin") &&
                         runCli(f, {"verify", "out/tile.bin", "edit/tile.png"}).out == "ok\n");
    }
    EXPECT_TRUE(verified);
    // Stopped while it may be packing: the game file is whole or not there at all.
    savePng(f / "edit" / "second.png", 6);
    std::this_thread::sleep_for(150ms);
    watch.signal(SIGTERM);
    const ProcessResult result = watch.wait();
    EXPECT_EQ(result.exitCode, 143) << result.err;
    EXPECT_NE(result.out.find("written: out/tile.bin\n"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("damaged.png"), std::string::npos) << result.err;
    for (const std::string& name : fileNames(f / "out")) {
        EXPECT_TRUE(name == "tile.bin" || name == "second.bin") << name;
        EXPECT_EQ(
            runCli(f, {"verify", "out/" + name, "edit/" + fs::path(name).stem().string() + ".png"})
                .out,
            "ok\n")
            << name;
    }
    EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{});
}

// The watched folder or OUT taken away while the watch runs, as a script or a file manager does:
// the watch ends by itself with 3 and one line saying why, with every game file it wrote whole
// and its work folder removed. One row asks for -j 64 on one core: lowered once, as the batch.
TEST(CliWatch, AFolderTakenAwayEndsTheWatchWithItsOwnStatus) {
    const struct {
        const char* what;
        std::function<void(const fs::path&)> takeAway;
        const char* said;
        const char* gameFiles; // where the game files are afterwards
        bool oneCore;
    } rows[] = {
        {"DIR removed", [](const fs::path& f) { fs::remove_all(f / "edit"); },
         "the folder edit was removed", "out", false},
        {"DIR moved away", [](const fs::path& f) { fs::rename(f / "edit", f / "elsewhere"); },
         "the folder edit was moved away", "out", true},
        {"OUT moved away", [](const fs::path& f) { fs::rename(f / "out", f / "moved"); },
         "the folder out (--to) was moved away", "moved", false},
        {"OUT removed", [](const fs::path& f) { fs::remove_all(f / "out"); },
         "the folder out (--to) was removed", "out", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder f;
        for (const char* folder : {"edit", "out", "menu", "tmp", "kept"})
            fs::create_directories(f / folder);
        writeOriginal(f / "menu" / "tile.bin");
        writeOriginal(f / "menu" / "second.bin");
        const auto saveKept = [&](const char* name, std::uint32_t seed) {
            savePng(f / "kept" / name, seed);
            fs::copy_file(f / "kept" / name, f / "edit" / name);
        };
        saveKept("tile.png", 5); // packed at start
        ProcessOptions options;
        options.workingDirectory = f.path();
        options.environment = {{"TMPDIR", (f / "tmp").string()},
                               {"XDG_RUNTIME_DIR", (f / "tmp").string()},
                               {"XDG_DATA_HOME", (f / "data").string()}};
        options.timeoutSeconds = 60; // a watch that does not end fails here
        std::vector<std::string> argv{cliPath(), "watch", "edit", "--to", "out", "--like", "menu"};
        if (row.oneCore)
            argv.insert(argv.end(), {"-j", "64"});
        std::optional<PinnedToOneCore> pinned;
        if (row.oneCore)
            pinned.emplace(); // the forked program inherits it
        Process watch(argv, options);
        pinned.reset();
        bool verified = false;
        for (int i = 0; i < 600 && !verified; ++i) {
            std::this_thread::sleep_for(100ms);
            verified = fs::exists(f / "out" / "tile.bin") &&
                       runCli(f, {"verify", "out/tile.bin", "kept/tile.png"}).out == "ok\n";
        }
        EXPECT_TRUE(verified);
        // Taken away while the second picture may be packing.
        saveKept("second.png", 6);
        std::this_thread::sleep_for(150ms);
        row.takeAway(f.path());
        const ProcessResult result = watch.wait();
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, 3) << result.err;
        EXPECT_NE(result.err.find(std::string("velmora-cli: ") + row.said), std::string::npos)
            << result.err;
        const std::string lowered = "velmora-cli: -j 64 lowered to 1 (1 core)\n";
        std::size_t loweredLines = 0;
        for (auto at = result.err.find(lowered); at != std::string::npos;
             at = result.err.find(lowered, at + 1))
            ++loweredLines;
        EXPECT_EQ(loweredLines, row.oneCore ? 1u : 0u) << result.err;
        EXPECT_NE(result.out.find("written: out/tile.bin\n"), std::string::npos) << result.out;
        std::error_code error;
        if (fs::exists(f / row.gameFiles, error))
            for (const std::string& name : fileNames(f / row.gameFiles)) {
                EXPECT_TRUE(name == "tile.bin" || name == "second.bin") << name;
                EXPECT_EQ(runCli(f, {"verify", std::string(row.gameFiles) + "/" + name,
                                     "kept/" + fs::path(name).stem().string() + ".png"})
                              .out,
                          "ok\n")
                    << name;
            }
        EXPECT_EQ(leftInTemp(f / "tmp"), std::set<std::string>{});
    }
}

TEST(CliWatch, AFolderOrChoiceThatCannotWorkIsAnErrorBeforeWatching) {
    TempFolder f;
    for (const char* folder : {"edit", "out", "menu"})
        fs::create_directories(f / folder);
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        const char* said;
    } rows[] = {
        {{"watch", "nowhere", "--to", "out", "--mode", "3"}, 1, "nowhere does not exist"},
        {{"watch", "edit", "--to", "missing", "--mode", "3"}, 1, "missing does not exist"},
        {{"watch", "edit", "--to", "out"}, 2, "--like GAME_OR_FOLDER or --mode MODE"},
        {{"watch", "edit", "--to", "out", "--mode", "nonsense"}, 2, "unknown mode"},
        {{"watch", "edit", "--to", "menu", "--like", "menu"}, 1, "holds the original game files"},
        {{"watch", "edit", "--to", "out", "--like", "menu", "-j", "0"}, 2, "-j needs"},
        {{"watch", "edit", "--to", "out", "--like", "menu", "--jobs=3abc"}, 2, "-j needs"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        const ProcessResult run = runCli(f, row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
        EXPECT_NE(run.err.find(row.said), std::string::npos) << run.err;
    }
}

} // namespace
} // namespace velmora::test
