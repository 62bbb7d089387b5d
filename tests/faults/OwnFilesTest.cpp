// velmora-cli touches only what it made: folders in the temporary folder that merely look like
// ours survive, a work-folder parent others could reach is refused, kill -9 during a write
// leaves nothing in the output folder, and an output the user could not write (or a loop of
// links) is refused as cp refuses it, untouched.
#include "FaultSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velmora::faults {
namespace {

using test::fileNames;
using test::writeText;

const Bytes& image() {
    static const Bytes bytes = validImage(23);
    return bytes;
}

std::string uidName() {
    return "velmora-" + std::to_string(::geteuid());
}

// Runs velmora-cli with TMPDIR = `tmp` and, as over ssh, cron or sudo, no XDG_RUNTIME_DIR.
ProcessOptions withoutRuntime(const fs::path& tmp) {
    ProcessOptions options;
    options.environment["TMPDIR"] = tmp.string();
    options.unsetEnvironment = {"XDG_RUNTIME_DIR"};
    return options;
}

void makeOld(const fs::path& path) {
    const struct timeval old[2] = {{::time(nullptr) - 86400, 0}, {::time(nullptr) - 86400, 0}};
    ::lutimes(path.c_str(), old);
}

// Each name in the folder with its content or, for a link, where it leads (loops included).
std::map<std::string, std::string> listing(const fs::path& folder) {
    std::map<std::string, std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const Bytes bytes = entry.is_symlink() ? Bytes{} : readFile(entry.path());
        names[entry.path().filename().string()] =
            entry.is_symlink() ? "-> " + fs::read_symlink(entry.path()).string()
                               : std::string(bytes.begin(), bytes.end());
    }
    return names;
}

std::optional<unsigned> nobody() {
    const struct passwd* user = ::getpwnam("nobody");
    if (::geteuid() != 0 || user == nullptr)
        return std::nullopt;
    return user->pw_uid;
}

TEST(OwnFiles, FoldersThatOnlyLookLikeOursSurviveEveryRun) {
    TempFolder root;
    const fs::path tmp = root / "tmp";
    for (const auto* name : {"velmora-edit", "velmora-1.0.1-Source", "velmora-cli-4242-AbCdEf"})
        fs::create_directories(tmp / name);
    // A menu the user unpacked to the temporary folder, and an unpacked source tarball.
    writeFile(tmp / "velmora-edit" / "topModeSelect_Mov00_Ex.png", image());
    writeText(tmp / "velmora-1.0.1-Source" / "CMakeLists.txt", "project(Velmora)");
    // A folder as an earlier version left it: its owner file is unlocked.
    writeText(tmp / "velmora-cli-4242-AbCdEf" / ".owner", "");
    for (const auto* name : {"velmora-edit", "velmora-1.0.1-Source", "velmora-cli-4242-AbCdEf"}) {
        for (const auto& entry : fs::recursive_directory_iterator(tmp / name))
            makeOld(entry.path());
        makeOld(tmp / name);
    }
    writeFile(root / "tile.dds", image());
    const TreeSnapshot before = snapshot(tmp);

    const ProcessResult pack =
        runCliHere({cliPath(), "pack", (root / "tile.dds").string(), "0", (root / "tile").string()},
                   withoutRuntime(tmp));
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    const ProcessResult unpack =
        runCliHere({cliPath(), "unpack", (root / "tile.bin").string(), (root / "back").string()},
                   withoutRuntime(tmp));
    ASSERT_EQ(unpack.exitCode, 0) << unpack.err;

    TreeSnapshot after = snapshot(tmp);
    ASSERT_EQ(after.erase(uidName()), 1u) << "the work folders' parent is " << uidName();
    EXPECT_EQ(after, before) << describeChanges(before, after);
    EXPECT_TRUE(fs::is_empty(tmp / uidName())) << "a work folder was left behind";
}

