#include "cli/BatchRunner.h"

#include "catalogue/MenuAnimationCatalogue.h"
#include "cli/CliSupport.h"
#include "cli/CommandLine.h"
#include "cli/JobLimit.h"
#include "formats/qt/QtPictureReader.h"
#include "gamefile/JobShare.h"
#include "gamefile/ZlibStream.h"
#include "io/PrivateWorkFolder.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/PackSource.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

namespace velmora::cli {

namespace conv = velmora::conversion;

namespace {

struct Job {
    std::filesystem::path input;
    std::filesystem::path output;
    std::string textureName;          // pack
    std::filesystem::path headerFile; // pack
    // What was found before converting: a refusal fails the job without running it.
    Result<void, std::string> ready;
};

tl::unexpected<std::string> failure(std::string why) {
    return tl::unexpected<std::string>(std::move(why));
}

// A name as compared with mode names: lower case, without blanks, '-' and '_'.
std::string folded(std::string_view text) {
    std::string out;
    for (const char c : text)
        if (c != ' ' && c != '-' && c != '_')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (out.size() > 4 && out.ends_with(".tex"))
        out.resize(out.size() - 4);
    return out;
}

const MenuAnimation* modeFromFileName(const std::filesystem::path& image) {
    const std::string stem = folded(image.stem().string());
    for (const MenuAnimation& row : MenuAnimationCatalogue::rows())
        if (stem == folded(row.textureName) || stem == folded(row.displayName))
            return &row;
    return nullptr;
}

std::vector<std::filesystem::path> expandInputs(const std::vector<std::filesystem::path>& inputs) {
    std::vector<std::filesystem::path> files;
    for (const auto& path : inputs) {
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) {
            files.push_back(path);
            continue;
        }
        std::vector<std::filesystem::path> inside;
        for (const auto& entry : std::filesystem::directory_iterator(path, error))
            if (entry.is_regular_file(error))
                inside.push_back(entry.path());
        std::sort(inside.begin(), inside.end());
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

// Mode and texture header of one image, from --mode, --like or the image's file name.
void choosePackSource(Job& job, const BatchRequest& request) {
    if (!request.mode.empty()) {
        const MenuAnimation* mode = MenuAnimationCatalogue::findForCommandLine(request.mode);
        job.textureName = mode->textureName;
        job.headerFile = request.headerFile;
        return;
    }
    if (!request.like.empty()) {
        const auto original = conv::likeFileFor(request.like, job.input);
        const auto source = conv::readOriginalGameFile(original);
        if (!source)
            job.ready = failure("the original game file " + shownName(original) +
                                " cannot be read (" + source.error().reason + ")");
        job.textureName = source ? source->textureName : std::string();
        // Its own 48 bytes, so the repacked file differs from it only in its pixels.
        job.headerFile = original;
        return;
    }
    if (const MenuAnimation* mode = modeFromFileName(job.input)) {
        job.textureName = mode->textureName;
        job.headerFile = request.headerFile;
        return;
    }
    job.ready =
        failure("its mode is not known: name the file after its mode (a texture name such as "
                "topModeSelect_Mov03_ML, or a display name such as master-league), or give "
                "--mode or --like");
}

// The work a job is expected to take: its size as level 1 would leave it, from a few pieces
// spread over the file. A detailed picture takes the slow levels (and maybe the fitter) where a
// flat one stops at level 1, whatever its format; an unreadable file costs nothing.
std::uint64_t expectedWork(const std::filesystem::path& file) {
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(file, error);
    if (error || size == 0)
        return 0;
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> sample;
    for (const conv::SamplePiece& piece : conv::fastSampleLayout(size, 16, 8192)) {
        if (!in)
            break;
        const std::size_t old = sample.size();
        sample.resize(old + piece.length);
        in.seekg(static_cast<std::streamoff>(piece.offset));
        in.read(reinterpret_cast<char*>(sample.data() + old),
                static_cast<std::streamsize>(piece.length));
        sample.resize(old + static_cast<std::size_t>(in.gcount()));
    }
    return conv::estimateFastSize(sample, size);
}

} // namespace

int runBatch(const BatchRequest& request, std::ostream& out, std::ostream& err) {
    const auto usage = [&err](const std::string& what) {
        err << "velmora-cli: " << what << "\nTry 'velmora-cli --help'.\n";
        return kExitUsage;
    };
    if (request.pack && !request.mode.empty() &&
        !MenuAnimationCatalogue::findForCommandLine(request.mode))
        return usage("unknown mode \"" + request.mode + "\"; 'velmora-cli modes' lists them");
    const auto files = expandInputs(request.inputs);
    if (files.empty())
        return usage("no input files");
    const auto& folder = request.toFolder;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        err << "velmora-cli: cannot make the folder " << shownName(folder) << '\n';
        return kExitFailed;
    }

