// The watch-loop thread. Its run() is the watch loop; it stops
// cooperatively: a stop request wakes the loop's pause, the loop returns at
// its next step, and stopLoop() returns once the thread has finished.
#pragma once

#include <QThread>

#include "loop/loop_context.h"
#include "loop/stop_signal.h"

class MyThread : public QThread {
    Q_OBJECT

public:
    explicit MyThread(LoopContext& ctx);
    ~MyThread() override;

    // Starts a new run of the watch loop with the starter's priority. True
    // when the thread runs (or already ran); false when it could not be
    // created, in which case nothing runs and stopLoop() returns at once.
    bool startLoop();
    // Returns when the loop thread no longer runs; nothing of an
    // interrupted pass happens afterwards.
    void stopLoop();

protected:
    void run() override;

private:
    // Every start goes through startLoop, which readies the stop signal.
    using QThread::start;

    LoopContext& ctx_;
    StopSignal stop_;
};
