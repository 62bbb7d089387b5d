#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmora::conversion {

struct BlockRead {
    std::vector<std::uint8_t> bytes;  // always exactly the requested length, zero-filled
    std::uint64_t fileSize = 0;       // size of the source file
    std::string error;                // empty when the source could be opened and read
    bool missing = false;             // the source does not exist
    std::size_t bytesRead = 0;        // bytes taken from the file; the rest of the block is zero
    bool ok() const { return error.empty(); }
};

// Reads `length` bytes from `offset`, zero-filled where the file is shorter. A missing or
// unreadable source is an error (the block is still returned, all zeros).
BlockRead readBlock(const std::filesystem::path& source, std::uint64_t offset, std::size_t length);

struct BlockTransferResult {
    std::string sourceError;  // the source could not be opened or read
    bool sourceMissing = false;
    std::string targetError;  // the target could not be written
    bool ok() const { return sourceError.empty() && targetError.empty(); }
};

// The block transfer between work files: `length` bytes of source from `offset`, zero-filled
// where the source is shorter, written as a fresh target of exactly `length` bytes. The bytes
// move inside the kernel where the file system allows it.
BlockTransferResult transferBlock(const std::filesystem::path& source, std::uint64_t offset,
                                  std::size_t length, const std::filesystem::path& target);

// Reads a whole file, refusing one larger than maxSize.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& source,
                                                       std::size_t maxSize, std::string& error);

// Writes the bytes into a new file in the target's folder and renames it over the target, so
// the target is either the complete new file or what it was before. Returns an empty string on
// success, else the reason.
std::string writeFileAtomically(const std::filesystem::path& target,
                                std::span<const std::span<const std::uint8_t>> parts);
std::string writeFileAtomically(const std::filesystem::path& target,
                                std::span<const std::uint8_t> bytes);

// Removes whatever stands at the path and writes a new file there. For work files only: they
// are private to a run and deleted by it, so they need no protection from a half-write, and a
// fresh file costs the file system far less than replacing one.
// A totalSize larger than the parts extends the file with zeros.
std::string writeFileFresh(const std::filesystem::path& target,
                           std::span<const std::span<const std::uint8_t>> parts,
                           std::uint64_t totalSize = 0);
std::string writeFileFresh(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

// Copies source over target the same way: complete copy or the old target untouched.
std::string copyFileAtomically(const std::filesystem::path& source,
                               const std::filesystem::path& target);

// Path text as typed: relative texts are taken from `base` (the application folder).
std::filesystem::path resolveUserPath(const std::filesystem::path& base, std::string_view text);

// Appends `extension` (".dds", ".bin") unless the text already ends in it, in any letter case.
std::string withExtensionOnce(std::string_view text, std::string_view extension);

}  // namespace velmora::conversion
