#include "app/main_window_stand_in.h"

#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

MainWindowStandIn::MainWindowStandIn(AppState& state, const QStringList& arguments)
    : state_(state),
      trayIcon_(std::make_unique<QSystemTrayIcon>()),
      trayMenu_(std::make_unique<QMenu>()) {
    trayIcon_->setToolTip(QStringLiteral("Tavrin v1.05"));
    trayMenu_->addAction(QStringLiteral("Exit"), [] { QCoreApplication::quit(); });
    trayIcon_->setContextMenu(trayMenu_.get());
    state_.loopControl->onLoopToggled = [this](bool running) { setTrayPicture(running); };

    start_ = startForCommandLine(arguments, *state_.loopControl, state_.loopContext);
    setTrayPicture(start_.trayPictureOn);
    if (start_.trayVisible)
        trayIcon_->setVisible(true);
}

MainWindowStandIn::~MainWindowStandIn() = default;

void MainWindowStandIn::setTrayPicture(bool loopOn) {
    trayIcon_->setIcon(
        QIcon(loopOn ? QStringLiteral(":/icon_on.png") : QStringLiteral(":/icon_off.png")));
}

void MainWindowStandIn::updateTrayVisibility() {
    trayIcon_->setVisible(start_.startedHidden || state_.settings.enableTrayIcon);
}