// A run killed between creating its work folder and marking it leaves the folder empty or with
// a partly written owner file; the next run removes it once that run's process is gone, and
// keeps anything else.
TEST(OwnFiles, AFolderKilledBeforeItsMarkGoesOnlyWhenItsRunIsGone) {
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ASSERT_GT(dead, 0);
    ::waitpid(dead, nullptr, 0);
    TempFolder root;
    const fs::path tmp = root / "tmp";
    const fs::path parent = tmp / uidName();
    fs::create_directories(parent);
    ::chmod(parent.c_str(), 0700);
    const std::string deadRun = "velmora-cli-" + std::to_string(dead) + "-";
    const std::string liveRun = "velmora-cli-" + std::to_string(::getpid()) + "-";
    struct Planted {
        std::string name;
        const char* file; // inside, with "half" of the mark as content; nullptr: empty folder
        bool survives;
    };
    const Planted planted[] = {
        {deadRun + "Empty1", nullptr, false},      {deadRun + "HalfMk", ".owner.new", false},
        {liveRun + "Empty2", nullptr, true},       {liveRun + "HalfM2", ".owner.new", true},
        {deadRun + "Theirs", "picture.png", true}, {"velmora-cli-notapid-Empty3", nullptr, true},
    };
    for (const auto& p : planted) {
        fs::create_directory(parent / p.name);
        if (p.file)
            writeText(parent / p.name / p.file, "velmora work");
    }
    writeFile(root / "tile.dds", image());

    const ProcessResult pack =
        run({cliPath(), "pack", (root / "tile.dds").string(), "0", (root / "tile").string()},
            withoutRuntime(tmp));
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    for (const auto& p : planted)
        EXPECT_EQ(fs::exists(parent / p.name), p.survives) << p.name;
}

struct ParentCase {
    const char* name;
    const char* reason; // in the message
    bool needsRoot;
    void (*prepare)(const fs::path& parent, const fs::path& elsewhere);
};

const ParentCase kParentCases[] = {
    {"OpenToEveryone", "open to other users", false,
     [](const fs::path& parent, const fs::path&) {
         fs::create_directory(parent);
         ::chmod(parent.c_str(), 0777);
     }},
    {"AnotherUsers", "belongs to another user", true,
     [](const fs::path& parent, const fs::path&) {
         fs::create_directory(parent);
         ::chmod(parent.c_str(), 0700);
         ASSERT_EQ(::chown(parent.c_str(), *nobody(), *nobody()), 0);
     }},
    {"ASymbolicLink", "not a folder", false,
     [](const fs::path& parent, const fs::path& elsewhere) {
         fs::create_directory(elsewhere);
         ::chmod(elsewhere.c_str(), 0700);
         fs::create_directory_symlink(elsewhere, parent);
     }},
};

class WorkFolderParent : public ::testing::TestWithParam<ParentCase> {};

