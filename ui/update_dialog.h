// The window that tells the user a newer version is published, with three
// answers: the download page now, a reminder in 24 hours, or never again.
// Not modal; closing it only hides it. What it asks of the other windows
// and of the update check goes through its signals, which start-up
// connects.
#pragma once

#include <memory>

#include <QString>
#include <QWidget>

struct AppSettings;
class Log;

namespace Ui {
class UpdateDialog;
}

class UpdateDialog : public QWidget {
    Q_OBJECT

public:
    // `settingsFile`: where "Never remind me again" saves the settings.
    UpdateDialog(AppSettings& settings, Log& log, QString settingsFile, QWidget* parent = nullptr);
    ~UpdateDialog() override;

signals:
    // "Yes": the main window and the settings window go out of the way.
    void otherWindowsHideRequested();
    // "Yes" and "Remind me later": the check comes back in 24 hours.
    void checkAgainLaterRequested();
    // "Never remind me again": checking is off; the settings window's box
    // follows and the periodic check stops.
    void checkingSwitchedOff();

private slots:
    void on_btnYes_pressed();
    void on_btnRemindMeLater_pressed();
    void on_btnNeverRemindMeAgain_pressed();

private:
    AppSettings& settings_;
    Log& log_;
    const QString settingsFile_;
    std::unique_ptr<Ui::UpdateDialog> ui;
};
