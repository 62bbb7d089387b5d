#include "cli/CommandLine.h"

#include "catalogue/MenuAnimationCatalogue.h"
#include "conversion/DdsReader.h"
#include "conversion/DeflateCompressionComponent.h"
#include "conversion/FileIo.h"
#include "conversion/Formatting.h"
#include "conversion/GameFileInspection.h"
#include "conversion/GameFileLayout.h"
#include "conversion/ImageFitter.h"
#include "conversion/ImageInput.h"
#include "conversion/PngWriter.h"
#include "conversion/PrivateWorkFolder.h"
#include "conversion/WorkFiles.h"
#include "conversion/Workflows.h"
#include "images/QtPictureReader.h"

#include <cstdio>
#include <iomanip>
#include <ostream>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

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
    "  pack IMAGE MODE OUTPUT [--header FILE] [--fit]\n"
    "                                          write a game file for menu MODE to OUTPUT\n"
    "                                          (\".bin\" appended unless OUTPUT ends in it)\n"
    "                                          and print the stored length; with --fit, an\n"
    "                                          image too detailed for the game file gets its\n"
    "                                          colour precision reduced just enough to fit\n"
    "  fit IMAGE OUT [--header FILE]           write the picture --fit would pack, to look at\n"
    "                                          first: a PNG when OUT ends in \".png\", else DDS\n"
    "  info FILE                               show what a game file or a picture holds, and\n"
    "                                          what pack would do with a picture\n"
    "  header GAME_FILE OUT                    write the game file's 48-byte texture header\n"
    "  modes                                   list the menu modes\n"
    "\n"
    "IMAGE is a 1024x1024 DDS (uncompressed in any channel order, DXT1/3/5, with or without\n"
    "mip levels) or PNG, BMP, TGA, JPEG, TIFF or WebP picture. MODE is a position 0-12, a\n"
    "texture name or a display name (letter case and surrounding blanks do not matter).\n"
    "--header FILE takes the texture header from FILE (a 48-byte header or one of your game\n"
    "files) instead of the \"WE00\" beside the program.\n"
    "\n"
    "Exit status: 0 success, 1 a conversion failed, 2 a usage error.\n";

std::filesystem::path absoluteFromHere(const std::string& text) {
    std::error_code error;
    auto path = std::filesystem::absolute(text, error);
    return error ? std::filesystem::path(text) : path;
}

// Far more than any 1024x1024 picture, with every mip level, can take.
constexpr std::size_t kMaxPictureFileSize = 64u * 1024u * 1024u;

// The one line that says what fitting did: "fitted: colour precision reduced, PSNR 52.4 dB,
// stream 2,399,104 bytes".
std::string fittedLine(double psnr, std::size_t streamSize) {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.1f", psnr);
    return std::string("fitted: colour precision reduced, PSNR ") + figure + " dB, stream " +
           conv::groupedNumber(streamSize) + " bytes";
}

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

