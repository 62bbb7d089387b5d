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
#include "formats/PngWriter.h"
#include "windows/DesktopServices.h"
#include "workspace/MenuWorkspace.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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

    // A save in the user's editor: the photo-like tile (the strongest level) written beside the
    // edit picture and renamed over it, a corner changed each time, timed to its game file
    // replaced and on to its tile's thumbnail changed.
    {
        qputenv("VELMORA_EDITOR", "true");
        velmora::workspace::MenuWorkspace window(context, folder);
        window.show();
        // Gives up after a minute rather than hang a run whose save never arrives.
        const auto waitFor = [](const auto& done) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
            while (!done()) {
                if (std::chrono::steady_clock::now() > deadline) {
                    std::fprintf(stderr, "velmora_workspace_bench: the save never arrived\n");
                    std::exit(1);
                }
                QEventLoop loop;
                QTimer::singleShot(1, &loop, &QEventLoop::quit);
                loop.exec();
            }
        };
        waitFor([&] { return window.thumbnailsPending() == 0; });
        window.edit(0);
        const fs::path picture = window.editPictureOf(0);
        waitFor([&] { return fs::exists(picture) && window.watching(); });
        const fs::path game = *window.gameFileOf(0);
        std::vector<std::uint8_t> photo = velmora::bench::makeTestImages().back().bytes;
        std::vector<double> toGameFile, toThumbnail;
        for (int i = 0; i < kRepeats; ++i) {
            // A corner changed enough to show in the thumbnail.
            for (std::size_t y = 0; y < 128; ++y)
                for (std::size_t x = 0; x < 128 * 4; ++x)
                    photo[128 + y * 4096 + x] ^= 0x40;
            const auto png =
                velmora::conversion::encodePng(std::span(photo).subspan(128), 1024, 1024);
            const QImage before = window.tile(0).thumbnail();
            const auto gameBefore = fs::last_write_time(game);
            velmora::test::writeFile(picture.parent_path() / "save.tmp", png);
            const auto start = std::chrono::steady_clock::now();
            fs::rename(picture.parent_path() / "save.tmp", picture);
            std::error_code error;
            waitFor([&] { return fs::last_write_time(game, error) != gameBefore; });
            const auto written = std::chrono::steady_clock::now();
            waitFor([&] { return window.tile(0).thumbnail() != before; });
            const auto shownAt = std::chrono::steady_clock::now();
            toGameFile.push_back(
                std::chrono::duration<double, std::milli>(written - start).count());
            toThumbnail.push_back(
                std::chrono::duration<double, std::milli>(shownAt - written).count());
        }
        std::sort(toGameFile.begin(), toGameFile.end());
        std::sort(toThumbnail.begin(), toThumbnail.end());
        std::printf("a save of the photo-like tile (median / worst of %d, ms)\n", kRepeats);
        std::printf("  in its game file:            %8.1f / %8.1f   (target <= 1000)\n",
                    toGameFile[kRepeats / 2], toGameFile.back());
        std::printf("  then its thumbnail:          %8.1f / %8.1f   (target <= 200)\n",
                    toThumbnail[kRepeats / 2], toThumbnail.back());
    }
    std::error_code error;
    fs::remove_all(root, error);
    return 0;
}
