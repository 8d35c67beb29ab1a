// How a watcher learns, without asking, that the display configuration may
// have changed: the display system announces it itself (RandR events on
// X11, WM_DISPLAYCHANGE and WM_DEVICECHANGE on Windows, the knobs of the
// simulated system). A mode switch, a monitor attached, removed, switched
// on or off is announced; a gamma table that some program replaced never is.
//
// A waiter sees the announcements made while it exists. Those made while it
// does not wait are kept until its next wait, and any number of them count
// as one. One thread waits on a waiter at a time; any thread may wake it.
#pragma once

class ChangeWaiter {
public:
    virtual ~ChangeWaiter() = default;

    // Waits until a change is announced (at once when one is kept), wake()
    // is called or `milliseconds` pass; 0 or less does not block. True when
    // it took an announcement.
    virtual bool wait(int milliseconds) = 0;

    // Ends the wait under way, or else the next one, at once. Safe from any
    // thread, also while another thread waits.
    virtual void wake() = 0;
};
