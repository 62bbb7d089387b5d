#include "cli/CommandLine.h"

#include "catalogue/MenuAnimationCatalogue.h"
#include "cli/PrivateWorkFolder.h"
#include "conversion/DeflateCompressionComponent.h"
#include "conversion/FileIo.h"
#include "conversion/Formatting.h"
#include "conversion/GameFileInspection.h"
#include "conversion/GameFileLayout.h"
#include "conversion/WorkFiles.h"
#include "conversion/Workflows.h"

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
    "Converts the game's menu-tile files to DDS images and back.\n"
    "\n"
    "Commands:\n"
    "  unpack GAME_FILE OUTPUT                 write the game file's image to OUTPUT\n"
    "                                          (\".dds\" appended unless OUTPUT ends in it)\n"
    "  pack IMAGE MODE OUTPUT [--header FILE]  write a game file for menu MODE to OUTPUT\n"
    "                                          (\".bin\" appended unless OUTPUT ends in it)\n"
    "                                          and print the stored length\n"
    "  info GAME_FILE                          show what a game file holds\n"
    "  header GAME_FILE OUT                    write the game file's 48-byte texture header\n"
    "  modes                                   list the menu modes\n"
    "\n"
    "MODE is a position 0-12, a texture name or a display name (letter case and surrounding\n"
    "blanks do not matter). --header FILE takes the texture header from FILE instead of the\n"
    "\"WE00\" beside the program.\n"
    "\n"
    "Exit status: 0 success, 1 a conversion failed, 2 a usage error.\n";

std::filesystem::path absoluteFromHere(const std::string& text)
{
    std::error_code error;
    auto path = std::filesystem::absolute(text, error);
    return error ? std::filesystem::path(text) : path;
}

std::string yesNo(bool value)
{
    return value ? "yes" : "no";
}

}  // namespace

CommandLine::CommandLine(std::filesystem::path programFolder, std::ostream& out, std::ostream& err)
    : m_programFolder(std::move(programFolder)), m_out(out), m_err(err)
{
}

int CommandLine::run(const std::vector<std::string>& args)
{
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
    if (command == "header")
        return header(rest);
    if (command == "modes")
        return modes(rest);
    return usageError("unknown command \"" + command + "\"");
}

int CommandLine::usageError(const std::string& what)
{
    m_err << "velmora-cli: " << what << "\nTry 'velmora-cli --help'.\n";
    return kExitUsage;
}

int CommandLine::failed(const std::string& what)
{
    m_err << "velmora-cli: " << what << '\n';
    return kExitFailed;
}

int CommandLine::unpack(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return usageError(args.size() < 2 ? "unpack needs GAME_FILE and OUTPUT" : "unpack takes two arguments");
    const auto gameFile = absoluteFromHere(args[0]);
    const auto output = absoluteFromHere(args[1]);

    PrivateWorkFolder work;
    if (!work.ok())
        return failed(work.error());
    // The copy the main window makes when the game file is chosen.
    auto copy = conv::copyToWorkFile(gameFile, work.path(), conv::WorkFile::Temp);
    if (!copy) {
        copy.step = "Reading the game file";
        return failed(copy.message());
    }
    conv::DeflateCompressionComponent component;
    const conv::Outcome outcome = conv::runUnpack(work.path(), gameFile.string(), output.string(), component);
    if (!outcome.ok)
        return failed(outcome.failureMessage());
    m_out << "written: " << outcome.writtenPath.string() << '\n';
    return kExitOk;
}

int CommandLine::pack(const std::vector<std::string>& args)
{
    std::vector<std::string> positional;
    std::filesystem::path headerFile;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--header") {
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
        headerFile = conv::workFilePath(m_programFolder, conv::WorkFile::WE00);
    const auto image = absoluteFromHere(positional[0]);
    const auto output = absoluteFromHere(positional[2]);

    PrivateWorkFolder work;
    if (!work.ok())
        return failed(work.error());
    conv::DeflateCompressionComponent component;
    const conv::Outcome outcome = conv::runPack(work.path(), image.string(), output.string(),
                                                mode->textureName, component, headerFile);
    if (!outcome.ok)
        return failed(outcome.failureMessage());
    m_out << "written: " << outcome.writtenPath.string() << '\n'
          << "stored length: " << *outcome.storedLength << '\n';
    return kExitOk;
}

