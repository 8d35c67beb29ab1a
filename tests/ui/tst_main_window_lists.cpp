// The main window's three lists: selection, detection and "Delete All",
// with the loop stopped and restarted around deletions.
#include <QComboBox>

#include "window_fixture.h"

class TestMainWindowLists : public QObject {
    Q_OBJECT

private slots:
    void monitorListFollowsTheTree_data() {
        QTest::addColumn<int>("monitors");
        QTest::newRow("empty tree") << 0;
        QTest::newRow("two monitors") << 2;
    }
    void monitorListFollowsTheTree() {
        QFETCH(int, monitors);
        Window f;
        for (int i = 0; i < monitors; ++i) f.addMonitor(i);
        f.open();
        QCOMPARE(f.mon()->count(), monitors);
        QCOMPARE(f.actionStart()->isEnabled(), monitors > 0);
        if (monitors)
            QCOMPARE(f.mon()->item(1)->text(), "SIM1 - Sim Monitor 1\nAdapter\n");
    }

    // Two monitors of one model read alike in the list; the tool tip tells
    // the output each is on and the serial number its identity holds.
    void monitorsThatLookAlikeAreToldApart_data() {
        QTest::addColumn<QString>("deviceId");
        QTest::addColumn<bool>("active");
        QTest::addColumn<QString>("tip");
        QTest::newRow("active, serial from the EDID")
            << "MONITOR\\DELA112\\CN0ABC123\\0000" << true
            << "Output: \\\\.\\DISPLAY1\nSerial number: CN0ABC123";
        QTest::newRow("not active, serial from the EDID")
            << "MONITOR\\DELA112\\CN0ABC124\\0000" << false
            << "Not active now\nSerial number: CN0ABC124";
        QTest::newRow("no EDID") << "MONITOR\\Default_Monitor\\DUMMY0\\0000" << true
                                 << "Output: \\\\.\\DISPLAY1";
        QTest::newRow("the system's class in place of a serial")
            << "MONITOR\\DEL4083\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001" << true
            << "Output: \\\\.\\DISPLAY1";
    }
    void monitorsThatLookAlikeAreToldApart() {
        QFETCH(QString, deviceId);
        QFETCH(bool, active);
        QFETCH(QString, tip);
        Window f(1);
        const DISPLAY_DEVICEA monitor =
            SimDisplaySystem::makeMonitor(deviceId.toStdString(), "key", "DELL U2412M");
        f.sim->detachMonitor(0, 0);
        if (active)
            f.sim->attachMonitor(0, monitor);
        f.state->tree.AppendMonitor(monitor, "Adapter");
        f.open();
        QCOMPARE(f.mon()->item(0)->toolTip(), tip);
        QCOMPARE(f.mon()->item(0)->text(),
                 deviceId.section('\\', 1, 1) + " - DELL U2412M\nAdapter\n");
    }

    void globalMonitorShowsItsAssociationThenModeSpecificFillsItsResolutions() {
        Window f;
        f.addGlobalMonitor(0, "CYAN");
        f.addMonitor(1);
        f.open();
        f.mon()->setCurrentRow(0);
        QCOMPARE(f.res()->count(), 0);
        QCOMPARE(f.modes()->count(), 0);
        QVERIFY(!f.button("btnDetectRes")->isEnabled() && !f.button("btnDeleteAllRes")->isEnabled());
        QVERIFY(!f.widget("chkAssociate")->isHidden());
        QVERIFY(!f.widget("cmbPredefined")->isHidden());
        QCOMPARE(f.w->findChild<QComboBox*>("cmbPredefined")->currentIndex(), 6);
        QVERIFY(f.widget("btnAssociateProfile")->isHidden());

        f.mon()->setCurrentRow(1);
        QCOMPARE(Window::items(f.res()), QStringList({"1920x1080", "1280x720"}));
        QVERIFY(f.button("btnDetectRes")->isEnabled() && f.button("btnDeleteAllRes")->isEnabled());
        QVERIFY(f.widget("chkAssociate")->isHidden());
        f.res()->setCurrentRow(1);
        QCOMPARE(Window::items(f.modes()), QStringList({"1280x720x32 @ 60Hz"}));
        QVERIFY(f.button("btnDetectMode")->isEnabled());
        // Back to the global monitor: the lower lists are emptied.
        f.mon()->setCurrentRow(0);
        QCOMPARE(f.res()->count(), 0);
        QCOMPARE(f.modes()->count(), 0);
        QVERIFY(!f.button("btnDetectMode")->isEnabled());
    }

