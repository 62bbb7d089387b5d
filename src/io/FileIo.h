#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace velmora::conversion {

// A fixed-size block as read from a file.
struct Block {
    std::vector<std::uint8_t> bytes; // always exactly the requested length, zero-filled
    std::uint64_t fileSize = 0;      // size of the source file
    std::size_t bytesRead = 0;       // bytes taken from the file; the rest of the block is zero
};

// Reads `length` bytes from `offset`, zero-filled where the file is shorter. A missing source
// fails with ErrorKind::NotFound.
Result<Block> readBlock(const std::filesystem::path& source, std::uint64_t offset,
                        std::size_t length);

// The block transfer between work files: `length` bytes of source from `offset`, zero-filled
// where the source is shorter, written as a fresh target of exactly `length` bytes. The bytes
// move inside the kernel where the file system allows it. A failure on the target's side is
// ErrorKind::WriteFailed; every other kind is the source's.
Result<> transferBlock(const std::filesystem::path& source, std::uint64_t offset,
                       std::size_t length, const std::filesystem::path& target);

// Reads a whole file, refusing one larger than maxSize.
Result<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& source,
                                                std::size_t maxSize);

// Writes the bytes into a new file in the target's folder and renames it over the target, so
// the target is either the complete new file or what it was before.
Result<> writeFileAtomically(const std::filesystem::path& target,
                             std::span<const std::span<const std::uint8_t>> parts);
Result<> writeFileAtomically(const std::filesystem::path& target,
                             std::span<const std::uint8_t> bytes);

// Writes the bytes into the regular file that already stands at the target (through a link):
// truncated, filled, and flushed to disk before it returns. Whoever holds the file open reads
// the new bytes through their handle, which a rename over it would not give them. Fails with
// ErrorKind::NotFound when nothing is there; a failed write can leave the file cut short.
Result<> writeFileInPlace(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

// Removes whatever stands at the path and writes a new file there. For work files only: they
// are private to a run and deleted by it, so they need no protection from a half-write, and a
// fresh file costs the file system far less than replacing one.
// A totalSize larger than the parts extends the file with zeros.
Result<> writeFileFresh(const std::filesystem::path& target,
                        std::span<const std::span<const std::uint8_t>> parts,
                        std::uint64_t totalSize = 0);
Result<> writeFileFresh(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

// Writes the bytes over an existing file at `offset`, leaving the rest of it as it is. For work
// files only, like writeFileFresh.
Result<> overwriteAt(const std::filesystem::path& target, std::uint64_t offset,
                     std::span<const std::uint8_t> bytes);

// Judges a written file before it is renamed into place; a failure leaves the target untouched.
using WrittenFileCheck = std::function<Result<>(const std::filesystem::path& written)>;

// Copies source over target the same way: complete copy or the old target untouched. Only the
// first maxBytes of the source are copied, so a huge or endless source costs no more than that.
// A target that is a symbolic link is written through to the file it names (for every write
// above as well).
Result<> copyFileAtomically(const std::filesystem::path& source,
                            const std::filesystem::path& target,
                            std::uint64_t maxBytes = UINT64_MAX,
                            const WrittenFileCheck& check = {});

// Path text as typed: relative texts are taken from `base` (the application folder).
std::filesystem::path resolveUserPath(const std::filesystem::path& base, std::string_view text);

// Appends `extension` (".dds", ".bin") unless the text already ends in it, in any letter case.
std::string withExtensionOnce(std::string_view text, std::string_view extension);

// Whether the text ends in `extension`, in any letter case.
bool hasExtension(std::string_view text, std::string_view extension);

} // namespace velmora::conversion
