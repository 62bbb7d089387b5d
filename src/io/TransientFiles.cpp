#include "io/TransientFiles.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace velmora::conversion::transient {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::filesystem::path> files;
    std::vector<std::filesystem::path> folders;
};

Registry& registry() {
    // Never destroyed: a thread may still create a file while the process exits.
    static auto* instance = new Registry;
    return *instance;
}

} // namespace

int createFile(const std::filesystem::path& path, int mode) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0)
        r.files.push_back(path);
    return fd;
}

bool linkFile(int fd, const std::filesystem::path& path) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return false;
    r.files.push_back(path);
    return true;
}

bool createFolder(char* pattern) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    if (::mkdtemp(pattern) == nullptr)
        return false;
    r.folders.emplace_back(pattern);
    return true;
}

void forget(const std::filesystem::path& path) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    std::erase(r.files, path);
    std::erase(r.folders, path);
}

bool removeWorkFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::vector<std::filesystem::path> owner;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename().string().rfind(".owner", 0) == 0) {
            owner.push_back(it->path());
            continue;
        }
        std::error_code ignored;
        std::filesystem::remove_all(it->path(), ignored);
    }
    for (const auto& file : owner)
        ::unlink(file.c_str());
    return ::rmdir(folder.c_str()) == 0 || errno == ENOENT;
}

void removeAll() {
    Registry& r = registry();
    // Held until the process ends, so no new partial file or work folder appears after this.
    r.mutex.lock();
    for (const auto& file : r.files)
        ::unlink(file.c_str());
    for (const auto& folder : r.folders) {
        // Renamed first, so a worker still running can no longer create files in it by path;
        // the "velmora-" prefix stays, so a later run removes it if this one cannot finish.
        std::filesystem::path doomed = folder;
        doomed += "-ending";
        if (::rename(folder.c_str(), doomed.c_str()) != 0)
            doomed = folder;
        removeWorkFolder(doomed);
    }
}

} // namespace velmora::conversion::transient
