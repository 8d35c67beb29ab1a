// The lists' right-click menus: switching a monitor between global and
// mode-specific association, and deleting a monitor, a resolution or a mode.
#include "window_fixture.h"

namespace {

struct Menus : Window {
    // A right-click on `list` that chooses `item` (empty: dismisses the
    // menu); what the menu offered.
    QStringList rightClick(QListWidget* list, const QString& item) {
        QStringList offered;
        chooseInNextMenu(item, &offered);
        emit list->customContextMenuRequested(QPoint(10, 10));
        return offered;
    }
    QStringList enabledButtons() const {
        QStringList names;
        for (const char* n : {"btnDetectRes", "btnDeleteAllRes", "btnDetectMode", "btnDeleteAllMode"})
            if (button(n)->isEnabled())
                names << n;
        return names;
    }
};

}  // namespace

class TestMainWindowMenus : public QObject {
    Q_OBJECT

private slots:
    void monitorMenuOffersTheOtherAssociationMode_data() {
        QTest::addColumn<bool>("global");
        QTest::newRow("mode-specific") << false;
        QTest::newRow("global") << true;
    }
    void monitorMenuOffersTheOtherAssociationMode() {
        QFETCH(bool, global);
        Menus f;
        global ? f.addGlobalMonitor(0, "RED") : f.addMonitor(0, "RED");
        f.open();
        f.mon()->setCurrentRow(0);
        QCOMPARE(f.rightClick(f.mon(), ""),
                 QStringList({global ? "Change to Mode-specific" : "Change to Global", "Delete"}));
        QCOMPARE(f.logText(), "");
    }

    void noCurrentRowNoMenu() {
        Menus f;
        f.addMonitor(0);
        f.open();
        emit f.mon()->customContextMenuRequested(QPoint(10, 10));
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(f.logText(), "");
    }

