#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {

using Bytes = std::vector<std::uint8_t>;

// Replaces the file with `bytes`; throws when it cannot be written whole, so a test never
// goes on from inputs it did not get.
void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void writeText(const std::filesystem::path& path, std::string_view text);

// The whole file; empty when it cannot be read.
Bytes readFile(const std::filesystem::path& path);
std::string readText(const std::filesystem::path& path);

// The names of the entries directly in `folder`.
std::set<std::string> fileNames(const std::filesystem::path& folder);

} // namespace velmora::test
