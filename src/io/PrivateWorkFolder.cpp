#include "io/PrivateWorkFolder.h"

#include "io/TransientFiles.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::conversion {

namespace {

constexpr const char* kPrefix = "velmora-";
constexpr const char* kOwnerFile = ".owner";
// A folder without its lock file may be one a run is creating this very moment.
constexpr auto kGraceWithoutOwner = std::chrono::minutes(10);

bool usableFolder(const std::filesystem::path& folder) {
    struct stat info {};
    return !folder.empty() && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// True when the folder's owner is gone: its lock can be taken, or it never had one and is old.
bool abandoned(const std::filesystem::path& folder) {
    const int fd = ::open((folder / kOwnerFile).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        std::error_code error;
        const auto written = std::filesystem::last_write_time(folder, error);
        return !error &&
               std::filesystem::file_time_type::clock::now() - written > kGraceWithoutOwner;
    }
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

} // namespace

std::filesystem::path PrivateWorkFolder::base() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && usableFolder(runtime))
        return runtime;
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/tmp") : temp;
}

int PrivateWorkFolder::removeAbandoned(const std::filesystem::path& base) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(base, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        struct stat info {};
        // Only our own folders, by name, owner and kind; links are never followed.
        if (name.rfind(kPrefix, 0) != 0 || ::lstat(it->path().c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || !abandoned(it->path()))
            continue;
        std::error_code ignored;
        if (std::filesystem::remove_all(it->path(), ignored) > 0)
            ++removed;
    }
    return removed;
}

Result<PrivateWorkFolder> PrivateWorkFolder::create(std::string_view purpose) {
    const std::filesystem::path folder = base();
    removeAbandoned(folder);
    std::string pattern = (folder / (std::string(kPrefix) + std::string(purpose) + "-" +
                                     std::to_string(::getpid()) + "-XXXXXX"))
                              .string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!transient::createFolder(buffer.data()))
        return fail(ErrorKind::WriteFailed, "cannot create a work folder in " + folder.string() +
                                                " (" + std::strerror(errno) + ")");
    std::filesystem::path path = buffer.data();
    // The lock file appears under its real name only once it is locked: a run scanning for
    // abandoned folders in between must never find it unlocked.
    const std::filesystem::path unlocked = path / (std::string(kOwnerFile) + ".new");
    const int fd = ::open(unlocked.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(unlocked.c_str(), (path / kOwnerFile).c_str()) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
        transient::forget(path);
        return fail(ErrorKind::WriteFailed, "cannot lock the work folder " + path.string() + " (" +
                                                std::strerror(error) + ")");
    }
    return PrivateWorkFolder(std::move(path), fd);
}

PrivateWorkFolder::PrivateWorkFolder(PrivateWorkFolder&& other) noexcept
    : m_path(std::move(other.m_path)), m_lockFd(other.m_lockFd) {
    other.m_path.clear();
    other.m_lockFd = -1;
}

PrivateWorkFolder& PrivateWorkFolder::operator=(PrivateWorkFolder&& other) noexcept {
    if (this != &other) {
        release();
        m_path = std::move(other.m_path);
        m_lockFd = other.m_lockFd;
        other.m_path.clear();
        other.m_lockFd = -1;
    }
    return *this;
}

PrivateWorkFolder::~PrivateWorkFolder() {
    release();
}

void PrivateWorkFolder::release() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
        transient::forget(m_path);
        m_path.clear();
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

} // namespace velmora::conversion
