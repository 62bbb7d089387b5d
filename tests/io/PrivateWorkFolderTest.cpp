// Work folders: private to their owner, gone when it ends, and cleared by the next run when
// the owner was killed before it could clear its own.
#include "ConversionTestSupport.h"

#include "io/PrivateWorkFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {
namespace {

using conversion::PrivateWorkFolder;

// Every case works under a base of its own, named by XDG_RUNTIME_DIR.
struct RuntimeDir {
    TempFolder folder;
    RuntimeDir() { ::setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1); }
    ~RuntimeDir() { ::unsetenv("XDG_RUNTIME_DIR"); }
};

TEST(PrivateWorkFolder, IsPrivateLivesAsLongAsItsOwnerAndSurvivesOtherRuns) {
    RuntimeDir runtime;
    std::filesystem::path kept;
    {
        auto work = PrivateWorkFolder::create("test");
        ASSERT_TRUE(work) << work.error().reason;
        kept = work->path();
        EXPECT_EQ(kept.parent_path(), runtime.folder / "velmora");
        for (const auto& folder : {kept, kept.parent_path()}) {
            struct stat info {};
            ASSERT_EQ(::stat(folder.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
        }
        // Another run starting now must leave a live run's folder alone.
        EXPECT_EQ(PrivateWorkFolder::removeAbandoned(kept.parent_path()), 0);
        EXPECT_TRUE(std::filesystem::exists(kept));
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(PrivateWorkFolder, AFolderLeftByAKilledRunIsRemovedByTheNextAndNothingElseIs) {
    RuntimeDir runtime;
    const auto parent = runtime.folder / "velmora";
    std::filesystem::create_directory(parent);
    ::chmod(parent.c_str(), 0700);
    writeText(parent / "velmora-notes.txt", "a file, not a work folder");
    std::filesystem::create_directory(parent / "other-program");
    // Named like a work folder, but without our mark: never ours to remove.
    std::filesystem::create_directory(parent / "velmora-unmarked");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto work = PrivateWorkFolder::create("killed");
        ::_exit(work ? 0 : 1); // no destructor runs: as if killed
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(fileNames(parent).size(), 4u);

    auto next = PrivateWorkFolder::create("next");
    ASSERT_TRUE(next) << next.error().reason;
    EXPECT_EQ(fileNames(parent),
              (std::set<std::string>{"velmora-notes.txt", "other-program", "velmora-unmarked",
                                     next->path().filename().string()}));
}

} // namespace
} // namespace velmora::test