// The game file as far as Unpack would read it, inspected.
conv::Result<conv::GameFileInfo, conv::StepResult> inspect(const std::filesystem::path& gameFile) {
    auto block = conv::readBlock(gameFile, 0, conv::kGameHeaderSize + conv::kGamePayloadBlockSize);
    if (!block)
        return conv::stepFailed("Reading the game file", gameFile, block.error());
    if (block->fileSize < block->bytes.size())
        block->bytes.resize(static_cast<std::size_t>(block->fileSize));
    conv::GameFileInfo info = conv::inspectGameFile(block->bytes);
    info.fileSize = block->fileSize;
    return info;
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
    if (command == "unpack")
        return unpack(rest);
    if (command == "pack")
        return pack(rest);
    if (command == "info")
        return info(rest);
    if (command == "fit")
        return fit(rest);
    if (command == "header")
        return header(rest);
    if (command == "modes")
        return modes(rest);
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

int CommandLine::unpack(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return usageError(args.size() < 2 ? "unpack needs GAME_FILE and OUTPUT"
                                          : "unpack takes two arguments");
    const auto gameFile = absoluteFromHere(args[0]);
    const auto output = absoluteFromHere(args[1]);

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
    const conv::Outcome outcome =
        conv::runUnpack(work->path(), gameFile.string(), output.string(), component);
    if (!outcome)
        return failed(outcome.error());
    m_out << "written: " << outcome->writtenPath.string() << '\n';
    return kExitOk;
}

int CommandLine::pack(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::filesystem::path headerFile;
    bool fit = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--fit") {
            fit = true;
        } else if (arg == "--header") {
            if (i + 1 >= args.size())
                return usageError("--header needs a FILE");
            headerFile = absoluteFromHere(args[++i]);
        } else if (arg.rfind("--header=", 0) == 0) {
            headerFile = absoluteFromHere(arg.substr(9));
        } else if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
            return usageError("unknown option \"" + arg + "\"");
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3)
        return usageError(positional.size() < 3 ? "pack needs IMAGE, MODE and OUTPUT"
                                                : "pack takes three arguments");
    const MenuAnimation* mode = MenuAnimationCatalogue::findForCommandLine(positional[1]);
    if (!mode)
        return usageError("unknown mode \"" + positional[1] + "\"; 'velmora-cli modes' lists them");
    if (headerFile.empty())
        headerFile = conv::defaultTextureHeader(m_programFolder);
    const auto image = absoluteFromHere(positional[0]);
    const auto output = absoluteFromHere(positional[2]);

    const auto work = conv::PrivateWorkFolder::create("cli");
    if (!work)
        return failed(work.error().reason);
    conv::DeflateCompressionComponent component;
    const images::QtPictureReader pictures;
    auto options = conv::PackOptions::reading(&pictures);
    options.textureHeaderFile = headerFile;
    options.fitIfTooDetailed = fit;
    const conv::Outcome outcome = conv::runPack(work->path(), image.string(), output.string(),
                                                mode->textureName, component, options);
    if (!outcome)
        return failed(outcome.error());
    if (outcome->fittedPsnr)
        m_out << fittedLine(*outcome->fittedPsnr,
                            static_cast<std::size_t>(*outcome->storedLength) + 4)
              << '\n';
    if (outcome->placeholderHeader)
        m_err << "velmora-cli: warning: the texture header is the placeholder shipped with Velmora "
                 "(\"WE00\" and zeros); the game may need the genuine one: pack with --header "
                 "YOUR_GAME_FILE\n";
    m_out << "written: " << outcome->writtenPath.string() << '\n'
          << "image: " << outcome->imageFound << " (" << outcome->imageAction << ")\n"
          << "stored length: " << *outcome->storedLength << '\n';
    return kExitOk;
}

int CommandLine::fit(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::filesystem::path headerFile = conv::defaultTextureHeader(m_programFolder);
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--header" && i + 1 < args.size())
            headerFile = absoluteFromHere(args[++i]);
        else if (args[i].size() > 2 && args[i].rfind("--", 0) == 0)
            return usageError("unknown option \"" + args[i] + "\"");
        else
            positional.push_back(args[i]);
    }
    if (positional.size() != 2)
        return usageError(positional.size() < 2 ? "fit needs IMAGE and OUT"
                                                : "fit takes two arguments");
    const auto imagePath = absoluteFromHere(positional[0]);
    const bool png = conv::hasExtension(positional[1], ".png");
    const auto output =
        absoluteFromHere(png ? positional[1] : conv::withExtensionOnce(positional[1], ".dds"));

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
    m_out << "written: " << output.string() << '\n';
    return kExitOk;
}

int CommandLine::info(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return usageError(args.empty() ? "info needs GAME_FILE" : "info takes one argument");
    const auto gameFile = absoluteFromHere(args[0]);
    const auto head = conv::readBlock(gameFile, 0, 16);
    const conv::FileKind kind =
        head ? conv::identifyFile(head->bytes).kind : conv::FileKind::Unknown;
    if (kind == conv::FileKind::Dds || kind == conv::FileKind::Picture)
        return pictureInfo(gameFile);
    const auto inspected = inspect(gameFile);
    if (!inspected)
        return failed(inspected.error());
    const conv::GameFileInfo& info = *inspected;
    // Pictures without a signature of their own (TGA) are recognised by the picture reader.
    if (!info.record && kind == conv::FileKind::Unknown) {
        if (const auto file = conv::readWholeFile(gameFile, kMaxPictureFileSize);
            file && images::QtPictureReader().describe(*file))
            return pictureInfo(gameFile);
    }

    m_out << "file:            " << gameFile.string() << '\n'
          << "file size:       " << conv::groupedNumber(info.fileSize) << " bytes"
          << (info.fileSize == conv::kGameFileSize ? "" : " (a packed file is 2,400,017)") << '\n'
          << "lead bytes:      " << yesNo(info.hasLeadBytes) << " (00 01 01)\n"
          << "magic WESYS:     " << yesNo(info.hasMagic) << '\n'
          << "stored length:   " << info.storedLength << '\n'
          << "constants:       " << info.firstConstant << ", " << info.secondConstant
          << (info.firstConstant == conv::kFirstHeaderConstant &&
                      info.secondConstant == conv::kSecondHeaderConstant
                  ? ""
                  : " (a packed file has 208, 64)")
          << '\n';
    if (!info.record)
        return failed(conv::StepResult::of("Decompressing", gameFile, info.record.error()));
    const conv::RecordInfo& record = *info.record;
    m_out << "stream size:     " << conv::groupedNumber(record.streamSize) << " bytes"
          << (static_cast<std::int64_t>(record.streamSize) - 4 == info.storedLength
                  ? " (matches the stored length)"
                  : " (stored length differs)")
          << '\n'
          << "record size:     " << conv::groupedNumber(record.recordSize) << " bytes\n";
    const MenuAnimation* mode = MenuAnimationCatalogue::findByTextureName(record.textureName);
    m_out << "texture name:    " << (record.textureName.empty() ? "(none)" : record.textureName)
          << '\n'
          << "mode:            ";
    if (mode)
        m_out << mode->position << " \"" << mode->displayName << "\"\n";
    else
        m_out << "not in the catalogue\n";
    if (record.image.isDds)
        m_out << "image:           " << record.image.width << "x" << record.image.height << ' '
              << record.image.pixelFormat << '\n';
    else
        m_out << "image:           not a DDS image\n";
    return kExitOk;
}

