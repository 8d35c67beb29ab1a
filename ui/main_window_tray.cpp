// The tray icon and its menu, showing, hiding, minimising and closing the
// window, and the menu actions.
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMenu>
#include <QTimer>

#include "state/app_state.h"
#include "ui/main_window.h"
#include "ui_main_window.h"

namespace {

const QString showText = QStringLiteral("Show");
const QString hideText = QStringLiteral("Hide");
const QString startText = QStringLiteral("Start");
const QString stopText = QStringLiteral("Stop");
const QString exitText = QStringLiteral("Exit");

}  // namespace

void MainWindow::fillTrayMenu() {
    // Built anew each time it opens, so that it tells the window's and the
    // loop's state as they are now.
    trayMenu_->clear();
    trayMenu_->addAction(windowShown_ ? hideText : showText);
    if (!state_.tree.IsEmpty())
        trayMenu_->addAction(state_.flags.startStopLabel ? stopText : startText);
    trayMenu_->addAction(exitText);
}

void MainWindow::TrayIconActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) {
        TrayIconShowHide();
        return;
    }
    // A tray that opens the menu itself (at the pointer) has opened it
    // already, filled as it opened; otherwise it runs here, at the pointer.
    if (reason == QSystemTrayIcon::Context && !trayMenu_->isVisible())
        trayMenu_->exec(QCursor::pos());
}

void MainWindow::TrayIconModeTriggered(QAction* action) {
    const QString text = action->text();
    if (text == startText || text == stopText)
        toggleLoopFromUser();
    else if (text == showText || text == hideText)
        TrayIconShowHide();
    else if (text == exitText)
        emit exitRequested();
}

void MainWindow::toggleLoopFromUser() {
    AppFlags& flags = state_.flags;
    flags.suppressChangeMsg = true;
    state_.loopControl->toggleLoop();
    flags.startStopLabel = flags.loopRunning;
    ui->actionStart->setText(flags.loopRunning ? stopText : startText);
}

void MainWindow::on_actionStart_triggered() {
    toggleLoopFromUser();
}

void MainWindow::TrayIconShowHide() {
    if (isHidden()) {
        show();
        activateWindow();
        showNormal();
        setFocus(Qt::OtherFocusReason);
        windowShown_ = true;
    } else if (isMinimized()) {
        activateWindow();
        showNormal();
        setFocus(Qt::OtherFocusReason);
        windowShown_ = true;
    } else {
        hide();
        windowShown_ = false;
    }
}

bool MainWindow::trayInUse() const {
    // The icon as it is now: switched off in the settings, it is gone also
    // for a program started hidden, and nothing could bring a hidden
    // window back.
    return trayIcon_ && trayIcon_->isVisible() && desktopHasTray();
}

void MainWindow::showWindow() {
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    windowShown_ = true;
}

void MainWindow::hideIntoTray() {
    if (trayInUse() && isVisible()) {
        hide();
        windowShown_ = false;
    }
}

void MainWindow::changeEvent(QEvent* e) {
    if (trayInUse() && e->type() == QEvent::WindowStateChange && isMinimized())
        windowShown_ = false;
    QMainWindow::changeEvent(e);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!trayInUse()) {
        emit exitRequested();
        return;
    }
    emit closedToTray();
    QTimer::singleShot(0, this, &QWidget::hide);
    windowShown_ = false;
    e->ignore();
}

void MainWindow::on_actionExit_triggered() {
    emit exitRequested();
}

void MainWindow::on_actionSettings_triggered() {
    emit settingsRequested();
}

void MainWindow::on_actionAbout_Tavrin_triggered() {
    emit aboutRequested();
}

void MainWindow::on_actionAbout_Qt_triggered() {
    QApplication::aboutQt();
}
