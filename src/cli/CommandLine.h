#pragma once

#include "base/StepResult.h"
#include "cli/CliSupport.h"
#include "workflows/FileFacts.h"

#include <filesystem>
#include <iosfwd>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

// Exit statuses of velmora-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;     // a conversion failed
inline constexpr int kExitUsage = 2;      // unknown command or mode, missing argument
inline constexpr int kExitFolderGone = 3; // watch: DIR or OUT was removed or moved away

// What a run takes from its surroundings, given rather than read from the process, so that
// runs in one process (the tests) do not depend on its current folder.
struct RunContext {
    std::filesystem::path programFolder; // its data: the "WE00" beside the program
    std::filesystem::path workingFolder; // relative paths on the command line are taken from here
    bool progress = false;               // `err` is a terminal: the batch form shows its progress
};

// The commands of velmora-cli, writing to `out` and `err` only.
class CommandLine {
  public:
    CommandLine(RunContext context, std::ostream& out, std::ostream& err);

    int run(const std::vector<std::string>& args);

  private:
    using Handler = int (CommandLine::*)(const ParsedArguments&);
    // One command: its name, what runs it, its options, and its own lines of the usage.
    struct Command {
        const char* name;
        Handler handler;
        std::set<std::string> valueOptions;
        std::set<std::string> flagOptions;
        const char* usage;
    };
    static const std::vector<Command>& commands();
    static std::string usage();

    int unpack(const ParsedArguments& args);
    int pack(const ParsedArguments& args);
    int batch(const ParsedArguments& args, bool pack);
    int fit(const ParsedArguments& args);
    int info(const ParsedArguments& args);
    int verify(const ParsedArguments& args);
    int header(const ParsedArguments& args);
    int pictureInfo(const std::filesystem::path& path, const conversion::FileFacts& facts,
                    bool json);
    int modes(const ParsedArguments& args);
    int thumbnail(const ParsedArguments& args);
    int watch(const ParsedArguments& args);
    int gameFileJson(const std::filesystem::path& gameFile, const conversion::FileFacts& facts);

    // Where a single-form output goes, or the usage error that refuses it.
    Result<std::filesystem::path, std::string> singleOutput(const std::string& text,
                                                            const std::filesystem::path& input,
                                                            std::string_view extension) const;
    std::filesystem::path fromHere(const std::string& text) const;
    std::filesystem::path headerFile(const ParsedArguments& args) const;

    int usageError(const std::string& what);
    int failed(const std::string& what);
    int failed(const conversion::StepResult& step);

    RunContext m_context;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace velmora::cli
