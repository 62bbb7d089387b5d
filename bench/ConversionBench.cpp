// Times Unpack and Pack through the real workflows against plain zlib and a plain copy, on
// three generated 1024x1024 images, and prints one table.
#include "TestImages.h"
#include "Timing.h"
#include "base/LargeBuffers.h"

#include "FileHelpers.h"
#include "GameFiles.h"

#include "base/GameFileLayout.h"
#include "gamefile/ZlibStream.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace conv = velmora::conversion;
using velmora::test::Bytes;
using velmora::test::writeFile;

constexpr int kRepeats = 5;
constexpr const char* kTextureName = "topModeSelect_Mov00_Ex.tex";

// CPU time of this process (user and system, so file writes and page faults count): on a
// shared machine it varies far less than the wall clock.
double medianMs(const std::function<void()>& body, const std::function<void()>& prepare = {}) {
    return velmora::bench::timeRuns(kRepeats, velmora::bench::Clock::ProcessCpu, body, prepare)
        .medianMs;
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "velmora_bench: %s\n", what.c_str());
    std::exit(1);
}

struct Row {
    std::string image;
    std::size_t ourStream = 0;
    int ourLevel = 0;
    std::size_t zlibStream = 0;
    double packMs = 0, zlibCompressMs = 0, unpackMs = 0, zlibUncompressWriteMs = 0, copyMs = 0;
    std::size_t levelSize[4] = {};
    double levelMs[4] = {};
    // Wall clock, as Pack's parts run on two threads: Pack, one single-thread level-12 pass of
    // the same record, and Python's zlib.compress(record, 9).
    // Our compression alone (deflateZlibStream) too, for the job Python's line does.
    double packWallMs = 0, compressWallMs = 0, level12WallMs = 0, pythonZlib9Ms = 0;
};

constexpr int kLevels[4] = {1, 6, 9, 12};

double wallMedianMs(const std::function<void()>& body) {
    return velmora::bench::timeRuns(kRepeats, velmora::bench::Clock::Wall, body).medianMs;
}

// The median time of zlib.compress(record, 9) in Python, measured inside Python so that the
// interpreter's start is left out.
double pythonZlib9Ms(const fs::path& recordFile) {
    const std::string command = "python3 -c 'import sys, time, zlib\n"
                                "data = open(sys.argv[1], \"rb\").read()\ntimes = []\n"
                                "for _ in range(" +
                                std::to_string(kRepeats) +
                                "):\n    start = time.perf_counter(); zlib.compress(data, 9); "
                                "times.append(time.perf_counter() - start)\n"
                                "print(sorted(times)[len(times) // 2] * 1000)' '" +
                                recordFile.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    double ms = 0;
    if (!pipe || std::fscanf(pipe, "%lf", &ms) != 1)
        ms = 0;
    if (pipe)
        ::pclose(pipe);
    return ms;
}

Row measure(const velmora::bench::TestImage& image, const fs::path& root) {
    Row row;
    row.image = image.name;
    const fs::path app = root / "app";
    const fs::path user = root / "user";
    fs::create_directories(app);
    fs::create_directories(user);
    writeFile(app / "WE00", velmora::test::plainTextureHeader());
    writeFile(user / "in.dds", image.bytes);
    const Bytes record = velmora::test::textureRecord(image.bytes, kTextureName);

    conv::DeflateCompressionComponent component;
    conv::Outcome packed;
    row.packMs = medianMs([&] {
        packed = conv::runPack(app, (user / "in.dds").string(), (user / "out").string(),
                               kTextureName, component);
    });
    if (!packed)
        fail(image.name + ": " + packed.error().message());
    row.ourStream = static_cast<std::size_t>(*packed->storedLength) + 4;
    row.ourLevel = component.lastLevel();
    row.packWallMs = wallMedianMs([&] {
        packed = conv::runPack(app, (user / "in.dds").string(), (user / "out").string(),
                               kTextureName, component);
    });
    {
        libdeflate_compressor* c = libdeflate_alloc_compressor(12);
        Bytes out(libdeflate_zlib_compress_bound(c, record.size()));
        row.level12WallMs = wallMedianMs([&] {
            (void)libdeflate_zlib_compress(c, record.data(), record.size(), out.data(), out.size());
        });
        libdeflate_free_compressor(c);
    }
    row.compressWallMs = wallMedianMs([&] { (void)conv::deflateZlibStream(record); });
    writeFile(user / "record", record);
    row.pythonZlib9Ms = pythonZlib9Ms(user / "record");

    conv::Outcome unpacked;
    row.unpackMs = medianMs(
        [&] { unpacked = conv::runUnpack(app, "out.bin", (user / "back").string(), component); },
        [&] { (void)conv::copyToWorkFile(user / "out.bin", app, conv::WorkFile::Temp); });
    if (!unpacked)
        fail(image.name + ": " + unpacked.error().message());

    // The plain calls pay for their own output buffers, as the workflows do.
    Bytes zstream;
    uLongf zsize = 0;
    row.zlibCompressMs = medianMs([&] {
        zstream = Bytes(::compressBound(record.size()));
        zsize = zstream.size();
        if (::compress2(zstream.data(), &zsize, record.data(), record.size(), 9) != Z_OK)
            fail("compress2 failed");
    });
    row.zlibStream = zsize;

    Bytes inflated;
    row.zlibUncompressWriteMs = medianMs([&] {
        inflated = Bytes(record.size());
        uLongf outSize = inflated.size();
        if (::uncompress(inflated.data(), &outSize, zstream.data(), zsize) != Z_OK)
            fail("uncompress failed");
        std::ofstream out(user / "plain.dds", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(inflated.data() + 48), conv::kImageBlockSize);
    });

    row.copyMs = medianMs([&] {
        fs::copy_file(user / "in.dds", user / "copy.dds", fs::copy_options::overwrite_existing);
    });

    for (int i = 0; i < 4; ++i) {
        libdeflate_compressor* c = libdeflate_alloc_compressor(kLevels[i]);
        Bytes out(libdeflate_zlib_compress_bound(c, record.size()));
        row.levelMs[i] = velmora::bench::timeRuns(1, velmora::bench::Clock::ProcessCpu, [&] {
                             row.levelSize[i] = libdeflate_zlib_compress(
                                 c, record.data(), record.size(), out.data(), out.size());
                         }).medianMs;
        libdeflate_free_compressor(c);
    }
    fs::remove_all(root);
    return row;
}

} // namespace

