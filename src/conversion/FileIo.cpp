#include "conversion/FileIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::conversion {

namespace {

std::string errnoText(int error)
{
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
    void reset(int fd)
    {
        close();
        m_fd = fd;
    }
    int close()
    {
        int result = 0;
        if (m_fd >= 0)
            result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

std::string openError(int error)
{
    if (error == ENOENT)
        return "the file does not exist";
    if (error == EISDIR)
        return "it is a folder, not a file";
    return "cannot open it (" + errnoText(error) + ")";
}

// Opens an input for reading. O_NONBLOCK keeps a FIFO from waiting for a writer for ever, and
// only a regular file is accepted. Returns the reason on failure, nothing on success.
std::string openRegularFile(const std::filesystem::path& source, Fd& fd, struct stat& info,
                            bool* missing = nullptr)
{
    fd.reset(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        const int error = errno;
        if (missing)
            *missing = error == ENOENT;
        return openError(error);
    }
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? "it is a folder, not a file" : "it is not a regular file";
    return {};
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes, int& error)
{
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

// A fresh file beside the target, created exclusively so parallel runs never share one.
struct TempFile {
    std::filesystem::path path;
    int fd = -1;
};

TempFile createTempBeside(const std::filesystem::path& target, int& error)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".part-%016llx",
                      static_cast<unsigned long long>(random()));
        // Cut the name the partial file borrows, so a target whose name is near the limit
        // still gets one.
        std::string stem = target.filename().string();
        if (stem.size() + std::strlen(suffix) > NAME_MAX)
            stem.resize(NAME_MAX - std::strlen(suffix));
        std::filesystem::path candidate = folder / (stem + suffix);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return {candidate, fd};
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
    }
    error = EEXIST;
    return {};
}

std::string writeError(int error)
{
    if (error == EACCES || error == EPERM || error == EROFS)
        return "the folder is not writable (" + errnoText(error) + ")";
    if (error == ENOENT || error == ENOTDIR)
        return "the folder does not exist";
    return "cannot write it (" + errnoText(error) + ")";
}

// Writes through `produce` into a temp file and renames it over the target.
template <typename Producer>
std::string replaceAtomically(const std::filesystem::path& target, Producer&& produce)
{
    if (target.empty())
        return "no file name";
    // Renaming over a device or a FIFO would destroy it; only files and links are replaced.
    struct stat node {};
    if (::lstat(target.c_str(), &node) == 0 && !S_ISREG(node.st_mode) && !S_ISLNK(node.st_mode) &&
        !S_ISDIR(node.st_mode))
        return "it is not a regular file";
    int error = 0;
    TempFile temp = createTempBeside(target, error);
    if (temp.fd < 0)
        return writeError(error);
    Fd fd(temp.fd);

    std::string failure = produce(fd.get());
    if (failure.empty()) {
        // Keep the permissions of a file we replace.
        struct stat existing {};
        if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
            ::fchmod(fd.get(), existing.st_mode & 07777);
        if (fd.close() != 0)
            failure = writeError(errno);
    }
    if (failure.empty() && ::rename(temp.path.c_str(), target.c_str()) != 0)
        failure = errno == EISDIR ? std::string("a folder of that name is in the way")
                                  : writeError(errno);
    if (!failure.empty()) {
        fd.close();
        ::unlink(temp.path.c_str());
    }
    return failure;
}

}  // namespace

