#include "cli/CliSupport.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <system_error>

#include <sys/stat.h>

namespace velmora::cli {

Result<ParsedArguments, std::string> parseArguments(const std::vector<std::string>& args,
                                                    const std::set<std::string>& valueOptions,
                                                    const std::set<std::string>& flagOptions) {
    const auto refused = [](std::string why) {
        return tl::unexpected<std::string>(std::move(why));
    };
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
        std::string name = arg.substr(0, equals);
        std::optional<std::string> value;
        if (equals != std::string::npos)
            value = arg.substr(equals + 1);
        // A short option glued to its value, as "-j4".
        if (arg[1] != '-' && !valueOptions.count(name) && valueOptions.count(arg.substr(0, 2))) {
            name = arg.substr(0, 2);
            value = arg.substr(2);
        }
        if (name == "--jobs" && valueOptions.count("-j"))
            name = "-j";
        if (valueOptions.count(name)) {
            if (!value && i + 1 < args.size())
                value = args[++i];
            if (!value || value->empty())
                return refused(name == "--header" ? "--header needs a FILE"
                                                  : name + " needs a value");
            parsed.values[name] = *value;
        } else if (flagOptions.count(arg)) {
            parsed.flags.insert(arg);
        } else {
            return refused("unknown option \"" + arg + "\"");
        }
    }
    return parsed;
}

Result<unsigned, std::string> parseWholeNumber(std::string_view text, unsigned low, unsigned high) {
    unsigned number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc() || stop != end || number < low || number > high)
        return tl::unexpected<std::string>("a whole number from " + std::to_string(low) + " to " +
                                           std::to_string(high));
    return number;
}

std::filesystem::path absoluteFrom(const std::filesystem::path& here, const std::string& text) {
    const std::filesystem::path path(text);
    return path.is_absolute() ? path : here / path;
}

std::filesystem::path outputFor(const std::filesystem::path& here, const std::string& outputText,
                                const std::filesystem::path& input, std::string_view extension) {
    std::error_code error;
    const auto output = absoluteFrom(here, outputText);
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