int main() {
    // As the programs do, so the figures are theirs.
    velmora::conversion::preferLargePagesForBuffers();
    const fs::path root =
        fs::temp_directory_path() / ("velmora-bench-" + std::to_string(::getpid()));
    const auto images = velmora::bench::makeTestImages();
    std::vector<Row> rows;
    for (const auto& image : images)
        rows.push_back(measure(image, root / std::to_string(rows.size())));

    const double record = double(conv::kRecordNameOffset + 26);
    std::printf("Record %zu bytes; median of %d runs; process CPU time in ms\n\n",
                conv::kRecordNameOffset + 26, kRepeats);
    std::printf("%-22s %9s %9s %12s %12s %9s %9s %9s %9s %9s\n", "image", "Pack", "zlib-9",
                "stream", "zlib-9 size", "ratio", "Unpack", "zlib-un", "copy", "level");
    std::printf("%-22s %9s %9s %12s %12s %9s %9s %9s %9s %9s\n", "", "", "compress", "(ours)", "",
                "(ours)", "", "+write", "", "used");
    for (const Row& r : rows) {
        std::printf("%-22s %9.1f %9.1f %12zu %12zu %8.1f%% %9.1f %9.1f %9.1f %9d\n",
                    r.image.c_str(), r.packMs, r.zlibCompressMs, r.ourStream, r.zlibStream,
                    100.0 * r.ourStream / record, r.unpackMs, r.zlibUncompressWriteMs, r.copyMs,
                    r.ourLevel);
    }
    std::printf("\nlibdeflate levels on the same records: size (ms)\n");
    std::printf("%-22s", "image");
    for (int level : kLevels)
        std::printf(" %20s", ("level " + std::to_string(level)).c_str());
    std::printf("\n");
    for (const Row& r : rows) {
        std::printf("%-22s", r.image.c_str());
        for (int i = 0; i < 4; ++i)
            std::printf(" %11zu (%6.1f)", r.levelSize[i], r.levelMs[i]);
        std::printf("\n");
    }
    std::printf(
        "\nTargets: Pack <= zlib-9 compress, Unpack <= uncompress + write, stream <= zlib-9\n");
    for (const Row& r : rows)
        std::printf("%-22s %-9s %-9s %-9s\n", r.image.c_str(),
                    r.packMs <= r.zlibCompressMs ? "met" : "missed",
                    r.unpackMs <= r.zlibUncompressWriteMs ? "met" : "missed",
                    r.ourStream <= r.zlibStream ? "met" : "missed");
    std::printf("(a zlib-9 stream over %zu bytes could not go into a game file at all)\n",
                conv::kCompressedBlockSize);

    std::printf("\nWall clock, same run, median of %d: Pack against one single-thread level-12 "
                "pass of the same record and against Python's zlib.compress(record, 9)\n",
                kRepeats);
    std::printf("%-22s %6s %9s %9s %9s %8s %9s %8s %8s\n", "image", "level", "Pack", "compress",
                "level 12", "ratio", "py zlib9", "ratio", "ratio");
    std::printf("%-22s %6s %9s %9s %9s %8s %9s %8s %8s\n", "", "", "", "(ours)", "1 thread", "Pack",
                "", "Pack", "compress");
    for (const Row& r : rows) {
        const double python = r.pythonZlib9Ms > 0 ? r.pythonZlib9Ms : 1e300;
        std::printf("%-22s %6d %9.1f %9.1f %9.1f %7.2fx %9.1f %7.2fx %7.2fx\n", r.image.c_str(),
                    r.ourLevel, r.packWallMs, r.compressWallMs, r.level12WallMs,
                    r.packWallMs / r.level12WallMs, r.pythonZlib9Ms, r.packWallMs / python,
                    r.compressWallMs / python);
    }
    std::printf("Targets: Pack of a tile that needs level 12 <= 0.70x one level-12 pass; the flat "
                "graphic's compression <= 0.50x Python's zlib-9\n");
    for (const Row& r : rows) {
        if (r.ourLevel == 12)
            std::printf("%-22s %s\n", r.image.c_str(),
                        r.packWallMs <= 0.7 * r.level12WallMs ? "met" : "missed");
        if (r.image == "flat graphic")
            std::printf("%-22s %s\n", r.image.c_str(),
                        r.compressWallMs <= 0.5 * r.pythonZlib9Ms ? "met" : "missed");
    }
    return 0;
}
