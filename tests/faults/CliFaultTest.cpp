// velmora-cli (in-process where no process is needed) against odd paths, inputs that are not plain
// files, a full disk for its private work folder and outputs that are devices: exit status 1 with
// one line on stderr, never a hang, and nothing written or lost.
#include "FaultSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velmora::faults {
namespace {

const Bytes& sharedImage() {
    static const Bytes image = validImage(11);
    return image;
}
const Bytes& sharedGame() {
    static const Bytes game = gameFileAround(zlibStream(textureRecord(sharedImage()), 6));
    return game;
}

std::string oneLine(const ProcessResult& r) {
    return "exit " + std::to_string(r.exitCode) + (r.timedOut ? " (timed out)" : "") +
           ", stderr: " + r.err;
}

// ---- Paths the user may well choose: spaces, letters beyond ASCII, long names.

struct PathCase {
    const char* name;
    std::string folder; // created under the temporary folder
    std::string stem;   // file name without extension
};
void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

const PathCase kPathCases[] = {
    {"Spaces", "my tiles", "menu tile one"},
    {"NonAscii", "Kacheln \xc3\xa4\xc3\xb6\xc3\xbc",
     "\xe8\x8f\x9c\xe5\x8d\x95 \xc5\x82\xc3\xb3"
     "d\xc5\xba"},
    {"TwoHundredCharacters", std::string(200, 'f'), std::string(200, 'n')},
    // The longest name a folder can hold once ".dds" or ".bin" is appended.
    {"LongestNameTheFolderTakes", "long", std::string(251, 'x')},
};

class OddPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(OddPath, PackAndUnpackRoundTripByteForByte) {
    const PathCase& c = GetParam();
    TempFolder root;
    const fs::path folder = root / c.folder;
    fs::create_directories(folder / "back");
    const fs::path image = folder / (c.stem + ".dds");
    writeFile(image, sharedImage());

    const ProcessResult pack =
        runCliHere({cliPath(), "pack", image.string(), "0", (folder / c.stem).string()});
    ASSERT_EQ(pack.exitCode, 0) << oneLine(pack);
    const fs::path game = folder / (c.stem + ".bin");
    ASSERT_EQ(fs::file_size(game), 2'400'017u);

