#include "io/FileIo.h"

#include "io/TransientFiles.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string_view>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::conversion {

namespace {

std::string errnoText(int error) {
    return std::strerror(error);
}

// Owns a POSIX file descriptor.
class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { close(); }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd) {
        close();
        m_fd = fd;
    }
    int close() {
        int result = 0;
        if (m_fd >= 0)
            result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

  private:
    int m_fd;
};

tl::unexpected<Error> openError(int error) {
    if (error == ENOENT)
        return fail(ErrorKind::NotFound, "the file does not exist");
    if (error == EISDIR)
        return fail(ErrorKind::NotAFile, "it is a folder, not a file");
    return fail(ErrorKind::ReadFailed, "cannot open it (" + errnoText(error) + ")");
}

tl::unexpected<Error> readError(int error) {
    return fail(ErrorKind::ReadFailed, "cannot read it (" + errnoText(error) + ")");
}

// Opens an input for reading. O_NONBLOCK keeps a FIFO from waiting for a writer for ever, and
// only a regular file is accepted.
Result<> openRegularFile(const std::filesystem::path& source, Fd& fd, struct stat& info) {
    fd.reset(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return openError(errno);
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return fail(ErrorKind::NotAFile, S_ISDIR(info.st_mode) ? "it is a folder, not a file"
                                                               : "it is not a regular file");
    return {};
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes, int& error) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

// The name of a partial file beside its target: hidden, and marked so that a later run can
// tell its own abandoned ones from anything else in the folder.
constexpr std::string_view kPartMark = ".velmora-part-";
constexpr std::size_t kPartDigits = 16;

bool isPartName(std::string_view name) {
    const std::size_t tail = kPartMark.size() + kPartDigits;
    if (name.size() <= tail || name.front() != '.')
        return false;
    const std::string_view end = name.substr(name.size() - tail);
    return end.substr(0, kPartMark.size()) == kPartMark &&
           std::all_of(end.begin() + static_cast<std::ptrdiff_t>(kPartMark.size()), end.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::filesystem::path partName(const std::filesystem::path& folder,
                               const std::filesystem::path& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, "%.*s%016llx", static_cast<int>(kPartMark.size()),
                  kPartMark.data(), static_cast<unsigned long long>(random()));
    // Cut the name the partial file borrows, so a target whose name is near the limit still
    // gets one.
    std::string stem = "." + target.filename().string();
    if (stem.size() + std::strlen(suffix) > NAME_MAX)
        stem.resize(NAME_MAX - std::strlen(suffix));
    return folder / (stem + suffix);
}

// Removes the partial files of our runs that were killed while writing into `folder`: our
// mark, our uid, and a lock nobody holds. Once per folder and process.
void removeAbandonedParts(const std::filesystem::path& folder) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        const std::lock_guard lock(mutex);
        if (!done.insert(folder.string()).second)
            return;
    }
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (!isPartName(it->path().filename().string()))
            continue;
        struct stat named {};
        if (::lstat(it->path().c_str(), &named) != 0 || !S_ISREG(named.st_mode) ||
            named.st_uid != ::geteuid())
            continue;
        Fd fd(::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat opened {};
        if (fd.valid() && ::fstat(fd.get(), &opened) == 0 && opened.st_ino == named.st_ino &&
            opened.st_dev == named.st_dev && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(it->path().c_str());
    }
}

// The file being written: unnamed (O_TMPFILE) where the file system allows, so a kill leaves
// nothing behind; else a named partial file beside the target. Either is locked while written,
// so no other run takes it for abandoned.
struct TempFile {
    std::filesystem::path path; // empty while the file has no name
    int fd = -1;
};

bool canNameUnnamed() {
    static const bool proc = ::access("/proc/self/fd", X_OK) == 0;
    return proc;
}

TempFile createTempBeside(const std::filesystem::path& folder, const std::filesystem::path& target,
                          int& error) {
    // Even an unnamed file takes a partial name for a moment when it replaces a target.
    removeAbandonedParts(folder);
    if (canNameUnnamed()) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);
            return {{}, fd};
        }
        // Anything but "not supported here" is the folder's own fault.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error = errno;
            return {};
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = partName(folder, target);
        const int fd = transient::createFile(candidate, 0666);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);
            return {candidate, fd};
        }
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
    }
    error = EEXIST;
    return {};
}

