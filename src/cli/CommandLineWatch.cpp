// velmora-cli watch: a folder of pictures kept packed into game files until a signal ends it,
// or its folder or OUT goes away.
#include "cli/CommandLine.h"
#include "cli/JobLimit.h"
#include "cli/Signals.h"
#include "formats/qt/QtPictureReader.h"
#include "gamefile/JobShare.h"
#include "watch/PackTargets.h"
#include "watch/PictureWatch.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <cstdio>
#include <limits>
#include <optional>
#include <ostream>

#include <unistd.h>

namespace velmora::cli {

namespace conv = velmora::conversion;

namespace {

// The folder's problem for the user, or empty: it must exist, be a folder, and be readable
// (DIR) or writable (OUT) by us.
std::string folderProblem(const std::filesystem::path& folder, bool write) {
    std::error_code error;
    if (!std::filesystem::exists(folder, error))
        return "the folder " + shownName(folder) + " does not exist";
    if (!std::filesystem::is_directory(folder, error))
        return shownName(folder) + " is not a folder";
    if (::access(folder.c_str(), (write ? W_OK : R_OK) | X_OK) != 0)
        return "the folder " + shownName(folder) +
               (write ? " cannot be written" : " cannot be read") + " (permission denied)";
    return {};
}

} // namespace

int CommandLine::watch(const ParsedArguments& args) {
    if (args.positional.size() != 1)
        return usageError(args.positional.empty() ? "watch needs the folder of pictures, DIR"
                                                  : "watch takes one folder");
    const std::string to = args.value("--to");
    if (to.empty())
        return usageError("watch needs --to OUT, the folder of the game files");
    const std::string like = args.value("--like");
    const std::string mode = args.value("--mode");
    if (like.empty() == mode.empty())
        return usageError(like.empty() ? "watch needs --like GAME_OR_FOLDER or --mode MODE"
                                       : "give --mode or --like, not both");
    if (!like.empty() && args.values.count("--header"))
        return usageError("--header goes with --mode; --like takes each original's own header");
    unsigned jobs = conv::usableCores();
    std::optional<unsigned> requestedJobs;
    if (args.values.count("-j")) {
        const auto parsed = parseWholeNumber(args.value("-j"), 1, kMaxJobs);
        if (!parsed)
            return usageError("-j needs a number of jobs: " + parsed.error());
        requestedJobs = *parsed;
    }

    const auto folder = fromHere(args.positional.front());
    const auto out = fromHere(to);
    for (const auto& [path, write] : {std::pair{folder, false}, std::pair{out, true}})
        if (const std::string problem = folderProblem(path, write); !problem.empty())
            return failed(problem);

    watch::TargetChoice choice;
    choice.outputFolder = out;
    choice.mode = mode;
    if (!like.empty()) {
        choice.like = fromHere(like);
        std::error_code error;
        if (!std::filesystem::exists(choice.like, error))
            return failed("the original game file or folder " + shownName(choice.like) +
                          " does not exist");
        // Packing into the originals' own folder would replace the files names are taken from.
        if (std::filesystem::is_directory(choice.like, error) && sameFile(choice.like, out))
            return failed("--to " + shownName(out) +
                          " holds the original game files of --like; pack into another folder");
    } else {
        if (args.values.count("--header"))
            choice.headerFile = fromHere(args.value("--header"));
        choice.defaultHeader = conv::defaultTextureHeader(m_context.programFolder);
    }
    auto targetFor = watch::makeTargetFor(choice);
    if (!targetFor)
        return usageError(targetFor.error().reason);
    if (!mode.empty()) {
        // A header that cannot be read fails now, not at every save.
        const auto headerFile =
            choice.headerFile.empty() ? choice.defaultHeader : choice.headerFile;
        const auto header = conv::readTextureHeader(headerFile);
        if (!header)
            return failed("the texture header " + shownName(headerFile) + " cannot be read (" +
                          header.error().reason + ")");
        if (conv::isPlaceholderHeader(*header))
            m_err << placeholderHeaderWarning() << std::flush;
    }

    // -j N: N packs at once (any number of pictures may be saved at once, so only the machine
    // lowers it), and their own threads within N cores.
    std::optional<conv::CoreBudget> budget;
    if (requestedJobs) {
        jobs = jobsForMachine(*requestedJobs, std::numeric_limits<std::size_t>::max(),
                              args.has("--fit"), m_err);
        budget.emplace(jobs);
    }

    // Pictures are read on the watch's threads only once the image plug-ins belong to this one.
    images::QtPictureReader::loadPlugIns();
    const images::QtPictureReader pictures;
    watch::WatchOptions options;
    options.folder = folder;
    options.dataFolder = m_context.programFolder;
    options.outputFolder = out;
    options.targetFor = std::move(*targetFor);
    options.fit = args.has("--fit");
    options.jobs = static_cast<int>(jobs);
    options.pictures = &pictures;
    // The first folder that went away, told once when the watch has stopped; it ends the watch.
    // Set on the watch's thread, read once its threads are joined.
    std::string goneLine;
    const std::string dirGiven = args.positional.front();
    options.report = [&, this, to](const watch::WatchEvent& event) {
        using Kind = watch::WatchEvent::Kind;
        using Gone = watch::WatchEvent::FolderGone;
        if (event.gone != Gone::No) {
            if (!goneLine.empty())
                return;
            // Named as given, as the written lines are.
            const bool output = !event.output.empty();
            goneLine = "velmora-cli: the folder " + shownName(output ? to : dirGiven) +
                       (output ? " (--to)" : "") +
                       (event.gone == Gone::MovedAway ? " was moved away" : " was removed") +
                       ", so watching ended\n";
            endWaitForStopSignal();
        } else if (event.kind == Kind::Written) {
            // Named as OUT was given, as the user typed it.
            m_out << "written: " << shownName(std::filesystem::path(to) / event.output.filename());
            if (event.psnr) {
                char figure[32];
                std::snprintf(figure, sizeof figure, "%.1f", *event.psnr);
                m_out << " (fitted, PSNR " << figure << " dB)";
            }
            m_out << '\n' << std::flush;
        } else if (event.kind == Kind::Refused) {
            m_err << "velmora-cli: " << shownName(event.picture) << ": " << event.message << '\n'
                  << std::flush;
        }
    };
    auto started = watch::PictureWatch::start(std::move(options));
    if (!started)
        return failed(started.error().reason);
    if (::isatty(STDERR_FILENO) == 1)
        m_err << "velmora-cli: watching " << shownName(folder) << ", packing into "
              << shownName(out) << "; Ctrl-C stops\n"
              << std::flush;
    const int signal = waitForStopSignal();
    // A pack in progress is abandoned (its output is written whole or not at all) and its
    // work folder removed before the program exits.
    started->reset();
    if (signal != 0)
        return 128 + signal;
    // A script waiting on the watch learns why it ended, after the last line of the packs.
    m_err << goneLine << std::flush;
    return kExitFolderGone;
}

} // namespace velmora::cli