TEST_P(WorkFolderParent, ThatOthersCouldReachIsRefusedWithAClearMessage) {
    const ParentCase& c = GetParam();
    if (c.needsRoot && !nobody())
        GTEST_SKIP() << "needs root and the user nobody";
    TempFolder root;
    const fs::path tmp = root / "tmp";
    const fs::path parent = tmp / uidName();
    fs::create_directories(tmp);
    c.prepare(parent, root / "elsewhere");
    writeText(parent / "planted", "someone else's");
    writeFile(root / "tile.dds", image());
    const TreeSnapshot before = snapshot(root.path());

    const ProcessResult r =
        run({cliPath(), "pack", (root / "tile.dds").string(), "0", (root / "tile").string()},
            withoutRuntime(tmp));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(parent.string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    const TreeSnapshot after = snapshot(root.path());
    EXPECT_EQ(after, before) << describeChanges(before, after);
}

INSTANTIATE_TEST_SUITE_P(Faults, WorkFolderParent, ::testing::ValuesIn(kParentCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OwnFiles, KillNineDuringPackLeavesNothingInTheOutputFolder) {
    TempFolder root;
    const fs::path tmp = root / "tmp";
    fs::create_directories(tmp);
    fs::create_directories(root / "out");
    writeFile(root / "tile.dds", image());
    const std::vector<std::string> pack{cliPath(), "pack", (root / "tile.dds").string(), "0",
                                        (root / "out" / "tile.bin").string()};
    // One whole run shows how long a pack takes, and what it writes.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(run(pack, withoutRuntime(tmp)).exitCode, 0);
    const auto whole = std::chrono::steady_clock::now() - started;
    const Bytes packed = readFile(root / "out" / "tile.bin");
    fs::remove(root / "out" / "tile.bin");

    // Kills spread over the whole run, so some land while the output is written and some
    // after it first exists (the replacing path); two runs at a time, into the same output.
    constexpr int kKills = 40;
    for (int i = 0; i < kKills; i += 2) {
        Process first(pack, withoutRuntime(tmp));
        Process second(pack, withoutRuntime(tmp));
        std::this_thread::sleep_for(whole * (i % 20 + 1) / 20);
        first.signal(SIGKILL);
        std::this_thread::sleep_for(whole / 20);
        second.signal(SIGKILL);
        first.wait();
        second.wait();
        for (const auto& name : fileNames(root / "out")) {
            ASSERT_EQ(name, "tile.bin") << "kill " << i << " left a partial file";
            ASSERT_TRUE(readFile(root / "out" / name) == packed) << "kill " << i;
        }
    }
    const ProcessResult next = run(pack, withoutRuntime(tmp));
    ASSERT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(fileNames(root / "out"), std::set<std::string>{"tile.bin"});
    EXPECT_TRUE(readFile(root / "out" / "tile.bin") == packed);
    EXPECT_EQ(test::leftInTemp(tmp), std::set<std::string>{})
        << "the next run left abandoned work folders";
}

struct OutputCase {
    const char* name;
    bool asNobody;
    const char* expected; // in the message; empty: the write succeeds
    // Makes the output in `folder`; returns the path handed to pack.
    fs::path (*prepare)(const fs::path& folder);
};

const OutputCase kOutputCases[] = {
    {"ReadOnlyInAWorldWritableFolder", true, "permission denied",
     [](const fs::path& folder) {
         ::chmod(folder.c_str(), 0777);
         writeText(folder / "theirs.bin", "their game file");
         ::chmod((folder / "theirs.bin").c_str(), 0444);
         return folder / "theirs.bin";
     }},
    {"AnotherUsersInAStickyFolder", true, "permission denied",
     [](const fs::path& folder) {
         ::chmod(folder.c_str(), 01777);
         writeText(folder / "theirs.bin", "their game file");
         ::chmod((folder / "theirs.bin").c_str(), 0666);
         return folder / "theirs.bin";
     }},
    {"ALoopOfLinks", false, "loop",
     [](const fs::path& folder) {
         fs::create_symlink("b.bin", folder / "a.bin");
         fs::create_symlink("a.bin", folder / "b.bin");
         return folder / "a.bin";
     }},
    {"ALinkToAFileIsWrittenThrough", false, "",
     [](const fs::path& folder) {
         writeText(folder / "real.bin", "old");
         fs::create_symlink("real.bin", folder / "link.bin");
         return folder / "link.bin";
     }},
};

class Output : public ::testing::TestWithParam<OutputCase> {};

TEST_P(Output, ThatTheUserCouldNotWriteIsRefusedUntouched) {
    const OutputCase& c = GetParam();
    const auto user = nobody();
    if (c.asNobody && !user)
        GTEST_SKIP() << "needs root and the user nobody";
    TempFolder root;
    ::chmod(root.path().c_str(), 0755);
    const fs::path tmp = root / "tmp";
    fs::create_directories(tmp);
    fs::create_directories(root / "out");
    writeFile(root / "tile.dds", image());
    ::chmod((root / "tile.dds").c_str(), 0644);
    const fs::path output = c.prepare(root / "out");
    ProcessOptions options = withoutRuntime(tmp);
    if (c.asNobody) {
        ASSERT_EQ(::chown(tmp.c_str(), *user, *user), 0);
        options.runAsUser = user;
    }
    const auto before = listing(root / "out");

    const ProcessResult r =
        run({cliPath(), "pack", (root / "tile.dds").string(), "0", output.string()}, options);
    const auto after = listing(root / "out");
    if (*c.expected == '\0') {
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(after.size(), 2u);
        EXPECT_EQ(after.at("link.bin"), "-> real.bin");
        EXPECT_EQ(after.at("real.bin").size(), 2'400'017u);
        return;
    }
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(output.filename().string()), std::string::npos) << r.err;
    EXPECT_EQ(after, before) << "the output folder changed";
}

INSTANTIATE_TEST_SUITE_P(Faults, Output, ::testing::ValuesIn(kOutputCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::faults
