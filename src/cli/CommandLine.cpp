#include "cli/CommandLine.h"

#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "cli/BatchRunner.h"
#include "cli/CliSupport.h"
#include "cli/JobLimit.h"
#include "fit/ImageFitter.h"
#include "formats/PngWriter.h"
#include "formats/qt/QtPictureReader.h"
#include "gamefile/GameFileInspection.h"
#include "io/FileIo.h"
#include "io/PrivateWorkFolder.h"
#include "velmora/Version.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/ImageInput.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <ostream>

namespace velmora::cli {

namespace conv = velmora::conversion;

namespace {

constexpr const char* kUsageHead = "Usage: velmora-cli COMMAND [ARGUMENTS]\n"
                                   "\n"
                                   "Converts the game's menu-tile files to pictures and back.\n"
                                   "\n"
                                   "Commands:\n";

// Each command's own lines of the usage, in the order the usage lists them.
constexpr const char* kUnpackUsage =
    "  unpack GAME_FILE OUTPUT                 write the game file's image to OUTPUT: a PNG when\n"
    "                                          OUTPUT ends in \".png\", else a DDS (\".dds\"\n"
    "                                          appended unless OUTPUT ends in it)\n"
    "  unpack GAME... --to DIR [--format dds|png] [-j N]\n"
    "                                          unpack each game file to DIR/<its stem>.dds|png\n";
constexpr const char* kPackUsage =
    "  pack IMAGE MODE OUTPUT [--header FILE] [--fit]\n"
    "                                          write a game file for menu MODE to OUTPUT\n"
    "                                          (\".bin\" appended unless OUTPUT ends in it)\n"
    "                                          and print the stored length; with --fit, an\n"
    "                                          image too detailed for the game file gets its\n"
    "                                          colour precision reduced just enough to fit\n"
    "  pack IMAGE... --to DIR [--mode MODE] [--like GAME_OR_FOLDER] [-j N]\n"
    "                                          pack each image to DIR/<its stem>.bin; the mode\n"
    "                                          and texture header from --mode, else from the\n"
    "                                          original game file (--like: a file, or a folder\n"
    "                                          holding <stem>.bin), else from the image's name\n";
constexpr const char* kVerifyUsage =
    "  verify GAME_FILE [IMAGE] [--strict]     check a game file before it goes into the game;\n"
    "                                          with IMAGE, that it holds that image's pixels;\n"
    "                                          the placeholder texture header is a warning,\n"
    "                                          a fault only with --strict\n";
constexpr const char* kFitUsage =
    "  fit IMAGE OUT [--header FILE]           write the picture --fit would pack, to look at\n"
    "                                          first: a PNG when OUT ends in \".png\", else DDS\n";
constexpr const char* kInfoUsage =
    "  info FILE [--json]                      show what a game file or a picture holds (for a\n"
    "                                          game file, whether its texture header is the\n"
    "                                          placeholder), and what pack would do with a "
    "picture\n";
constexpr const char* kHeaderUsage =
    "  header GAME_FILE [OUT]                  write the game file's 48-byte texture header to\n"
    "                                          OUT, or without OUT install it as the one pack\n"
    "                                          uses ($XDG_DATA_HOME/velmora/WE00)\n";
constexpr const char* kThumbnailUsage =
    "  thumbnail INPUT OUTPUT.png [SIZE]       write a PNG of a game file's image or a picture,\n"
    "                                          scaled to fit SIZE x SIZE pixels (SIZE a whole\n"
    "                                          number from 1 to 4096, default 256)\n";
constexpr const char* kWatchUsage =
    "  watch DIR --to OUT (--like GAME_OR_FOLDER | --mode MODE) [--fit] [--header FILE] [-j N]\n"
    "                                          keep OUT/<stem>.bin packed from each picture in\n"
    "                                          DIR, again after every save, until Ctrl-C;\n"
    "                                          one line per game file written; ends with\n"
    "                                          status 3 when DIR or OUT is removed or moved\n";
constexpr const char* kModesUsage =
    "  modes                                   list the menu modes\n";

constexpr const char* kUsageTail =
    "\n"
    "IMAGE is a 1024x1024 DDS (uncompressed in any channel order, DXT1/3/5, with or without\n"
    "mip levels) or PNG, BMP, TGA, JPEG, TIFF or WebP picture. MODE is a position 0-12, a\n"
    "texture name or a display name (letter case and surrounding blanks do not matter).\n"
    "--header FILE takes the texture header from FILE (a 48-byte header or one of your game\n"
    "files) instead of your installed one or the \"WE00\" beside the program. -j N (also -jN,\n"
    "--jobs N) runs N conversions at once on at most N cores. An OUTPUT that is a folder or\n"
    "ends in \"/\" means FOLDER/<input stem>; \"--\" ends the options. 'velmora-cli COMMAND\n"
    "--help' shows one command.\n"
    "\n"
    "Exit status: 0 success, 1 a conversion (or in the batch form, any input) failed,\n"
    "2 a usage error, 3 the folder watch watched or wrote into was removed or moved away;\n"
    "130, 143, 129 when interrupted (nothing is left behind).\n";

// The one line that says what fitting did: "fitted: colour precision reduced, PSNR 52.4 dB,
// stream 2,399,104 bytes".
std::string fittedLine(double psnr, std::size_t streamSize) {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.1f", psnr);
    return std::string("fitted: colour precision reduced, PSNR ") + figure + " dB, stream " +
           conv::groupedNumber(streamSize) + " bytes";
}

} // namespace

// A row per command, in the order the usage lists them.
const std::vector<CommandLine::Command>& CommandLine::commands() {
    static const std::vector<Command> table{
        {"unpack", &CommandLine::unpack, {"--to", "--format", "-j"}, {}, kUnpackUsage},
        {"pack",
         &CommandLine::pack,
         {"--header", "--to", "--mode", "--like", "-j"},
         {"--fit"},
         kPackUsage},
        {"verify", &CommandLine::verify, {}, {"--strict"}, kVerifyUsage},
        {"fit", &CommandLine::fit, {"--header"}, {}, kFitUsage},
        {"info", &CommandLine::info, {}, {"--json"}, kInfoUsage},
        {"header", &CommandLine::header, {}, {}, kHeaderUsage},
        {"thumbnail", &CommandLine::thumbnail, {}, {}, kThumbnailUsage},
        {"watch",
         &CommandLine::watch,
         {"--to", "--like", "--mode", "--header", "-j"},
         {"--fit"},
         kWatchUsage},
        {"modes", &CommandLine::modes, {}, {}, kModesUsage},
    };
    return table;
}

std::string CommandLine::usage() {
    std::string text = kUsageHead;
    for (const Command& command : commands())
        text += command.usage;
    return text + kUsageTail;
}

CommandLine::CommandLine(RunContext context, std::ostream& out, std::ostream& err)
    : m_context(std::move(context)), m_out(out), m_err(err) {}

int CommandLine::run(const std::vector<std::string>& args) {
    if (args.empty())
        return usageError("no command given");
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        m_out << usage();
        return kExitOk;
    }
    if (command == "--version" || command == "-V") {
        m_out << "velmora-cli " << VELMORA_VERSION << '\n';
        return kExitOk;
    }
    for (const Command& c : commands()) {
        if (command != c.name)
            continue;
        const auto parsed = parseArguments(rest, c.valueOptions, c.flagOptions);
        // Asking for help wins over any other fault in the line.
        const auto end = std::find(rest.begin(), rest.end(), "--");
        const bool help = parsed ? parsed->help
                                 : std::find(rest.begin(), end, "--help") != end ||
                                       std::find(rest.begin(), end, "-h") != end;
        if (help) {
            m_out << "Usage:\n" << c.usage;
            return kExitOk;
        }
        if (!parsed)
            return usageError(parsed.error());
        return (this->*c.handler)(*parsed);
    }
    return usageError("unknown command \"" + command + "\"");
}

