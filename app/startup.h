// The program's start-up in its fixed order, and its end.
#pragma once

// Runs the program: start-up, the event loop, and 0 as the result in every
// case (also when an invalid command line ends it at once). `updateUrl`:
// where the update check fetches the published version number.
int runTavrin(int argc, char** argv, const char* updateUrl);
