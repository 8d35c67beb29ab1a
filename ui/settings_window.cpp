#include "ui/settings_window.h"

#include "core/build_config.h"
#include "state/app_state.h"
#include "storage/settings_file.h"
#include "ui/polling_period_validator.h"
#include "ui/fitted_font.h"
#include "ui_settings_window.h"

settings::settings(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), ui(std::make_unique<Ui::settings>()) {
    ui->setupUi(this);
    fitFontToRectangles(this);
    ui->btnOK->setFocus(Qt::OtherFocusReason);
    ui->txtPollingPeriod->setValidator(new PollingPeriodValidator(ui->txtPollingPeriod));
    loadingControls_ = true;
    ui->cmbLUTBitDepthClamp->addItems({QStringLiteral("8-bit"), QStringLiteral("10-bit"),
                                       QStringLiteral("Default")});
    loadingControls_ = false;
    Load();
}

settings::~settings() = default;

void settings::Load() {
    const AppSettings& s = state_.settings;
    loadingControls_ = true;
    (s.defCPAssocMode ? ui->radModeSpecific : ui->radGlobal)->setChecked(true);
    ui->chkLoadLinearCurveByDefault->setChecked(s.loadLinearCurveByDefault);
    ui->chkLoadLinearCurveOnExit->setChecked(s.loadLinearCurveOnExit);
    ui->chkLockLoadedProfiles->setChecked(s.lockLoadedProfiles);
    ui->txtPollingPeriod->setText(QString::number(unsigned(s.pollingPeriod.load())));
    ui->cmbLUTBitDepthClamp->setCurrentIndex(indexOfLutBitDepth(s.LUTBitDepth));
    ui->chkEnableTrayIcon->setChecked(s.enableTrayIcon);
    ui->chkCheckForUpdates->setChecked(TAVRIN_UPDATE_CHECK && s.checkForUpdates);
    ui->chkCheckForUpdates->setEnabled(TAVRIN_UPDATE_CHECK);
    ui->chkStartAutomatically->setChecked(s.runOnStartup == 1 || s.runOnStartup == 3);
    ui->chkMinimizeToTray->setChecked(s.runOnStartup == 2 || s.runOnStartup == 3);
    ui->btnApply->setEnabled(false);
    loadingControls_ = false;
    draft_.clear();
}

void settings::open() {
    if (isVisible()) {
        raise();
        return;
    }
    Load();
    activateWindow();
    raise();
    show();
}

void settings::edit(SettingItem item, bool checked) {
    if (loadingControls_)
        return;
    draft_.setChecked(item, checked, state_.settings);
    ShowHideApply();
}

void settings::on_radModeSpecific_toggled(bool checked) {
    edit(SettingItem::DefCPAssocMode, checked);
}

void settings::on_chkLoadLinearCurveByDefault_toggled(bool checked) {
    edit(SettingItem::LoadLinearCurveByDefault, checked);
}

void settings::on_chkLoadLinearCurveOnExit_toggled(bool checked) {
    edit(SettingItem::LoadLinearCurveOnExit, checked);
}

void settings::on_chkLockLoadedProfiles_toggled(bool checked) {
    edit(SettingItem::LockLoadedProfiles, checked);
}

void settings::on_txtPollingPeriod_textChanged(QString arg1) {
    if (loadingControls_)
        return;
    // The field takes nothing but digits of a number that fits; an empty
    // field is 0.
    draft_.setPollingPeriod(arg1.toInt(), state_.settings);
    ShowHideApply();
}

void settings::on_cmbLUTBitDepthClamp_currentIndexChanged(int index) {
    if (loadingControls_)
        return;
    draft_.setLUTBitDepth(lutBitDepthOfIndex(index), state_.settings);
    ShowHideApply();
}

void settings::on_chkEnableTrayIcon_toggled(bool checked) {
    edit(SettingItem::EnableTrayIcon, checked);
}

void settings::on_chkCheckForUpdates_toggled(bool checked) {
    edit(SettingItem::CheckForUpdates, checked);
}

void settings::on_chkStartAutomatically_toggled(bool checked) {
    edit(SettingItem::StartAutomatically, checked);
}

void settings::on_chkMinimizeToTray_toggled(bool checked) {
    edit(SettingItem::MinimizeToTray, checked);
}

void settings::ShowHideApply() {
    ui->btnApply->setEnabled(draft_.pendingChangeCount() > 0);
}

void settings::ChangeSettings() {
    SettingsEffects effects;
    effects.trayIconSwitched = [this](bool visible) { emit trayIconSwitched(visible); };
    effects.checkForUpdatesSwitched = [this](bool on) { emit checkForUpdatesSwitched(on); };
    draft_.apply(state_, effects);
}

void settings::on_btnOK_pressed() {
    ChangeSettings();
    confirming_ = true;
    close();
    confirming_ = false;
}

void settings::closeEvent(QCloseEvent* event) {
    // Closed unanswered, first-time setup leaves the user the main window;
    // it stays first-time setup until "OK".
    if (firstTime_ && !confirming_)
        emit firstTimeSetupCancelled();
    QWidget::closeEvent(event);
}

void settings::on_btnApply_pressed() {
    ChangeSettings();
    ui->btnApply->setEnabled(false);
}

void settings::on_btnCancel_pressed() {
    close();
}

void settings::uncheckCheckForUpdates() {
    loadingControls_ = true;
    ui->chkCheckForUpdates->setChecked(false);
    loadingControls_ = false;
}

void settings::showFirstTime() {
    setWindowTitle(QStringLiteral("First time setup"));
    if (!firstTime_)
        firstTime_ = connect(ui->btnOK, &QPushButton::pressed, this, &settings::ShowFirstTime);
    Load();
    activateWindow();
    raise();
    show();
}

void settings::ShowFirstTime() {
    // The file exists from now on, also when nothing was changed.
    saveSettings(state_.files.settings, state_.settings, state_.log);
    setWindowTitle(QStringLiteral("Settings"));
    disconnect(firstTime_);
    firstTime_ = {};
    emit firstTimeSetupDone();
}