std::filesystem::path CommandLine::fromHere(const std::string& text) const {
    return absoluteFrom(m_context.workingFolder, text);
}

// --header, else the user's installed header, else the "WE00" beside the program.
std::filesystem::path CommandLine::headerFile(const ParsedArguments& args) const {
    return args.values.count("--header") ? fromHere(args.value("--header"))
                                         : conv::defaultTextureHeader(m_context.programFolder);
}

int CommandLine::usageError(const std::string& what) {
    m_err << "velmora-cli: " << what << "\nTry 'velmora-cli --help'.\n";
    return kExitUsage;
}

int CommandLine::failed(const std::string& what) {
    m_err << "velmora-cli: " << what << '\n';
    return kExitFailed;
}

int CommandLine::failed(const conv::StepResult& step) {
    return failed(step.message());
}

int CommandLine::batch(const ParsedArguments& args, bool pack) {
    BatchRequest request;
    request.pack = pack;
    for (const std::string& input : args.positional)
        request.inputs.push_back(fromHere(input));
    request.toFolder = fromHere(args.value("--to"));
    request.progress = m_context.progress;
    if (args.values.count("-j")) {
        const auto jobs = parseWholeNumber(args.value("-j"), 1, kMaxJobs);
        if (!jobs)
            return usageError("-j needs a number of jobs: " + jobs.error());
        request.jobs = *jobs;
    }
    if (pack) {
        request.mode = args.value("--mode");
        if (args.values.count("--like"))
            request.like = fromHere(args.value("--like"));
        request.headerFile = headerFile(args);
        request.fit = args.has("--fit");
        if (!request.mode.empty() && !request.like.empty())
            return usageError("give --mode or --like, not both");
    } else {
        const std::string format = args.value("--format");
        if (!format.empty() && format != "dds" && format != "png")
            return usageError("--format is dds or png");
        request.png = format == "png";
    }
    return runBatch(request, m_out, m_err);
}

