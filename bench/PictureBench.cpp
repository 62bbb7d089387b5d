// What PNG costs next to DDS: Pack from a PNG an editor wrote and Unpack to PNG, against the
// same runs with DDS, and the command line against ImageMagick's convert on the same files.
#include "TestImages.h"
#include "Timing.h"
#include "base/LargeBuffers.h"

#include "FileHelpers.h"

#include "base/GameFileLayout.h"
#include "formats/qt/QtPictureReader.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
namespace conv = velmora::conversion;
using Bytes = std::vector<std::uint8_t>;

constexpr int kRepeats = 5;
constexpr const char* kTextureName = "topModeSelect_Mov00_Ex.tex";

// Wall time: the comparison with another program has to count what a user waits for.
double medianMs(const std::function<void()>& body, const std::function<void()>& prepare = {}) {
    return velmora::bench::timeRuns(kRepeats, velmora::bench::Clock::Wall, body, prepare).medianMs;
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "velmora_picture_bench: %s\n", what.c_str());
    std::exit(1);
}

void run(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        fail("failed: " + command);
}

} // namespace

int main() {
    // As the programs do, so the figures are theirs.
    velmora::conversion::preferLargePagesForBuffers();
    const fs::path root =
        fs::temp_directory_path() / ("velmora-picture-bench-" + std::to_string(::getpid()));
    const fs::path app = root / "app";
    fs::create_directories(app);
    Bytes header(48, 0);
    std::copy_n("WE00", 4, header.begin());
    velmora::test::writeFile(app / "WE00", header);
    const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path() / "velmora-cli";
    const bool haveConvert = std::system("command -v convert >/dev/null 2>&1") == 0;

    const velmora::images::QtPictureReader pictures;
    conv::DeflateCompressionComponent component;
    std::printf("Median of %d runs, wall time in ms, 1024x1024 images\n\n", kRepeats);
    std::printf("%-22s %9s %9s %7s %9s %9s %7s %9s %9s %9s %9s\n", "image", "Pack", "Pack", "extra",
                "Unpack", "Unpack", "extra", "cli pack", "cli", "convert", "convert");
    std::printf("%-22s %9s %9s %7s %9s %9s %7s %9s %9s %9s %9s\n", "", "DDS", "PNG", "", "DDS",
                "PNG", "", "PNG", "unpack", "dds>png", "png>dds");
    for (const auto& image : velmora::bench::makeTestImages()) {
        velmora::test::writeFile(root / "in.dds", image.bytes);
        // The PNG as an editor writes it: Qt's writer with libpng's default settings.
        const QImage picture(image.bytes.data() + 128, 1024, 1024, 4096, QImage::Format_ARGB32);
        if (!picture.save(QString::fromStdString((root / "in.png").string()), "PNG"))
            fail("cannot write the PNG");

        const auto pack = [&](const char* input) {
            const auto outcome =
                conv::runPack(app, (root / input).string(), (root / "out").string(), kTextureName,
                              component, conv::PackOptions::reading(&pictures));
            if (!outcome)
                fail(outcome.error().message());
        };
        const double packDds = medianMs([&] { pack("in.dds"); });
        const double packPng = medianMs([&] { pack("in.png"); });
        const auto choose = [&] {
            if (!conv::copyToWorkFile(root / "out.bin", app, conv::WorkFile::Temp))
                fail("browse copy failed");
        };
        const auto unpack = [&](const char* output) {
            const auto outcome =
                conv::runUnpack(app, "out.bin", (root / output).string(), component);
            if (!outcome)
                fail(outcome.error().message());
        };
        const double unpackDds = medianMs([&] { unpack("back.dds"); }, choose);
        const double unpackPng = medianMs([&] { unpack("back.png"); }, choose);

        const std::string in = " '" + (root / "in.png").string() + "' ";
        const double cliPack = medianMs(
            [&] { run("'" + cli.string() + "' pack" + in + "0 '" + (root / "c").string() + "'"); });
        const double cliUnpack = medianMs([&] {
            run("'" + cli.string() + "' unpack '" + (root / "out.bin").string() + "' '" +
                (root / "c.png").string() + "'");
        });
        double convertToPng = 0;
        double convertToDds = 0;
        if (haveConvert) {
            convertToPng = medianMs([&] {
                run("convert '" + (root / "in.dds").string() + "' '" + (root / "m.png").string() +
                    "'");
            });
            convertToDds = medianMs([&] {
                run("convert" + in + "-define dds:compression=none -define dds:mipmaps=0 '" +
                    (root / "m.dds").string() + "'");
            });
        }
        std::printf("%-22s %9.1f %9.1f %+7.1f %9.1f %9.1f %+7.1f %9.1f %9.1f %9.1f %9.1f\n",
                    image.name.c_str(), packDds, packPng, packPng - packDds, unpackDds, unpackPng,
                    unpackPng - unpackDds, cliPack, cliUnpack, convertToPng, convertToDds);
    }
    if (!haveConvert)
        std::printf("\n(convert not installed: no ImageMagick figures)\n");
    std::printf(
        "\nTargets: Pack from PNG at most 40 ms and Unpack to PNG at most 60 ms over DDS on the\n"
        "photo-like image; the command line at least 4x faster than convert on the same file.\n");
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
