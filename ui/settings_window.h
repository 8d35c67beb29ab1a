// The settings window, also the first-time setup when there is no settings
// file. Its controls show the settings in force when it opens (Load());
// edits are held as pending changes until "OK" or "Apply" applies them all
// (operations/settings_draft.h); "Cancel" or closing the window drops them.
// Its buttons act on pressed().
#pragma once

#include <memory>

#include <QWidget>

#include "operations/settings_draft.h"

class AppState;

namespace Ui {
class settings;
}

class settings : public QWidget {
    Q_OBJECT

public:
    explicit settings(AppState& state, QWidget* parent = nullptr);
    ~settings() override;

    // Opens the window as first-time setup.
    void showFirstTime();
    // Unticks "Check for updates periodically" without counting it as a
    // change (the setting was switched off elsewhere).
    void uncheckCheckForUpdates();

    int pendingChangeCount() const { return draft_.pendingChangeCount(); }

signals:
    // Effects of applied changes on the other windows.
    void trayIconSwitched(bool visible);
    void checkForUpdatesSwitched(bool on);
    // First-time setup is complete: the settings file exists.
    void firstTimeSetupDone();
    // First-time setup was cancelled or closed: nothing was saved, and the
    // next start asks again.
    void firstTimeSetupCancelled();

public slots:
    // The menu's "Settings": raises an open window as it is; otherwise
    // loads the settings in force and shows it.
    void open();

private slots:
    void Load();
    void on_radModeSpecific_toggled(bool checked);
    void on_chkLoadLinearCurveByDefault_toggled(bool checked);
    void on_chkLoadLinearCurveOnExit_toggled(bool checked);
    void on_chkLockLoadedProfiles_toggled(bool checked);
    void on_txtPollingPeriod_textChanged(QString arg1);
    void on_cmbLUTBitDepthClamp_currentIndexChanged(int index);
    void on_chkEnableTrayIcon_toggled(bool checked);
    void on_chkCheckForUpdates_toggled(bool checked);
    void on_chkStartAutomatically_toggled(bool checked);
    void on_chkMinimizeToTray_toggled(bool checked);
    void ShowHideApply();
    void on_btnOK_pressed();
    void on_btnCancel_pressed();
    void on_btnApply_pressed();
    void ChangeSettings();
    void ShowFirstTime();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void edit(SettingItem item, bool checked);

    AppState& state_;
    std::unique_ptr<Ui::settings> ui;
    SettingsDraft draft_;
    bool loadingControls_ = false;
    QMetaObject::Connection firstTime_;
    // "OK" is closing the window: first-time setup is being confirmed.
    bool confirming_ = false;
};
