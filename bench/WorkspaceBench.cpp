// How long the menu workspace takes to open on a folder of 13 game files: to the window shown
// with every tile found and its state known, and on to every thumbnail painted. Runs offscreen
// unless QT_QPA_PLATFORM or a DISPLAY says otherwise.
#include "TestImages.h"
#include "Timing.h"
#include "base/LargeBuffers.h"

#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"

#include "catalogue/MenuAnimationCatalogue.h"
#include "windows/DesktopServices.h"
#include "workspace/MenuWorkspace.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kRepeats = 7;

} // namespace

int main(int argc, char** argv) {
    // As the programs do, so the figures are theirs.
    velmora::conversion::preferLargePagesForBuffers();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const fs::path root =
        fs::temp_directory_path() / ("velmora-workspace-bench-" + std::to_string(::getpid()));
    const fs::path menu = root / "menu";
    fs::create_directories(menu);
    // The menu data (edit folder, originals) goes under the bench's own folder.
    qputenv("XDG_DATA_HOME", (root / "data").string().c_str());
    for (const velmora::MenuAnimation& row : velmora::MenuAnimationCatalogue::rows()) {
        const auto image = velmora::test::validImage(static_cast<std::uint32_t>(row.position + 1));
        velmora::test::writeFile(
            menu / ("tile" + std::to_string(row.position * 7 % 13) + ".bin"),
            velmora::test::gameFileAround(velmora::test::zlibStream(
                velmora::test::textureRecord(image, std::string(row.textureName)))));
    }

    velmora::DesktopServices services;
    const auto context = services.contextFor(QCoreApplication::applicationDirPath());
    const QString folder = QString::fromStdString(menu.string());
    const auto open = [&](bool thumbnails) {
        velmora::workspace::MenuWorkspace window(context, folder);
        window.show();
        QCoreApplication::processEvents();
        window.repaint();
        while (thumbnails && window.thumbnailsPending() > 0) {
            QEventLoop loop;
            QTimer::singleShot(2, &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (thumbnails)
            window.repaint();
    };
    const auto shown =
        velmora::bench::timeRuns(kRepeats, velmora::bench::Clock::Wall, [&] { open(false); });
    const auto painted =
        velmora::bench::timeRuns(kRepeats, velmora::bench::Clock::Wall, [&] { open(true); });
    std::printf("menu workspace on 13 game files (median / worst of %d, ms)\n", kRepeats);
    std::printf("  window shown, tiles found:   %8.1f / %8.1f   (target <= 500)\n", shown.medianMs,
                shown.worstMs);
    std::printf("  every thumbnail painted:     %8.1f / %8.1f\n", painted.medianMs,
                painted.worstMs);
    std::error_code error;
    fs::remove_all(root, error);
    return 0;
}
