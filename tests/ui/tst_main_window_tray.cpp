// The tray icon and the window's state: the tray menu, showing and hiding,
// minimising and closing, the loop's Start and Stop, and what "-start" and
// "-hide" leave visible.
#include <QLabel>
#include <QSignalSpy>

#include "ui/settings_window.h"

#include "window_fixture.h"

namespace {

struct Tray : Window {
    // A right-click on the tray icon choosing `item` (empty: dismissed);
    // what the menu offered.
    QStringList rightClick(const QString& item) {
        QStringList offered;
        chooseInNextMenu(item, &offered);
        emit w->trayIcon()->activated(QSystemTrayIcon::Context);
        return offered;
    }
    void doubleClick() { emit w->trayIcon()->activated(QSystemTrayIcon::DoubleClick); }
};

}  // namespace

class TestMainWindowTray : public QObject {
    Q_OBJECT

private slots:
    void trayMenuOffers_data() {
        QTest::addColumn<bool>("monitor");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty tree") << false << QStringList{"Hide", "Exit"};
        QTest::newRow("a monitor") << true << QStringList{"Hide", "Start", "Exit"};
    }
    void trayMenuOffers() {
        QFETCH(bool, monitor);
        QFETCH(QStringList, entries);
        Tray f;
        if (monitor)
            f.addMonitor(0);
        f.open();
        QCOMPARE(f.rightClick(""), entries);
    }

    void hideAndShowThroughTheTray() {
        Tray f;
        f.open();
        QVERIFY(f.w->windowShown());
        f.rightClick("Hide");
        QVERIFY(f.w->isHidden() && !f.w->windowShown());
        QCOMPARE(f.rightClick("Show").first(), "Show");
        QVERIFY(f.w->isVisible() && f.w->windowShown());
        // A double click does the same, and restores a minimised window.
        f.doubleClick();
        QVERIFY(f.w->isHidden());
        f.doubleClick();
        QVERIFY(f.w->isVisible());
        f.w->showMinimized();
        QVERIFY(!f.w->windowShown());
        f.doubleClick();
        QVERIFY(!f.w->isMinimized() && f.w->windowShown());
        // Other activations do nothing.
        emit f.w->trayIcon()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(f.w->isVisible());
    }

    void minimisedWithoutATrayIconStaysShown() {
        Tray f;
        f.state->settings.enableTrayIcon = false;
        f.open();
        f.w->showMinimized();
        QVERIFY(f.w->isMinimized());
        QVERIFY(f.w->windowShown());
    }

