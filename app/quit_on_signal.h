// Ends the event loop on SIGTERM, SIGINT and SIGHUP (a session's logout, a
// terminal's Ctrl+C), so that the process ends through the normal return
// from main and its exit handler runs.
#pragma once

//
// catchEndingSignals() takes the signals from the moment it is called, before
// the application object exists: a signal that arrives then waits in a pipe
// and ends the event loop as soon as quitEventLoopOnSignals() watches it.
void catchEndingSignals();
void quitEventLoopOnSignals();

// Back to the system's own handling of those signals, for the end of the
// process: once the event loop no longer runs, a second SIGTERM or Ctrl+C
// still ends a process whose exit is stuck.
void restoreDefaultSignalHandling();
