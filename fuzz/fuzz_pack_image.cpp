// The image check of Pack on arbitrary DDS-like bytes: accepted or refused with a message,
// never a crash. Inputs that make a file of a plausible length also go through the real Pack
// workflow now and then, which must agree with the check: a game file of exactly 2,400,017
// bytes when the image is accepted, one message and nothing written when it is refused.
//
// Input: byte 0 chooses the file length, the rest is the start of the file.
//   0       the file is exactly the rest
//   1, 2, 3 the rest zero-filled to 4,194,431 / 4,194,432 / 4,194,432 + 4,096 bytes
//   other   bytes 1..8 are the file length as the check is told it, the rest its first bytes
#include "base/GameFileLayout.h"
#include "formats/DdsImageCheck.h"
#include "formats/DdsReader.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/Workflows.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    std::fprintf(stderr, "pack image fault: %s\n", what.c_str());
    std::abort();
}

std::set<std::string> listTree(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        names.insert(fs::relative(entry.path(), root).generic_string());
    }
    return names;
}

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pack through the real workflow; the check has already said what must happen.
void packForReal(const std::vector<std::uint8_t>& file, bool accepted, const std::string& refusal) {
    const fs::path image = g_root / "image.dds";
    const fs::path work = g_root / "work";
    const fs::path game = g_root / "out" / "tile.bin";
    {
        std::ofstream out(image, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        if (!out) {
            fail("cannot write the image for Pack");
        }
    }
    conv::DeflateCompressionComponent component;
    const conv::Outcome outcome =
        conv::runPack(work, image.string(), (g_root / "out" / "tile").string(),
                      "topModeSelect_Mov00_Ex.tex", component);
    std::set<std::string> expected{"image.dds", "work", "work/WE00", "out"};
    if (outcome) {
        if (!accepted) {
            fail("Pack accepted an image the check refuses: " + refusal);
        }
        const std::vector<std::uint8_t> bytes = readFile(game);
        if (bytes.size() != conv::kGameFileSize || bytes[12] != 0xD0 || bytes[13] != 0x00 ||
            bytes[14] != 0x40 || bytes[15] != 0x00) {
            fail("a successful Pack did not write a whole game file");
        }
        expected.insert("out/tile.bin");
    } else {
        // Only a refused image or a stream too large for the game file may stop this Pack.
        if (accepted && outcome.error().kind != conv::ErrorKind::DoesNotFit) {
            fail("Pack refused an image the check accepts: " + outcome.error().message());
        }
        if (outcome.error().reason.empty()) {
            fail("a failed Pack gave no message");
        }
    }
    if (listTree(g_root) != expected) {
        fail("files left behind or missing after Pack");
    }
    std::error_code ec;
    fs::remove(game, ec);
    fs::remove(image, ec);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "velmora-fuzz-pack.XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        fail("cannot create a temporary folder");
    }
    g_root = pattern;
    fs::create_directories(g_root / "work");
    fs::create_directories(g_root / "out");
    std::ofstream(g_root / "work" / "WE00", std::ios::binary)
        << std::string("WE00") + std::string(44, '\0');
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(g_root, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t selector = data[0];
    if (selector > 3) {
        if (size < 9) {
            return 0;
        }
        std::uint64_t fileSize = 0;
        std::memcpy(&fileSize, data + 1, sizeof fileSize);
        const std::span<const std::uint8_t> bytes(data + 9, size - 9);
        const auto usable = conv::inspectDdsHeader(bytes, fileSize);
        if (!usable && usable.error().reason.empty()) {
            fail("an image was refused without a message");
        }
        (void)conv::describeDds(bytes);
        return 0;
    }

    std::vector<std::uint8_t> file(data + 1, data + size);
    static constexpr std::size_t kLengths[] = {0, conv::kImageBlockSize - 1, conv::kImageBlockSize,
                                               conv::kImageBlockSize + 4096};
    if (selector > 0 && file.size() < kLengths[selector]) {
        file.resize(kLengths[selector], 0);
    }
    const std::span<const std::uint8_t> head(file.data(), std::min<std::size_t>(file.size(), 4096));
    const auto usable = conv::readDdsPicture(file);
    if (!usable && usable.error().reason.empty()) {
        fail("an image was refused without a message");
    }
    // The header alone must give the reader's verdict, and an accepted image is the game's size.
    const auto inspected = conv::inspectDdsHeader(head, file.size());
    if (inspected.has_value() != usable.has_value()) {
        fail("the header inspection and the whole-file read disagree");
    }
    if (usable &&
        usable->bgra.size() != std::size_t{usable->layout.width} * usable->layout.height * 4) {
        fail("the reader gave another number of pixels than its size");
    }
    (void)conv::describeDds(head);

    // The real workflow is slow next to the check, so only accepted images and one refused
    // input in eight (chosen by content, so a reproducer replays the same path) take it.
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    // Pack takes what the reader decodes at the game's size alone.
    const bool packable = usable && usable->layout.width == 1024 && usable->layout.height == 1024;
    if (selector > 0 && (packable || hash % 8 == 0)) {
        packForReal(file, packable, usable ? "a picture of another size" : usable.error().reason);
    }
    return 0;
}
