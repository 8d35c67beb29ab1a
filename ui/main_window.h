// The main window: the monitors of the tree, the resolutions of the
// selected monitor and the modes of the selected resolution, each list with
// its "Detect" and "Delete All" buttons and a right-click menu; the
// association panel that shows and changes what the selected mode (or
// globally associated monitor) is associated with; the menus; and the tray
// icon with its menu.
//
// Its slots read the widgets, position the tree's cursors on the selected
// rows and call the operations beneath (operations/), then show the
// outcome. The window reaches the other windows only through its signals,
// which start-up connects.
//
// The implementation is split by concern: main_window.cpp (form and
// constructor), main_window_lists.cpp (lists and detection),
// main_window_panel.cpp (association panel), main_window_menus.cpp (context
// menus), main_window_tray.cpp (tray icon, window state, menu actions).
#pragma once

#include <functional>
#include <memory>

#include <QMainWindow>
#include <QStringList>
#include <QSystemTrayIcon>

class AppState;
class QLabel;
class QMenu;
class QListWidget;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // `arguments`: the command line after the program's name, as main
    // received it; "-start" and "-hide" take effect here.
    MainWindow(AppState& state, const QStringList& arguments, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window counts as shown (the tray menu offers "Hide").
    bool windowShown() const { return windowShown_; }
    // Started with "-hide": the tray icon is always visible.
    bool startedHidden() const { return startedHidden_; }
    QSystemTrayIcon* trayIcon() const { return trayIcon_.get(); }
    QMenu* trayMenu() const { return trayMenu_.get(); }

    // The tray icon is visible when the program started hidden or the tray
    // icon is enabled.
    void applyTrayIconRule();

    // Whether the desktop has a tray to show the icon in (asked of the
    // platform; a test that stands for such a desktop answers yes).
    std::function<bool()> desktopHasTray = &QSystemTrayIcon::isSystemTrayAvailable;

signals:
    // The user ends the program ("Exit", or closing the window without a
    // tray icon). Start-up ends the process; nothing after the emit runs.
    void exitRequested();
    // "Settings" and "About Tavrin" in the menus.
    void settingsRequested();
    void aboutRequested();
    // The window was closed into the tray (an open settings window goes
    // with it).
    void closedToTray();

public slots:
    // The settings window switched the tray icon on or off.
    void setTrayIconVisible(bool visible);
    // Hides a visible window into the tray (the tray menu then offers
    // "Show"); where no tray icon is in use the window stays, since nothing
    // could bring it back.
    void hideIntoTray();
    // Shows the window, raised and active (first-time setup is done or was
    // cancelled; a later start of the program asks for it).
    void showWindow();

private slots:
    void on_listWidgetMon_currentRowChanged(int row);
    void on_listWidgetRes_currentRowChanged(int row);
    void on_listWidgetMode_currentRowChanged(int row);
    void on_chkAssociate_toggled(bool checked);
    void on_radColorProfile_toggled(bool checked);
    void on_txtColorProfile_textChanged(QString text);
    void on_btnColorProfileBrowse_clicked();
    void on_radPredefined_toggled(bool checked);
    void on_cmbPredefined_currentIndexChanged(int index);
    void on_btnAssociateProfile_pressed();
    void on_btnDetectMon_clicked();
    void on_btnDetectRes_clicked();
    void detectRes();
    void on_btnDetectMode_clicked();
    void on_btnDeleteAllMon_clicked();
    void on_btnDeleteAllRes_clicked();
    void on_btnDeleteAllMode_clicked();
    void on_actionStart_triggered();
    void on_actionExit_triggered();
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void TrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void TrayIconModeTriggered(QAction* action);
    void TrayIconShowHide();
    void ShowMonContextMenu(QPoint pos);
    void ShowResContextMenu(QPoint pos);
    void ShowModeContextMenu(QPoint pos);
    void on_actionAbout_Qt_triggered();
    void on_actionAbout_Tavrin_triggered();
    void ModeSelectionChange();
    void on_actionSettings_triggered();

private:
    // The selection seek: the tree's cursors on the selected monitor, down
    // to its selected resolution and mode.
    void seekMonitor();
    void seekResolution();
    void seekMode();
    // For the panel: the selected monitor's global mode, or the selected
    // mode.
    void seekPanelMode();

    // The tray icon is in use: shown (started hidden, or enabled) on a
    // desktop that has a tray to show it in. Closing or hiding the window
    // then leaves the program in the tray.
    bool trayInUse() const;

    // The tree's monitors into their list, each with its tool tip (output,
    // serial number), and the status bar along.
    void fillMonitorList();
    // The status bar: whether calibrations are kept, or what to do.
    void showLoopState();

    void hidePanel();
    // Shows "Associate Profile" unless the program itself is updating.
    void offerAssociate();
    void setAssociateButtonStyle(const char* styleSheet);
    // Start or Stop from the menu or the tray.
    void toggleLoopFromUser();
    void setTrayPicture(bool loopOn);
    void fillTrayMenu();
    // Runs a one-request menu of `items` at `pos` of `list`; the chosen
    // text, or empty.
    QString runContextMenu(QListWidget* list, QPoint pos, const QStringList& items);

    AppState& state_;
    std::unique_ptr<Ui::MainWindow> ui;
    std::unique_ptr<QSystemTrayIcon> trayIcon_;
    std::unique_ptr<QMenu> trayMenu_;
    QLabel* loopState_ = nullptr;  // in the status bar

    bool windowShown_ = false;
    bool startedHidden_ = false;
    bool uiUpdating_ = false;
    bool monitorSelected_ = false;
    bool selectedMonitorGlobal_ = false;
};
