#pragma once

#include <filesystem>

namespace velmora::conversion {

// The files and folders of this process that must not outlive it: partial outputs beside their
// targets and private work folders. A process ended by a signal calls removeAll() before it
// exits, so nothing of an unfinished run is left behind.
namespace transient {

// Creates the file exclusively (open flags O_WRONLY | O_CREAT | O_EXCL) and registers it, in
// one step under the registry's lock, so removeAll() never misses a file that exists. Returns
// the descriptor or -1 with errno set.
int createFile(const std::filesystem::path& path, int mode);
// Gives the open unnamed file (O_TMPFILE) the name `path` and registers it, in one step like
// createFile. False with errno set when it failed.
bool linkFile(int fd, const std::filesystem::path& path);
// Creates a folder from a mkdtemp pattern (rewritten in place) and registers it. False with
// errno set when it failed.
bool createFolder(char* pattern);
// The file or folder is complete, or already removed: no longer ours to clean up.
void forget(const std::filesystem::path& path);

// Removes a work folder with everything in it, its owner file (".owner") last: a removal cut
// short still leaves a folder the next run recognises as ours. True when it is gone.
bool removeWorkFolder(const std::filesystem::path& folder);

// Removes every registered file and folder with everything in it, and blocks every later
// create for good: the caller is about to exit. Not for a signal handler; for the thread that
// waits for signals.
void removeAll();

} // namespace transient
} // namespace velmora::conversion
