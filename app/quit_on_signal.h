// Ends the event loop on SIGTERM, SIGINT and SIGHUP (a session's logout, a
// terminal's Ctrl+C), so that the process ends through the normal return
// from main and its exit handler runs.
#pragma once

void quitEventLoopOnSignals();