    void disconnectedMonitorCannotBeDetected() {
        Window f;
        f.addMonitor(0);
        f.sim->detachMonitor(0, 0);
        f.open();
        f.mon()->setCurrentRow(0);
        QCOMPARE(f.res()->count(), 2);
        QVERIFY(!f.button("btnDetectRes")->isEnabled());
        QVERIFY(f.button("btnDeleteAllRes")->isEnabled());
        f.res()->setCurrentRow(0);
        QVERIFY(!f.button("btnDetectMode")->isEnabled());
        QVERIFY(f.button("btnDeleteAllMode")->isEnabled());
    }

    void detectMonitors_data() {
        QTest::addColumn<bool>("treeHeldOne");
        QTest::newRow("empty tree") << false;
        QTest::newRow("tree with an associated monitor") << true;
    }
    void detectMonitors() {
        QFETCH(bool, treeHeldOne);
        Window f;
        if (treeHeldOne) {
            f.addMonitor(0, "RED");
            f.sim->setModes(0, {WindowFixture::mode1080});  // detection must not matter
        }
        f.open();
        if (treeHeldOne) {
            f.mon()->setCurrentRow(0);
            f.res()->setCurrentRow(0);
            QCOMPARE(f.modes()->count(), 1);
        }
        press(f.button("btnDetectMon"));
        QCOMPARE(f.logText(),
                 "[TS]Detect Monitors button pressed.\nDetecting new monitors, resolutions, and "
                 "modes...\n" + saveLines);
        QCOMPARE(f.mon()->count(), 2);
        QCOMPARE(f.res()->count(), 0);
        QCOMPARE(f.modes()->count(), 0);
        QVERIFY(f.actionStart()->isEnabled() && f.button("btnDeleteAllMon")->isEnabled());
        QVERIFY(f.state->flags.treeLoaded);
        // The association is kept, and what the window shows is on disk.
        QCOMPARE(f.treeFile().contains("\"RED\""), treeHeldOne);
        QCOMPARE(f.treeFile().count("<Monitor>"), 2);
        f.mon()->setCurrentRow(0);
        QCOMPARE(f.res()->count(), 2);
    }

    void detectResolutionsAndModesKeepAssociations() {
        Window f;
        f.addMonitor(0, "GREEN");
        f.sim->setModes(0, {WindowFixture::mode720, WindowFixture::mode1080,
                            SimDisplaySystem::makeMode(1920, 1080, 32, 75)});
        f.open();
        f.mon()->setCurrentRow(0);
        press(f.button("btnDetectRes"));
        QCOMPARE(Window::items(f.res()), QStringList({"1280x720", "1920x1080"}));
        QCOMPARE(f.logText(), "[TS]Detect Resolutions button pressed.\n[TS]Detecting all resolutions "
                              "at:\nMonitor:\n" + WindowFixture::monitorLines(0) +
                                  "\nDetected all resolutions successfully.\n\n" + saveLines);
        f.clearLog();
        f.res()->setCurrentRow(1);
        press(f.button("btnDetectMode"));
        QCOMPARE(Window::items(f.modes()), QStringList({"1920x1080x32 @ 60Hz", "1920x1080x32 @ 75Hz"}));
        QCOMPARE(f.logText(), "[TS]Detect Modes button pressed.\nDetecting all modes at:\nMonitor:\n" +
                                  WindowFixture::monitorLines(0) +
                                  "\nResolution: 1920x1080\n\nDetected all modes successfully.\n\n" +
                                  saveLines);
        QVERIFY(f.treeFile().contains("\"GREEN\""));
        // Disconnected meanwhile: the modes stay, nothing is saved.
        f.sim->detachMonitor(0, 0);
        f.clearLog();
        press(f.button("btnDetectMode"));
        QVERIFY(f.logText().endsWith("Failed to detect modes.\n\n"));
        QCOMPARE(f.modes()->count(), 2);
    }

