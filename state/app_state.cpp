#include "state/app_state.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

AppFiles AppFiles::in(const QString& directory) {
    const QDir dir(directory);
    return {dir.filePath(QStringLiteral("Log.txt")), dir.filePath(QStringLiteral("Tree.txt")),
            dir.filePath(QStringLiteral("Settings.txt"))};
}

namespace {

bool canWriteIn(const QString& directory) {
    // Creating a file is the only sure test (permissions, read-only media).
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".tavrin-write-test-XXXXXX")));
    return probe.open();
}

}  // namespace

QString dataDirectory() {
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (canWriteIn(exeDir))
        return exeDir;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return data;
}

AppState::AppState(Platform p, AppFiles f)
    : platform(std::move(p)),
      files(std::move(f)),
      activeDisplays(platform.display.get()),
      loopContext{log, settings, flags, tree, activeDisplays, ramps, *platform.display, scratch} {}

AppState::~AppState() {
    // The loop thread works on the members below it; it ends first.
    loopControl.reset();
    loopThread.reset();
}

void AppState::createLoopThread() {
    loopThread = std::make_unique<MyThread>(loopContext);
    loopControl = std::make_unique<LoopControl>(loopContext, *loopThread);
}
