#pragma once

namespace velmora::cli {

// SIGINT, SIGTERM and SIGHUP end the program with 130, 143 or 129 after removing the run's work
// folders and partial outputs. The signals are blocked in every thread and taken by one thread
// that waits for them, so the cleanup runs as ordinary code, not inside a handler. Call before
// any other thread starts.
void removeWorkOnSignals();

} // namespace velmora::cli
