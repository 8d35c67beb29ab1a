// The lists' right-click menus: a monitor between global and mode-specific
// association, and deleting a monitor, a resolution or a mode.
#include <QMenu>

#include "operations/association_edit.h"
#include "operations/deletion.h"
#include "state/app_state.h"
#include "ui/main_window.h"
#include "ui_main_window.h"

QString MainWindow::runContextMenu(QListWidget* list, QPoint pos, const QStringList& items) {
    QMenu menu;
    for (const QString& item : items) menu.addAction(item);
    // The position arrives in the list's viewport.
    const QAction* chosen = menu.exec(list->viewport()->mapToGlobal(pos));
    return chosen ? chosen->text() : QString();
}

void MainWindow::ShowMonContextMenu(QPoint pos) {
    if (ui->listWidgetMon->currentRow() < 0)
        return;
    seekMonitor();
    const bool global = state_.tree.currentMonitor()->globalAssociation;
    const QString toGlobal = QStringLiteral("Change to Global");
    const QString toModeSpecific = QStringLiteral("Change to Mode-specific");
    const QString chosen = runContextMenu(ui->listWidgetMon, pos,
                                          {global ? toModeSpecific : toGlobal, QStringLiteral("Delete")});
    if (chosen == toGlobal) {
        changeToGlobal(state_);
        uiUpdating_ = true;
        ui->listWidgetRes->clear();
        ui->btnDetectRes->setEnabled(false);
        ui->btnDeleteAllRes->setEnabled(false);
        ui->listWidgetMode->clear();
        ui->btnDetectMode->setEnabled(false);
        ui->btnDeleteAllMode->setEnabled(false);
        hidePanel();
        ui->chkAssociate->setChecked(false);
        ui->radColorProfile->setChecked(false);
        ui->radPredefined->setChecked(false);
        ui->txtColorProfile->setText(QString());
        ui->cmbPredefined->setCurrentIndex(-1);
        ui->chkAssociate->show();
        selectedMonitorGlobal_ = true;
        uiUpdating_ = false;
    } else if (chosen == toModeSpecific) {
        const bool active = changeToModeSpecific(state_);
        selectedMonitorGlobal_ = false;
        hidePanel();
        if (active) {
            ui->listWidgetMode->clear();
            ui->listWidgetRes->clear();
            state_.tree.FillResolutionList(ui->listWidgetRes);
            ui->btnDetectRes->setEnabled(true);
        }
        ui->btnDeleteAllRes->setEnabled(true);
    } else if (chosen == QLatin1String("Delete")) {
        deleteCurrentMonitor(state_);
        hidePanel();
        ui->listWidgetMon->clear();
        ui->listWidgetRes->clear();
        ui->listWidgetMode->clear();
        fillMonitorList();
        if (state_.tree.IsEmpty()) {
            ui->actionStart->setEnabled(false);
            ui->btnDeleteAllMon->setEnabled(false);
        }
    }
}

void MainWindow::ShowResContextMenu(QPoint pos) {
    if (ui->listWidgetRes->currentRow() < 0)
        return;
    seekResolution();
    if (runContextMenu(ui->listWidgetRes, pos, {QStringLiteral("Delete")}).isEmpty())
        return;
    deleteCurrentResolution(state_);
    ui->listWidgetRes->clear();
    ui->listWidgetMode->clear();
    seekMonitor();
    state_.tree.FillResolutionList(ui->listWidgetRes);
    if (state_.tree.MonitorHasNoResolutions())
        ui->btnDeleteAllRes->setEnabled(false);
}

void MainWindow::ShowModeContextMenu(QPoint pos) {
    if (ui->listWidgetMode->currentRow() < 0)
        return;
    seekMode();
    if (runContextMenu(ui->listWidgetMode, pos, {QStringLiteral("Delete")}).isEmpty())
        return;
    deleteCurrentMode(state_);
    ui->listWidgetMode->clear();
    seekResolution();
    state_.tree.FillModeList(ui->listWidgetMode);
    if (state_.tree.ResolutionHasNoModes())
        ui->btnDeleteAllMode->setEnabled(false);
}
