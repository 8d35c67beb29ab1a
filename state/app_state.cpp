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

// The system's own program directories: a copy there is installed, and an
// administrator's run must not leave the user's files among the programs.
bool isSystemProgramDirectory(const QString& directory) {
#ifdef Q_OS_WIN
    Q_UNUSED(directory);
    return false;
#else
    static const char* const systemDirectories[] = {"/usr/bin",       "/usr/local/bin", "/bin",
                                                    "/usr/sbin",      "/usr/local/sbin", "/sbin",
                                                    "/usr/games",     "/usr/local/games"};
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    for (const char* system : systemDirectories)
        if (canonical == QFileInfo(QString::fromLatin1(system)).canonicalFilePath())
            return true;
    return false;
#endif
}

bool canWriteIn(const QString& directory) {
    // Creating a file is the only sure test (permissions, read-only media).
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".tavrin-write-test-XXXXXX")));
    return probe.open();
}

}  // namespace

QString dataDirectory() {
    return dataDirectoryFor(QCoreApplication::applicationDirPath());
}

QString dataDirectoryFor(const QString& exeDir) {
    if (!isSystemProgramDirectory(exeDir) && canWriteIn(exeDir))
        return exeDir;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return data;
}

QString dataDirectoryProblem(const QString& directory) {
    if (!QDir().mkpath(directory))
        return QStringLiteral("the folder cannot be created");
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".tavrin-write-test-XXXXXX")));
    if (!probe.open())
        return probe.errorString();
    return {};
}

AppState::AppState(Platform p, AppFiles f)
    : platform(std::move(p)),
      files(std::move(f)),
      activeDisplays(platform.display.get()),
      loopContext{log,   settings,          flags,   tree,        activeDisplays,
                  ramps, *platform.display, scratch, profileRetry} {
    // A profile the loop found again: the tree's modes take its curve, on the
    // main thread, which alone changes the tree.
    profileRetry.setFoundHandler([this](const QString& path, const FoundProfile& found) {
        QMetaObject::invokeMethod(
            &mainThread_,
            [this, path, found] { tree.RestoreProfileCurve(path, found.curve, found.bytes); },
            Qt::QueuedConnection);
    });
}

AppState::~AppState() {
    // The loop thread works on the members below it; it ends first.
    loopControl.reset();
    loopThread.reset();
}

void AppState::createLoopThread() {
    loopThread = std::make_unique<MyThread>(loopContext);
    loopControl = std::make_unique<LoopControl>(loopContext, *loopThread);
}
