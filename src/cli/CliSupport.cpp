#include "cli/CliSupport.h"

#include <cstdio>
#include <system_error>

#include <sys/stat.h>

namespace velmora::cli {

ParsedArguments parseArguments(const std::vector<std::string>& args,
                               const std::set<std::string>& valueOptions,
                               const std::set<std::string>& flagOptions) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (valueOptions.count(name)) {
            if (equals != std::string::npos)
                parsed.values[name] = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                parsed.values[name] = args[++i];
            else
                parsed.error = name + " needs a value";
            if (parsed.error.empty() && parsed.values[name].empty())
                parsed.error = name + " needs a value";
            if (name == "--header" && !parsed.error.empty())
                parsed.error = "--header needs a FILE";
        } else if (flagOptions.count(arg)) {
            parsed.flags.insert(arg);
        } else if (parsed.error.empty()) {
            parsed.error = "unknown option \"" + arg + "\"";
        }
    }
    return parsed;
}

std::filesystem::path absoluteFromHere(const std::string& text) {
    std::error_code error;
    auto path = std::filesystem::absolute(text, error);
    return error ? std::filesystem::path(text) : path;
}

std::filesystem::path outputFor(const std::string& outputText, const std::filesystem::path& input,
                                std::string_view extension) {
    std::error_code error;
    const auto output = absoluteFromHere(outputText);
    if (outputText.back() == '/' || std::filesystem::is_directory(output, error))
        return output / (input.stem().string() + std::string(extension));
    return output;
}

bool sameFile(const std::filesystem::path& input, const std::filesystem::path& output) {
    if (input.lexically_normal() == output.lexically_normal())
        return true;
    struct stat a {};
    struct stat b {};
    return ::stat(input.c_str(), &a) == 0 && ::stat(output.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string shownName(const std::filesystem::path& path) {
    std::string shown;
    for (const char c : path.string()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string jsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
                json += escaped;
            } else {
                json += c; // UTF-8 passes as it is; JSON takes it
            }
        }
    }
    return json + "\"";
}

std::string placeholderHeaderWarning() {
    return "velmora-cli: warning: the texture header is the placeholder shipped with Velmora "
           "(\"WE00\" and zeros); the game may need the genuine one: pack with --header "
           "YOUR_GAME_FILE, or install it once with 'velmora-cli header YOUR_GAME_FILE'\n";
}

} // namespace velmora::cli