int CommandLine::pictureInfo(const std::filesystem::path& path) {
    const auto file = conv::readWholeFile(path, kMaxPictureFileSize);
    if (!file)
        return failed(conv::StepResult::of("Reading the image", path, file.error()));
    const images::QtPictureReader pictures;
    const conv::FileIdentity identity = conv::identifyFile(*file);
    m_out << "file:            " << path.string() << '\n'
          << "file size:       " << conv::groupedNumber(file->size()) << " bytes\n";
    if (identity.kind == conv::FileKind::Dds) {
        m_out << "kind:            DDS image\n";
        if (const auto layout = conv::inspectDdsHeader(*file, file->size())) {
            m_out << "size:            " << layout->width << "x" << layout->height << '\n'
                  << "layout:          " << layout->format << '\n'
                  << "mip levels:      " << layout->mipCount << '\n'
                  << "written by:      "
                  << (layout->writer.empty() ? "(not recorded)" : layout->writer) << '\n';
        } else if (const conv::DdsSummary summary = conv::describeDds(*file); summary.isDds) {
            m_out << "size:            " << summary.width << "x" << summary.height << '\n'
                  << "layout:          " << summary.pixelFormat << '\n';
        }
    } else if (const auto picture = pictures.describe(*file)) {
        m_out << "kind:            " << picture->format << " picture\n"
              << "size:            " << picture->width << "x" << picture->height << '\n'
              << "layout:          "
              << (picture->layout.empty() ? "(not known before decoding)" : picture->layout)
              << '\n';
    }
    const auto prepared = conv::prepareImage(*file, &pictures);
    m_out << "pack:            "
          << (prepared ? prepared->action : "refused: " + prepared.error().reason) << '\n';
    return kExitOk;
}

int CommandLine::header(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return usageError(args.size() < 2 ? "header needs GAME_FILE and OUT"
                                          : "header takes two arguments");
    const auto gameFile = absoluteFromHere(args[0]);
    const auto out = absoluteFromHere(args[1]);
    const auto inspected = inspect(gameFile);
    if (!inspected)
        return failed(inspected.error());
    const auto& record = inspected->record;
    if (const auto head = conv::readBlock(gameFile, 0, 16);
        !record && head && !conv::pictureNotGameFile(conv::identifyFile(head->bytes)).empty())
        return failed(
            conv::StepResult::of("Reading the game file", gameFile,
                                 {conv::ErrorKind::Unsupported,
                                  conv::pictureNotGameFile(conv::identifyFile(head->bytes))}));
    if (!record)
        return failed(conv::StepResult::of("Decompressing", gameFile, record.error()));
    if (!record->textureHeader)
        return failed(conv::StepResult::of(
            "Reading the texture header", gameFile,
            {conv::ErrorKind::Damaged, "the record is shorter than 48 bytes"}));
    if (auto saved = conv::writeFileAtomically(out, *record->textureHeader); !saved)
        return failed(conv::StepResult::of("Saving the texture header", out, saved.error()));
    m_out << "written: " << out.string() << '\n';
    return kExitOk;
}

int CommandLine::modes(const std::vector<std::string>& args) {
    if (!args.empty())
        return usageError("modes takes no arguments");
    for (const MenuAnimation& row : MenuAnimationCatalogue::rows())
        m_out << std::setw(2) << row.position << "  " << std::left << std::setw(30)
              << ('"' + std::string(row.displayName) + '"') << std::setw(29) << row.textureName
              << std::right << row.entryNumber << '\n';
    return kExitOk;
}

} // namespace velmora::cli
