// How long a modder waits between saving a picture and its game file being replaced: the
// picture watch timed from the close of an in-place save to the Written event (the game file
// has its new content under its name by then), for the bench's images that fit, as DDS and as
// PNG. The quiet period that tells a complete save is part of the wait. Figures are printed,
// never asserted.
#include "TestImages.h"
#include "base/LargeBuffers.h"

#include "FileHelpers.h"
#include "TempFolder.h"

#include "formats/qt/QtPictureReader.h"
#include "watch/PackTargets.h"
#include "watch/PictureWatch.h"

#include <QImage>
#include <QString>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace velmora;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void saveInPlace(const fs::path& picture, const std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(picture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t at = 0;
    while (fd >= 0 && at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0)
            break;
        at += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::vector<std::uint8_t> pngOf(const std::vector<std::uint8_t>& dds, const fs::path& scratch) {
    const QImage image(dds.data() + 128, 1024, 1024, 4096, QImage::Format_ARGB32);
    image.save(QString::fromStdString(scratch.string()), "PNG");
    return test::readFile(scratch);
}

} // namespace

int main() {
    // As the programs do, so the figures are theirs.
    velmora::conversion::preferLargePagesForBuffers();
    test::TempFolder f;
    ::setenv("XDG_RUNTIME_DIR", (f / "run").c_str(), 1);
    fs::create_directories(f / "run");
    fs::create_directories(f / "edit");
    fs::create_directories(f / "out");
    test::writeFile(f / "WE00", std::vector<std::uint8_t>(48, 0x11));

    images::QtPictureReader::loadPlugIns();
    const images::QtPictureReader pictures;
    watch::TargetChoice choice{f / "out", {}, "topModeSelect_Mov03_ML.tex", f / "WE00", {}};
    auto targetFor = watch::makeTargetFor(choice);
    if (!targetFor)
        return 1;

    std::mutex lock;
    std::condition_variable changed;
    std::size_t written = 0;
    std::size_t refused = 0;
    Clock::time_point writtenAt;
    watch::WatchOptions options;
    options.folder = f / "edit";
    options.targetFor = *targetFor;
    options.pictures = &pictures;
    options.packExisting = false;
    options.report = [&](const watch::WatchEvent& event) {
        const std::lock_guard guard(lock);
        if (event.kind == watch::WatchEvent::Kind::Written) {
            ++written;
            writtenAt = Clock::now();
        } else if (event.kind == watch::WatchEvent::Kind::Refused) {
            ++refused;
            std::fprintf(stderr, "refused: %s\n", event.message.c_str());
        }
        changed.notify_all();
    };
    auto started = watch::PictureWatch::start(std::move(options));
    if (!started) {
        std::fprintf(stderr, "%s\n", started.error().reason.c_str());
        return 1;
    }

    std::printf("Save to game file replaced, picture watch (in-place save, median of 7)\n\n");
    std::printf("%-22s %-5s %12s %12s\n", "image", "as", "median ms", "worst ms");
    for (const bench::TestImage& image : bench::makeTestImages()) {
        for (const bool png : {false, true}) {
            const auto bytes = png ? pngOf(image.bytes, f / "scratch.png") : image.bytes;
            const fs::path picture = f / "edit" / (png ? "tile.png" : "tile.dds");
            std::vector<double> waits;
            bool fits = true;
            for (int run = 0; run < 7 && fits; ++run) {
                std::unique_lock guard(lock);
                const std::size_t before = written;
                const std::size_t refusedBefore = refused;
                guard.unlock();
                saveInPlace(picture, bytes);
                const auto closed = Clock::now();
                guard.lock();
                changed.wait_for(guard, std::chrono::seconds(60),
                                 [&] { return written > before || refused > refusedBefore; });
                if (written == before) {
                    fits = false;
                    break;
                }
                waits.push_back(
                    std::chrono::duration<double, std::milli>(writtenAt - closed).count());
            }
            if (!fits) {
                std::printf("%-22s %-5s %12s\n", image.name.c_str(), png ? "PNG" : "DDS",
                            "does not fit");
                continue;
            }
            std::sort(waits.begin(), waits.end());
            std::printf("%-22s %-5s %12.0f %12.0f\n", image.name.c_str(), png ? "PNG" : "DDS",
                        waits[waits.size() / 2], waits.back());
        }
    }
    return 0;
}
