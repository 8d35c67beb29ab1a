// The windows and the update check that start-up makes, and the links
// between them: each window asks the others for what it needs through its
// signals, connected here, so that none of them knows another.
#pragma once

class About;
class MainWindow;
class UpdateCheck;
class UpdateDialog;
class settings;

struct Windows {
    MainWindow* mainWindow = nullptr;
    settings* settingsWindow = nullptr;
    UpdateDialog* updateDialog = nullptr;
    UpdateCheck* updateChecker = nullptr;
    About* aboutWindow = nullptr;
};

// Connects every signal of one window to what it asks of another. All
// five must exist.
void linkWindows(const Windows& w);