    void changeToGlobalDropsEveryModeAndItsAssociation() {
        Menus f;
        f.addMonitor(0, "GREEN");
        f.open();
        f.startLoop();
        f.mon()->setCurrentRow(0);
        f.res()->setCurrentRow(0);
        f.modes()->setCurrentRow(0);
        f.clearLog();
        f.rightClick(f.mon(), "Change to Global");
        QCOMPARE(f.res()->count() + f.modes()->count(), 0);
        QCOMPARE(f.enabledButtons(), QStringList());
        QVERIFY(f.widget("chkAssociate")->isVisible());
        QVERIFY(!f.w->findChild<QCheckBox*>("chkAssociate")->isChecked());
        for (const char* n : {"radColorProfile", "radPredefined", "txtColorProfile",
                              "cmbPredefined", "btnAssociateProfile"})
            QVERIFY(!f.widget(n)->isVisible());
        // The display loses GREEN at once; the switch is on disk.
        QVERIFY(f.afterLooping().startsWith("Stopping loop...\n" + saveLines +
                                            "[TS]Changing Profile - Current monitor:\n"));
        QVERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.linearRamp));
        QVERIFY(f.treeFile().contains("<global>\n\n</Monitor>"));
        QVERIFY(!f.treeFile().contains("GREEN"));
    }

    void changeToModeSpecific_data() {
        QTest::addColumn<bool>("connected");
        QTest::newRow("connected") << true;
        QTest::newRow("disconnected") << false;
    }
    void changeToModeSpecific() {
        QFETCH(bool, connected);
        Menus f;
        f.addGlobalMonitor(0, "RED");
        if (!connected)
            f.sim->detachMonitor(0, 0);
        f.open();
        f.mon()->setCurrentRow(0);
        f.rightClick(f.mon(), "Change to Mode-specific");
        const QString request = "[TS]Requested change to Mode-specific at Monitor:\n" +
                                WindowFixture::deviceId(0) +
                                "\nkey-0\nSim Monitor 0\nAdapter\n";
        if (connected) {
            QCOMPARE(f.logText(), request + "[TS]Detecting all resolutions at:\nMonitor:\n" +
                                      WindowFixture::monitorLines(0) +
                                      "\nDetected all resolutions successfully.\n\n" + saveLines);
            QCOMPARE(Window::items(f.res()), QStringList({"1920x1080", "1280x720"}));
            QCOMPARE(f.enabledButtons(), QStringList({"btnDetectRes", "btnDeleteAllRes"}));
        } else {
            QCOMPARE(f.logText(), request + saveLines);
            QCOMPARE(f.res()->count(), 0);
            QCOMPARE(f.enabledButtons(), QStringList({"btnDeleteAllRes"}));
        }
        QVERIFY(!f.treeFile().contains("<global>"));
        QVERIFY(!f.widget("chkAssociate")->isVisible());
    }

    void deletingTheModeOnScreenLoadsLinearBeforeTheRestart() {
        Menus f;
        f.addMonitor(0, "BLUE");
        f.open();
        f.startLoop();
        f.mon()->setCurrentRow(0);
        f.res()->setCurrentRow(0);
        f.modes()->setCurrentRow(0);
        f.clearLog();
        f.rightClick(f.modes(), "Delete");
        QCOMPARE(f.afterLooping(),
                 "[TS]Mode delete requested.\nStopping loop...\nDeleting mode at:\n\nMonitor:\n" +
                     WindowFixture::monitorLines(0) +
                     "\nResolution: 1920x1080\n\nMode:\nBits Per Pixel: 32\nDisplay Flags: "
                     "0\nDisplay Frequency: 60\n\nSuccessfully deleted mode.\n\n" +
                     saveLines + "[TS]Changing Profile - Current monitor:\n" +
                     WindowFixture::deviceId(0) +
                     "\nChanging to linear display calibration\nChanged to linear gamma ramp - hDC "
                     "= 0xH)\n\nRestarting loop...\nLooping...\n\n");
        QVERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.linearRamp));
        QCOMPARE(f.modes()->count(), 0);
        QVERIFY(!f.button("btnDeleteAllMode")->isEnabled());
    }

    // With the loop stopped by the user (and no linear load at the stop),
    // the display's record still holds the deleted mode's tint: the next
    // Start must not set it back, but load what nothing associated means.
    void deletingWhileStoppedIsNotSetBackAtTheNextStart() {
        Menus f;
        f.state->settings.loadLinearCurveOnExit = false;
        f.addMonitor(0, "BLUE");
        f.open();
        f.startLoop();
        QVERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.tintRamps[2]));
        f.state->loopControl->toggleLoop();
        f.mon()->setCurrentRow(0);
        f.res()->setCurrentRow(0);
        f.modes()->setCurrentRow(0);
        f.rightClick(f.modes(), "Delete");
        QVERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.tintRamps[2]));
        f.clearLog();
        f.state->loopControl->toggleLoop();
        QVERIFY(QTest::qWaitFor(
            [&] { return f.sim->gamma(0) == WindowFixture::table(f.state->ramps.linearRamp); },
            5000));
        QTest::qWait(50);  // a few more passes
        QVERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.linearRamp));
        QVERIFY2(!f.logText().contains("BLUE"), qPrintable(f.logText()));
    }

    void deletingAResolutionNotOnScreenLeavesTheDisplayAlone() {
        Menus f;
        f.addMonitor(0, "BLUE");
        f.open();
        f.startLoop();
        f.mon()->setCurrentRow(0);
        f.res()->setCurrentRow(1);
        f.clearLog();
        f.rightClick(f.res(), "Delete");
        QCOMPARE(f.afterLooping(),
                 "[TS]Resolution delete requested.\nStopping loop...\nDeleting resolution "
                 "at:\n\nMonitor:\n" + WindowFixture::monitorLines(0) +
                     "\n\nResolution: 1280x720\n\n\nSuccessfully deleted resolution.\n\n" +
                     saveLines + "Restarting loop...\nLooping...\n\n");
        QVERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.tintRamps[2]));
        QCOMPARE(Window::items(f.res()), QStringList({"1920x1080"}));
        QVERIFY(f.button("btnDeleteAllRes")->isEnabled());
    }

    void deletingTheLastMonitor() {
        Menus f;
        f.addMonitor(0);
        f.open();
        f.mon()->setCurrentRow(0);
        f.rightClick(f.mon(), "Delete");
        QCOMPARE(f.logText(), "[TS]Monitor delete requested.\nDeleting Monitor:\n" +
                                  WindowFixture::monitorLines(0) +
                                  "\nSuccessfully deleted monitor.\n\n" + saveLines);
        QCOMPARE(f.mon()->count(), 0);
        QVERIFY(!f.actionStart()->isEnabled());
        QVERIFY(!f.button("btnDeleteAllMon")->isEnabled());
    }
};

QTEST_MAIN(TestMainWindowMenus)
#include "tst_main_window_menus.moc"
