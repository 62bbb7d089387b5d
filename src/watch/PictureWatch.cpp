#include "watch/PictureWatch.h"

#include "gamefile/JobShare.h"
#include "io/PrivateWorkFolder.h"
#include "watch/PackTargets.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/Workflows.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace velmora::watch {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A save is complete once its name has been quiet this long: an editor's burst of events
// (truncate, write, close, rename) comes within a few milliseconds.
constexpr auto kQuiet = std::chrono::milliseconds(120);
// A file just created is being written: its close brings its own event, and a reader refuses
// it until then anyway. This only catches a file that appears whole without one (a hard link).
constexpr auto kCreatedQuiet = std::chrono::milliseconds(2000);

// How long a picture that was refused must stay as it is before the refusal is told.
constexpr auto kRefusalGrace = std::chrono::milliseconds(1500);

constexpr std::uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE |
                                        IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                        IN_EXCL_UNLINK;
// The output folder is written, not read: only its going matters.
constexpr std::uint32_t kOutputFolderEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

std::string systemError(int error) {
    return std::strerror(error);
}

std::vector<fs::path> picturesIn(const fs::path& folder) {
    std::vector<fs::path> pictures;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (isWatchedPicture(entry.path()) && entry.is_regular_file(error))
            pictures.push_back(entry.path());
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

class FolderWatch final : public PictureWatch {
  public:
    FolderWatch(WatchOptions options, int inotifyFd, int folderWatch, int outputWatch, int stopFd)
        : m_options(std::move(options)), m_inotify(inotifyFd), m_folderWatch(folderWatch),
          m_outputWatch(outputWatch), m_stopFd(stopFd) {}

    ~FolderWatch() override {
        {
            const std::lock_guard lock(m_lock);
            m_stopping = true;
        }
        const std::uint64_t one = 1;
        while (::write(m_stopFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
        m_changed.notify_all();
        if (m_reader.joinable())
            m_reader.join();
        for (std::thread& worker : m_workers)
            worker.join();
        ::close(m_inotify);
        ::close(m_stopFd);
    }

    void begin() {
        if (m_options.packExisting)
            for (const fs::path& picture : picturesIn(m_options.folder))
                packNow(picture);
        m_reader = std::thread([this] { readEvents(); });
        for (int i = 0; i < std::max(1, m_options.jobs); ++i)
            m_workers.emplace_back([this] { work(); });
    }

    void packNow(const fs::path& picture) override {
        const fs::path path = picture.is_absolute() ? picture : m_options.folder / picture;
        const std::lock_guard lock(m_lock);
        ++m_seen[path];
        queueLocked(path, false);
    }

  private:
    struct Queued {
        fs::path picture;
        bool awaitingClose = false; // created, and no close after writing seen yet
    };
    struct Due {
        Clock::time_point at;
        bool awaitingClose = false;
    };

    void queueLocked(const fs::path& picture, bool awaitingClose) {
        const auto it = std::find_if(m_queue.begin(), m_queue.end(),
                                     [&](const Queued& q) { return q.picture == picture; });
        if (it == m_queue.end())
            m_queue.push_back({picture, awaitingClose});
        else
            it->awaitingClose = awaitingClose;
        m_changed.notify_all();
    }

    void report(WatchEvent event) {
        const std::lock_guard lock(m_reportLock);
        if (m_options.report)
            m_options.report(event);
    }

    // The one thread that reads the folder's events; it hands complete saves to the workers.
    void readEvents() {
        std::map<fs::path, Due> due;
        std::set<int> gone; // the watches whose folder was removed or moved away
        alignas(inotify_event) std::array<char, 16384> buffer;
        for (;;) {
            int timeout = -1;
            if (!due.empty()) {
                const auto first =
                    std::min_element(due.begin(), due.end(), [](const auto& a, const auto& b) {
                        return a.second.at < b.second.at;
                    })->second.at;
                const auto wait =
                    std::chrono::ceil<std::chrono::milliseconds>(first - Clock::now()).count();
                timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
            }
            pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_inotify, POLLIN, 0}};
            if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
                return;
            if (fds[0].revents != 0)
                return;
            if (fds[1].revents != 0) {
                for (;;) {
                    const ssize_t length = ::read(m_inotify, buffer.data(), buffer.size());
                    if (length <= 0)
                        break;
                    for (ssize_t at = 0; at < length;) {
                        const auto* event = reinterpret_cast<const inotify_event*>(&buffer[at]);
                        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                        take(*event, due, gone);
                    }
                }
            }
            const auto now = Clock::now();
            for (auto it = due.begin(); it != due.end();) {
                if (it->second.at > now) {
                    ++it;
                    continue;
                }
                std::error_code error;
                // Deleted and not made again: nothing to pack, its game file stays as it is.
                if (fs::is_regular_file(it->first, error)) {
                    const std::lock_guard lock(m_lock);
                    queueLocked(it->first, it->second.awaitingClose);
                }
                it = due.erase(it);
            }
        }
    }

    void take(const inotify_event& event, std::map<fs::path, Due>& due, std::set<int>& gone) {
        const auto now = Clock::now();
        // A folder moved away is still watched where it is now, under a name we do not know.
        if (gone.count(event.wd))
            return;
        if (event.mask & IN_Q_OVERFLOW) {
            // Events were lost: every picture may have changed.
            for (const fs::path& picture : picturesIn(m_options.folder)) {
                due[picture] = {now + kQuiet, false};
                const std::lock_guard lock(m_lock);
                ++m_seen[picture];
            }
            return;
        }
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED)) {
            gone.insert(event.wd);
            const bool output = event.wd == m_outputWatch && event.wd != m_folderWatch;
            const bool moved = (event.mask & IN_MOVE_SELF) != 0;
            WatchEvent told{WatchEvent::Kind::Refused,
                            output ? m_options.outputFolder : m_options.folder,
                            output ? m_options.outputFolder : fs::path(),
                            std::nullopt,
                            {}};
            told.gone = moved ? WatchEvent::FolderGone::MovedAway : WatchEvent::FolderGone::Removed;
            told.message = "the folder " + told.picture.string() +
                           (output ? ", where the game files go," : "") +
                           (moved ? " was moved away" : " was removed") +
                           (output ? "; nothing more can be packed into it"
                                   : "; its pictures are no longer watched");
            report(std::move(told));
            return;
        }
        if (event.len == 0 || (event.mask & IN_ISDIR))
            return;
        const fs::path picture = m_options.folder / event.name;
        if (!isWatchedPicture(picture))
            return;
        {
            const std::lock_guard lock(m_lock);
            ++m_seen[picture];
        }
        m_changed.notify_all();
        if (event.mask & IN_CREATE)
            due[picture] = {now + kCreatedQuiet, true};
        else
            due[picture] = {now + kQuiet, false};
    }

    void work() {
        std::unique_lock lock(m_lock);
        for (;;) {
            auto next = m_queue.end();
            m_changed.wait(lock, [&] {
                if (m_stopping)
                    return true;
                // Never two packs of one picture at once: a save during its pack waits.
                next = std::find_if(m_queue.begin(), m_queue.end(),
                                    [&](const Queued& q) { return !m_packing.count(q.picture); });
                return next != m_queue.end();
            });
            if (m_stopping)
                return;
            const Queued job = *next;
            m_queue.erase(next);
            m_packing.insert(job.picture);
            const unsigned seen = m_seen[job.picture];
            lock.unlock();
            pack(job, seen);
            lock.lock();
            m_packing.erase(job.picture);
            m_changed.notify_all();
        }
    }

    // Whether the picture changed again since its pack began: it will be packed again.
    bool superseded(const fs::path& picture, unsigned seen) {
        const std::lock_guard lock(m_lock);
        return m_seen[picture] != seen;
    }

    void refuse(const Queued& job, unsigned seen, const fs::path& output, std::string message) {
        if (superseded(job.picture, seen))
            return;
        report({WatchEvent::Kind::Refused, job.picture, output, std::nullopt, std::move(message)});
    }

    void pack(const Queued& job, unsigned seen) {
        std::error_code error;
        if (!fs::is_regular_file(job.picture, error))
            return; // gone since it was saved
        auto target = m_options.targetFor(job.picture);
        if (!target)
            return refuse(job, seen, {}, target.error().reason);
        // Pack takes a relative path from its work folder: make it this process's.
        target->output = fs::absolute(target->output, error).lexically_normal();
        if (target->textureHeader.size() != 48)
            return refuse(job, seen, target->output,
                          "the texture header is " + std::to_string(target->textureHeader.size()) +
                              " bytes long; it needs 48");
        // Two pictures with one game file (tile.png, tile.dds) take turns.
        {
            std::unique_lock lock(m_lock);
            m_changed.wait(lock,
                           [&] { return m_stopping || !m_outputsBusy.count(target->output); });
            if (m_stopping)
                return;
            m_outputsBusy.insert(target->output);
        }
        struct Release {
            FolderWatch& watch;
            const fs::path& output;
            ~Release() {
                {
                    const std::lock_guard lock(watch.m_lock);
                    watch.m_outputsBusy.erase(output);
                }
                watch.m_changed.notify_all();
            }
        } release{*this, target->output};

        report({WatchEvent::Kind::Packing, job.picture, target->output, std::nullopt, {}});
        const auto work = conv::PrivateWorkFolder::create("watch");
        if (!work)
            return refuse(job, seen, target->output, work.error().reason);
        auto options = conv::PackOptions::reading(m_options.pictures);
        std::array<std::uint8_t, 48> header{};
        std::copy(target->textureHeader.begin(), target->textureHeader.end(), header.begin());
        options.textureHeader = header;
        options.fitIfTooDetailed = m_options.fit;
        // Stopping abandons the pack: its output is written whole or not at all.
        options.stop = &m_stopping;
        options.outputNamedAsGiven = true;
        conv::DeflateCompressionComponent component;
        const conv::RunningJob running;
        const conv::Outcome outcome =
            conv::runPack(work->path(), job.picture.string(), target->output.string(),
                          target->textureName, component, options);
        if (outcome) {
            report({WatchEvent::Kind::Written,
                    job.picture,
                    outcome->writtenPath,
                    outcome->fittedPsnr,
                    {}});
            return;
        }
        if (outcome.error().kind == conv::ErrorKind::Stopped)
            return;
        // Created and not yet closed: still being written, its close brings another pack.
        if (job.awaitingClose && outcome.error().kind == conv::ErrorKind::Damaged)
            return;
        // Editors that create the file first and write it later (ImageMagick), or write it in
        // several opens, close it before it is whole: a refusal of such a picture is told only
        // when no further save follows soon.
        {
            std::unique_lock lock(m_lock);
            m_changed.wait_for(lock, kRefusalGrace,
                               [&] { return m_stopping || m_seen[job.picture] != seen; });
        }
        // Gone while it was packed (deleted, or its folder moved away): nothing to tell, as when
        // it is gone before its pack begins.
        if (!fs::is_regular_file(job.picture, error))
            return;
        refuse(job, seen, target->output, outcome.error().message());
    }

    WatchOptions m_options;
    int m_inotify;
    int m_folderWatch;
    int m_outputWatch; // -1: no output folder watched
    int m_stopFd;
    std::atomic<bool> m_stopping{false};

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Queued> m_queue;
    std::set<fs::path> m_packing;
    std::set<fs::path> m_outputsBusy;
    std::map<fs::path, unsigned> m_seen; // events seen per picture, to tell a superseded pack

    std::mutex m_reportLock;
    std::thread m_reader;
    std::vector<std::thread> m_workers;
};

} // namespace