    const ProcessResult unpack =
        runCliHere({cliPath(), "unpack", game.string(), (folder / "back" / c.stem).string()});
    ASSERT_EQ(unpack.exitCode, 0) << oneLine(unpack);
    EXPECT_TRUE(readFile(folder / "back" / (c.stem + ".dds")) == sharedImage())
        << "the image differs";
    // Nothing else appeared beside the files asked for.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "back"), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, OddPath, ::testing::ValuesIn(kPathCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Inputs that are not readable plain files.

enum class InputKind { Missing, Folder, Fifo, Unreadable };

struct InputCase {
    const char* name;
    InputKind kind;
    std::vector<std::string> command; // "IN" and "OUT" stand for the paths
    const char* fragment;
};
void PrintTo(const InputCase& c, std::ostream* os) {
    *os << c.name;
}

const InputCase kInputCases[] = {
    {"UnpackMissing", InputKind::Missing, {"unpack", "IN", "OUT"}, "does not exist"},
    {"UnpackFolder", InputKind::Folder, {"unpack", "IN", "OUT"}, "folder"},
    {"UnpackFifo", InputKind::Fifo, {"unpack", "IN", "OUT"}, "not a regular file"},
    {"UnpackUnreadable", InputKind::Unreadable, {"unpack", "IN", "OUT"}, "Permission denied"},
    {"PackMissing", InputKind::Missing, {"pack", "IN", "0", "OUT"}, "does not exist"},
    {"PackFolder", InputKind::Folder, {"pack", "IN", "0", "OUT"}, "folder"},
    {"PackFifo", InputKind::Fifo, {"pack", "IN", "0", "OUT"}, "not a regular file"},
    {"PackUnreadable", InputKind::Unreadable, {"pack", "IN", "0", "OUT"}, "Permission denied"},
    {"PackHeaderFifo",
     InputKind::Fifo,
     {"pack", "IMAGE", "0", "OUT", "--header", "IN"},
     "not a regular file"},
    {"InfoFifo", InputKind::Fifo, {"info", "IN"}, "not a regular file"},
    {"InfoFolder", InputKind::Folder, {"info", "IN"}, "folder"},
    {"HeaderFifo", InputKind::Fifo, {"header", "IN", "OUT"}, "not a regular file"},
};

class CliInput : public ::testing::TestWithParam<InputCase> {};

TEST_P(CliInput, IsRefusedWithOneLineAndNothingWritten) {
    const InputCase& c = GetParam();
    TempFolder root;
    // An unprivileged run must reach its files.
    fs::permissions(root.path(), fs::perms::all);
    const fs::path in = root / "input";
    const fs::path out = root / "out";
    fs::create_directories(out);
    fs::permissions(out, fs::perms::all);
    writeFile(root / "image.dds", sharedImage());
    fs::permissions(root / "image.dds", fs::perms::all);

    ProcessOptions options;
    options.timeoutSeconds = 10;
    switch (c.kind) {
    case InputKind::Missing:
        break;
    case InputKind::Folder:
        fs::create_directories(in);
        break;
    case InputKind::Fifo:
        // Opening a FIFO for reading waits for a writer that never comes: a hang unless the
        // program looks before it opens.
        ASSERT_EQ(::mkfifo(in.c_str(), 0666), 0);
        break;
    case InputKind::Unreadable:
        writeFile(in, c.command[0] == "pack" ? sharedImage() : sharedGame());
        fs::permissions(in, fs::perms::none);
        if (::geteuid() == 0) {
            // Root reads any file; run the program as "nobody" instead.
            options.runAsUser = 65534;
            if (::access(cliPath().c_str(), X_OK) != 0) {
                GTEST_SKIP() << "cannot check the program's permissions";
            }
        }
        break;
    }
    std::vector<std::string> argv{cliPath()};
    for (const std::string& arg : c.command) {
        argv.push_back(arg == "IN"      ? in.string()
                       : arg == "OUT"   ? (out / "result").string()
                       : arg == "IMAGE" ? (root / "image.dds").string()
                                        : arg);
    }
    const TreeSnapshot before = snapshot(root.path());
    // A FIFO may hang the run and another user needs its own process; the rest run in-process.
    const bool ownProcess = c.kind == InputKind::Fifo || options.runAsUser;
    const ProcessResult r = ownProcess ? run(argv, options) : runCliHere(argv, options);

    if (options.runAsUser && r.exitCode == 127) {
        GTEST_SKIP() << "the unprivileged user cannot start " << cliPath();
    }
    EXPECT_FALSE(r.timedOut) << "velmora-cli hung on the input";
    EXPECT_EQ(r.exitCode, 1) << oneLine(r);
    EXPECT_NE(r.err.find(c.fragment), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(in.string()), std::string::npos)
        << "the message does not name the file: " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    const TreeSnapshot after = snapshot(root.path());
    EXPECT_EQ(before, after) << "changed:" << describeChanges(before, after);
}

INSTANTIATE_TEST_SUITE_P(Faults, CliInput, ::testing::ValuesIn(kInputCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A full disk under the private work folder, and outputs that are devices.

TEST(CliDiskFull, AFullWorkFolderFailsCleanlyAndLeavesNothingThere) {
    TempFolder root;
    const fs::path tmp = root / "tmp";
    fs::create_directories(tmp);
    std::string why;
    auto mounted = ScopedMount::tmpfs(tmp, 5u << 20, why);
    if (!mounted) {
        GTEST_SKIP() << why;
    }
    writeFile(root / "image.dds", sharedImage());
    writeFile(root / "game.bin", sharedGame());
    fs::create_directories(root / "out");
    ProcessOptions options;
    options.environment["TMPDIR"] = tmp.string();
    options.unsetEnvironment = {"XDG_RUNTIME_DIR"};

    const std::vector<std::vector<std::string>> commands{
        {cliPath(), "pack", (root / "image.dds").string(), "0", (root / "out" / "tile").string()},
        {cliPath(), "unpack", (root / "game.bin").string(), (root / "out" / "tile").string()},
    };
    for (const auto& argv : commands) {
        const ProcessResult r = runCliHere(argv, options);
        EXPECT_EQ(r.exitCode, 1) << argv[1] << ": " << oneLine(r);
        EXPECT_NE(r.err.find("No space left"), std::string::npos) << argv[1] << ": " << r.err;
        EXPECT_EQ(test::leftInTemp(tmp), std::set<std::string>{})
            << argv[1] << " left its work folder behind";
        EXPECT_TRUE(fs::is_empty(root / "out")) << argv[1] << " wrote an output";
    }
}

TEST(CliDeviceOutput, AnOutputThatIsADeviceIsNeitherWrittenNorReplaced) {
    TempFolder root;
    writeFile(root / "game.bin", sharedGame());
    writeFile(root / "image.dds", sharedImage());
    // Copies of /dev/full: writing them fails, and replacing them would destroy a device.
    const std::vector<std::pair<std::string, std::vector<std::string>>> commands{
        {"full.dds",
         {cliPath(), "unpack", (root / "game.bin").string(), (root / "full.dds").string()}},
        {"full.bin",
         {cliPath(), "pack", (root / "image.dds").string(), "0", (root / "full.bin").string()}},
        {"full", {cliPath(), "header", (root / "game.bin").string(), (root / "full").string()}},
    };
    for (const auto& [node, argv] : commands) {
        const fs::path path = root / node;
        if (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
            GTEST_SKIP() << "cannot create a device node here (needs root)";
        }
        const ProcessResult r = runCliHere(argv);
        EXPECT_EQ(r.exitCode, 1) << argv[1] << ": " << oneLine(r);
        EXPECT_NE(r.err.find(path.string()), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status(path)))
            << argv[1] << " replaced the device";
    }
}

// ---- info and header on damaged game files: a message, never a crash.

TEST(CliDamagedGameFile, InfoAndHeaderReportEveryDamageAsAFailure) {
    TempFolder root;
    Bytes cut(sharedGame().begin(), sharedGame().begin() + sharedGame().size() / 2);
    Bytes flipped = sharedGame();
    flipped.back() ^= 0x80;
    const std::vector<std::pair<std::string, Bytes>> files{
        {"empty", {}},
        {"header-only", Bytes(sharedGame().begin(), sharedGame().begin() + 16)},
        {"cut", cut},
        {"wrong-check", flipped},
        {"bomb", gameFileAround(zeroBombStream(std::uint64_t{1} << 30))},
    };
    for (const auto& [name, bytes] : files) {
        writeFile(root / name, bytes);
        for (const char* command : {"info", "header"}) {
            std::vector<std::string> argv{cliPath(), command, (root / name).string()};
            if (std::string(command) == "header") {
                argv.push_back((root / (name + ".header")).string());
            }
            const ProcessResult r = runCliHere(argv);
            EXPECT_EQ(r.exitCode, 1) << command << " " << name << ": " << oneLine(r);
            EXPECT_NE(r.err.find((root / name).string()), std::string::npos) << r.err;
            EXPECT_FALSE(fs::exists(root / (name + ".header")));
        }
    }
}

} // namespace
} // namespace velmora::faults
