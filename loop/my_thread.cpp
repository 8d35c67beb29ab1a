#include "loop/my_thread.h"

#include "loop/watch_loop.h"

MyThread::MyThread(LoopContext& ctx) : ctx_(ctx) {}

MyThread::~MyThread() {
    stopLoop();
}

bool MyThread::startLoop() {
    if (isRunning())
        return true;
    stop_.reset();
    start(QThread::InheritPriority);
    // A thread that could not be created is neither running nor finished
    // (a started one runs until a stop is requested). Its run never began,
    // so nothing else would ever mark the run as over, and every later
    // stop would wait for it for ever.
    if (isRunning() || isFinished())
        return true;
    stop_.finished();
    return false;
}

void MyThread::stopLoop() {
    stop_.request();
    stop_.waitUntilFinished();
    wait();
}

void MyThread::run() {
    {
        WatchLoop loop(ctx_, stop_);
        loop.run();
    }
    stop_.finished();
}
