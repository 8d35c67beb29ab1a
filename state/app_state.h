// Everything the program shares between its parts and its two threads, in
// one object that main creates and every component receives a part of.
#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "core/app_settings.h"
#include "core/log.h"
#include "loop/loop_context.h"
#include "loop/loop_control.h"
#include "loop/my_thread.h"
#include "platform/platform.h"
#include "ramps/gamma_ramp.h"
#include "tree/active_display.h"
#include "tree/tree.h"

// Where "Log.txt", "Tree.txt" and "Settings.txt" live.
struct AppFiles {
    QString log;
    QString tree;
    QString settings;

    static AppFiles in(const QString& directory);
};

// The executable's directory when it can be written (a portable program),
// otherwise, and always for a copy installed among the system's programs
// (/usr/bin and the like), the user's application data directory.
QString dataDirectory();
// The same for an executable in `exeDir`.
QString dataDirectoryFor(const QString& exeDir);
// Why the program's files cannot be kept in `directory` (it cannot be made,
// or nothing can be created in it), in the system's words; empty when they
// can. Makes the directory when it is missing.
QString dataDirectoryProblem(const QString& directory);

class AppState {
public:
    AppState(Platform platform, AppFiles files);
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
    ~AppState();

    Platform platform;
    const AppFiles files;
    AppSettings settings;
    AppFlags flags;
    Log log;
    Tree tree;
    ActiveDisplayList activeDisplays;
    FixedRamps ramps;
    LoopScratch scratch;
    // Profile files the tree names that were missing or unreadable; a file
    // the loop finds again reaches the tree on the main thread.
    ProfileRetry profileRetry;
    LoopContext loopContext;

    // Created by start-up in its place (before that, null).
    std::unique_ptr<MyThread> loopThread;
    std::unique_ptr<LoopControl> loopControl;

    void createLoopThread();

private:
    // The main thread's end of calls the loop thread hands over.
    QObject mainThread_;
};