tl::unexpected<Error> writeError(int error) {
    if (error == EACCES || error == EPERM || error == EROFS)
        return fail(ErrorKind::WriteFailed,
                    "the folder is not writable (" + errnoText(error) + ")");
    if (error == ENOENT || error == ENOTDIR)
        return fail(ErrorKind::WriteFailed, "the folder does not exist");
    return fail(ErrorKind::WriteFailed, "cannot write it (" + errnoText(error) + ")");
}

tl::unexpected<Error> folderInTheWay() {
    return fail(ErrorKind::WriteFailed, "a folder of that name is in the way");
}

// Where a write to `path` lands: a symbolic link is written through to its final target, as cp
// does, so the link stays and its target is replaced whole in its own folder.
std::filesystem::path followLinks(std::filesystem::path path) {
    // As many hops as the kernel allows before ELOOP.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(path, error))
            return path;
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error)
            return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// An existing file is replaced only by someone who could write it, as cp would: not one that
// is read-only to us, nor another user's in a sticky folder such as /tmp.
Result<> refuseUnwritable(const std::filesystem::path& target, const struct stat& node,
                          const std::filesystem::path& folder) {
    if (!S_ISREG(node.st_mode))
        return {};
    if (::access(target.c_str(), W_OK) != 0 && errno == EACCES)
        return fail(ErrorKind::WriteFailed,
                    "permission denied (" + target.string() + " is read-only to you)");
    struct stat parent {};
    if (::geteuid() != 0 && ::stat(folder.c_str(), &parent) == 0 && (parent.st_mode & S_ISVTX) &&
        node.st_uid != ::geteuid() && parent.st_uid != ::geteuid())
        return fail(ErrorKind::WriteFailed,
                    "permission denied (" + target.string() +
                        " belongs to another user, in a folder that keeps others' files)");
    return {};
}

// Gives the whole, synced file its name: straight as the target when there is none, else under
// a partial name (locked, so no other run removes it) renamed over the target.
Result<> nameOver(TempFile& temp, const std::filesystem::path& folder,
                  const std::filesystem::path& target, bool targetExists) {
    if (temp.path.empty()) {
        // Complete already: not registered, so an interrupt from here on keeps it.
        const std::string self = "/proc/self/fd/" + std::to_string(temp.fd);
        if (!targetExists) {
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
                return {};
            if (errno != EEXIST)
                return writeError(errno);
        }
        for (int attempt = 0; temp.path.empty(); ++attempt) {
            const std::filesystem::path candidate = partName(folder, target);
            if (transient::linkFile(temp.fd, candidate))
                temp.path = candidate;
            else if (errno != EEXIST || attempt == 100)
                return writeError(errno);
        }
    }
    if (::rename(temp.path.c_str(), target.c_str()) != 0)
        return errno == EISDIR ? folderInTheWay() : writeError(errno);
    transient::forget(temp.path);
    temp.path.clear();
    return {};
}

// Writes through `produce` into a temp file and puts it in the target's place once `check`
// accepts the written file. The file reaches the disk before it takes the name, and the
// folder after, so a crash leaves the old target or the new one, never an empty file.
template <typename Producer>
Result<> replaceAtomically(const std::filesystem::path& linkOrTarget, Producer&& produce,
                           const WrittenFileCheck& check = {}) {
    if (linkOrTarget.empty())
        return fail(ErrorKind::WriteFailed, "no file name");
    struct stat through {};
    if (::stat(linkOrTarget.c_str(), &through) != 0 && errno == ELOOP)
        return fail(ErrorKind::WriteFailed, "it is a loop of symbolic links");
    const std::filesystem::path target = followLinks(linkOrTarget);
    // Renaming over a device or a FIFO would destroy it; only files and links are replaced.
    struct stat node {};
    const bool exists = ::lstat(target.c_str(), &node) == 0;
    if (exists && !S_ISREG(node.st_mode) && !S_ISLNK(node.st_mode) && !S_ISDIR(node.st_mode))
        return fail(ErrorKind::WriteFailed, "it is not a regular file");
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    if (exists)
        if (auto refused = refuseUnwritable(target, node, folder); !refused)
            return refused;
    int error = 0;
    TempFile temp = createTempBeside(folder, target, error);
    if (temp.fd < 0)
        return writeError(error);
    Fd fd(temp.fd);

    Result<> outcome = produce(fd.get());
    if (outcome) {
        // Keep the permissions of a file we replace.
        struct stat existing {};
        if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
            ::fchmod(fd.get(), existing.st_mode & 07777);
        if (::fsync(fd.get()) != 0)
            outcome = writeError(errno);
    }
    if (outcome && check)
        outcome = check(temp.path.empty()
                            ? std::filesystem::path("/proc/self/fd/" + std::to_string(fd.get()))
                            : temp.path);
    if (outcome)
        outcome = nameOver(temp, folder, target, exists);
    if (outcome) {
        Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.valid() && ::fsync(dir.get()) != 0 && errno == EIO)
            outcome = writeError(errno);
    }
    // Closed only now: the lock keeps a named partial file from other runs' clean-up.
    fd.close();
    if (!temp.path.empty()) {
        ::unlink(temp.path.c_str());
        transient::forget(temp.path);
    }
    return outcome;
}

