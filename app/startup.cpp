#include "app/startup.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>

#include "state/app_state.h"
#include "app/command_line.h"
#include "app/quit_on_signal.h"
#include "app/single_instance.h"
#include "storage/leftover_files.h"
#include "storage/run_on_startup.h"
#include "storage/settings_file.h"
#include "storage/tree_file.h"
#include "ui/about_window.h"
#include "ui/main_window.h"
#include "ui/problem_notice.h"
#include "ui/program_pictures.h"
#include "ui/settings_window.h"
#include "ui/update_dialog.h"
#include "update/update_check.h"
#include "app/window_links.h"

namespace {

// The one application state of the process. It is never destroyed: the exit
// handler runs after main has returned and still needs it.
AppState* appState = nullptr;

void exitHandler() {
    if (appState && appState->loopControl)
        appState->loopControl->onApplicationExit();
}

// The user's end of the program ("Exit", or closing the window without a
// tray icon), from inside a slot: the exit handler runs here, while every
// object it uses exists; the one registered with atexit then finds it done.
[[noreturn]] void endProgram() {
    restoreDefaultSignalHandling();
    exitHandler();
    std::exit(0);
}

// The end of an invalid command line: the exit handler, then 0.
int endAtOnce() {
    restoreDefaultSignalHandling();
    exitHandler();
    return 0;
}

void loadTreeAtStart(AppState& s) {
    const bool exists = QFile::exists(s.files.tree);
    {
        LogGroup g = s.log.group();
        g.timestamp() << (exists ? "Found existing Tree.\n" : "No existing Tree found.\n");
    }
    if (exists) {
        // The reader logs each profile it parses again, so the log is not
        // held around it.
        const bool loaded = loadTree(s.files.tree, s.tree, s.log);
        if (loaded)
            s.flags.treeLoaded = true;
        s.log.group() << (loaded ? "Successfully loaded Tree.\n" : "Failed to load Tree.\n");
    }
    s.log.group() << "\n";
}

}  // namespace

