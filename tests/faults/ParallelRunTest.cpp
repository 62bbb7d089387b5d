// Many conversions at once: separate runs never see each other's work files, and two runs
// writing the same output leave one whole game file, never a mix of both.
#include "FaultSupport.h"

#include "TestPaths.h"

#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <thread>

namespace fs = std::filesystem;
namespace conv = velmora::conversion;

namespace velmora::faults {
namespace {

constexpr int kRuns = 16;
const std::string kTexture = "topModeSelect_Mov00_Ex.tex";

// The record a packed game file holds, read back with zlib rather than the code under test.
Bytes recordInside(const Bytes& game) {
    if (game.size() != 2'400'017u) {
        return {};
    }
    Bytes record(4'194'432 + 48 + kTexture.size() + 1);
    uLongf size = static_cast<uLongf>(record.size());
    uLong used = static_cast<uLong>(game.size() - 16);
    if (uncompress2(record.data(), &size, game.data() + 16, &used) != Z_OK) {
        return {};
    }
    record.resize(size);
    return record;
}

Bytes header48(const fs::path& bin) {
    Bytes we00 = readFile(bin / "WE00");
    we00.resize(48, 0);
    return we00;
}

TEST(ParallelRuns, SixteenPacksAndSixteenUnpacksAtOnceAreByteExact) {
    TempFolder root;
    std::vector<Bytes> images;
    for (int i = 0; i < kRuns; ++i) {
        images.push_back(validImage(100 + i));
        writeFile(root / ("image" + std::to_string(i) + ".dds"), images.back());
        writeFile(root / ("game" + std::to_string(i) + ".bin"),
                  gameFileAround(zlibStream(textureRecord(images.back()), 1)));
    }

    std::vector<std::unique_ptr<Process>> running;
    for (int i = 0; i < kRuns; ++i) {
        const std::string n = std::to_string(i);
        running.push_back(std::make_unique<Process>(
            std::vector<std::string>{cliPath(), "pack", (root / ("image" + n + ".dds")).string(),
                                     "0", (root / ("packed" + n)).string()}));
        running.push_back(std::make_unique<Process>(
            std::vector<std::string>{cliPath(), "unpack", (root / ("game" + n + ".bin")).string(),
                                     (root / ("unpacked" + n)).string()}));
    }
    for (auto& process : running) {
        const ProcessResult r = process->wait();
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }

    // Packed records carry the header from WE00 beside the program.
    Bytes expectedHeader = header48(fs::path(velmora::test::kBinDir));
    for (int i = 0; i < kRuns; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_TRUE(readFile(root / ("unpacked" + n + ".dds")) == images[i])
            << "unpack " << n << " differs";
        Bytes expectedRecord = expectedHeader;
        expectedRecord.insert(expectedRecord.end(), images[i].begin(), images[i].end());
        expectedRecord.insert(expectedRecord.end(), kTexture.begin(), kTexture.end());
        EXPECT_TRUE(recordInside(readFile(root / ("packed" + n + ".bin"))) == expectedRecord)
            << "pack " << n << " differs";
    }
    // Inputs and outputs only: no work folder or partial file was left in the tree.
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path()), fs::directory_iterator()),
              4 * kRuns);
}

TEST(ParallelRuns, TwoPacksToTheSameOutputLeaveOneWholeGameFile) {
    TempFolder root;
    writeFile(root / "a.dds", validImage(1));
    writeFile(root / "b.dds", validImage(2));
    // Each image packed alone gives the only two acceptable results.
    for (const char* name : {"a", "b"}) {
        const ProcessResult r =
            run({cliPath(), "pack", (root / (std::string(name) + ".dds")).string(), "0",
                 (root / ("alone-" + std::string(name))).string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    const Bytes a = readFile(root / "alone-a.bin");
    const Bytes b = readFile(root / "alone-b.bin");
    ASSERT_NE(a, b);

    fs::create_directories(root / "out");
    const std::string target = (root / "out" / "same").string();
    for (int round = 0; round < 4; ++round) {
        Process first({cliPath(), "pack", (root / "a.dds").string(), "0", target});
        Process second({cliPath(), "pack", (root / "b.dds").string(), "0", target});
        const ProcessResult r1 = first.wait();
        const ProcessResult r2 = second.wait();
        EXPECT_EQ(r1.exitCode, 0) << r1.err;
        EXPECT_EQ(r2.exitCode, 0) << r2.err;
        const Bytes result = readFile(root / "out" / "same.bin");
        EXPECT_TRUE(result == a || result == b) << "round " << round << ": a mix of both runs";
        EXPECT_EQ(std::distance(fs::directory_iterator(root / "out"), fs::directory_iterator()), 1)
            << "round " << round << ": a partial file was left beside the output";
    }
}

TEST(ParallelRuns, WorkflowsInThreadsWithTheirOwnFoldersDoNotInterfere) {
    // The GUI runs one conversion at a time, but nothing in the core may depend on the
    // process's current folder or on state shared between calls.
    constexpr int kThreads = 6;
    std::vector<std::unique_ptr<Workspace>> spaces;
    std::vector<Bytes> images;
    for (int i = 0; i < kThreads; ++i) {
        spaces.push_back(std::make_unique<Workspace>());
        images.push_back(validImage(200 + i));
        writeFile(spaces[i]->root / "game.bin",
                  gameFileAround(zlibStream(textureRecord(images[i]), 1)));
        writeFile(spaces[i]->root / "image.dds", images[i]);
    }
    std::vector<RunResult> unpacked(kThreads);
    std::vector<RunResult> packed(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            unpacked[i] = unpackGameFile(spaces[i]->work, spaces[i]->root / "game.bin",
                                         (spaces[i]->out / "tile").string());
            packed[i] = packImage(spaces[i]->work, spaces[i]->root / "image.dds",
                                  (spaces[i]->out / "tile").string());
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int i = 0; i < kThreads; ++i) {
        ASSERT_TRUE(unpacked[i].ok) << unpacked[i].message;
        ASSERT_TRUE(packed[i].ok) << packed[i].message;
        EXPECT_TRUE(readFile(spaces[i]->out / "tile.dds") == images[i]) << "thread " << i;
        Bytes expectedRecord = textureRecord(images[i], kTexture);
        EXPECT_TRUE(recordInside(readFile(spaces[i]->out / "tile.bin")) == expectedRecord)
            << "thread " << i;
    }
}

} // namespace
} // namespace velmora::faults