// Fills `buffer` from `offset` until it is full or the file ends; returns the bytes read.
Result<std::size_t> readUpTo(int fd, std::span<std::uint8_t> buffer, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::pread(fd, buffer.data() + done, buffer.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return readError(errno);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace

Result<Block> readBlock(const std::filesystem::path& source, std::uint64_t offset,
                        std::size_t length) {
    Fd fd(-1);
    struct stat info {};
    if (auto opened = openRegularFile(source, fd, info); !opened)
        return fail(opened.error());
    Block result;
    result.bytes.assign(length, 0);
    result.fileSize = static_cast<std::uint64_t>(info.st_size);
    const auto done = readUpTo(fd.get(), result.bytes, offset);
    if (!done)
        return fail(done.error());
    result.bytesRead = *done;
    return result;
}

Result<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& source,
                                                std::size_t maxSize) {
    Fd fd(-1);
    struct stat info {};
    if (auto opened = openRegularFile(source, fd, info); !opened)
        return fail(opened.error());
    if (static_cast<std::uint64_t>(info.st_size) > maxSize)
        return fail(ErrorKind::TooLarge,
                    "it is too large (" + std::to_string(info.st_size) + " bytes)");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    const auto done = readUpTo(fd.get(), bytes, 0);
    if (!done)
        return fail(done.error());
    bytes.resize(*done);
    return bytes;
}

Result<> writeFileAtomically(const std::filesystem::path& target,
                             std::span<const std::span<const std::uint8_t>> parts) {
    return replaceAtomically(target, [&](int fd) -> Result<> {
        int error = 0;
        for (auto part : parts)
            if (!writeAll(fd, part, error))
                return writeError(error);
        return {};
    });
}

Result<> writeFileAtomically(const std::filesystem::path& target,
                             std::span<const std::uint8_t> bytes) {
    const std::array<std::span<const std::uint8_t>, 1> parts{bytes};
    return writeFileAtomically(target, parts);
}

Result<> writeFileInPlace(const std::filesystem::path& target,
                          std::span<const std::uint8_t> bytes) {
    if (target.empty())
        return fail(ErrorKind::WriteFailed, "no file name");
    // O_NONBLOCK: a FIFO in its place must not wait for a reader; it is refused below.
    Fd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return fail(ErrorKind::NotFound, "the file does not exist");
        return errno == EISDIR ? folderInTheWay() : writeError(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return fail(ErrorKind::WriteFailed, "it is not a regular file");
    int error = 0;
    if (::ftruncate(fd.get(), 0) != 0 || !writeAll(fd.get(), bytes, error) ||
        ::fsync(fd.get()) != 0) {
        return writeError(error != 0 ? error : errno);
    }
    if (fd.close() != 0)
        return writeError(errno);
    return {};
}

Result<> writeFileFresh(const std::filesystem::path& target,
                        std::span<const std::span<const std::uint8_t>> parts,
                        std::uint64_t totalSize) {
    if (target.empty())
        return fail(ErrorKind::WriteFailed, "no file name");
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) {
        if (errno == EISDIR || errno == EPERM) {
            struct stat info {};
            if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                return folderInTheWay();
        }
        return writeError(errno);
    }
    Fd fd(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid())
        return writeError(errno);
    int error = 0;
    std::uint64_t written = 0;
    for (auto part : parts) {
        if (!writeAll(fd.get(), part, error)) {
            fd.close();
            ::unlink(target.c_str());
            return writeError(error);
        }
        written += part.size();
    }
    // The zero fill of a fixed-size block costs the file system nothing to store this way.
    if (totalSize > written && ::ftruncate(fd.get(), static_cast<off_t>(totalSize)) != 0) {
        error = errno;
        fd.close();
        ::unlink(target.c_str());
        return writeError(error);
    }
    if (fd.close() != 0) {
        error = errno;
        ::unlink(target.c_str());
        return writeError(error);
    }
    return {};
}

Result<> writeFileFresh(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    const std::array<std::span<const std::uint8_t>, 1> parts{bytes};
    return writeFileFresh(target, parts);
}

Result<> transferBlock(const std::filesystem::path& source, std::uint64_t offset,
                       std::size_t length, const std::filesystem::path& target) {
    Fd in(-1);
    struct stat info {};
    if (auto opened = openRegularFile(source, in, info); !opened)
        return opened;
    if (::unlink(target.c_str()) != 0 && errno != ENOENT)
        return writeError(errno);
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!out.valid())
        return writeError(errno);
    // Nothing half-written is left behind.
    const auto abandon = [&](tl::unexpected<Error> error) -> Result<> {
        out.close();
        ::unlink(target.c_str());
        return error;
    };

    auto position = static_cast<off_t>(offset);
    std::size_t remaining = length;
    bool inKernel = true;
    while (remaining > 0 && inKernel) {
        const ssize_t n = ::copy_file_range(in.get(), &position, out.get(), nullptr, remaining, 0);
        if (n > 0) {
            remaining -= static_cast<std::size_t>(n);
        } else if (n == 0) {
            break; // end of the source: the rest is zero fill
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            inKernel = false;
        } else if (errno != EINTR) {
            return abandon(writeError(errno));
        }
    }
    if (!inKernel) {
        std::vector<std::uint8_t> buffer(std::min<std::size_t>(remaining, 1 << 20));
        while (remaining > 0) {
            const ssize_t n =
                ::pread(in.get(), buffer.data(), std::min(buffer.size(), remaining), position);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return abandon(readError(errno));
            if (n == 0)
                break;
            int error = 0;
            if (!writeAll(out.get(), std::span(buffer.data(), static_cast<std::size_t>(n)), error))
                return abandon(writeError(error));
            position += n;
            remaining -= static_cast<std::size_t>(n);
        }
    }
    if (::ftruncate(out.get(), static_cast<off_t>(length)) != 0)
        return abandon(writeError(errno));
    if (out.close() != 0)
        return abandon(writeError(errno));
    return {};
}