int CommandLine::info(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return usageError(args.empty() ? "info needs GAME_FILE" : "info takes one argument");
    const auto gameFile = absoluteFromHere(args[0]);
    conv::BlockRead block = conv::readBlock(gameFile, 0, conv::kGameHeaderSize + conv::kGamePayloadBlockSize);
    if (!block.ok())
        return failed("Reading the game file \"" + gameFile.string() + "\" failed: " + block.error);
    if (block.fileSize < block.bytes.size())
        block.bytes.resize(static_cast<std::size_t>(block.fileSize));
    conv::GameFileInfo info = conv::inspectGameFile(block.bytes);
    info.fileSize = block.fileSize;

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
    if (!info.streamOk)
        return failed("Decompressing \"" + gameFile.string() + "\" failed: " + info.streamError);
    m_out << "stream size:     " << conv::groupedNumber(info.streamSize) << " bytes"
          << (static_cast<std::int64_t>(info.streamSize) - 4 == info.storedLength ? " (matches the stored length)"
                                                                                 : " (stored length differs)")
          << '\n'
          << "record size:     " << conv::groupedNumber(info.recordSize) << " bytes\n";
    const MenuAnimation* mode = MenuAnimationCatalogue::findByTextureName(info.textureName);
    m_out << "texture name:    " << (info.textureName.empty() ? "(none)" : info.textureName) << '\n'
          << "mode:            ";
    if (mode)
        m_out << mode->position << " \"" << mode->displayName << "\"\n";
    else
        m_out << "not in the catalogue\n";
    if (info.image.isDds)
        m_out << "image:           " << info.image.width << "x" << info.image.height << ' '
              << info.image.pixelFormat << '\n';
    else
        m_out << "image:           not a DDS image\n";
    return kExitOk;
}

int CommandLine::header(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return usageError(args.size() < 2 ? "header needs GAME_FILE and OUT" : "header takes two arguments");
    const auto gameFile = absoluteFromHere(args[0]);
    const auto out = absoluteFromHere(args[1]);
    conv::BlockRead block = conv::readBlock(gameFile, 0, conv::kGameHeaderSize + conv::kGamePayloadBlockSize);
    if (!block.ok())
        return failed("Reading the game file \"" + gameFile.string() + "\" failed: " + block.error);
    if (block.fileSize < block.bytes.size())
        block.bytes.resize(static_cast<std::size_t>(block.fileSize));
    const conv::GameFileInfo info = conv::inspectGameFile(block.bytes);
    if (!info.streamOk)
        return failed("Decompressing \"" + gameFile.string() + "\" failed: " + info.streamError);
    if (!info.textureHeader)
        return failed("Reading the texture header of \"" + gameFile.string() +
                      "\" failed: the record is shorter than 48 bytes");
    if (auto error = conv::writeFileAtomically(out, *info.textureHeader); !error.empty())
        return failed("Saving the texture header \"" + out.string() + "\" failed: " + error);
    m_out << "written: " << out.string() << '\n';
    return kExitOk;
}

int CommandLine::modes(const std::vector<std::string>& args)
{
    if (!args.empty())
        return usageError("modes takes no arguments");
    for (const MenuAnimation& row : MenuAnimationCatalogue::rows())
        m_out << std::setw(2) << row.position << "  " << std::left << std::setw(30)
              << ('"' + std::string(row.displayName) + '"') << std::setw(29) << row.textureName
              << std::right << row.entryNumber << '\n';
    return kExitOk;
}

}  // namespace velmora::cli
