// Faults around the files a run writes and reads: destinations that are missing, read-only,
// full, folders, devices or FIFOs; a read-only or full work folder; inputs that vanish or are
// folders. Every refused run must say what failed and leave every file as it was.
#include "FaultSupport.h"

#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace conv = velmora::conversion;

namespace velmora::faults {
namespace {

enum class Direction { Unpack, Pack };

std::string extensionOf(Direction d) {
    return d == Direction::Unpack ? ".dds" : ".bin";
}
std::uint64_t outputSizeOf(Direction d) {
    return d == Direction::Unpack ? 4'194'432u : 2'400'017u;
}

// Inputs shared by every case: one image and the game file that holds it.
struct Inputs {
    Bytes image = validImage(7);
    Bytes game = gameFileAround(zlibStream(textureRecord(image), 6));
};
const Inputs& inputs() {
    static const Inputs shared;
    return shared;
}

// What a case prepares: the output text to give the run, and any mounts it needs.
struct Prepared {
    std::string outputText;
    std::vector<ScopedMount> mounts;
    std::string skip;
    bool workReadOnly = false;
};

struct FaultCase {
    const char* name;
    std::function<void(Workspace&, Direction, Prepared&)> prepare;
    const char* fragment; // expected in the message; "" when the wording may vary
};

void mountTmpfs(Prepared& p, const fs::path& folder, std::uint64_t bytes) {
    fs::create_directories(folder);
    std::string why;
    if (auto m = ScopedMount::tmpfs(folder, bytes, why)) {
        p.mounts.push_back(std::move(*m));
    } else {
        p.skip = why;
    }
}

void mountReadOnly(Prepared& p, const fs::path& folder) {
    std::string why;
    if (auto m = ScopedMount::readOnly(folder, why)) {
        p.mounts.push_back(std::move(*m));
    } else {
        p.skip = why;
    }
}

const Bytes kOldOutput(1000, 0x5A);

const FaultCase kFaultCases[] = {
    {"OutputFolderMissing",
     [](Workspace& ws, Direction, Prepared& p) {
         p.outputText = (ws.out / "missing" / "tile").string();
     },
     "does not exist"},
    {"OutputFolderIsAFile",
     [](Workspace& ws, Direction, Prepared& p) {
         writeFile(ws.out / "file", kOldOutput);
         p.outputText = (ws.out / "file" / "tile").string();
     },
     ""},
    {"OutputPathIsAFolder",
     [](Workspace& ws, Direction d, Prepared& p) {
         fs::create_directories(ws.out / ("tile" + extensionOf(d)));
         writeFile(ws.out / ("tile" + extensionOf(d)) / "keep", kOldOutput);
         p.outputText = (ws.out / "tile").string();
     },
     "folder"},
    {"OutputFolderReadOnly",
     [](Workspace& ws, Direction d, Prepared& p) {
         fs::create_directories(ws.out / "ro");
         writeFile(ws.out / "ro" / ("tile" + extensionOf(d)), kOldOutput);
         mountReadOnly(p, ws.out / "ro");
         p.outputText = (ws.out / "ro" / "tile").string();
     },
     "not writable"},
    {"OutputDiskFull",
     [](Workspace& ws, Direction d, Prepared& p) {
         mountTmpfs(p, ws.out / "small", 1 << 20);
         if (p.skip.empty()) {
             writeFile(ws.out / "small" / ("tile" + extensionOf(d)), kOldOutput);
         }
         p.outputText = (ws.out / "small" / "tile").string();
     },
     "No space left"},
    {"OutputDiskFullAtTheLastBytes",
     [](Workspace& ws, Direction d, Prepared& p) {
         // Whole pages only, so all but the last bytes of the output fit.
         mountTmpfs(p, ws.out / "small", outputSizeOf(d) / 4096 * 4096);
         p.outputText = (ws.out / "small" / "tile").string();
     },
     "No space left"},
    {"OutputIsADevice",
     [](Workspace& ws, Direction d, Prepared& p) {
         // Our own copy of /dev/full: replacing or writing it must not happen.
         const fs::path node = ws.out / ("tile" + extensionOf(d));
         if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
             p.skip = "cannot create a device node here (needs root)";
         }
         p.outputText = (ws.out / "tile").string();
     },
     ""},
    {"OutputIsAFifo",
     [](Workspace& ws, Direction d, Prepared& p) {
         const fs::path fifo = ws.out / ("tile" + extensionOf(d));
         ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
         p.outputText = (ws.out / "tile").string();
     },
     ""},
    {"WorkFolderReadOnly",
     [](Workspace& ws, Direction, Prepared& p) {
         mountReadOnly(p, ws.work);
         p.workReadOnly = true;
         p.outputText = (ws.out / "tile").string();
     },
     "not writable"},
    {"WorkFolderFull",
     [](Workspace& ws, Direction d, Prepared& p) {
         // Room for the first work files, not for all of them.
         mountTmpfs(p, ws.work, 6u << 20);
         if (p.skip.empty()) {
             writeFile(ws.work / "WE00", Bytes(48, 0));
             if (d == Direction::Unpack) {
                 writeFile(ws.work / "Temp", inputs().game);
             }
         }
         p.outputText = (ws.out / "tile").string();
     },
     "No space left"},
};

void PrintTo(const FaultCase& fault, std::ostream* os) {
    *os << fault.name;
}

class DestinationFault : public ::testing::TestWithParam<std::tuple<FaultCase, Direction>> {};

TEST_P(DestinationFault, RefusesWithAMessageAndChangesNothing) {
    const auto& [fault, direction] = GetParam();
    Workspace ws;
    writeFile(ws.root / "game.bin", inputs().game);
    writeFile(ws.root / "image.dds", inputs().image);
    // The game file's copy is made before the folder turns read-only or full, as the main
    // window makes it when the file is chosen.
    if (direction == Direction::Unpack) {
        writeFile(ws.work / "Temp", inputs().game);
    }
    Prepared prepared;
    fault.prepare(ws, direction, prepared);
    if (!prepared.skip.empty()) {
        GTEST_SKIP() << prepared.skip;
    }
    const auto withoutCopy = [](TreeSnapshot tree) {
        tree.erase("work/Temp");
        return tree;
    };
    const TreeSnapshot before = withoutCopy(snapshot(ws.root.path()));

    conv::DeflateCompressionComponent component;
    const conv::Outcome outcome =
        direction == Direction::Unpack
            ? conv::runUnpack(ws.work, (ws.root / "game.bin").string(), prepared.outputText,
                              component)
            : conv::runPack(ws.work, (ws.root / "image.dds").string(), prepared.outputText,
                            "topModeSelect_Mov00_Ex.tex", component);

    ASSERT_FALSE(outcome.has_value()) << "written to " << outcome->writtenPath;
    const std::string message = outcome.error().message();
    EXPECT_NE(message.find(fault.fragment), std::string::npos) << message;
    EXPECT_FALSE(message.empty());
    const TreeSnapshot after = withoutCopy(snapshot(ws.root.path()));
    EXPECT_EQ(before, after) << "changed:" << describeChanges(before, after)
                             << "\nmessage: " << message;
    if (!prepared.workReadOnly) {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(ws.work)) {
            left.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(left, std::vector<std::string>{"WE00"}) << "work files left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, DestinationFault,
                         ::testing::Combine(::testing::ValuesIn(kFaultCases),
                                            ::testing::Values(Direction::Unpack, Direction::Pack)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == Direction::Unpack ? "_Unpack"
                                                                                  : "_Pack");
                         });

// Inputs that are gone or are not files.
class InputFault : public ::testing::Test {
  protected:
    Workspace ws;
};

TEST_F(InputFault, GameFileDeletedAfterTheBrowseCopyStillUnpacksFromTheCopy) {
    const fs::path game = ws.root / "game.bin";
    writeFile(game, inputs().game);
    ASSERT_TRUE(conv::copyToWorkFile(game, ws.work, conv::WorkFile::Temp));
    fs::remove(game);
    conv::DeflateCompressionComponent component;
    const conv::Outcome outcome =
        conv::runUnpack(ws.work, game.string(), (ws.out / "tile").string(), component);
    ASSERT_TRUE(outcome.has_value()) << outcome.error().message();
    EXPECT_EQ(outcome->messages, (std::vector<std::string>{"UncompressFile", game.string()}));
    EXPECT_EQ(readFile(ws.out / "tile.dds"), inputs().image);
}

TEST_F(InputFault, SecondUnpackWithoutANewCopyAsksForTheGameFileAndKeepsTheLastImage) {
    const fs::path game = ws.root / "game.bin";
    writeFile(game, inputs().game);
    ASSERT_TRUE(unpackGameFile(ws.work, game, (ws.out / "tile").string()).ok);
    conv::DeflateCompressionComponent component;
    const conv::Outcome again =
        conv::runUnpack(ws.work, game.string(), (ws.out / "tile").string(), component);
    ASSERT_FALSE(again.has_value());
    EXPECT_NE(again.error().message().find("choose the game file again"), std::string::npos)
        << again.error().message();
    EXPECT_EQ(readFile(ws.out / "tile.dds"), inputs().image);
}

TEST_F(InputFault, ImageDeletedBeforePackKeepsTheLastGameFile) {
    const fs::path image = ws.root / "image.dds";
    writeFile(image, inputs().image);
    ASSERT_TRUE(packImage(ws.work, image, (ws.out / "tile").string()).ok);
    const Bytes packed = readFile(ws.out / "tile.bin");
    fs::remove(image);
    const RunResult again = packImage(ws.work, image, (ws.out / "tile").string());
    EXPECT_FALSE(again.ok);
    EXPECT_NE(again.message.find("does not exist"), std::string::npos) << again.message;
    EXPECT_NE(again.message.find(image.string()), std::string::npos) << again.message;
    EXPECT_EQ(readFile(ws.out / "tile.bin"), packed);
}

TEST_F(InputFault, FoldersAreRefusedAsInputs) {
    fs::create_directories(ws.root / "folder.bin");
    const RunResult unpack =
        unpackGameFile(ws.work, ws.root / "folder.bin", (ws.out / "tile").string());
    EXPECT_FALSE(unpack.ok);
    EXPECT_NE(unpack.message.find("folder"), std::string::npos) << unpack.message;
    const RunResult pack = packImage(ws.work, ws.root / "folder.bin", (ws.out / "tile").string());
    EXPECT_FALSE(pack.ok);
    EXPECT_NE(pack.message.find("folder"), std::string::npos) << pack.message;
    EXPECT_TRUE(fs::is_empty(ws.out));
}

TEST_F(InputFault, UnreadableInputsAreRefused) {
    if (::geteuid() == 0) {
        GTEST_SKIP()
            << "root reads any file; the command-line test runs this case as an unprivileged user";
    }
    const fs::path game = ws.root / "game.bin";
    const fs::path image = ws.root / "image.dds";
    writeFile(game, inputs().game);
    writeFile(image, inputs().image);
    fs::permissions(game, fs::perms::none);
    fs::permissions(image, fs::perms::none);
    const RunResult unpack = unpackGameFile(ws.work, game, (ws.out / "tile").string());
    EXPECT_FALSE(unpack.ok);
    EXPECT_NE(unpack.message.find("Permission denied"), std::string::npos) << unpack.message;
    const RunResult pack = packImage(ws.work, image, (ws.out / "tile").string());
    EXPECT_FALSE(pack.ok);
    EXPECT_NE(pack.message.find("Permission denied"), std::string::npos) << pack.message;
    EXPECT_TRUE(fs::is_empty(ws.out));
}

} // namespace
} // namespace velmora::faults
