// The three lists and their buttons: selection changes, detection and
// "Delete All".
#include "operations/deletion.h"
#include "operations/detect.h"
#include "state/app_state.h"
#include "ui/main_window.h"
#include "ui_main_window.h"

void MainWindow::hidePanel() {
    for (QWidget* w : {static_cast<QWidget*>(ui->chkAssociate),
                       static_cast<QWidget*>(ui->radColorProfile),
                       static_cast<QWidget*>(ui->radPredefined),
                       static_cast<QWidget*>(ui->txtColorProfile),
                       static_cast<QWidget*>(ui->btnColorProfileBrowse),
                       static_cast<QWidget*>(ui->cmbPredefined),
                       static_cast<QWidget*>(ui->btnAssociateProfile)})
        w->hide();
}

void MainWindow::on_listWidgetMon_currentRowChanged(int row) {
    if (row == -1) {
        if (selectedMonitorGlobal_) {
            hidePanel();
        } else {
            ui->btnDetectRes->setEnabled(false);
            ui->btnDeleteAllRes->setEnabled(false);
        }
        monitorSelected_ = false;
        return;
    }
    uiUpdating_ = true;
    // The lower lists hold something only while a mode-specific monitor
    // was selected.
    if (monitorSelected_ && !selectedMonitorGlobal_) {
        ui->listWidgetRes->clear();
        ui->listWidgetMode->clear();
    }
    seekMonitor();
    Tree& tree = state_.tree;
    const bool global = tree.currentMonitor()->globalAssociation;
    if (global) {
        tree.SelectGlobalMode();
        ui->btnDetectRes->setEnabled(false);
        ui->btnDeleteAllRes->setEnabled(false);
        ModeSelectionChange();
    } else {
        hidePanel();
        tree.FillResolutionList(ui->listWidgetRes);
        ui->btnDetectRes->setEnabled(currentMonitorIsActive(state_));
        ui->btnDeleteAllRes->setEnabled(!tree.MonitorHasNoResolutions());
    }
    monitorSelected_ = true;
    selectedMonitorGlobal_ = global;
    uiUpdating_ = false;
}

void MainWindow::on_listWidgetRes_currentRowChanged(int row) {
    if (row == -1) {
        ui->btnDetectMode->setEnabled(false);
        ui->btnDeleteAllMode->setEnabled(false);
        return;
    }
    uiUpdating_ = true;
    hidePanel();
    ui->listWidgetMode->clear();
    seekResolution();
    state_.tree.FillModeList(ui->listWidgetMode);
    ui->btnDetectMode->setEnabled(currentMonitorIsActive(state_));
    ui->btnDeleteAllMode->setEnabled(!state_.tree.ResolutionHasNoModes());
    uiUpdating_ = false;
}

void MainWindow::on_listWidgetMode_currentRowChanged(int row) {
    if (row == -1) {
        hidePanel();
        ui->listWidgetMode->clear();
        return;
    }
    seekMode();
    uiUpdating_ = true;
    ModeSelectionChange();
    uiUpdating_ = false;
}

void MainWindow::on_btnDetectMon_clicked() {
    if (!state_.tree.IsEmpty()) {
        ui->listWidgetMon->clear();
        ui->listWidgetRes->clear();
        ui->listWidgetMode->clear();
    }
    detectMonitors(state_);
    const bool hasMonitor = !state_.tree.IsEmpty();
    if (hasMonitor)
        ui->actionStart->setEnabled(true);
    fillMonitorList();
    if (hasMonitor)
        ui->btnDeleteAllMon->setEnabled(true);
}

void MainWindow::on_btnDetectRes_clicked() {
    logDetectResolutionsRequest(state_);
    seekMonitor();
    detectRes();
}

void MainWindow::detectRes() {
    detectResolutions(state_);
    ui->listWidgetMode->clear();
    ui->listWidgetRes->clear();
    state_.tree.FillResolutionList(ui->listWidgetRes);
    ui->btnDeleteAllRes->setEnabled(!state_.tree.MonitorHasNoResolutions());
}

void MainWindow::on_btnDetectMode_clicked() {
    seekResolution();
    if (detectModes(state_)) {
        ui->listWidgetMode->clear();
        state_.tree.FillModeList(ui->listWidgetMode);
    }
    ui->btnDeleteAllMode->setEnabled(!state_.tree.ResolutionHasNoModes());
}

void MainWindow::on_btnDeleteAllMon_clicked() {
    deleteAllMonitors(state_);
    ui->listWidgetMode->clear();
    ui->listWidgetRes->clear();
    ui->listWidgetMon->clear();
    ui->btnDeleteAllMon->setEnabled(false);
    ui->actionStart->setEnabled(false);
    showLoopState();
}

void MainWindow::on_btnDeleteAllRes_clicked() {
    seekMonitor();
    deleteAllResolutions(state_);
    ui->listWidgetMode->clear();
    ui->listWidgetRes->clear();
    ui->btnDeleteAllRes->setEnabled(false);
}

void MainWindow::on_btnDeleteAllMode_clicked() {
    seekResolution();
    deleteAllModes(state_);
    ui->listWidgetMode->clear();
    ui->btnDeleteAllMode->setEnabled(false);
}