Result<std::filesystem::path, std::string>
CommandLine::singleOutput(const std::string& text, const std::filesystem::path& input,
                          std::string_view extension) const {
    if (text.empty())
        return tl::unexpected<std::string>("OUTPUT is empty");
    auto output = outputFor(m_context.workingFolder, text, input, extension);
    const std::string name = output.string();
    const bool png = conv::hasExtension(name, ".png") && extension == ".dds";
    if (!png)
        output = conv::withExtensionOnce(name, extension);
    if (sameFile(input, output))
        return tl::unexpected<std::string>("the output would replace the input: " +
                                           shownName(output));
    return output;
}

int CommandLine::unpack(const ParsedArguments& args) {
    if (args.values.count("--to"))
        return batch(args, false);
    if (args.values.count("--format") || args.values.count("-j"))
        return usageError("--format and -j belong to the batch form (--to DIR)");
    const auto& positional = args.positional;
    if (positional.size() != 2)
        return usageError(positional.size() < 2 ? "unpack needs GAME_FILE and OUTPUT"
                                                : "unpack takes two arguments");
    const auto gameFile = fromHere(positional[0]);
    const auto output = singleOutput(positional[1], gameFile, ".dds");
    if (!output)
        return usageError(output.error());

    const auto work = conv::PrivateWorkFolder::create("cli");
    if (!work)
        return failed(work.error().reason);
    // The copy the main window makes when the game file is chosen.
    auto copy = conv::copyToWorkFile(gameFile, work->path(), conv::WorkFile::Temp);
    if (!copy) {
        copy.error().step = "Reading the game file";
        return failed(copy.error());
    }
    conv::DeflateCompressionComponent component;
    const images::QtPictureReader pictures;
    const conv::Outcome outcome =
        conv::runUnpack(work->path(), gameFile.string(), output->string(), component, &pictures);
    if (!outcome)
        return failed(outcome.error());
    m_out << "written: " << shownName(outcome->writtenPath) << '\n';
    return kExitOk;
}

int CommandLine::pack(const ParsedArguments& args) {
    if (args.values.count("--to"))
        return batch(args, true);
    if (args.values.count("--mode") || args.values.count("--like") || args.values.count("-j"))
        return usageError("--mode, --like and -j belong to the batch form (--to DIR)");
    const auto& positional = args.positional;
    if (positional.size() != 3)
        return usageError(positional.size() < 3 ? "pack needs IMAGE, MODE and OUTPUT"
                                                : "pack takes three arguments");
    const MenuAnimation* mode = MenuAnimationCatalogue::findForCommandLine(positional[1]);
    if (!mode)
        return usageError("unknown mode \"" + positional[1] + "\"; 'velmora-cli modes' lists them");
    const auto image = fromHere(positional[0]);
    const auto output = singleOutput(positional[2], image, ".bin");
    if (!output)
        return usageError(output.error());

    const auto work = conv::PrivateWorkFolder::create("cli");
    if (!work)
        return failed(work.error().reason);
    conv::DeflateCompressionComponent component;
    const images::QtPictureReader pictures;
    auto options = conv::PackOptions::reading(&pictures);
    options.textureHeaderFile = headerFile(args);
    options.fitIfTooDetailed = args.has("--fit");
    const conv::Outcome outcome = conv::runPack(work->path(), image.string(), output->string(),
                                                mode->textureName, component, options);
    if (!outcome)
        return failed(outcome.error());
    if (outcome->fittedPsnr)
        m_out << fittedLine(*outcome->fittedPsnr,
                            static_cast<std::size_t>(*outcome->storedLength) + 4)
              << '\n';
    if (outcome->placeholderHeader)
        m_err << placeholderHeaderWarning();
    m_out << "written: " << shownName(outcome->writtenPath) << '\n'
          << "image: " << outcome->imageFound << " (" << outcome->imageAction << ")\n"
          << "stored length: " << *outcome->storedLength << '\n';
    return kExitOk;
}

