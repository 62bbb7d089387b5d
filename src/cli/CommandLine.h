#pragma once

#include "base/StepResult.h"
#include "cli/CliSupport.h"
#include "workflows/FileFacts.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

// Exit statuses of velmora-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // a conversion failed
inline constexpr int kExitUsage = 2;  // unknown command or mode, missing argument

// The commands of velmora-cli. `programFolder` is where the binary lives (its "WE00" is there).
class CommandLine {
  public:
    CommandLine(std::filesystem::path programFolder, std::ostream& out, std::ostream& err);

    int run(const std::vector<std::string>& args);

  private:
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

    std::filesystem::path singleOutput(const std::string& text, const std::filesystem::path& input,
                                       std::string_view extension, std::string& refusal);

    int usageError(const std::string& what);
    int failed(const std::string& what);
    int failed(const conversion::StepResult& step);

    std::filesystem::path m_programFolder;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace velmora::cli
