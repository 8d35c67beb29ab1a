#include "ui/main_window.h"

#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStatusBar>

#include "loop/command_line_start.h"
#include "operations/window_status.h"
#include "state/app_state.h"
#include "ui/fitted_font.h"
#include "ui/program_pictures.h"
#include "ui_main_window.h"

namespace {

const char* const predefinedItems[] = {"LINEAR", "NULL", "RED",  "GREEN",
                                       "BLUE",   "YELLOW", "CYAN", "MAGENTA"};

}  // namespace

MainWindow::MainWindow(AppState& state, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), state_(state), ui(std::make_unique<Ui::MainWindow>()) {
    ui->setupUi(this);
    fitFontToRectangles(this);
    // The window keeps its size: no grip that offers otherwise.
    statusBar()->setSizeGripEnabled(false);
    loopState_ = new QLabel(statusBar());
    loopState_->setObjectName(QStringLiteral("lblLoopState"));
    statusBar()->addWidget(loopState_, 1);

    // 1.-4. Nothing selected: the lower lists' buttons and the panel wait
    // for a selection; the keyboard starts on the monitors' "Detect".
    selectedMonitorGlobal_ = false;
    monitorSelected_ = false;
    for (QWidget* w : {static_cast<QWidget*>(ui->btnDetectRes), static_cast<QWidget*>(ui->btnDeleteAllRes),
                       static_cast<QWidget*>(ui->btnDetectMode),
                       static_cast<QWidget*>(ui->btnDeleteAllMode)})
        w->setEnabled(false);
    ui->actionStart->setEnabled(false);
    hidePanel();
    ui->btnDetectMon->setFocus(Qt::OtherFocusReason);

    // 5. The predefined associations.
    uiUpdating_ = true;
    for (const char* item : predefinedItems) ui->cmbPredefined->addItem(QIcon(), QString::fromLatin1(item));
    uiUpdating_ = false;

    // 6. The monitors of the tree.
    if (!state_.tree.IsEmpty()) {
        ui->actionStart->setEnabled(true);
        fillMonitorList();
    }

    // 7.-8. The tray icon and its menu, built anew at every right-click.
    trayIcon_ = std::make_unique<QSystemTrayIcon>();
    trayIcon_->setToolTip(QStringLiteral("Tavrin v1.05"));
    connect(trayIcon_.get(), &QSystemTrayIcon::activated, this, &MainWindow::TrayIconActivated);
    trayMenu_ = std::make_unique<QMenu>();
    state_.flags.startStopLabel = false;
    connect(trayMenu_.get(), &QMenu::triggered, this, &MainWindow::TrayIconModeTriggered);
    connect(trayMenu_.get(), &QMenu::aboutToShow, this, &MainWindow::fillTrayMenu);
    trayIcon_->setContextMenu(trayMenu_.get());
    state_.loopControl->onLoopToggled = [this](bool running) {
        setTrayPicture(running);
        showLoopState();
    };

    // 9. "-start" and "-hide": the loop part is done beneath; the window
    // shows what it did.
    const WindowStartState start =
        startForCommandLine(arguments, *state_.loopControl, state_.loopContext);
    startedHidden_ = start.startedHidden;
    windowShown_ = start.windowShown;
    setTrayPicture(start.trayPictureOn);
    if (start.actionStartReadsStop)
        ui->actionStart->setText(QStringLiteral("Stop"));
    if (start.trayVisible)
        trayIcon_->setVisible(true);

    // 10. The lists' right-click menus.
    connect(ui->listWidgetMon, &QWidget::customContextMenuRequested, this,
            &MainWindow::ShowMonContextMenu);
    connect(ui->listWidgetRes, &QWidget::customContextMenuRequested, this,
            &MainWindow::ShowResContextMenu);
    connect(ui->listWidgetMode, &QWidget::customContextMenuRequested, this,
            &MainWindow::ShowModeContextMenu);
    for (QListWidget* list : {ui->listWidgetMon, ui->listWidgetRes, ui->listWidgetMode})
        list->setContextMenuPolicy(Qt::CustomContextMenu);
    showLoopState();
}

void MainWindow::fillMonitorList() {
    state_.tree.FillMonitorList(ui->listWidgetMon);
    const QStringList tips = monitorToolTips(state_);
    for (int row = 0; row < ui->listWidgetMon->count() && row < tips.size(); ++row)
        ui->listWidgetMon->item(row)->setToolTip(tips[row]);
    showLoopState();
}

void MainWindow::showLoopState() {
    loopState_->setText(loopStateText(state_));
}

MainWindow::~MainWindow() {
    state_.loopControl->onLoopToggled = nullptr;
}

void MainWindow::applyTrayIconRule() {
    trayIcon_->setVisible(startedHidden_ || state_.settings.enableTrayIcon);
}

void MainWindow::setTrayIconVisible(bool visible) {
    trayIcon_->setVisible(visible);
}

void MainWindow::setTrayPicture(bool loopOn) {
    trayIcon_->setIcon(programIcon(loopOn));
}

void MainWindow::seekMonitor() {
    state_.tree.seekSelection(ui->listWidgetMon->currentRow());
}

void MainWindow::seekResolution() {
    state_.tree.seekSelection(ui->listWidgetMon->currentRow(), ui->listWidgetRes->currentRow());
}

void MainWindow::seekMode() {
    state_.tree.seekSelection(ui->listWidgetMon->currentRow(), ui->listWidgetRes->currentRow(),
                              ui->listWidgetMode->currentRow());
}

void MainWindow::seekPanelMode() {
    seekMonitor();
    if (!state_.tree.SelectGlobalMode())
        seekMode();
}
