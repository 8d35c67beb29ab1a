// The association panel: what the selected mode (or global monitor) is
// associated with, and "Associate Profile".
#include <QFileDialog>

#include "operations/association_edit.h"
#include "state/app_state.h"
#include "ui/main_window.h"
#include "ui_main_window.h"

namespace {

const char* const black = "color: black";
const char* const green = "color: green";
const char* const red = "color: red";

}  // namespace

void MainWindow::offerAssociate() {
    if (!uiUpdating_)
        ui->btnAssociateProfile->show();
}

void MainWindow::setAssociateButtonStyle(const char* styleSheet) {
    ui->btnAssociateProfile->setStyleSheet(QString::fromLatin1(styleSheet));
}

void MainWindow::ModeSelectionChange() {
    ui->chkAssociate->setChecked(false);
    ui->chkAssociate->hide();
    ui->radColorProfile->setChecked(false);
    ui->txtColorProfile->clear();
    ui->radPredefined->setChecked(false);
    ui->cmbPredefined->setCurrentIndex(0);
    ui->btnAssociateProfile->hide();

    const Mode& mode = *state_.tree.currentMode();
    const int keyword = ui->cmbPredefined->findText(mode.profile);
    if (mode.hasCurve || (!mode.profile.isEmpty() && keyword < 0)) {
        ui->chkAssociate->setChecked(true);
        ui->radColorProfile->setChecked(true);
        ui->txtColorProfile->setText(mode.profile);
        // A text that is neither a keyword nor a profile that was read.
        if (!mode.hasCurve)
            ui->txtColorProfile->setStyleSheet(QString::fromLatin1(red));
        ui->chkAssociate->show();
        ui->radColorProfile->show();
        ui->txtColorProfile->show();
    } else if (keyword >= 0) {
        ui->chkAssociate->setChecked(true);
        ui->radPredefined->setChecked(true);
        ui->cmbPredefined->setCurrentIndex(keyword);
        ui->chkAssociate->show();
        ui->radPredefined->show();
        ui->cmbPredefined->show();
    } else {
        ui->chkAssociate->show();
    }
}

void MainWindow::on_chkAssociate_toggled(bool checked) {
    setAssociateButtonStyle(black);
    if (checked) {
        ui->radColorProfile->show();
        ui->radPredefined->show();
        if (ui->radColorProfile->isChecked()) {
            ui->txtColorProfile->show();
            ui->btnColorProfileBrowse->show();
        } else if (ui->radPredefined->isChecked()) {
            ui->cmbPredefined->show();
        }
    } else {
        ui->radColorProfile->hide();
        ui->radPredefined->hide();
        ui->txtColorProfile->hide();
        ui->btnColorProfileBrowse->hide();
        ui->cmbPredefined->hide();
    }
    offerAssociate();
}

void MainWindow::on_radColorProfile_toggled(bool checked) {
    setAssociateButtonStyle(black);
    if (checked) {
        ui->radPredefined->setChecked(false);
        ui->txtColorProfile->show();
        ui->btnColorProfileBrowse->show();
    } else if (!ui->radPredefined->isChecked()) {
        // A chosen radio button cannot be unchosen by clicking it.
        if (!uiUpdating_)
            ui->radColorProfile->setChecked(true);
        return;
    } else {
        ui->txtColorProfile->hide();
        ui->btnColorProfileBrowse->hide();
    }
    offerAssociate();
}

void MainWindow::on_radPredefined_toggled(bool checked) {
    setAssociateButtonStyle(black);
    if (checked) {
        ui->radColorProfile->setChecked(false);
        ui->cmbPredefined->show();
    } else if (!ui->radColorProfile->isChecked()) {
        if (!uiUpdating_)
            ui->radPredefined->setChecked(true);
        return;
    } else {
        ui->cmbPredefined->hide();
    }
    offerAssociate();
}

void MainWindow::on_txtColorProfile_textChanged(QString) {
    ui->txtColorProfile->setStyleSheet(QString::fromLatin1(black));
    setAssociateButtonStyle(black);
    offerAssociate();
}

void MainWindow::on_cmbPredefined_currentIndexChanged(int) {
    setAssociateButtonStyle(black);
    offerAssociate();
}

void MainWindow::on_btnColorProfileBrowse_clicked() {
    ui->txtColorProfile->setText(QFileDialog::getOpenFileName(
        this, tr("Choose Color Profile"), QStringLiteral("/"), tr("Color Profiles (*.icc *icm)")));
}

void MainWindow::on_btnAssociateProfile_pressed() {
    seekPanelMode();
    const bool associate = ui->chkAssociate->isChecked();
    QString association;
    if (associate) {
        if (ui->radColorProfile->isChecked()) {
            association = ui->txtColorProfile->text();
        } else if (ui->radPredefined->isChecked()) {
            association = ui->cmbPredefined->currentText();
        } else {
            setAssociateButtonStyle(red);
            return;
        }
    }
    if (associateCurrentMode(state_, association, associate)) {
        setAssociateButtonStyle(green);
    } else {
        ui->txtColorProfile->setStyleSheet(QString::fromLatin1(red));
        setAssociateButtonStyle(red);
    }
}
