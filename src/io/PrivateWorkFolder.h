#pragma once

#include "base/Result.h"

#include <filesystem>
#include <string>

namespace velmora::conversion {

// A fresh folder of its own (mode 700) for one run's work files, removed with everything in it
// when the owner ends. So any number of runs and windows can work side by side, and nothing is
// written where the program is installed.
//
// Work folders live in one parent of ours (mode 700): $XDG_RUNTIME_DIR/velmora, else
// $TMPDIR/velmora-<uid> or /tmp/velmora-<uid>. A parent that is not a real folder, belongs to
// another user or is open to others is refused.
//
// The owner holds a lock on a marked file inside for as long as it lives; a marked folder whose
// lock nobody holds belongs to a run that was killed, and the next one to start removes it.
// A folder killed before its mark is removed only when it is empty and the process its name
// carries is gone. Nothing outside the parent is ever removed.
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
    // Creates base() if need be and checks it is ours alone; the message says what is wrong.
    static Result<std::filesystem::path> ensureBase();
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
