#include "loop/my_thread.h"

#include "loop/watch_loop.h"

MyThread::MyThread(LoopContext& ctx) : ctx_(ctx) {}

MyThread::~MyThread() {
    stopLoop();
}

void MyThread::startLoop() {
    if (isRunning())
        return;
    stop_.reset();
    start(QThread::InheritPriority);
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
