#include "cli/CommandLine.h"

#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "cli/BatchRunner.h"
#include "cli/CliSupport.h"
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

#include <cstdio>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace velmora::cli {

namespace conv = velmora::conversion;

namespace {

constexpr const char* kUsage =
    "Usage: velmora-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Converts the game's menu-tile files to pictures and back.\n"
    "\n"
    "Commands:\n"
    "  unpack GAME_FILE OUTPUT                 write the game file's image to OUTPUT: a PNG when\n"
    "                                          OUTPUT ends in \".png\", else a DDS (\".dds\"\n"
    "                                          appended unless OUTPUT ends in it)\n"
    "  unpack GAME... --to DIR [--format dds|png] [-j N]\n"
    "                                          unpack each game file to DIR/<its stem>.dds|png\n"
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
    "                                          holding <stem>.bin), else from the image's name\n"
    "  verify GAME_FILE [IMAGE] [--strict]     check a game file before it goes into the game;\n"
    "                                          with IMAGE, that it holds that image's pixels;\n"
    "                                          the placeholder texture header is a warning,\n"
    "                                          a fault only with --strict\n"
    "  fit IMAGE OUT [--header FILE]           write the picture --fit would pack, to look at\n"
    "                                          first: a PNG when OUT ends in \".png\", else DDS\n"
    "  info FILE [--json]                      show what a game file or a picture holds (for a\n"
    "                                          game file, whether its texture header is the\n"
    "                                          placeholder), and what pack would do with a "
    "picture\n"
    "  header GAME_FILE [OUT]                  write the game file's 48-byte texture header to\n"
    "                                          OUT, or without OUT install it as the one pack\n"
    "                                          uses ($XDG_DATA_HOME/velmora/WE00)\n"
    "  thumbnail INPUT OUTPUT.png [SIZE]       write a PNG of a game file's image or a picture,\n"
    "                                          scaled to fit SIZE x SIZE pixels (default 256)\n"
    "  watch DIR --to OUT (--like GAME_OR_FOLDER | --mode MODE) [--fit] [--header FILE] [-j N]\n"
    "                                          keep OUT/<stem>.bin packed from each picture in\n"
    "                                          DIR, again after every save, until Ctrl-C;\n"
    "                                          one line per game file written\n"
    "  modes                                   list the menu modes\n"
    "\n"
    "IMAGE is a 1024x1024 DDS (uncompressed in any channel order, DXT1/3/5, with or without\n"
    "mip levels) or PNG, BMP, TGA, JPEG, TIFF or WebP picture. MODE is a position 0-12, a\n"
    "texture name or a display name (letter case and surrounding blanks do not matter).\n"
    "--header FILE takes the texture header from FILE (a 48-byte header or one of your game\n"
    "files) instead of your installed one or the \"WE00\" beside the program. An OUTPUT that\n"
    "is a folder or ends in \"/\" means FOLDER/<input stem>; \"--\" ends the options.\n"
    "\n"
    "Exit status: 0 success, 1 a conversion (or in the batch form, any input) failed,\n"
    "2 a usage error; 130, 143, 129 when interrupted (nothing is left behind).\n";

// One command's lines of the usage: its own line or lines and their continuations.
std::string commandUsage(const std::string& command) {
    std::istringstream lines(kUsage);
    std::string text = "Usage:\n";
    bool inside = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  " + command + ' ', 0) == 0 || line == "  " + command)
            inside = true;
        else if (line.rfind("   ", 0) != 0)
            inside = false;
        if (inside)
            text += line + '\n';
    }
    return text;
}

// The one line that says what fitting did: "fitted: colour precision reduced, PSNR 52.4 dB,
// stream 2,399,104 bytes".
std::string fittedLine(double psnr, std::size_t streamSize) {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.1f", psnr);
    return std::string("fitted: colour precision reduced, PSNR ") + figure + " dB, stream " +
           conv::groupedNumber(streamSize) + " bytes";
}

