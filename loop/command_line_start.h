// What "-start" and "-hide" do when the main window is built: the loop part
// runs here, before any window exists; the window shows what it returns.
#pragma once

#include <QStringList>

#include "loop/loop_control.h"

struct WindowStartState {
    bool startedHidden = false;
    bool windowShown = false;
    bool trayPictureOn = false;  // ":/icon_on.png" rather than ":/icon_off.png"
    bool trayVisible = false;    // make the tray icon visible now
    bool actionStartReadsStop = false;
};

// By the number of arguments after the program's name: one "-hide" leaves
// the loop stopped; any other single argument starts it with its first
// change unannounced; two start it through the toggle (which announces it);
// none leaves it stopped. Start-up ends the program afterwards for a
// command line other than "-start", "-hide" or both.
WindowStartState startForCommandLine(const QStringList& arguments, LoopControl& control,
                                     LoopContext& ctx);
