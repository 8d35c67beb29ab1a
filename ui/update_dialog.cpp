#include "ui/update_dialog.h"

#include <QDesktopServices>
#include <QUrl>

#include "core/build_config.h"
#include "core/log.h"
#include "storage/settings_file.h"
#include "ui/fitted_font.h"
#include "ui_update_dialog.h"

UpdateDialog::UpdateDialog(AppSettings& settings, Log& log, QString settingsFile, QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      log_(log),
      settingsFile_(std::move(settingsFile)),
      ui(std::make_unique<Ui::UpdateDialog>()) {
    ui->setupUi(this);
    fitFontToRectanglesWhenShown(this);
}

UpdateDialog::~UpdateDialog() = default;

void UpdateDialog::on_btnYes_pressed() {
    hide();
    emit otherWindowsHideRequested();
    QDesktopServices::openUrl(QUrl(QStringLiteral(TAVRIN_DOWNLOAD_URL)));
    emit checkAgainLaterRequested();
}

void UpdateDialog::on_btnRemindMeLater_pressed() {
    hide();
    emit checkAgainLaterRequested();
}

void UpdateDialog::on_btnNeverRemindMeAgain_pressed() {
    hide();
    settings_.checkForUpdates = false;
    emit checkingSwitchedOff();
    {
        LogGroup g = log_.group();
        g.timestamp() << "'Never remind me again' selected for updates.\n\n";
    }
    saveSettings(settingsFile_, settings_, log_);
}