    void deleteAllResolutionsUnderTheRunningLoop_data() {
        QTest::addColumn<bool>("linearByDefault");
        QTest::newRow("linear by default") << true;
        QTest::newRow("nothing by default") << false;
    }
    void deleteAllResolutionsUnderTheRunningLoop() {
        QFETCH(bool, linearByDefault);
        Window f;
        f.state->settings.loadLinearCurveByDefault = linearByDefault;
        const QString profile = f.writeProfile("display.icc", 1.8);
        f.addMonitor(0, profile);
        f.open();
        f.startLoop();
        const GammaTable768 profileTable = f.sim->gamma(0);
        QVERIFY(profileTable != WindowFixture::table(f.state->ramps.linearRamp));
        f.clearLog();

        f.mon()->setCurrentRow(0);
        press(f.button("btnDeleteAllRes"));
        const QString linearLines =
            "[TS]Changing Profile - Current monitor:\n" + WindowFixture::deviceId(0) +
            "\nChanging to linear display calibration\nChanged to linear gamma ramp - hDC = 0xH)\n\n";
        QCOMPARE(f.afterLooping(),
                 "[TS]Resolutions delete requested.\n\nStopping loop...\n\nDeleting all resolutions "
                 "at:\nMonitor:\n" + WindowFixture::monitorLines(0) +
                     "\nDeleted all resolutions successfully.\n\n" + saveLines +
                     (linearByDefault ? linearLines : QString()) +
                     "Restarting loop...\nLooping...\n\n");
        QVERIFY(f.state->loopThread->isRunning() && f.state->flags.loopRunning);
        QCOMPARE(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.linearRamp), linearByDefault);
        QCOMPARE(f.sim->gamma(0) == profileTable, !linearByDefault);
        QCOMPARE(f.res()->count(), 0);
        QVERIFY(!f.button("btnDeleteAllRes")->isEnabled());
        QVERIFY(!f.treeFile().contains("<Resolution>"));
    }

    void deleteAllModesOfAResolutionNotOnScreen() {
        Window f;
        f.addMonitor(0, "BLUE");
        f.open();
        f.startLoop();
        f.clearLog();
        f.mon()->setCurrentRow(0);
        f.res()->setCurrentRow(1);  // 1280x720; the display runs 1920x1080
        press(f.button("btnDeleteAllMode"));
        QCOMPARE(f.afterLooping(), "[TS]Modes delete requested.\nStopping loop...\nDeleting all modes "
                                   "at:\nMonitor:\n" + WindowFixture::monitorLines(0) +
                                       "\nResolution: 1280x720\n\nDeleted all modes successfully.\n\n" +
                                       saveLines + "Restarting loop...\nLooping...\n\n");
        f.state->activeDisplays.ResetCursor();
        QVERIFY(f.state->activeDisplays.NextDisplay());
        QCOMPARE(f.state->activeDisplays.CurrentProfile(), "BLUE");
        QVERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.tintRamps[2]));
        QCOMPARE(f.modes()->count(), 0);
        QVERIFY(!f.button("btnDeleteAllMode")->isEnabled());
    }

    void deleteAllWhileTheLoopIsStoppedLeavesItStopped() {
        Window f;
        f.addMonitor(0, "RED");
        f.open();
        f.mon()->setCurrentRow(0);
        f.res()->setCurrentRow(0);
        press(f.button("btnDeleteAllMode"));
        QVERIFY(!f.logText().contains("loop"));
        QVERIFY(!f.state->loopThread->isRunning());
    }

    void deleteAllMonitorsLeavesTheLoopRunningOnAnEmptyTree() {
        Window f;
        f.addMonitor(0, "RED");
        f.addMonitor(1);
        f.open();
        f.startLoop();
        f.clearLog();
        f.mon()->setCurrentRow(1);
        press(f.button("btnDeleteAllMon"));
        const QString linear = "[TS]Changing Profile - Current monitor:\n" +
                               WindowFixture::deviceId(0) +
                               "\nChanging to linear display calibration\nChanged to linear gamma "
                               "ramp - hDC = 0xH)\n\n";
        // Only the display that showed an association is emptied.
        QCOMPARE(f.afterLooping(), "[TS]Monitors delete requested.\n\nStopping loop...\n\nDeleting all "
                                   "monitors.\nDeleted all monitors successfully.\n\n" +
                                       saveLines + linear + "Restarting loop...\nLooping...\n\n");
        QVERIFY(f.state->loopThread->isRunning());
        QVERIFY(f.state->tree.IsEmpty());
        QCOMPARE(f.mon()->count() + f.res()->count() + f.modes()->count(), 0);
        QVERIFY(!f.actionStart()->isEnabled() && !f.button("btnDeleteAllMon")->isEnabled());
        QCOMPARE(f.treeFile(), "<v1.04>");
    }
};

QTEST_MAIN(TestMainWindowLists)
#include "tst_main_window_lists.moc"
