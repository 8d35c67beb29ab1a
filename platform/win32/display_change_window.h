// The system's broadcasts about the displays, received by a hidden window
// on a thread of its own: WM_DISPLAYCHANGE when a display's mode changes
// (resolution, colour depth; also a game's switch), and WM_DEVICECHANGE
// when a monitor arrives or goes (the window registers for the monitor
// device interface). A message-only window receives no broadcasts, so this
// is a top-level window that is never shown.
#pragma once

#include <functional>
#include <thread>

#include "platform/win_types.h"

class DisplayChangeWindow {
public:
    // Creates the window and its thread; `onChange` is called on that
    // thread for every such message.
    explicit DisplayChangeWindow(std::function<void()> onChange);
    // Closes the window and waits for its thread.
    ~DisplayChangeWindow();
    DisplayChangeWindow(const DisplayChangeWindow&) = delete;
    DisplayChangeWindow& operator=(const DisplayChangeWindow&) = delete;

    // False when the window could not be created: nothing is announced.
    bool listening() const { return window_ != nullptr; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The thread: the window, then its messages until it is closed.
    void run();

    const std::function<void()> onChange_;
    HWND window_ = nullptr;
    std::thread thread_;
};