conv::Result<std::unique_ptr<PictureWatch>> PictureWatch::start(WatchOptions options) {
    if (!options.targetFor)
        return conv::fail(conv::ErrorKind::NotFound, "no target is given for the pictures");
    std::error_code error;
    const fs::path folder = fs::absolute(options.folder, error).lexically_normal();
    if (!fs::is_directory(folder, error))
        return conv::fail(fs::exists(folder, error) ? conv::ErrorKind::NotAFile
                                                    : conv::ErrorKind::NotFound,
                          "the folder " + folder.string() +
                              (fs::exists(folder, error) ? " is not a folder" : " does not exist"));
    options.folder = folder.has_filename() ? folder : folder.parent_path();
    const int inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd < 0) {
        const int cause = errno;
        return conv::fail(
            conv::ErrorKind::ReadFailed,
            "cannot watch folders: " + systemError(cause) +
                (cause == EMFILE ? " (the system's fs.inotify.max_user_instances)" : ""));
    }
    const auto watchFolder = [&](const fs::path& watched, std::uint32_t events) {
        const int watch = ::inotify_add_watch(inotifyFd, watched.c_str(), events);
        if (watch >= 0)
            return conv::Result<int>(watch);
        const int cause = errno;
        return conv::Result<int>(
            conv::fail(conv::ErrorKind::ReadFailed,
                       "cannot watch the folder " + watched.string() + ": " + systemError(cause) +
                           (cause == ENOSPC ? " (the system's fs.inotify.max_user_watches)" : "")));
    };
    const auto folderWatch = watchFolder(options.folder, kFolderEvents);
    if (!folderWatch) {
        ::close(inotifyFd);
        return conv::fail(folderWatch.error());
    }
    int outputWatch = -1;
    if (!options.outputFolder.empty()) {
        const fs::path output = fs::absolute(options.outputFolder, error).lexically_normal();
        options.outputFolder = output.has_filename() ? output : output.parent_path();
        // The watched folder itself: one watch sees it go (a second would replace its events).
        if (!fs::equivalent(options.outputFolder, options.folder, error)) {
            const auto watched = watchFolder(options.outputFolder, kOutputFolderEvents);
            if (!watched) {
                ::close(inotifyFd);
                return conv::fail(watched.error());
            }
            outputWatch = *watched;
        }
    }
    const int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0) {
        const int cause = errno;
        ::close(inotifyFd);
        return conv::fail(conv::ErrorKind::ReadFailed, "cannot watch: " + systemError(cause));
    }
    auto watch = std::make_unique<FolderWatch>(std::move(options), inotifyFd, *folderWatch,
                                               outputWatch, stopFd);
    watch->begin();
    return std::unique_ptr<PictureWatch>(std::move(watch));
}

} // namespace velmora::watch
