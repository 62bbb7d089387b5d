// The picture watch against a fake editor: saves in place, through a renamed temporary file
// and by deleting and creating; slow saves in chunks, damaged saves and bursts. The game file
// is read back with zlib alone and its pixels compared with the picture saved last.
#include "watch/PictureWatch.h"
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "ProcessRunner.h"
#include "TempFolder.h"
#include "watch/PackTargets.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using watch::WatchEvent;

constexpr const char* kName = "topModeSelect_Mov03_ML.tex";

Bytes ownHeader() {
    Bytes header(48);
    for (std::size_t i = 0; i < header.size(); ++i)
        header[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 7));
    return header;
}

// The record a game file holds, inflated by zlib; empty when the file is not whole.
Bytes recordOf(const fs::path& gameFile) {
    std::error_code error;
    if (!fs::exists(gameFile, error))
        return {};
    const Bytes file = readFile(gameFile);
    if (file.size() != 2'400'017)
        return {};
    Bytes record(4'194'600);
    uLongf length = record.size();
    uLong sourceLength = file.size() - 16;
    if (uncompress2(record.data(), &length, file.data() + 16, &sourceLength) != Z_OK)
        return {};
    record.resize(length);
    return record;
}

// Whether the game file holds exactly the picture's pixels (the DDS's 128-byte header aside).
bool holdsPixels(const fs::path& gameFile, const Bytes& picture) {
    const Bytes record = recordOf(gameFile);
    return record.size() > 48 + 4'194'432 &&
           std::equal(picture.begin() + 128, picture.end(), record.begin() + 48 + 128);
}

bool eventually(const std::function<bool()>& condition) {
    for (const auto until = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms))
        if (condition())
            return true;
    return condition();
}

void writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        ASSERT_GT(n, 0);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

enum class Save { InPlace, TempRename, DeleteCreate, SlowInChunks, EmptyFirst };

// How editors save: in place (truncate, write, close); to a temporary name renamed over the
// picture (Krita, GIMP through GIO); delete then create; or slowly, a new file written in
// chunks with pauses between them, as over a network share; or made empty and closed first,
// then written whole a moment later (ImageMagick).
void save(const fs::path& picture, const Bytes& bytes, Save how) {
    if (how == Save::EmptyFirst) {
        fs::remove(picture);
        writeFile(picture, Bytes{});
        std::this_thread::sleep_for(600ms);
    }
    if (how == Save::TempRename) {
        const fs::path temporary = picture.parent_path() / (picture.filename().string() + ".tmp");
        writeFile(temporary, bytes);
        fs::rename(temporary, picture);
        return;
    }
    if (how == Save::DeleteCreate || how == Save::SlowInChunks)
        fs::remove(picture);
    const int fd = ::open(picture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::size_t chunks = how == Save::SlowInChunks ? 6 : 1;
    const std::size_t chunk = bytes.size() / chunks + 1;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        writeAll(fd, bytes.data() + at, std::min(chunk, bytes.size() - at));
        if (how == Save::SlowInChunks)
            std::this_thread::sleep_for(500ms); // 3 s in all: longer than any quiet period
    }
    ::close(fd);
}

// A watch on f/edit packing into f/out like the original f/menu/tile.bin, with its events.
struct Rig {
    TempFolder f;
    std::mutex lock;
    std::vector<WatchEvent> events;
    std::vector<std::string> problems; // a game file seen holding anything but a saved picture
    std::vector<Bytes> saved;          // every whole picture saved so far
    std::unique_ptr<watch::PictureWatch> watch;

    Rig() {
        ::setenv("XDG_RUNTIME_DIR", (f / "run").c_str(), 1);
        fs::create_directories(f / "run");
        fs::create_directories(f / "edit");
        fs::create_directories(f / "out");
        fs::create_directories(f / "menu");
        Bytes original =
            gameFileAround(zlibStream(textureRecord(validImage(1), kName, ownHeader())));
        original.resize(2'400'017, 0);
        writeFile(f / "menu" / "tile.bin", original);
    }
    ~Rig() { watch.reset(); }

    void start(bool packExisting = true, const fs::path& outputFolder = {}) {
        watch::TargetChoice choice;
        choice.outputFolder = outputFolder.empty() ? f / "out" : outputFolder;
        choice.like = f / "menu";
        auto targetFor = watch::makeTargetFor(choice);
        ASSERT_TRUE(targetFor) << targetFor.error().reason;
        watch::WatchOptions options;
        options.folder = f / "edit";
        options.targetFor = *targetFor;
        options.packExisting = packExisting;
        options.outputFolder = outputFolder;
        options.jobs = 2;
        options.report = [this](const WatchEvent& event) {
            const std::lock_guard guard(lock);
            events.push_back(event);
            if (event.kind != WatchEvent::Kind::Written)
                return;
            // The game file just written holds one of the whole pictures saved, never a part.
            bool whole = false;
            for (const Bytes& picture : saved)
                whole = whole || holdsPixels(event.output, picture);
            if (!whole)
                problems.push_back(event.output.string() + " holds no picture that was saved");
        };
        auto started = watch::PictureWatch::start(std::move(options));
        ASSERT_TRUE(started) << started.error().reason;
        watch = std::move(*started);
    }

