#include "formats/FileIdentity.h"

#include "base/GameFileLayout.h"
#include "formats/TgaReader.h"

#include <algorithm>
#include <array>

namespace velmora::conversion {

namespace {

struct Signature {
    std::string_view name;
    std::size_t offset;
    std::string_view bytes;
};

// Formats whose first bytes say what they are. TGA has no signature: it is told by its header
// once these are ruled out.
constexpr std::array<Signature, 8> kSignatures{{
    {"PNG", 0, "\x89PNG\r\n\x1a\n"},
    {"JPEG", 0, "\xFF\xD8\xFF"},
    {"BMP", 0, "BM"},
    {"GIF", 0, "GIF8"},
    {"TIFF", 0, "II*\0"},
    {"TIFF", 0, "MM\0*"},
    {"WEBP", 8, "WEBP"},
    {"DDS", 0, "DDS "},
}};

bool startsWith(std::span<const std::uint8_t> bytes, std::size_t offset,
                std::string_view expected) {
    return bytes.size() >= offset + expected.size() &&
           std::equal(expected.begin(), expected.end(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

} // namespace

FileIdentity identifyFile(std::span<const std::uint8_t> head,
                          std::optional<std::uint64_t> fileSize) {
    const bool gameLead = startsWith(head, 0, std::string_view("\0\1\1", 3)) &&
                          startsWith(head, kGameMagicOffset, kGameMagic);
    if (gameLead)
        return {FileKind::GameFile, "game file"};
    for (const Signature& signature : kSignatures) {
        if (signature.name == "WEBP" && !startsWith(head, 0, "RIFF"))
            continue;
        if (startsWith(head, signature.offset, signature.bytes))
            return {signature.name == "DDS" ? FileKind::Dds : FileKind::Picture,
                    std::string(signature.name)};
    }
    if (looksLikeTga(head, fileSize.value_or(head.size())))
        return {FileKind::Picture, std::string(kTgaName)};
    return {};
}

} // namespace velmora::conversion
