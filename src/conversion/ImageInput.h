#pragma once

#include "conversion/PictureReader.h"
#include "conversion/Result.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace velmora::conversion {

// What a file is, judged by its first bytes, so that a file handed to the wrong command is
// named instead of failing somewhere inside it.
enum class FileKind { GameFile, Dds, Picture, Unknown };

struct FileIdentity {
    FileKind kind = FileKind::Unknown;
    std::string name; // "PNG", "JPEG", ... for a picture
};

FileIdentity identifyFile(std::span<const std::uint8_t> head);

// The message for a picture given where a game file belongs: "this is a DDS image, not a game
// file: to make a game file from it, use pack". Empty when the file is not a picture.
std::string pictureNotGameFile(const FileIdentity& identity);
inline constexpr const char* kGameFileNotPicture =
    "this is a game file: unpack it to get its image";

// The image block Pack puts into the record, made from whatever picture the user chose.
struct PackImage {
    std::vector<std::uint8_t> block; // kImageBlockSize bytes: header and B8G8R8A8 pixels
    std::string found; // "DDS, 1024x1024, 32-bit R8G8B8 (bytes B,G,R)", "PNG, 1024x1024, RGBA, ..."
    std::string action; // "used as it is", "converted: ..."
};

// A DDS of any layout the reader takes, or any picture `pictures` decodes (when given), made
// into the game's image block. Refusals say what was found and how to fix it.
Result<PackImage> prepareImage(std::span<const std::uint8_t> file, const PictureReader* pictures);

// Reads the image file, refusing one far larger than any 1024x1024 picture, then prepares it.
Result<PackImage> loadImage(const std::filesystem::path& path, const PictureReader* pictures);

} // namespace velmora::conversion