    void saveAs(const Bytes& picture, Save how, const std::string& name = "tile.dds") {
        {
            const std::lock_guard guard(lock);
            saved.push_back(picture);
        }
        save(f / "edit" / name, picture, how);
    }

    std::size_t count(WatchEvent::Kind kind) {
        const std::lock_guard guard(lock);
        return static_cast<std::size_t>(std::count_if(
            events.begin(), events.end(), [kind](const WatchEvent& e) { return e.kind == kind; }));
    }
};

TEST(PictureWatch, EverySaveOfEveryEditorEndsInItsPictureAndNothingElse) {
    Rig rig;
    rig.saveAs(validImage(2), Save::InPlace); // there before the watch: packed at start
    rig.start();
    const fs::path out = rig.f / "out" / "tile.bin";
    ASSERT_TRUE(eventually([&] { return holdsPixels(out, validImage(2)); }));
    const struct {
        Save how;
        std::uint32_t seed;
    } rows[] = {{Save::InPlace, 3},      {Save::TempRename, 4}, {Save::DeleteCreate, 5},
                {Save::SlowInChunks, 6}, {Save::EmptyFirst, 8}, {Save::TempRename, 7}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seed);
        rig.saveAs(validImage(row.seed), row.how);
        EXPECT_TRUE(eventually([&] { return holdsPixels(out, validImage(row.seed)); }));
    }
    // The record is the original's but for the pixels: its header and texture name.
    const Bytes record = recordOf(out);
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 48), ownHeader());
    EXPECT_EQ(std::string(record.begin() + 4'194'480, record.end()), kName);
    rig.watch.reset();
    const std::lock_guard guard(rig.lock);
    EXPECT_EQ(rig.problems, std::vector<std::string>{});
    for (const WatchEvent& event : rig.events)
        EXPECT_NE(event.kind, WatchEvent::Kind::Refused) << event.message;
    // Temporary names, backups and the like are no pictures: nothing but the game file.
    EXPECT_EQ(fileNames(rig.f / "out"), std::set<std::string>{"tile.bin"});
    EXPECT_EQ(leftInTemp(rig.f / "run"), std::set<std::string>{});
}

TEST(PictureWatch, ADamagedSaveIsRefusedAndTheGameFileKeepsTheLastGoodPicture) {
    Rig rig;
    rig.start();
    rig.saveAs(validImage(11), Save::InPlace);
    const fs::path game = rig.f / "out" / "tile.bin";
    ASSERT_TRUE(eventually([&] { return holdsPixels(game, validImage(11)); }));
    Bytes cut = validImage(12);
    cut.resize(2'000'000);
    const struct {
        const char* what;
        Bytes bytes;
    } damaged[] = {
        {"cut short", cut},
        {"not a picture", Bytes(5000, 0x42)},
    };
    std::size_t refused = 0;
    for (const auto& row : damaged) {
        SCOPED_TRACE(row.what);
        save(rig.f / "edit" / "tile.dds", row.bytes, Save::InPlace);
        ++refused;
        ASSERT_TRUE(eventually([&] { return rig.count(WatchEvent::Kind::Refused) == refused; }));
        EXPECT_TRUE(holdsPixels(game, validImage(11)));
        const std::lock_guard guard(rig.lock);
        EXPECT_EQ(rig.events.back().picture, rig.f / "edit" / "tile.dds");
        EXPECT_NE(rig.events.back().message.find("tile.dds"), std::string::npos)
            << rig.events.back().message;
    }
    // The watch goes on.
    rig.saveAs(validImage(13), Save::TempRename);
    EXPECT_TRUE(eventually([&] { return holdsPixels(game, validImage(13)); }));
}

TEST(PictureWatch, ABurstOfSavesCoalescesAndTheLastPictureWins) {
    Rig rig;
    rig.start();
    const fs::path game = rig.f / "out" / "tile.bin";
    for (std::uint32_t seed = 20; seed < 30; ++seed)
        rig.saveAs(validImage(seed), seed % 2 ? Save::InPlace : Save::TempRename);
    ASSERT_TRUE(eventually([&] { return holdsPixels(game, validImage(29)); }));
    // Quiet long enough for a stray late pack to show.
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(holdsPixels(game, validImage(29)));
    EXPECT_LT(rig.count(WatchEvent::Kind::Packing), 10u);
    EXPECT_EQ(rig.count(WatchEvent::Kind::Refused), 0u);
}

