#pragma once

#include "base/Result.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

using conversion::Result;

// A command's arguments split into positionals and options. "--" ends the options;
// "--name=value" and "--name value" are the same, and so are "-j 4" and "-j4"; "--jobs" is "-j".
struct ParsedArguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values; // options that take a value
    std::set<std::string> flags;               // options that take none
    bool help = false;                         // --help or -h

    bool has(const std::string& flag) const { return flags.count(flag) > 0; }
    std::string value(const std::string& option) const {
        const auto it = values.find(option);
        return it == values.end() ? std::string() : it->second;
    }
};

// The arguments, or the usage error that refuses them ("unknown option \"-x\"").
Result<ParsedArguments, std::string> parseArguments(const std::vector<std::string>& args,
                                                    const std::set<std::string>& valueOptions,
                                                    const std::set<std::string>& flagOptions);

// A whole number from `low` to `high`, the whole text and nothing else: "3abc", "-1", "+4",
// " 4" and "" are refused, not read as far as they go.
Result<unsigned, std::string> parseWholeNumber(std::string_view text, unsigned low, unsigned high);

// A path named on the command line, relative ones taken from `here` (the run's working folder,
// not the process's, so that runs in one process never share it).
std::filesystem::path absoluteFrom(const std::filesystem::path& here, const std::string& text);

// Where an output named on the command line goes: an existing folder, or a name ending in "/",
// means FOLDER/<input stem><extension>, as cp does.
std::filesystem::path outputFor(const std::filesystem::path& here, const std::string& outputText,
                                const std::filesystem::path& input, std::string_view extension);

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