Result<> overwriteAt(const std::filesystem::path& target, std::uint64_t offset,
                     std::span<const std::uint8_t> bytes) {
    Fd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return writeError(errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd.get(), bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return writeError(errno);
        done += static_cast<std::size_t>(n);
    }
    if (fd.close() != 0)
        return writeError(errno);
    return {};
}

Result<> copyFileAtomically(const std::filesystem::path& source,
                            const std::filesystem::path& target, std::uint64_t maxBytes,
                            const WrittenFileCheck& check) {
    Fd in(-1);
    struct stat info {};
    if (auto opened = openRegularFile(source, in, info); !opened)
        return opened;
    return replaceAtomically(
        target,
        [&](int out) -> Result<> {
            std::uint64_t left = maxBytes;
            // In-kernel copy where the file system offers it; plain reads and writes otherwise.
            while (left > 0) {
                const ssize_t n = ::copy_file_range(in.get(), nullptr, out, nullptr,
                                                    std::min<std::uint64_t>(left, 1 << 30), 0);
                if (n > 0) {
                    left -= static_cast<std::uint64_t>(n);
                    continue;
                }
                if (n == 0)
                    return {};
                if (errno == EINTR)
                    continue;
                if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
                    break;
                return writeError(errno);
            }
            std::vector<std::uint8_t> buffer(1 << 20);
            while (left > 0) {
                const ssize_t n =
                    ::read(in.get(), buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    return readError(errno);
                }
                if (n == 0)
                    return {};
                left -= static_cast<std::uint64_t>(n);
                int error = 0;
                if (!writeAll(out, std::span(buffer.data(), static_cast<std::size_t>(n)), error))
                    return writeError(error);
            }
            return {};
        },
        check);
}

std::filesystem::path resolveUserPath(const std::filesystem::path& base, std::string_view text) {
    if (text.empty())
        return {};
    std::filesystem::path path{std::string(text)};
    return path.is_relative() ? base / path : path;
}

bool hasExtension(std::string_view text, std::string_view extension) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return text.size() >= extension.size() &&
           std::equal(extension.begin(), extension.end(),
                      text.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

std::string withExtensionOnce(std::string_view text, std::string_view extension) {
    if (hasExtension(text, extension))
        return std::string(text);
    return std::string(text) + std::string(extension);
}

} // namespace velmora::conversion
