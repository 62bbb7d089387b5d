#pragma once

#include "base/Result.h"

#include <filesystem>
#include <string>

namespace velmora::conversion {

// A fresh folder of its own (mode 700) for one run's work files, under $XDG_RUNTIME_DIR or
// else the temporary folder, removed with everything in it when the owner ends. So any number
// of runs and windows can work side by side, and nothing is written where the program is
// installed.
//
// The owner holds a lock on a file inside for as long as it lives; a folder whose lock nobody
// holds belongs to a run that was killed, and the next one to start removes it.
class PrivateWorkFolder {
  public:
    // `purpose` becomes part of the name: "velmora-<purpose>-<pid>-XXXXXX".
    static Result<PrivateWorkFolder> create(std::string_view purpose);

    PrivateWorkFolder(PrivateWorkFolder&& other) noexcept;
    PrivateWorkFolder& operator=(PrivateWorkFolder&& other) noexcept;
    PrivateWorkFolder(const PrivateWorkFolder&) = delete;
    PrivateWorkFolder& operator=(const PrivateWorkFolder&) = delete;
    ~PrivateWorkFolder();

    const std::filesystem::path& path() const { return m_path; }

    // The folder work folders are made in.
    static std::filesystem::path base();
    // Removes the work folders under `base` left by runs that no longer live; returns how many.
    static int removeAbandoned(const std::filesystem::path& base);

  private:
    PrivateWorkFolder(std::filesystem::path path, int lockFd)
        : m_path(std::move(path)), m_lockFd(lockFd) {}
    void release();

    std::filesystem::path m_path;
    int m_lockFd = -1;
};

} // namespace velmora::conversion
