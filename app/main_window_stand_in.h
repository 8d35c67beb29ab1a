// Stands in for the main window until it is built: it takes the window's
// place in start-up, acts on the command line as the window's constructor
// does (so "-start" runs the watch loop before anything is shown), and owns
// the tray icon with the loop's on/off picture.
#pragma once

#include <memory>

#include <QObject>
#include <QStringList>

#include "state/app_state.h"
#include "loop/command_line_start.h"

class QMenu;
class QSystemTrayIcon;

class MainWindowStandIn : public QObject {
    Q_OBJECT

public:
    MainWindowStandIn(AppState& state, const QStringList& arguments);
    ~MainWindowStandIn() override;

    // The tray icon is visible when the program started hidden or the tray
    // icon is enabled.
    void updateTrayVisibility();
    // Showing the window: nothing to show yet.
    void show() {}

    const WindowStartState& startState() const { return start_; }

private:
    void setTrayPicture(bool loopOn);

    AppState& state_;
    WindowStartState start_;
    std::unique_ptr<QSystemTrayIcon> trayIcon_;
    std::unique_ptr<QMenu> trayMenu_;
};
