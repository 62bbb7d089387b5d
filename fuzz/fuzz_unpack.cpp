// Unpack of an arbitrary game file through the real workflow, in a private folder tree:
//   <root>/game.bin   the file the user chose (never changed)
//   <root>/work/      the work folder, holding only WE00 between runs
//   <root>/out/       the output folder; "tile.dds" is the only file a run may leave there
// Every run must end in an image of exactly 4,194,432 bytes or in one message with nothing
// written, and must leave nothing else behind anywhere in the tree. The inspection behind
// `velmora-cli info` reads the same bytes and must agree on whether the stream is sound.
#include "base/GameFileLayout.h"
#include "gamefile/GameFileInspection.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace conv = velmora::conversion;

namespace {

fs::path g_root;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "unpack fault: %s\n", what.c_str());
    std::abort();
}

void writeFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
        fail("cannot write the fuzz input to " + path.string());
    }
}

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> listTree(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        names.insert(fs::relative(entry.path(), root).generic_string());
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "velmora-fuzz-unpack.XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        fail("cannot create a temporary folder");
    }
    g_root = pattern;
    fs::create_directories(g_root / "work");
    fs::create_directories(g_root / "out");
    static const std::uint8_t header[conv::kTextureHeaderBlockSize] = {'W', 'E', '0', '0'};
    writeFile(g_root / "work" / "WE00", header, sizeof header);
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(g_root, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path game = g_root / "game.bin";
    const fs::path work = g_root / "work";
    const fs::path image = g_root / "out" / "tile.dds";
    const fs::path cwd = fs::current_path();
    writeFile(game, data, size);

    // The browse copy, then the Unpack button.
    const conv::StepStatus copied = conv::copyToWorkFile(game, work, conv::WorkFile::Temp);
    if (!copied) {
        fail("the browse copy failed: " + copied.error().message());
    }
    conv::DeflateCompressionComponent component;
    const conv::Outcome outcome =
        conv::runUnpack(work, game.string(), (g_root / "out" / "tile").string(), component);

    std::set<std::string> expected{"game.bin", "work", "work/WE00", "out"};
    if (outcome) {
        if (outcome->messages.size() != 2 || outcome->messages[0] != "UncompressFile" ||
            outcome->messages[1] != game.string()) {
            fail("a successful Unpack did not close with its two messages");
        }
        std::error_code ec;
        if (fs::file_size(image, ec) != conv::kImageBlockSize || ec) {
            fail("a successful Unpack did not write a whole image");
        }
        expected.insert("out/tile.dds");
    } else if (outcome.error().reason.empty()) {
        fail("a failed Unpack gave no message");
    }
    if (listTree(g_root) != expected) {
        std::string found;
        for (const auto& name : listTree(g_root)) {
            found += " " + name;
        }
        fail("files left behind or missing after Unpack:" + found +
             (outcome ? "" : " (run failed: " + outcome.error().message() + ")"));
    }
    if (readFile(game) != std::vector<std::uint8_t>(data, data + size)) {
        fail("the game file was changed");
    }
    if (fs::current_path() != cwd) {
        fail("Unpack changed the current directory");
    }

    const conv::GameFileInfo info = conv::inspectGameFile(std::span(data, size));
    if (info.record.has_value() != outcome.has_value()) {
        fail(std::string("inspection and Unpack disagree: inspection says the stream is ") +
             (info.record ? "sound" : "broken (" + info.record.error().reason + ")") + ", Unpack " +
             (outcome ? "succeeded" : "failed: " + outcome.error().message()));
    }
    if (info.record && info.record->recordSize > conv::kInflateLimit) {
        fail("inspection accepted a record past the inflate bound");
    }

    std::error_code ec;
    fs::remove(image, ec);
    return 0;
}
