#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmora::conversion {

// What a file is, judged by its first bytes, so that a file handed to the wrong command is
// named instead of failing somewhere inside it.
enum class FileKind { GameFile, Dds, Picture, Unknown };

struct FileIdentity {
    FileKind kind = FileKind::Unknown;
    std::string name; // "PNG", "JPEG", ... for a picture
};

// A TGA: pictures the core reads itself, since it has no signature for the picture reader.
inline constexpr std::string_view kTgaName = "TGA";
inline bool isTga(const FileIdentity& identity) {
    return identity.kind == FileKind::Picture && identity.name == kTgaName;
}

// `head` is the start of the file: the whole file, unless fileSize gives its length. TGA, which
// has no signature, is told by its header, so kIdentifyBytes of the start are needed to tell
// every kind (the TGA 2.0 footer counts only when the whole file is given).
inline constexpr std::size_t kIdentifyBytes = 18;
FileIdentity identifyFile(std::span<const std::uint8_t> head,
                          std::optional<std::uint64_t> fileSize = std::nullopt);

} // namespace velmora::conversion
