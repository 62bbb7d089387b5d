// The batch form against itself on one core and against 26 single runs from a shell loop, and
// what Pack's read-back proof of the written file costs. Figures are printed, never asserted.
#include "TestImages.h"

#include "FileHelpers.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include "gamefile/GameFileVerification.h"
#include "io/FileIo.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

using namespace velmora;
using Clock = std::chrono::steady_clock;

// CPU seconds of the children that ended so far, to tell how many cores a run kept busy.
double childCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double secondsOf(const std::vector<std::string>& argv, const test::TempFolder& folder) {
    test::ProcessOptions options;
    options.workingDirectory = folder.path();
    options.timeoutSeconds = 600;
    const auto start = Clock::now();
    const test::ProcessResult result = test::run(argv, options);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (result.exitCode != 0)
        std::fprintf(stderr, "failed: %s\n", result.err.c_str());
    return seconds;
}

} // namespace

int main() {
    test::TempFolder f;
    const std::string cli = test::cliPath();
    const auto images = bench::makeTestImages();
    std::filesystem::create_directories(f / "img");
    for (int i = 0; i < 13; ++i)
        test::writeFile(f / "img" / ("tile" + std::to_string(i) + ".dds"),
                        images[static_cast<std::size_t>(i) % images.size()].bytes);
    // The game files to start from; photo-like tiles need fitting to become game files at all.
    secondsOf({cli, "pack", "img", "--to", "menu", "--mode", "0", "--fit"}, f);

    // `jobs` null: no -j, as many at once as there are cores.
    const auto round = [&](const char* jobs) {
        std::filesystem::remove_all(f / "edit");
        std::filesystem::remove_all(f / "out");
        std::vector<std::string> unpack{cli, "unpack", "menu", "--to", "edit", "--format", "png"};
        std::vector<std::string> pack{cli,   "pack",   "edit", "--to",
                                      "out", "--like", "menu", "--fit"};
        if (jobs)
            for (auto* command : {&unpack, &pack})
                command->insert(command->end(), {"-j", jobs});
        return secondsOf(unpack, f) + secondsOf(pack, f);
    };
    double cpu = childCpuSeconds();
    const double one = round("1");
    const double oneCores = (childCpuSeconds() - cpu) / one;
    cpu = childCpuSeconds();
    const double two = round("2");
    const double twoCores = (childCpuSeconds() - cpu) / two;
    const double all = round(nullptr);
    const std::string loop =
        "for i in 0 1 2 3 4 5 6 7 8 9 10 11 12; do \"$0\" unpack menu/tile$i.bin edit/tile$i.png "
        ">/dev/null && \"$0\" pack edit/tile$i.png 0 out/tile$i.bin --fit >/dev/null 2>&1; done";
    const double single = secondsOf({"/bin/sh", "-c", loop, cli}, f);
    std::printf("13 tiles, unpack then pack:  -j 1 %.2f s   -j 2 %.2f s (%.2fx)   "
                "26 single runs %.2f s (%.2fx slower than -j 2)\n",
                one, two, one / two, single, single / two);
    std::printf("-j 2 against -j 1, same run: %.2fx (target <= 0.55x: %s)\n", two / one,
                two / one <= 0.55 ? "met" : "missed");
    // -j 1 keeps the whole batch on one core; -j 2 must keep both busy to the end.
    std::printf("cores kept busy: -j 1 %.2f, -j 2 %.2f; without -j %.2f s (%.2fx -j 2)\n", oneCores,
                twoCores, all, all / two);

    // Pack's proof: read back, inflate and compare one written game file.
    const auto record = conversion::readWholeFile(f / "out" / "tile0.bin", 8u << 20);
    const auto check = conversion::checkGameFile(f / "out" / "tile0.bin");
    if (record && check) {
        const int runs = 20;
        const auto start = Clock::now();
        for (int i = 0; i < runs; ++i)
            (void)conversion::verifyWrittenGameFile(f / "out" / "tile0.bin", check->record);
        const double ms =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs;
        std::printf("verification of a written game file: %.1f ms\n", ms);
    }
    return 0;
}