BlockRead readBlock(const std::filesystem::path& source, std::uint64_t offset, std::size_t length)
{
    BlockRead result;
    result.bytes.assign(length, 0);
    Fd fd(-1);
    struct stat info {};
    result.error = openRegularFile(source, fd, info, &result.missing);
    if (!result.error.empty())
        return result;
    result.fileSize = static_cast<std::uint64_t>(info.st_size);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd.get(), result.bytes.data() + done, length - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.error = "cannot read it (" + errnoText(errno) + ")";
            std::fill(result.bytes.begin(), result.bytes.end(), 0);
            return result;
        }
        if (n == 0)
            break;  // the rest of the block stays zero
        done += static_cast<std::size_t>(n);
    }
    result.bytesRead = done;
    return result;
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& source,
                                                       std::size_t maxSize, std::string& error)
{
    Fd fd(-1);
    struct stat info {};
    error = openRegularFile(source, fd, info);
    if (!error.empty())
        return std::nullopt;
    if (static_cast<std::uint64_t>(info.st_size) > maxSize) {
        error = "it is too large (" + std::to_string(info.st_size) + " bytes)";
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = "cannot read it (" + errnoText(errno) + ")";
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

std::string writeFileAtomically(const std::filesystem::path& target,
                                std::span<const std::span<const std::uint8_t>> parts)
{
    return replaceAtomically(target, [&](int fd) -> std::string {
        int error = 0;
        for (auto part : parts)
            if (!writeAll(fd, part, error))
                return writeError(error);
        return {};
    });
}

std::string writeFileAtomically(const std::filesystem::path& target,
                                std::span<const std::uint8_t> bytes)
{
    const std::array<std::span<const std::uint8_t>, 1> parts{bytes};
    return writeFileAtomically(target, parts);
}

std::string writeFileFresh(const std::filesystem::path& target,
                           std::span<const std::span<const std::uint8_t>> parts, std::uint64_t totalSize)
{
    if (target.empty())
        return "no file name";
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) {
        if (errno == EISDIR || errno == EPERM) {
            struct stat info {};
            if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                return "a folder of that name is in the way";
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

std::string writeFileFresh(const std::filesystem::path& target, std::span<const std::uint8_t> bytes)
{
    const std::array<std::span<const std::uint8_t>, 1> parts{bytes};
    return writeFileFresh(target, parts);
}

BlockTransferResult transferBlock(const std::filesystem::path& source, std::uint64_t offset,
                                  std::size_t length, const std::filesystem::path& target)
{
    BlockTransferResult result;
    Fd in(-1);
    struct stat info {};
    result.sourceError = openRegularFile(source, in, info, &result.sourceMissing);
    if (!result.sourceError.empty())
        return result;
    if (::unlink(target.c_str()) != 0 && errno != ENOENT) {
        result.targetError = writeError(errno);
        return result;
    }
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!out.valid()) {
        result.targetError = writeError(errno);
        return result;
    }
    const auto fail = [&](std::string error, bool onSource) {
        out.close();
        ::unlink(target.c_str());
        (onSource ? result.sourceError : result.targetError) = std::move(error);
        return result;
    };

    auto position = static_cast<off_t>(offset);
    std::size_t remaining = length;
    bool inKernel = true;
    while (remaining > 0 && inKernel) {
        const ssize_t n = ::copy_file_range(in.get(), &position, out.get(), nullptr, remaining, 0);
        if (n > 0) {
            remaining -= static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;  // end of the source: the rest is zero fill
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            inKernel = false;
        } else if (errno != EINTR) {
            return fail(writeError(errno), false);
        }
    }
    if (!inKernel) {
        std::vector<std::uint8_t> buffer(std::min<std::size_t>(remaining, 1 << 20));
        while (remaining > 0) {
            const ssize_t n = ::pread(in.get(), buffer.data(), std::min(buffer.size(), remaining), position);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return fail("cannot read it (" + errnoText(errno) + ")", true);
            if (n == 0)
                break;
            int error = 0;
            if (!writeAll(out.get(), std::span(buffer.data(), static_cast<std::size_t>(n)), error))
                return fail(writeError(error), false);
            position += n;
            remaining -= static_cast<std::size_t>(n);
        }
    }
    if (::ftruncate(out.get(), static_cast<off_t>(length)) != 0)
        return fail(writeError(errno), false);
    if (out.close() != 0)
        return fail(writeError(errno), false);
    return result;
}

std::string copyFileAtomically(const std::filesystem::path& source,
                               const std::filesystem::path& target)
{
    Fd in(-1);
    struct stat info {};
    if (std::string error = openRegularFile(source, in, info); !error.empty())
        return error;
    return replaceAtomically(target, [&](int out) -> std::string {
        // In-kernel copy where the file system offers it; plain reads and writes otherwise.
        for (;;) {
            const ssize_t n = ::copy_file_range(in.get(), nullptr, out, nullptr, 1 << 30, 0);
            if (n > 0)
                continue;
            if (n == 0)
                return {};
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
                break;
            return writeError(errno);
        }
        std::vector<std::uint8_t> buffer(1 << 20);
        for (;;) {
            const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return "cannot read it (" + errnoText(errno) + ")";
            }
            if (n == 0)
                return {};
            int error = 0;
            if (!writeAll(out, std::span(buffer.data(), static_cast<std::size_t>(n)), error))
                return writeError(error);
        }
    });
}

std::filesystem::path resolveUserPath(const std::filesystem::path& base, std::string_view text)
{
    if (text.empty())
        return {};
    std::filesystem::path path{std::string(text)};
    return path.is_relative() ? base / path : path;
}

std::string withExtensionOnce(std::string_view text, std::string_view extension)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (text.size() >= extension.size() &&
        std::equal(extension.begin(), extension.end(), text.end() - extension.size(),
                   [&](char a, char b) { return lower(a) == lower(b); }))
        return std::string(text);
    return std::string(text) + std::string(extension);
}

}  // namespace velmora::conversion