    void closingTheWindow_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("desktopTray");
        QTest::addColumn<bool>("trayIcon");
        QTest::newRow("tray icon in use") << true << true << true;
        QTest::newRow("tray icon off") << false << true << false;
        // Hidden, the window could never come back: closing ends the program.
        QTest::newRow("no tray on the desktop") << true << false << false;
    }
    void closingTheWindow() {
        QFETCH(bool, enabled);
        QFETCH(bool, desktopTray);
        QFETCH(bool, trayIcon);
        Tray f;
        f.state->settings.enableTrayIcon = enabled;
        f.addMonitor(0);
        f.open();
        f.w->desktopHasTray = [desktopTray] { return desktopTray; };
        f.startLoop();
        QSignalSpy exits(f.w.get(), &MainWindow::exitRequested);
        QSignalSpy intoTray(f.w.get(), &MainWindow::closedToTray);
        f.w->close();
        QCOMPARE(exits.count(), trayIcon ? 0 : 1);
        QCOMPARE(intoTray.count(), trayIcon ? 1 : 0);
        if (trayIcon) {
            QTRY_VERIFY(f.w->isHidden());
            QVERIFY(!f.w->windowShown());
            QVERIFY(f.state->loopThread->isRunning());
        }
    }

    void startAndStopFromTheTray() {
        Tray f;
        f.addMonitor(0, "RED");
        f.open();
        f.rightClick("Start");
        QVERIFY(f.state->flags.loopRunning && f.state->loopThread->isRunning());
        QCOMPARE(f.actionStart()->text(), "Stop");
        QTRY_VERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.tintRamps[0]));
        QVERIFY(!f.logText().contains("change(s) detected"));
        QCOMPARE(f.rightClick("Stop").at(1), "Stop");
        QVERIFY(!f.state->loopThread->isRunning());
        QCOMPARE(f.actionStart()->text(), "Start");
        // The window's own action toggles alike.
        f.actionStart()->trigger();
        QVERIFY(f.state->loopThread->isRunning());
        QCOMPARE(f.actionStart()->text(), "Stop");
    }

    void exitFromTheTray() {
        Tray f;
        f.open();
        QSignalSpy exits(f.w.get(), &MainWindow::exitRequested);
        f.rightClick("Exit");
        QCOMPARE(exits.count(), 1);
    }

    void commandLineAndTrayIcon_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("trayEnabled");
        QTest::addColumn<bool>("trayVisible");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<bool>("shown");
        QTest::newRow("none") << QStringList{} << true << true << false << true;
        QTest::newRow("none, no tray") << QStringList{} << false << false << false << true;
        QTest::newRow("-start, no tray") << QStringList{"-start"} << false << false << true << true;
        QTest::newRow("-hide, no tray") << QStringList{"-hide"} << false << true << false << false;
        QTest::newRow("-start -hide, no tray")
            << QStringList{"-start", "-hide"} << false << true << true << false;
    }
    void commandLineAndTrayIcon() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, trayEnabled);
        QFETCH(bool, trayVisible);
        QFETCH(bool, loop);
        QFETCH(bool, shown);
        Tray f;
        f.addMonitor(0);
        f.w = std::make_unique<MainWindow>(*f.state, arguments);
        // As start-up does once the settings file is read.
        f.state->settings.enableTrayIcon = trayEnabled;
        f.w->applyTrayIconRule();
        QCOMPARE(f.w->trayIcon()->isVisible(), trayVisible);
        QCOMPARE(f.state->loopThread->isRunning(), loop);
        QCOMPARE(f.actionStart()->text(), loop ? "Stop" : "Start");
        QCOMPARE(f.w->windowShown(), shown);
    }

    // No path leaves the user without a window or an icon, and the status
    // bar says whether calibrations are being kept. Each row is a way the
    // user gets somewhere; the columns are what the user then sees.
    void whatTheUserIsLeftWith_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("windowShown");
        QTest::addColumn<bool>("exitRequested");
        QTest::addColumn<QString>("status");
        const QString stopped = "Stopped: File \u2192 Start keeps calibrations loaded.";
        const QString empty = "No monitors yet: press Detect above the monitor list to find them.";
        const QString keeping = "Keeping calibrations loaded.";
        QTest::newRow("first-time setup cancelled") << "cancel setup" << true << false << empty;
        QTest::newRow("first-time setup closed") << "close setup" << true << false << empty;
        QTest::newRow("first-time setup confirmed") << "confirm setup" << true << false << empty;
        QTest::newRow("-hide, tray icon switched off, window closed")
            << "hidden, tray off, close" << false << true << stopped;
        QTest::newRow("-hide, tray icon switched off, window minimised")
            << "hidden, tray off, minimise" << true << false << stopped;
        QTest::newRow("a monitor, loop started") << "start" << true << false << keeping;
        QTest::newRow("a monitor, loop started and stopped") << "start, stop" << true << false
                                                             << stopped;
        QTest::newRow("every monitor deleted") << "delete all" << true << false << empty;
    }
    void whatTheUserIsLeftWith() {
        QFETCH(QString, path);
        QFETCH(bool, windowShown);
        QFETCH(bool, exitRequested);
        QFETCH(QString, status);
        Tray f;
        const bool setup = path.endsWith("setup");
        if (!setup)
            f.addMonitor(0);
        f.w = std::make_unique<MainWindow>(*f.state, path.startsWith("hidden") ? QStringList{"-hide"}
                                                                              : QStringList{});
        f.w->desktopHasTray = [] { return true; };
        QSignalSpy exits(f.w.get(), &MainWindow::exitRequested);
        settings settingsWindow(*f.state);
        QObject::connect(&settingsWindow, &settings::firstTimeSetupCancelled, f.w.get(),
                         &MainWindow::showWindow);
        QObject::connect(&settingsWindow, &settings::firstTimeSetupDone, f.w.get(),
                         &MainWindow::showWindow);
        QObject::connect(&settingsWindow, &settings::trayIconSwitched, f.w.get(),
                         &MainWindow::setTrayIconVisible);
        if (setup) {
            // As start-up leaves it: the settings file missing, only setup shown.
            settingsWindow.showFirstTime();
            QVERIFY(f.w->isHidden());
            if (path == "close setup")
                settingsWindow.close();
            else
                press(settingsWindow.findChild<QPushButton*>(path == "cancel setup" ? "btnCancel"
                                                                                   : "btnOK"));
            QCOMPARE(QFile::exists(f.state->files.settings), path == "confirm setup");
            QCOMPARE(f.rightClick("").first(), "Hide");
        } else if (path.startsWith("hidden")) {
            f.rightClick("Show");
            settingsWindow.open();
            settingsWindow.findChild<QCheckBox*>("chkEnableTrayIcon")->setChecked(false);
            press(settingsWindow.findChild<QPushButton*>("btnOK"));
            QVERIFY(!f.w->trayIcon()->isVisible());
            // Closed, it ends the program as without a tray (start-up ends
            // the process on the signal); minimised, it stays on screen.
            if (path.endsWith("close"))
                f.w->close();
            else
                f.w->showMinimized();
        } else {
            f.w->show();
            if (path.startsWith("start"))
                f.actionStart()->trigger();
            if (path.endsWith("stop"))
                f.actionStart()->trigger();
            if (path == "delete all")
                press(f.button("btnDeleteAllMon"));
        }
        if (!exitRequested)
            QCOMPARE(f.w->isVisible() && f.w->windowShown(), windowShown);
        QCOMPARE(exits.count(), exitRequested ? 1 : 0);
        QCOMPARE(f.w->findChild<QLabel*>("lblLoopState")->text(), status);
        QVERIFY(!f.actionStart()->isEnabled() == (status.startsWith("No monitors")));
    }
};

QTEST_MAIN(TestMainWindowTray)
#include "tst_main_window_tray.moc"
