#pragma once

namespace velmora {

// Ends the event loop when the session or the user asks the program to stop (SIGTERM, SIGINT,
// SIGHUP), so that the windows close as on a normal quit and take their work folders with them.
// The program then returns 128 + the signal's number, as a shell reports a killed program. The
// handlers only write to a pipe; the application object reads it. Call once, after creating the
// application object.
void quitOnTerminationSignals();

// 128 + the number of a signal already taken, else 0. A signal taken while the windows were
// being set up (events are handled then too) came before there was an event loop to end: the
// program checks this before starting its loop.
int terminationStatus();

} // namespace velmora
