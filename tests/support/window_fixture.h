// A complete, private application state for the windows' tests: its files
// in a temporary directory, the simulated display system with two displays
// (each offering 1920x1080 and 1280x720 at 60 Hz, running the first), and
// the loop thread; windows are made on it as start-up makes them.
#pragma once

#include <cmath>
#include <memory>

#include <QAbstractButton>
#include <QCheckBox>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "icc_profiles.h"
#include "log_text.h"
#include "platform/sim/sim_display_system.h"
#include "platform/sim/sim_run_entry.h"
#include "state/app_state.h"
#include "ui/main_window.h"

struct WindowFixture {
    QTemporaryDir dir;
    SimDisplaySystem* sim = nullptr;
    SimRunEntry* runEntry = nullptr;
    std::unique_ptr<AppState> state;

    explicit WindowFixture(int displays = 2) {
        auto display = std::make_unique<SimDisplaySystem>();
        sim = display.get();
        make(std::move(display));
        for (int i = 0; i < displays; ++i) {
            const int a = sim->addAdapter(QString("\\\\.\\DISPLAY%1").arg(i + 1).toStdString(),
                                          "Adapter " + std::to_string(i));
            sim->attachMonitor(a, monitor(i));
            sim->setModes(a, {mode1080, mode720});
            sim->switchMode(a, mode1080);
        }
    }
    // On another display system (a real X server); `sim` stays null.
    explicit WindowFixture(std::unique_ptr<DisplaySystem> display) { make(std::move(display)); }
    void make(std::unique_ptr<DisplaySystem> display) {
        // The tray icon of the offscreen platform asks for a signal that
        // platform does not have; say nothing of it.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qobject.connect=false"));
        Platform platform;
        auto entry = std::make_unique<SimRunEntry>();
        runEntry = entry.get();
        platform.display = std::move(display);
        platform.runEntry = std::move(entry);
        platform.name = "sim";
        state = std::make_unique<AppState>(std::move(platform), AppFiles::in(dir.path()));
        state->log.open(state->files.log);
        buildRamps(state->ramps);
        state->createLoopThread();
    }
    ~WindowFixture() { state->loopThread->stopLoop(); }

    static inline const DEVMODEA mode1080 = SimDisplaySystem::makeMode(1920, 1080, 32, 60);
    static inline const DEVMODEA mode720 = SimDisplaySystem::makeMode(1280, 720, 32, 60);

    static QString deviceId(int i) {
        return QString("MONITOR\\SIM%1\\{class}\\000%1").arg(i);
    }
    static DISPLAY_DEVICEA monitor(int i) {
        return SimDisplaySystem::makeMonitor(deviceId(i).toStdString(), "key-" + std::to_string(i),
                                             "Sim Monitor " + std::to_string(i));
    }

    // The log so far, every timestamp as "[TS]" and every handle as "0xH".
    QString logText() const { return readNormalisedLog(state->files.log, true); }
    void clearLog() const { QFile(state->files.log).resize(0); }
    QByteArray treeFile() const {
        QFile f(state->files.tree);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The user's Start, and the first pass done (every display applied).
    void startLoop() {
        state->flags.suppressChangeMsg = true;
        state->loopControl->toggleLoop();
        ActiveDisplayList displays;
        displays.Capture(*state->platform.display);
        const int count = displays.size();
        QVERIFY(QTest::qWaitFor(
            [&] {
                LogGroup barrier = state->log.group();  // a display's block is written whole
                return logText().count("Current monitor:") >= count;
            },
            5000));
    }

    // Monitor i into the tree, mode-specific, with a 1920x1080 and a
    // 1280x720 mode; the first associated with `association` (a profile path
    // is parsed). The log is emptied afterwards.
    void addMonitor(int i, const QString& association = {}) {
        Tree& t = state->tree;
        t.AppendMonitor(monitor(i), "Adapter");
        t.AppendResolution(1920, 1080);
        t.AppendMode(mode1080);
        if (!association.isEmpty())
            QVERIFY(t.Associate(association, state->log));
        t.AppendResolution(1280, 720);
        t.AppendMode(mode720);
        clearLog();
    }
    // Monitor i into the tree in global association.
    void addGlobalMonitor(int i, const QString& association) {
        state->tree.AppendMonitor(monitor(i), "Adapter");
        state->tree.SetAssociationMode(true, state->log, association);
        clearLog();
    }
    // Monitor i's lines in the log.
    static QString monitorLines(int i) {
        return "DeviceID = " + deviceId(i) +
               QString("\nDeviceKey = key-%1\nDeviceString = Sim Monitor %1\nOutputDevice = "
                       "Adapter\n")
                   .arg(i);
    }

    // A display profile whose vcgt holds gamma curves; its path.
    QString writeProfile(const QString& name, double gamma) const {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(icc::lcmsTableProfile(icc::Version::V2, icc::gammaCurves(gamma, gamma, gamma)));
        return path;
    }
    static GammaTable768 table(const GammaRamp& r) {
        GammaTable768 t;
        rampToTable(r, t);
        return t;
    }
};

// The fixture with the main window made on it, and its widgets by name.
struct Window : WindowFixture {
    using WindowFixture::WindowFixture;
    std::unique_ptr<MainWindow> w;
    QListWidget* mon() const { return w->findChild<QListWidget*>("listWidgetMon"); }
    QListWidget* res() const { return w->findChild<QListWidget*>("listWidgetRes"); }
    QListWidget* modes() const { return w->findChild<QListWidget*>("listWidgetMode"); }
    QPushButton* button(const char* name) const { return w->findChild<QPushButton*>(name); }
    QWidget* widget(const char* name) const { return w->findChild<QWidget*>(name); }
    QAction* actionStart() const { return w->findChild<QAction*>("actionStart"); }
    // The main window, shown, on a desktop with a tray.
    void open() {
        w = std::make_unique<MainWindow>(*state, QStringList());
        w->desktopHasTray = [] { return true; };
        w->show();
    }
    static QStringList items(const QListWidget* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
        return texts;
    }
    QString afterLooping() {
        // The restarted loop's first line comes from its own thread.
        if (!QTest::qWaitFor([&] { return logText().endsWith("Looping...\n\n"); }, 5000))
            return "no loop line after:\n" + logText();
        return logText();
    }
};

// What saving the tree writes to the log.
inline const QString saveLines = "[TS]Saving Tree...\nSuccessfully saved Tree.\n\n";

// Presses a push button as a user does (the program's buttons act on
// pressed()).
inline void press(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// Runs `action` once the next modal dialog or popup menu is up: a menu's
// item is chosen by its text (empty: the menu is dismissed), a dialog is
// rejected. Returns what the menu offered.
inline void onNextPopup(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action] {
        QWidget* w = nullptr;
        const bool up = QTest::qWaitFor(
            [&] {
                w = QApplication::activePopupWidget();
                if (!w)
                    w = QApplication::activeModalWidget();
                return w != nullptr;
            },
            5000);
        if (up)
            action(w);
    });
}

// Chooses `text` in the next popup menu (empty: dismisses it) and records
// what the menu offered.
inline void chooseInNextMenu(const QString& text, QStringList* offered = nullptr) {
    onNextPopup([text, offered](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        if (!menu)
            return;
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions()) {
            if (offered)
                *offered << a->text();
            if (a->text() == text)
                chosen = a;
        }
        if (!chosen) {
            menu->close();
            return;
        }
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}
