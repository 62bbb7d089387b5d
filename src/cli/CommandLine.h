#pragma once

#include "conversion/StepResult.h"

#include <filesystem>
#include <iosfwd>
#include <string>
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
    int unpack(const std::vector<std::string>& args);
    int pack(const std::vector<std::string>& args);
    int fit(const std::vector<std::string>& args);
    int info(const std::vector<std::string>& args);
    int header(const std::vector<std::string>& args);
    int pictureInfo(const std::filesystem::path& path);
    int modes(const std::vector<std::string>& args);

    int usageError(const std::string& what);
    int failed(const std::string& what);
    int failed(const conversion::StepResult& step);

    std::filesystem::path m_programFolder;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace velmora::cli
