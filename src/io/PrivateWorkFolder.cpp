#include "io/PrivateWorkFolder.h"

#include "io/TransientFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::conversion {

namespace {

constexpr const char* kPrefix = "velmora-";
constexpr const char* kOwnerFile = ".owner";
// The first line of every owner file: only a folder that carries it was made by us.
constexpr std::string_view kMark = "velmora work folder\n";

bool usableFolder(const std::filesystem::path& folder) {
    struct stat info {};
    return !folder.empty() && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// Opens the owner file of a folder that is ours to clean up: our mark, our uid, and a lock
// nobody holds (its owner is gone). Returns the locked descriptor, or -1.
int lockAbandoned(const std::filesystem::path& folder) {
    int fd = ::open((folder / kOwnerFile).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    // Killed between marking and naming the owner file.
    if (fd < 0)
        fd = ::open((folder / (std::string(kOwnerFile) + ".new")).c_str(),
                    O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat info {};
    char head[64] = {};
    const bool marked = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                        info.st_uid == ::geteuid() &&
                        ::pread(fd, head, kMark.size(), 0) == static_cast<ssize_t>(kMark.size()) &&
                        std::string_view(head, kMark.size()) == kMark;
    if (marked && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// A run killed between creating its folder and marking it leaves the folder empty, or with a
// partly written owner file. Such a folder is removed once the process its name carries is gone;
// rmdir keeps it if anything else is inside.
bool removeUnmarkedOfDeadRun(const std::filesystem::path& folder) {
    const std::string name = folder.filename().string();
    const std::size_t last = name.rfind('-');
    const std::size_t before =
        last == std::string::npos || last == 0 ? std::string::npos : name.rfind('-', last - 1);
    if (before == std::string::npos || last - before < 2)
        return false;
    const std::string digits = name.substr(before + 1, last - before - 1);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH)
        return false;
    const std::filesystem::path unmarked = folder / (std::string(kOwnerFile) + ".new");
    struct stat info {};
    if (::lstat(unmarked.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
            info.st_size >= static_cast<off_t>(kMark.size()))
            return false;
        ::unlink(unmarked.c_str());
    }
    return ::rmdir(folder.c_str()) == 0;
}

tl::unexpected<Error> parentRefused(const std::filesystem::path& parent, const std::string& why) {
    return fail(ErrorKind::WriteFailed,
                "the folder for work folders, " + parent.string() + ", " + why +
                    "; remove it or set XDG_RUNTIME_DIR or TMPDIR to a folder of your own");
}

} // namespace

std::filesystem::path PrivateWorkFolder::base() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && usableFolder(runtime))
        return std::filesystem::path(runtime) / "velmora";
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    // A shared temporary folder: the uid in the name keeps users apart.
    return (error ? std::filesystem::path("/tmp") : temp) /
           ("velmora-" + std::to_string(::geteuid()));
}

Result<std::filesystem::path> PrivateWorkFolder::ensureBase() {
    const std::filesystem::path parent = base();
    if (::mkdir(parent.c_str(), 0700) == 0) {
        // The umask may have taken more away than group and others' rights.
        ::chmod(parent.c_str(), 0700);
    } else if (errno != EEXIST) {
        return fail(ErrorKind::WriteFailed, "cannot create the folder " + parent.string() + " (" +
                                                std::strerror(errno) + ")");
    }
    // Anyone may have made it first in a shared temporary folder: it is used only when it is a
    // real folder, ours, and closed to everyone else.
    struct stat info {};
    if (::lstat(parent.c_str(), &info) != 0)
        return fail(ErrorKind::WriteFailed,
                    "cannot use the folder " + parent.string() + " (" + std::strerror(errno) + ")");
    if (!S_ISDIR(info.st_mode))
        return parentRefused(parent, "is not a folder (a symbolic link or a file)");
    if (info.st_uid != ::geteuid())
        return parentRefused(parent, "belongs to another user");
    if ((info.st_mode & 077) != 0)
        return parentRefused(parent, "is open to other users (mode " +
                                         std::to_string((info.st_mode >> 6) & 7) +
                                         std::to_string((info.st_mode >> 3) & 7) +
                                         std::to_string(info.st_mode & 7) + ", not 700)");
    return parent;
}

int PrivateWorkFolder::removeAbandoned(const std::filesystem::path& base) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(base, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        struct stat info {};
        // Only our own folders, by name, owner, kind and mark; links are never followed.
        if (name.rfind(kPrefix, 0) != 0 || ::lstat(it->path().c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        const int lock = lockAbandoned(it->path());
        if (lock < 0) {
            if (removeUnmarkedOfDeadRun(it->path()))
                ++removed;
            continue;
        }
        // Held while removing, so another run does not remove it at the same time.
        if (transient::removeWorkFolder(it->path()))
            ++removed;
        ::close(lock);
    }
    return removed;
}

Result<PrivateWorkFolder> PrivateWorkFolder::create(std::string_view purpose) {
    const auto parent = ensureBase();
    if (!parent)
        return fail(parent.error());
    const std::filesystem::path& folder = *parent;
    removeAbandoned(folder);
    const std::string pattern = (folder / (std::string(kPrefix) + std::string(purpose) + "-" +
                                           std::to_string(::getpid()) + "-XXXXXX"))
                                    .string();
    // A second try only when the fresh folder vanished before it was marked: a run in another
    // process namespace, seeing no process of our number, took it for a dead run's.
    for (int attempt = 0;; ++attempt) {
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!transient::createFolder(buffer.data()))
            return fail(ErrorKind::WriteFailed, "cannot create a work folder in " +
                                                    folder.string() + " (" + std::strerror(errno) +
                                                    ")");
        std::filesystem::path path = buffer.data();
        // The mark is written only once the lock is held, and the owner file takes its real
        // name only then: a run scanning for abandoned folders never finds a marked one
        // unlocked while its owner lives.
        const std::filesystem::path unlocked = path / (std::string(kOwnerFile) + ".new");
        const int fd = ::open(unlocked.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        const auto markAndLock = [&]() -> bool {
            if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
                return false;
            const ssize_t n = ::write(fd, kMark.data(), kMark.size());
            if (n >= 0 && static_cast<std::size_t>(n) != kMark.size())
                errno = ENOSPC;
            return static_cast<std::size_t>(n) == kMark.size() &&
                   ::rename(unlocked.c_str(), (path / kOwnerFile).c_str()) == 0;
        };
        if (markAndLock())
            return PrivateWorkFolder(std::move(path), fd);
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
        transient::forget(path);
        if (error == ENOENT && attempt == 0)
            continue;
        return fail(ErrorKind::WriteFailed, "cannot lock the work folder " + path.string() + " (" +
                                                std::strerror(error) + ")");
    }
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
        transient::removeWorkFolder(m_path);
        transient::forget(m_path);
        m_path.clear();
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

} // namespace velmora::conversion
