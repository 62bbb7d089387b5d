#pragma once

#include <filesystem>
#include <string>

namespace velmora::cli {

// A fresh folder of its own for one run's work files, removed with everything in it when the
// run ends, so any number of runs can work side by side.
class PrivateWorkFolder {
  public:
    PrivateWorkFolder();
    PrivateWorkFolder(const PrivateWorkFolder&) = delete;
    PrivateWorkFolder& operator=(const PrivateWorkFolder&) = delete;
    ~PrivateWorkFolder();

    bool ok() const { return !m_path.empty(); }
    const std::string& error() const { return m_error; }
    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
    std::string m_error;
};

} // namespace velmora::cli
