#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

// A command's arguments split into positionals and options. "--" ends the options;
// "--name=value" and "--name value" are the same.
struct ParsedArguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values; // options that take a value
    std::set<std::string> flags;               // options that take none
    bool help = false;                         // --help or -h
    std::string error;                         // a usage error, empty when none

    bool has(const std::string& flag) const { return flags.count(flag) > 0; }
    std::string value(const std::string& option) const {
        const auto it = values.find(option);
        return it == values.end() ? std::string() : it->second;
    }
};

ParsedArguments parseArguments(const std::vector<std::string>& args,
                               const std::set<std::string>& valueOptions,
                               const std::set<std::string>& flagOptions);

std::filesystem::path absoluteFromHere(const std::string& text);

// Where an output named on the command line goes: an existing folder, or a name ending in "/",
// means FOLDER/<input stem><extension>, as cp does.
std::filesystem::path outputFor(const std::string& outputText, const std::filesystem::path& input,
                                std::string_view extension);

// Whether writing `output` would replace `input`: the same path, or the same file through
// another name (a link, "..", a symbolic link).
bool sameFile(const std::filesystem::path& input, const std::filesystem::path& output);

// A file name as shown on a line of output: control characters as \xNN, so a name cannot move
// the cursor or forge another line.
std::string shownName(const std::filesystem::path& path);

// A JSON string literal, escaped.
std::string jsonString(std::string_view text);

// The warning pack gives when a game file it wrote carries the placeholder texture header.
std::string placeholderHeaderWarning();

} // namespace velmora::cli