unsigned jobCount(const std::string& text) {
    if (text.empty())
        return 0;
    try {
        const int n = std::stoi(text);
        return n > 0 ? static_cast<unsigned>(n) : 0u;
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

CommandLine::CommandLine(std::filesystem::path programFolder, std::ostream& out, std::ostream& err)
    : m_programFolder(std::move(programFolder)), m_out(out), m_err(err) {}

int CommandLine::run(const std::vector<std::string>& args) {
    if (args.empty())
        return usageError("no command given");
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        m_out << kUsage;
        return kExitOk;
    }
    if (command == "--version" || command == "-V") {
        m_out << "velmora-cli " << VELMORA_VERSION << '\n';
        return kExitOk;
    }
    using Handler = int (CommandLine::*)(const ParsedArguments&);
    struct Command {
        const char* name;
        Handler handler;
        std::set<std::string> valueOptions;
        std::set<std::string> flagOptions;
    };
    const Command commands[] = {
        {"unpack", &CommandLine::unpack, {"--to", "--format", "-j"}, {}},
        {"pack", &CommandLine::pack, {"--header", "--to", "--mode", "--like", "-j"}, {"--fit"}},
        {"fit", &CommandLine::fit, {"--header"}, {}},
        {"info", &CommandLine::info, {}, {"--json"}},
        {"verify", &CommandLine::verify, {}, {"--strict"}},
        {"header", &CommandLine::header, {}, {}},
        {"thumbnail", &CommandLine::thumbnail, {}, {}},
        {"modes", &CommandLine::modes, {}, {}},
        {"watch", &CommandLine::watch, {"--to", "--like", "--mode", "--header", "-j"}, {"--fit"}},
    };
    for (const Command& c : commands) {
        if (command != c.name)
            continue;
        const ParsedArguments parsed = parseArguments(rest, c.valueOptions, c.flagOptions);
        if (parsed.help) {
            m_out << commandUsage(command);
            return kExitOk;
        }
        if (!parsed.error.empty())
            return usageError(parsed.error);
        return (this->*c.handler)(parsed);
    }
    return usageError("unknown command \"" + command + "\"");
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
    request.inputs = args.positional;
    request.toFolder = args.value("--to");
    request.jobs = jobCount(args.value("-j"));
    if (args.values.count("-j") && request.jobs == 0)
        return usageError("-j needs a number of jobs, 1 or more");
    if (pack) {
        request.mode = args.value("--mode");
        request.like = args.value("--like");
        if (args.values.count("--header"))
            request.headerFile = absoluteFromHere(args.value("--header"));
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

// Where a single-form output goes, or the usage error that refuses it (exit 2).
std::filesystem::path CommandLine::singleOutput(const std::string& text,
                                                const std::filesystem::path& input,
                                                std::string_view extension, std::string& refusal) {
    if (text.empty()) {
        refusal = "OUTPUT is empty";
        return {};
    }
    auto output = outputFor(text, input, extension);
    const std::string name = output.string();
    const bool png = conv::hasExtension(name, ".png") && extension == ".dds";
    if (!png)
        output = conv::withExtensionOnce(name, extension);
    if (sameFile(input, output))
        refusal = "the output would replace the input: " + shownName(output);
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
    const auto gameFile = absoluteFromHere(positional[0]);
    std::string refusal;
    const auto output = singleOutput(positional[1], gameFile, ".dds", refusal);
    if (!refusal.empty())
        return usageError(refusal);

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
        conv::runUnpack(work->path(), gameFile.string(), output.string(), component, &pictures);
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
    const std::filesystem::path headerFile = args.values.count("--header")
                                                 ? absoluteFromHere(args.value("--header"))
                                                 : conv::defaultTextureHeader(m_programFolder);
    const auto image = absoluteFromHere(positional[0]);
    std::string refusal;
    const auto output = singleOutput(positional[2], image, ".bin", refusal);
    if (!refusal.empty())
        return usageError(refusal);

    const auto work = conv::PrivateWorkFolder::create("cli");
    if (!work)
        return failed(work.error().reason);
    conv::DeflateCompressionComponent component;
    const images::QtPictureReader pictures;
    auto options = conv::PackOptions::reading(&pictures);
    options.textureHeaderFile = headerFile;
    options.fitIfTooDetailed = args.has("--fit");
    const conv::Outcome outcome = conv::runPack(work->path(), image.string(), output.string(),
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
    const std::filesystem::path headerFile = args.values.count("--header")
                                                 ? absoluteFromHere(args.value("--header"))
                                                 : conv::defaultTextureHeader(m_programFolder);
    if (positional.size() != 2)
        return usageError(positional.size() < 2 ? "fit needs IMAGE and OUT"
                                                : "fit takes two arguments");
    const auto imagePath = absoluteFromHere(positional[0]);
    std::string refusal;
    const auto output = singleOutput(positional[1], imagePath, ".dds", refusal);
    if (!refusal.empty())
        return usageError(refusal);
    const bool png = conv::hasExtension(output.string(), ".png");
    const images::QtPictureReader pictures;
    const auto image = conv::loadImage(imagePath, &pictures);
    if (!image)
        return failed(conv::StepResult::of("Reading the image", imagePath, image.error()));
    const auto header = conv::readTextureHeader(headerFile);
    if (!header)
        return failed(
            conv::StepResult::of("Reading the texture header", headerFile, header.error()));
    // The mode is not known here: the longest texture name keeps the fit safe for every mode.
    std::string_view name;
    for (const MenuAnimation& row : MenuAnimationCatalogue::rows())
        if (row.textureName.size() > name.size())
            name = row.textureName;
    const auto fitted = conv::fitImageToSlot(
        image->block,
        {*header, std::span(reinterpret_cast<const std::uint8_t*>(name.data()), name.size())});
    if (!fitted)
        return failed(conv::StepResult::of("Fitting the image", imagePath, fitted.error()));
    const auto pixels = std::span(fitted->block).subspan(128);
    const auto saved = png ? conv::writeFileAtomically(output, conv::encodePng(pixels, 1024, 1024))
                           : conv::writeFileAtomically(output, fitted->block);
    if (!saved)
        return failed(conv::StepResult::of("Saving the image", output, saved.error()));
    if (fitted->changed)
        m_out << fittedLine(fitted->psnr, fitted->stream.size()) << '\n';
    else
        m_out << "unchanged: the image fits the game file as it is, stream "
              << conv::groupedNumber(fitted->stream.size()) << " bytes\n";
    m_out << "written: " << shownName(output) << '\n';
    return kExitOk;
}

int CommandLine::header(const ParsedArguments& parsed) {
    const auto& args = parsed.positional;
    if (args.empty() || args.size() > 2)
        return usageError(args.empty() ? "header needs GAME_FILE"
                                       : "header takes GAME_FILE and at most OUT");
    if (args.size() == 2 && args[1].empty())
        return usageError("OUT is empty");
    const auto gameFile = absoluteFromHere(args[0]);
    // Without OUT the header is installed where pack looks for the user's own.
    const bool install = args.size() == 1;
    const auto out = install ? conv::userTextureHeaderPath() : outputFor(args[1], gameFile, "");
    if (out.empty())
        return failed("cannot tell where to install the texture header: set XDG_DATA_HOME or "
                      "HOME, or name OUT");
    if (sameFile(gameFile, out))
        return usageError("the output would replace the input: " + shownName(out));
    const auto inspected = conv::inspectGameFileAt(gameFile);
    if (!inspected)
        return failed(inspected.error());
    const auto& record = inspected->record;
    if (const auto head = conv::readBlock(gameFile, 0, conv::kIdentifyBytes); !record && head) {
        const images::QtPictureReader pictures;
        const std::string picture = conv::notAGameFile(
            std::span(head->bytes).first(head->bytesRead), head->fileSize, &pictures);
        if (!picture.empty())
            return failed(conv::StepResult::of("Reading the game file", gameFile,
                                               {conv::ErrorKind::Unsupported, picture}));
    }
    if (!record)
        return failed(conv::StepResult::of("Decompressing", gameFile, record.error()));
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
