#pragma once

#include <filesystem>

namespace velmora::test {

// A fresh folder under the system's temporary folder, removed with everything in it when it
// goes out of scope, so no test sees another's files.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return m_path / name;
    }

  private:
    std::filesystem::path m_path;
};

} // namespace velmora::test
