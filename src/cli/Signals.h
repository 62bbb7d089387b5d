#pragma once

namespace velmora::cli {

// SIGINT, SIGTERM and SIGHUP end the program with 130, 143 or 129 after removing the run's work
// folders and partial outputs. The signals are blocked in every thread and taken by one thread
// that waits for them, so the cleanup runs as ordinary code, not inside a handler. Call before
// any other thread starts.
void removeWorkOnSignals();

// For a command that runs until it is told to stop (watch): blocks until SIGINT, SIGTERM or
// SIGHUP arrives and returns its number, instead of the program ending at once, so the caller
// can stop its work cleanly and then exit with 128 plus the number. A second signal while it
// stops ends the program as removeWorkOnSignals() does. Needs removeWorkOnSignals() first.
int waitForStopSignal();

// Ends waitForStopSignal() without a signal, for work that ends by itself (a watched folder
// removed): it returns 0. Callable from any thread, before or during the wait; a signal after
// it ends the program as removeWorkOnSignals() does.
void endWaitForStopSignal();

// A closed standard output or error (`velmora-cli ... | head -1`) must not end the run halfway:
// SIGPIPE is ignored, the lines that cannot be written are dropped, and the exit status still
// says how the conversions went.
void keepWorkingWhenOutputCloses();

} // namespace velmora::cli
