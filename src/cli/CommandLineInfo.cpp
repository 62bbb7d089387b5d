// The commands that only read: info and verify.
#include "cli/CommandLine.h"

#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "cli/CliSupport.h"
#include "formats/qt/QtPictureReader.h"
#include "gamefile/GameFileVerification.h"
#include "workflows/FileFacts.h"
#include "workflows/ImageInput.h"
#include "workflows/Workflows.h"

#include <algorithm>
#include <optional>
#include <ostream>

namespace velmora::cli {

namespace conv = velmora::conversion;

namespace {

constexpr const char* kPlaceholderFinding =
    "the texture header is the placeholder shipped with Velmora (\"WE00\" and zeros); the game "
    "may need the genuine one ('velmora-cli header YOUR_GAME_FILE' installs it for pack)";

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

const char* jsonBool(bool value) {
    return value ? "true" : "false";
}

// Whether the record's texture header is the placeholder shipped with Velmora; nothing when the
// record is too short to hold one.
std::optional<bool> placeholderHeader(std::span<const std::uint8_t> record) {
    if (record.size() < conv::kTextureHeaderBlockSize)
        return std::nullopt;
    return conv::isPlaceholderHeader(record.first(conv::kTextureHeaderBlockSize));
}

std::optional<bool> placeholderHeader(const conv::RecordInfo& record) {
    if (!record.textureHeader)
        return std::nullopt;
    return conv::isPlaceholderHeader(*record.textureHeader);
}

} // namespace

int CommandLine::gameFileJson(const std::filesystem::path& gameFile, const conv::FileFacts& facts) {
    const conv::GameFileInfo& info = facts.game;
    m_out << "{\"file\": " << jsonString(gameFile.string()) << ", \"fileSize\": " << info.fileSize
          << ", \"leadBytes\": " << jsonBool(info.hasLeadBytes)
          << ", \"magic\": " << jsonBool(info.hasMagic)
          << ", \"storedLength\": " << info.storedLength << ", \"constants\": ["
          << info.firstConstant << ", " << info.secondConstant << "]";
    if (!info.record) {
        m_out << ", \"error\": " << jsonString(info.record.error().reason) << "}\n";
        return kExitFailed;
    }
    const conv::RecordInfo& record = *info.record;
    m_out << ", \"streamSize\": " << record.streamSize << ", \"storedLengthMatches\": "
          << jsonBool(static_cast<std::int64_t>(record.streamSize) - 4 == info.storedLength)
          << ", \"recordSize\": " << record.recordSize
          << ", \"textureName\": " << jsonString(record.textureName) << ", \"placeholderHeader\": ";
    if (const auto placeholder = placeholderHeader(record))
        m_out << jsonBool(*placeholder);
    else
        m_out << "null";
    m_out << ", \"mode\": ";
    if (const MenuAnimation* mode = facts.mode)
        m_out << "{\"position\": " << mode->position
              << ", \"displayName\": " << jsonString(mode->displayName) << "}";
    else
        m_out << "null";
    m_out << ", \"image\": ";
    if (record.image.isDds)
        m_out << "{\"width\": " << record.image.width << ", \"height\": " << record.image.height
              << ", \"pixelFormat\": " << jsonString(record.image.pixelFormat) << "}";
    else
        m_out << "null";
    m_out << "}\n";
    return kExitOk;
}

int CommandLine::verify(const ParsedArguments& parsed) {
    const auto& args = parsed.positional;
    if (args.empty() || args.size() > 2)
        return usageError(args.empty() ? "verify needs GAME_FILE"
                                       : "verify takes GAME_FILE and at most IMAGE");
    const auto gameFile = fromHere(args[0]);
    const auto check = conv::checkGameFile(gameFile);
    if (!check)
        return failed(conv::StepResult::of("Reading the game file", gameFile, check.error()));
    std::vector<std::string> findings = check->findings;
    const bool recordRead = check->record.size() > conv::kRecordNameOffset;
    if (recordRead && !MenuAnimationCatalogue::findByTextureName(check->textureName))
        findings.push_back("the texture name \"" + shownName(check->textureName) +
                           "\" is not one of the menu's ('velmora-cli modes' lists them)");
    if (args.size() == 2) {
        const auto imagePath = fromHere(args[1]);
        const images::QtPictureReader pictures;
        // The image as Pack would make it into the block.
        const auto image = conv::loadImage(imagePath, &pictures);
        if (!image)
            return failed(conv::StepResult::of("Reading the image", imagePath, image.error()));
        const auto pixels = std::span(image->block).subspan(conv::kDdsHeaderSize);
        if (recordRead &&
            !std::equal(pixels.begin(), pixels.end(),
                        check->record.begin() + conv::kRecordImageOffset + conv::kDdsHeaderSize))
            findings.push_back("its pixels differ from those of " + shownName(imagePath));
    }
    // A placeholder header makes a valid file that the game may still refuse: a warning,
    // unless the user asks for it to count (--strict).
    const bool strict = parsed.has("--strict");
    if (placeholderHeader(check->record).value_or(false))
        findings.push_back(std::string(strict ? "" : "warning: ") + kPlaceholderFinding);
    const auto faults = std::count_if(findings.begin(), findings.end(), [](const auto& finding) {
        return !finding.starts_with("warning: ");
    });
    for (const std::string& finding : findings)
        m_err << "velmora-cli: " << shownName(gameFile) << ": " << finding << '\n';
    if (faults > 0)
        return kExitFailed;
    m_out << "ok\n";
    return kExitOk;
}

int CommandLine::info(const ParsedArguments& parsed) {
    const auto& args = parsed.positional;
    if (args.size() != 1)
        return usageError(args.empty() ? "info needs GAME_FILE" : "info takes one argument");
    const bool json = parsed.has("--json");
    const auto gameFile = fromHere(args[0]);
    const images::QtPictureReader pictures;
    const auto facts = conv::gatherFileFacts(gameFile, &pictures);
    if (!facts)
        return failed(facts.error());
    if (facts->kind != conv::FileFacts::Kind::GameFile)
        return pictureInfo(gameFile, *facts, json);
    const conv::GameFileInfo& info = facts->game;

    if (json)
        return gameFileJson(gameFile, *facts);
    m_out << "file:            " << shownName(gameFile) << '\n'
          << "file size:       " << conv::groupedNumber(info.fileSize) << " bytes"
          << (info.fileSize == conv::kGameFileSize ? "" : " (a packed file is 2,400,017)") << '\n'
          << "lead bytes:      " << yesNo(info.hasLeadBytes) << " (00 01 01)\n"
          << "magic WESYS:     " << yesNo(info.hasMagic) << '\n'
          << "stored length:   " << info.storedLength << '\n'
          << "constants:       " << info.firstConstant << ", " << info.secondConstant
          << (info.hasPackedConstants() ? "" : " (a packed file has 208, 64)") << '\n';
    if (!info.record)
        return failed(conv::StepResult::of("Decompressing", gameFile, info.record.error()));
    const conv::RecordInfo& record = *info.record;
    m_out << "stream size:     " << conv::groupedNumber(record.streamSize) << " bytes"
          << (static_cast<std::int64_t>(record.streamSize) - 4 == info.storedLength
                  ? " (matches the stored length)"
                  : " (stored length differs)")
          << '\n'
          << "record size:     " << conv::groupedNumber(record.recordSize) << " bytes\n";
    const MenuAnimation* mode = facts->mode;
    m_out << "texture name:    " << (record.textureName.empty() ? "(none)" : record.textureName)
          << '\n'
          << "mode:            ";
    if (mode)
        m_out << mode->position << " \"" << mode->displayName << "\"\n";
    else
        m_out << "not in the catalogue\n";
    m_out << "texture header:  ";
    if (const auto placeholder = placeholderHeader(record); !placeholder)
        m_out << "missing (the record is shorter than 48 bytes)\n";
    else if (*placeholder)
        m_out << "the placeholder (\"WE00\" and zeros): the game may need the genuine one\n";
    else
        m_out << "not the placeholder\n";
    if (record.image.isDds)
        m_out << "image:           " << record.image.width << "x" << record.image.height << ' '
              << record.image.pixelFormat << '\n';
    else
        m_out << "image:           not a DDS image\n";
    return kExitOk;
}

int CommandLine::pictureInfo(const std::filesystem::path& path, const conv::FileFacts& facts,
                             bool json) {
    const std::string pack =
        facts.packAction ? *facts.packAction : "refused: " + facts.packAction.error().reason;
    if (json) {
        m_out << "{\"file\": " << jsonString(path.string()) << ", \"fileSize\": " << facts.fileSize
              << ", \"kind\": "
              << jsonString(facts.kind == conv::FileFacts::Kind::Dds ? "DDS" : facts.identity.name)
              << ", \"pack\": " << jsonString(pack) << "}\n";
        return kExitOk;
    }
    m_out << "file:            " << shownName(path) << '\n'
          << "file size:       " << conv::groupedNumber(facts.fileSize) << " bytes\n";
    if (facts.kind == conv::FileFacts::Kind::Dds) {
        m_out << "kind:            DDS image\n";
        if (const auto& layout = facts.ddsLayout) {
            m_out << "size:            " << layout->width << "x" << layout->height << '\n'
                  << "layout:          " << layout->format << '\n'
                  << "mip levels:      " << layout->mipCount << '\n'
                  << "written by:      "
                  << (layout->writer.empty() ? "(not recorded)" : layout->writer) << '\n';
        } else if (const auto& summary = facts.ddsSummary) {
            m_out << "size:            " << summary->width << "x" << summary->height << '\n'
                  << "layout:          " << summary->pixelFormat << '\n';
        }
    } else if (const auto& picture = facts.picture) {
        m_out << "kind:            " << picture->format << " picture\n"
              << "size:            " << picture->width << "x" << picture->height << '\n'
              << "layout:          "
              << (picture->layout.empty() ? "(not known before decoding)" : picture->layout)
              << '\n';
    }
    m_out << "pack:            " << pack << '\n';
    return kExitOk;
}

} // namespace velmora::cli