int CommandLine::fit(const ParsedArguments& args) {
    const auto& positional = args.positional;
    if (positional.size() != 2)
        return usageError(positional.size() < 2 ? "fit needs IMAGE and OUT"
                                                : "fit takes two arguments");
    const auto imagePath = fromHere(positional[0]);
    const auto output = singleOutput(positional[1], imagePath, ".dds");
    if (!output)
        return usageError(output.error());
    const bool png = conv::hasExtension(output->string(), ".png");
    // The mode is not known here: the longest texture name keeps the fit safe for every mode.
    std::string_view name;
    for (const MenuAnimation& row : MenuAnimationCatalogue::rows())
        if (row.textureName.size() > name.size())
            name = row.textureName;
    const auto work = conv::PrivateWorkFolder::create("cli");
    if (!work)
        return failed(work.error().reason);
    const images::QtPictureReader pictures;
    auto options = conv::PackOptions::reading(&pictures);
    options.textureHeaderFile = headerFile(args);
    const auto fitted = conv::fitPackImage(work->path(), imagePath.string(), name, options);
    if (!fitted)
        return failed(fitted.error());
    const auto pixels = std::span(fitted->block).subspan(conv::kDdsHeaderSize);
    const auto saved = png ? conv::writeFileAtomically(*output, conv::encodePng(pixels, 1024, 1024))
                           : conv::writeFileAtomically(*output, fitted->block);
    if (!saved)
        return failed(conv::StepResult::of("Saving the image", *output, saved.error()));
    if (fitted->changed)
        m_out << fittedLine(fitted->psnr, fitted->stream.size()) << '\n';
    else
        m_out << "unchanged: the image fits the game file as it is, stream "
              << conv::groupedNumber(fitted->stream.size()) << " bytes\n";
    m_out << "written: " << shownName(*output) << '\n';
    return kExitOk;
}

int CommandLine::header(const ParsedArguments& parsed) {
    const auto& args = parsed.positional;
    if (args.empty() || args.size() > 2)
        return usageError(args.empty() ? "header needs GAME_FILE"
                                       : "header takes GAME_FILE and at most OUT");
    if (args.size() == 2 && args[1].empty())
        return usageError("OUT is empty");
    const auto gameFile = fromHere(args[0]);
    // Without OUT the header is installed where pack looks for the user's own.
    const bool install = args.size() == 1;
    const auto out = install ? conv::userTextureHeaderPath()
                             : outputFor(m_context.workingFolder, args[1], gameFile, "");
    if (out.empty())
        return failed("cannot tell where to install the texture header: set XDG_DATA_HOME or "
                      "HOME, or name OUT");
    if (sameFile(gameFile, out))
        return usageError("the output would replace the input: " + shownName(out));
    const auto inspected = conv::inspectGameFileAt(gameFile);
    if (!inspected)
        return failed(inspected.error());
    const auto& record = inspected->record;
    if (!record) {
        const images::QtPictureReader pictures;
        return failed(conv::gameFileFault(
            gameFile, conv::StepResult::of("Decompressing", gameFile, record.error()), &pictures));
    }
    if (!record->textureHeader)
        return failed(conv::StepResult::of(
            "Reading the texture header", gameFile,
            {conv::ErrorKind::Damaged, "the record is shorter than 48 bytes"}));
    std::error_code ignored;
    if (install)
        std::filesystem::create_directories(out.parent_path(), ignored);
    if (auto saved = conv::writeFileAtomically(out, *record->textureHeader); !saved)
        return failed(conv::StepResult::of("Saving the texture header", out, saved.error()));
    if (install)
        m_out << "installed: " << shownName(out) << " (pack takes it when no --header is given)\n";
    else
        m_out << "written: " << shownName(out) << '\n';
    return kExitOk;
}

int CommandLine::modes(const ParsedArguments& args) {
    if (!args.positional.empty())
        return usageError("modes takes no arguments");
    for (const MenuAnimation& row : MenuAnimationCatalogue::rows())
        m_out << std::setw(2) << row.position << "  " << std::left << std::setw(30)
              << ('"' + std::string(row.displayName) + '"') << std::setw(29) << row.textureName
              << std::right << row.entryNumber << '\n';
    return kExitOk;
}

} // namespace velmora::cli
