#include "app/window_links.h"

#include "ui/about_window.h"
#include "ui/main_window.h"
#include "ui/settings_window.h"
#include "ui/update_dialog.h"
#include "update/update_check.h"

void linkWindows(const Windows& w) {
    MainWindow* main = w.mainWindow;
    settings* settingsWindow = w.settingsWindow;
    UpdateCheck* checker = w.updateChecker;

    QObject::connect(main, &MainWindow::settingsRequested, settingsWindow, &settings::open);
    QObject::connect(main, &MainWindow::aboutRequested, w.aboutWindow, &About::open);
    QObject::connect(main, &MainWindow::closedToTray, settingsWindow, &QWidget::hide);

    QObject::connect(settingsWindow, &settings::trayIconSwitched, main,
                     &MainWindow::setTrayIconVisible);
    QObject::connect(settingsWindow, &settings::checkForUpdatesSwitched, checker, [checker](bool on) {
        if (on)
            checker->check();
        else
            checker->stopTimer();
    });
    QObject::connect(settingsWindow, &settings::firstTimeSetupDone, main, &MainWindow::showWindow);
    QObject::connect(settingsWindow, &settings::firstTimeSetupCancelled, main,
                     &MainWindow::showWindow);
    // The user's OK on first-time setup is the consent to the first check.
    QObject::connect(settingsWindow, &settings::firstTimeSetupDone, checker,
                     &UpdateCheck::checkIfEnabled);

    QObject::connect(checker, &UpdateCheck::updateDialogRequested, w.updateDialog, &QWidget::show);

    QObject::connect(w.updateDialog, &UpdateDialog::otherWindowsHideRequested, main,
                     &MainWindow::hideIntoTray);
    QObject::connect(w.updateDialog, &UpdateDialog::otherWindowsHideRequested, settingsWindow,
                     &QWidget::hide);
    QObject::connect(w.updateDialog, &UpdateDialog::checkAgainLaterRequested, checker,
                     &UpdateCheck::restartTimer);
    QObject::connect(w.updateDialog, &UpdateDialog::checkingSwitchedOff, settingsWindow, [settingsWindow] {
        if (settingsWindow->isVisible())
            settingsWindow->uncheckCheckForUpdates();
    });
    QObject::connect(w.updateDialog, &UpdateDialog::checkingSwitchedOff, checker,
                     &UpdateCheck::stopTimer);
}