int runTavrin(int argc, char** argv, const char* updateUrl) {
    // The command line as main received it: taken before the application
    // object removes the options it knows itself ("-style", "-platform").
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // "--help" and "--version" answer before anything else happens: no
    // log, no files, no displays.
    if (const std::optional<QString> information = informationRequested(arguments)) {
        std::fputs(information->toLocal8Bit().constData(), stdout);
        return 0;
    }
    // An invalid command line ends the program once the settings are read
    // (or at once without a settings file), and never starts the loop, so
    // that it never loads a curve into a display.
    const CommandLine commandLine = parseCommandLine(arguments);

    // 1. The application object lives to the end of the process, like every
    // object start-up makes.
    static int qtArgc = argc;
    new QApplication(qtArgc, argv);
    // A tray utility: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    // Names the user's data directory (~/.local/share/Tavrin) where the
    // executable's own directory cannot be written.
    QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
    // A logout's SIGTERM from here on ends the event loop once it runs, so
    // the process still ends through the exit handler.
    quitEventLoopOnSignals();

    // 2.-6. Version, files, log and the launch line. A data directory that
    // cannot be written is said at once: nothing the user sets up would be
    // kept, and the log that would say so cannot be written either.
    const QString directory = dataDirectory();
    // One Tavrin per data directory: a second start asks the running one to
    // show its window and ends, touching nothing.
    auto* instance = new SingleInstance(directory);
    if (!instance->claim(showsMainWindow(commandLine)))
        return 0;
    auto* problems = new ProblemNotice;
    if (const QString problem = dataDirectoryProblem(directory); !problem.isEmpty())
        problems->show(QStringLiteral("Tavrin cannot write its files in %1: %2.\nCalibrations are "
                                     "kept while it runs, but nothing you set up will be saved.")
                          .arg(QDir::toNativeSeparators(directory), problem));
    appState = new AppState(createPlatform(), AppFiles::in(directory));
    AppState& s = *appState;
    s.log.setSaveFailureNotice([&s, problems](const QString& what, const QString& why) {
        const QString file = what == QLatin1String("Tree") ? s.files.tree : s.files.settings;
        problems->show(QStringLiteral("Tavrin could not save %1%2.\nWhat you changed is in use "
                                     "until Tavrin ends, but it will not be there at the next "
                                     "start.")
                          .arg(QDir::toNativeSeparators(file),
                               why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    });
    s.log.open(s.files.log);
    {
        LogGroup g = s.log.group();
        g.timestamp() << "Tavrin v" << programVersion << " launched.\n\n\n";
    }

    // What saves interrupted by a killed process left beside the files.
    removeLeftoverSaveFiles({s.files.tree, s.files.settings});

    // 7. The tree. Nothing else runs yet, so no lock is needed.
    loadTreeAtStart(s);

    // 8. From here on every end of the process runs the exit handler.
    std::atexit(exitHandler);

    // 9.-12. The fixed ramps, the loop thread (not started) and the scratch.
    buildRamps(s.ramps);
    s.createLoopThread();

    // 13. The main window; its constructor may start the loop.
    auto* mainWindow =
        new MainWindow(s, commandLine == CommandLine::Invalid ? QStringList() : arguments);
    QObject::connect(mainWindow, &MainWindow::exitRequested, [] { endProgram(); });

    // 14. The settings window.
    auto* settingsWindow = new settings(s);

    // 15. The settings, or first-time setup.
    const bool hasSettings = QFile::exists(s.files.settings);
    if (!hasSettings && commandLine == CommandLine::Invalid)
        return endAtOnce();
    {
        LogGroup g = s.log.group();
        g.timestamp();
        if (!hasSettings) {
            g << "No existing Settings file found. Showing first-time settings widget.\n";
        } else {
            g << "Found existing Settings file.\n";
        }
    }
    if (!hasSettings) {
        settingsWindow->showFirstTime();
    } else {
        if (readSettings(s.files.settings, s.settings, s.log)) {
            s.log.group() << "Successfully loaded all settings.\n\n";
        } else {
            s.log.group() << "Failed to load all settings. Using default settings for those "
                             "that failed to load.\n\n";
            saveSettings(s.files.settings, s.settings, s.log);
        }
        mainWindow->applyTrayIconRule();
        if (commandLine == CommandLine::Invalid)
            return endAtOnce();
        if (showsMainWindow(commandLine))
            mainWindow->show();
    }

    // 16. The run-at-login entry follows the setting, once the user has
    // confirmed the settings (first-time setup applies it itself).
    if (hasSettings)
        applyRunOnStartup(s.settings.runOnStartup, *s.platform.runEntry,
                          QCoreApplication::applicationFilePath());

    // 17.-18. The update dialog and check, the About window; then the first
    // check, once the check can reach the dialog.
    Windows windows{mainWindow, settingsWindow, nullptr, nullptr, nullptr};
    windows.updateDialog = new UpdateDialog(s.settings, s.log, s.files.settings);
    windows.updateChecker = new UpdateCheck(s.settings, s.log, s.files.settings,
                                            QUrl(QString::fromUtf8(updateUrl)));
    windows.aboutWindow = new About;
    linkWindows(windows);
    // A later start of this copy shows the window it left (first-time setup
    // while that is still unanswered).
    QObject::connect(instance, &SingleInstance::showRequested, [mainWindow, settingsWindow] {
        if (settingsWindow->isVisible())
            settingsWindow->open();
        else
            mainWindow->showWindow();
    });
    // Nothing goes out to the network before the user has confirmed the
    // settings: first-time setup runs the first check itself.
    if (hasSettings)
        windows.updateChecker->checkIfEnabled();

    // 19. The window icon.
    QApplication::setWindowIcon(programIcon(true));

    // 20. The event loop; its result is not passed on.
    QApplication::exec();
    restoreDefaultSignalHandling();
    // Run here, while every object still exists; the registration with
    // atexit covers exit() from anywhere else, and the handler runs once.
    exitHandler();
    return 0;
}