    const std::string extension = request.pack ? ".bin" : request.png ? ".png" : ".dds";
    std::vector<Job> jobs;
    std::map<std::filesystem::path, std::filesystem::path> claimed;
    for (const auto& input : files) {
        Job job;
        job.input = input;
        job.output = (folder / (input.stem().string() + extension)).lexically_normal();
        if (const auto [it, fresh] = claimed.emplace(job.output, input); !fresh)
            return usage(shownName(it->second) + " and " + shownName(input) +
                         " would both be written to " + shownName(job.output));
        for (const auto& other : files)
            if (sameFile(other, job.output))
                return usage(shownName(job.output) + ": the output would replace the input");
        if (request.pack)
            choosePackSource(job, request);
        jobs.push_back(std::move(job));
    }

    std::mutex outputLock;
    const bool terminal = request.progress;
    std::size_t done = 0;
    int failures = 0;
    // Said once for the run, not once a file: the header is usually the same for all of them.
    std::atomic<bool> placeholderWritten{false};
    const auto report = [&](const Job& job, const Result<void, std::string>& converted) {
        const std::lock_guard lock(outputLock);
        ++done;
        if (terminal)
            err << "\r\033[K";
        if (converted) {
            out << "written: " << shownName(job.output) << '\n' << std::flush;
        } else {
            ++failures;
            err << "velmora-cli: " << shownName(job.input) << ": " << converted.error() << '\n';
        }
        if (terminal)
            err << '[' << done << '/' << jobs.size() << "] " << shownName(job.input.filename())
                << std::flush;
    };
    const auto convert = [&](const Job& job) -> Result<void, std::string> {
        if (!job.ready)
            return job.ready;
        const auto work = conv::PrivateWorkFolder::create("cli");
        if (!work)
            return failure(work.error().reason);
        conv::DeflateCompressionComponent component;
        conv::Outcome outcome;
        const images::QtPictureReader pictures;
        if (request.pack) {
            auto options = conv::PackOptions::reading(&pictures);
            options.textureHeaderFile = job.headerFile;
            options.fitIfTooDetailed = request.fit;
            outcome = conv::runPack(work->path(), job.input.string(), job.output.string(),
                                    job.textureName, component, options);
            if (outcome && outcome->placeholderHeader)
                placeholderWritten = true;
        } else {
            if (auto copy = conv::copyToWorkFile(job.input, work->path(), conv::WorkFile::Temp);
                !copy)
                return failure(copy.error().reason);
            outcome = conv::runUnpack(work->path(), job.input.string(), job.output.string(),
                                      component, &pictures);
        }
        if (!outcome)
            return failure(outcome.error().message());
        return {};
    };

    unsigned threads = conv::usableCores();
    // -j N: N at once, and the jobs' own threads within N cores.
    std::optional<conv::CoreBudget> budget;
    if (request.jobs) {
        threads = jobsForMachine(request.jobs, jobs.size(), request.pack && request.fit, err);
        budget.emplace(threads);
    }
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, jobs.size()));
    // Read pictures on worker threads only once the image plug-ins belong to this one.
    if (request.pack)
        images::QtPictureReader::loadPlugIns();
    // The longest jobs first, so no core ends the run alone on a long one that started last.
    // The order of the lines changes, not what they say.
    if (threads > 1) {
        std::vector<std::uint64_t> work(jobs.size());
        for (std::size_t i = 0; i < jobs.size(); ++i)
            work[i] = jobs[i].ready ? expectedWork(jobs[i].input) : 0;
        std::vector<std::size_t> order(jobs.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return work[a] > work[b]; });
        std::vector<Job> sorted;
        sorted.reserve(jobs.size());
        for (const std::size_t i : order)
            sorted.push_back(std::move(jobs[i]));
        jobs = std::move(sorted);
    }
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            for (std::size_t i = next++; i < jobs.size(); i = next++) {
                const conv::RunningJob running;
                report(jobs[i], convert(jobs[i]));
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    if (terminal)
        err << "\r\033[K" << std::flush;
    if (placeholderWritten)
        err << placeholderHeaderWarning();
    out << jobs.size() - static_cast<std::size_t>(failures) << " written, " << failures
        << " failed\n";
    return failures == 0 ? kExitOk : kExitFailed;
}

} // namespace velmora::cli
