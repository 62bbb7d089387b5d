// How long the preview window takes to open on a file: from the request to the picture painted,
// and what reading the file costs on its own. Runs offscreen unless QT_QPA_PLATFORM or a
// DISPLAY says otherwise.
#include "TestImages.h"
#include "Timing.h"
#include "base/LargeBuffers.h"

#include "FileHelpers.h"

#include "formats/qt/QtPictureReader.h"
#include "windows/PreviewWindow.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/FileFacts.h"
#include "workflows/ShownPicture.h"
#include "workflows/Workflows.h"

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QLineEdit>

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

constexpr int kRepeats = 9;
constexpr const char* kTextureName = "topModeSelect_Mov06_OL.tex";

using velmora::bench::Timings;

Timings measure(const std::function<void()>& body) {
    return velmora::bench::timeRuns(kRepeats, velmora::bench::Clock::Wall, body);
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "velmora_preview_bench: %s\n", what.c_str());
    std::exit(1);
}

// A new preview window on `path`, until its picture (or its reason) has been painted.
void openPreview(const QString& path) {
    QLineEdit box(path);
    velmora::PreviewWindow window;
    QEventLoop loop;
    QObject::connect(&window, &velmora::PreviewWindow::contentShown, &loop, &QEventLoop::quit);
    window.follow(&box, [](const QString& text) { return text; });
    window.show();
    if (window.isReading())
        loop.exec();
    window.repaint();
    window.picture().repaint();
    if (!window.problem().isEmpty())
        fail(window.problem().toStdString());
}

} // namespace

int main(int argc, char** argv) {
    // As the programs do, so the figures are theirs.
    velmora::conversion::preferLargePagesForBuffers();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const fs::path root =
        fs::temp_directory_path() / ("velmora-preview-bench-" + std::to_string(::getpid()));
    const fs::path app = root / "app";
    fs::create_directories(app);
    std::vector<std::uint8_t> header(48, 0);
    std::copy_n("WE00", 4, header.begin());
    velmora::test::writeFile(app / "WE00", header);

    const velmora::images::QtPictureReader pictures;
    conv::DeflateCompressionComponent component;
    std::printf("Platform %s, %d runs: median / worst wall time in ms\n\n",
                qPrintable(QApplication::platformName()), kRepeats);
    std::printf("%-22s %-5s %15s %15s %15s %15s\n", "image", "file", "facts", "picture",
                "both (worker)", "window open");
    for (const auto& image : velmora::bench::makeTestImages()) {
        velmora::test::writeFile(root / "in.dds", image.bytes);
        const QImage picture(image.bytes.data() + 128, 1024, 1024, 4096, QImage::Format_ARGB32);
        if (!picture.save(QString::fromStdString((root / "in.png").string()), "PNG"))
            fail("cannot write the PNG");
        auto options = conv::PackOptions::reading(&pictures);
        const auto packed =
            conv::runPack(app, (root / "in.dds").string(), (root / "in.bin").string(), kTextureName,
                          component, options);
        for (const char* name : {"in.bin", "in.dds", "in.png"}) {
            if (std::string(name) == "in.bin" && !packed) {
                std::printf("%-22s %-5s (does not fit a game file)\n", image.name.c_str(), "bin");
                continue;
            }
            const fs::path file = root / name;
            const QString path = QString::fromStdString(file.string());
            const Timings facts = measure([&] { (void)conv::gatherFileFacts(file, &pictures); });
            const Timings shown = measure([&] { (void)conv::readShownPicture(file, &pictures); });
            const Timings both =
                measure([&] { (void)velmora::readPreviewContent(path, pictures); });
            const Timings open = measure([&] { openPreview(path); });
            std::printf("%-22s %-5s %7.1f /%6.1f %7.1f /%6.1f %7.1f /%6.1f %7.1f /%6.1f\n",
                        image.name.c_str(), name + 3, facts.medianMs, facts.worstMs, shown.medianMs,
                        shown.worstMs, both.medianMs, both.worstMs, open.medianMs, open.worstMs);
        }
    }
    std::printf("\nTarget: the window open on a game file within 300 ms.\n");
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
