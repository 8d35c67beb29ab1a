#include "app/quit_on_signal.h"

#ifdef _WIN32

void catchEndingSignals() {}
void quitEventLoopOnSignals() {}
void restoreDefaultSignalHandling() {}

#else

#include <fcntl.h>
#include <unistd.h>
#include <csignal>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace {

const int endingSignals[] = {SIGTERM, SIGINT, SIGHUP};
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    // Only async-signal-safe work here: wake the event loop through the pipe.
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void catchEndingSignals() {
    if (signalPipe[0] >= 0 || ::pipe(signalPipe) != 0)
        return;
    for (int fd : signalPipe) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : endingSignals) sigaction(sig, &action, nullptr);
}

void quitEventLoopOnSignals() {
    catchEndingSignals();
    if (signalPipe[0] < 0)
        return;
    auto* notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char buffer[16];
        [[maybe_unused]] ssize_t n = ::read(signalPipe[0], buffer, sizeof buffer);
        // exit(), not quit(): quit() asks the windows to close first, and the
        // main window refuses while it lives in the tray.
        QCoreApplication::exit(0);
    });
}

void restoreDefaultSignalHandling() {
    for (int sig : endingSignals) std::signal(sig, SIG_DFL);
}

#endif