// Stopping in the middle of a pack: the output is whole or absent, and nothing is left.
TEST(PictureWatch, StoppingDuringAPackLeavesNoPartialOutputAndNoWorkFolder) {
    Rig rig;
    for (int i = 0; i < 4; ++i)
        rig.saveAs(validImage(40 + static_cast<std::uint32_t>(i)), Save::InPlace,
                   "tile" + std::to_string(i) + ".dds");
    // Each picture takes its original, named after it.
    for (int i = 0; i < 4; ++i)
        fs::copy_file(rig.f / "menu" / "tile.bin",
                      rig.f / "menu" / ("tile" + std::to_string(i) + ".bin"));
    rig.start();
    ASSERT_TRUE(eventually([&] { return rig.count(WatchEvent::Kind::Packing) > 0; }));
    rig.watch.reset();
    for (const std::string& name : fileNames(rig.f / "out")) {
        SCOPED_TRACE(name);
        const std::size_t i = static_cast<std::size_t>(name[4] - '0');
        EXPECT_EQ(name, "tile" + std::to_string(i) + ".bin");
        EXPECT_TRUE(
            holdsPixels(rig.f / "out" / name, validImage(40 + static_cast<std::uint32_t>(i))));
    }
    EXPECT_EQ(leftInTemp(rig.f / "run"), std::set<std::string>{});
}

// The watched folder or the output folder taken away: told once, as that folder and how it went,
// and a save packed into an output folder that is gone is refused, the watch going on. An
// output folder that is the watched folder itself is watched once, its saves still seen.
TEST(PictureWatch, AFolderThatGoesIsToldOnceAndAPackIntoAMissingOutputIsRefused) {
    using Gone = WatchEvent::FolderGone;
    const struct {
        const char* what;
        const char* output;    // the output folder, under the rig's folder
        const char* takenAway; // the folder taken away
        const char* movedTo;   // where it goes, nullptr: removed
        bool savedAfter;       // a save after it is refused
    } rows[] = {
        {"output removed", "out", "out", nullptr, true},
        {"watched folder moved away", "out", "edit", "elsewhere", false},
        {"output is the watched folder, removed", "edit", "edit", nullptr, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Rig rig;
        rig.start(true, rig.f / row.output);
        const fs::path game = rig.f / row.output / "tile.bin";
        rig.saveAs(validImage(51), Save::TempRename);
        ASSERT_TRUE(eventually([&] { return holdsPixels(game, validImage(51)); }));
        const fs::path away = rig.f / row.takenAway;
        if (row.movedTo)
            fs::rename(away, rig.f / row.movedTo);
        else
            fs::remove_all(away);
        const auto goneEvents = [&] {
            const std::lock_guard guard(rig.lock);
            std::vector<WatchEvent> gone;
            for (const WatchEvent& event : rig.events)
                if (event.gone != Gone::No)
                    gone.push_back(event);
            return gone;
        };
        ASSERT_TRUE(eventually([&] { return !goneEvents().empty(); }));
        if (row.savedAfter) {
            rig.saveAs(validImage(52), Save::InPlace);
            ASSERT_TRUE(eventually([&] {
                const std::lock_guard guard(rig.lock);
                return rig.events.back().kind == WatchEvent::Kind::Refused &&
                       rig.events.back().picture == rig.f / "edit" / "tile.dds";
            }));
        }
        std::this_thread::sleep_for(300ms); // time for a second telling to show
        rig.watch.reset();
        const auto gone = goneEvents();
        ASSERT_EQ(gone.size(), 1u);
        EXPECT_EQ(gone[0].kind, WatchEvent::Kind::Refused);
        EXPECT_EQ(gone[0].picture, away);
        const bool output = std::string(row.takenAway) != "edit";
        EXPECT_EQ(gone[0].output, output ? away : fs::path());
        EXPECT_EQ(gone[0].gone, row.movedTo ? Gone::MovedAway : Gone::Removed);
        EXPECT_NE(gone[0].message.find(away.string()), std::string::npos) << gone[0].message;
        EXPECT_EQ(leftInTemp(rig.f / "run"), std::set<std::string>{});
    }
}

TEST(PictureWatch, AFolderThatCannotBeWatchedIsAnErrorAtStart) {
    TempFolder f;
    writeText(f / "file", "x");
    for (const fs::path& folder : {f / "missing", f / "file"}) {
        watch::WatchOptions options;
        options.folder = folder;
        options.targetFor = [](const fs::path&) -> conversion::Result<watch::PackTarget> {
            return watch::PackTarget{};
        };
        const auto started = watch::PictureWatch::start(std::move(options));
        ASSERT_FALSE(started);
        EXPECT_NE(started.error().reason.find(folder.string()), std::string::npos);
    }
}

} // namespace
} // namespace velmora::test
