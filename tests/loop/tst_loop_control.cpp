// Starting and stopping the watch loop on its thread: the user's toggle,
// the pause around changes, the linear ramps on stop and exit, the exit
// handler and the command line's start.
#include <QTest>

#include "loop/command_line_start.h"
#include "loop/loop_control.h"
#include "loop/my_thread.h"
#include "loop_fixture.h"

namespace {

// A fixture with the loop thread and its control.
struct Control : LoopFixture {
    MyThread thread{ctx};
    LoopControl control{ctx, thread};
    std::vector<bool> toggles;

    Control() {
        control.onLoopToggled = [this](bool on) { toggles.push_back(on); };
    }
    ~Control() { thread.stopLoop(); }

    // Waits until the loop has applied every display once. Each display's
    // block holds the log from before its device context is opened to its
    // last line, so once the last context is opened, taking the log waits
    // for that block to end.
    bool waitForFirstPass() {
        if (!QTest::qWaitFor([this] { return sim.calls().createDC >= displays; }, 5000))
            return false;
        LogGroup barrier = log.group();
        return true;
    }
};

QString linearBlock(int i, const QString& middle = {}) {
    return "Current monitor:\n" + LoopFixture::deviceId(i) + "\nCreated hDC - 0xH\n" + middle +
           "Loading linear display calibration\n(Loaded linear gamma ramp - hDC = 0xH)\n\n";
}

}  // namespace

class TestLoopControl : public QObject {
    Q_OBJECT

private slots:
    void toggleStartsAndStopsWithLinearRampsForKnownDisplays() {
        Control c;
        c.associate(0, "RED");
        c.associate(1, "NULL");  // display 2 is unknown to the tree
        c.flags.suppressChangeMsg = true;
        c.control.toggleLoop();
        QVERIFY(c.flags.loopRunning);
        QVERIFY(c.flags.startStopLabel);
        QVERIFY(c.thread.isRunning());
        QVERIFY(c.waitForFirstPass());
        // RED and linear by default; "NULL" is left alone.
        QTRY_VERIFY(c.logText().count("(Loaded ") == 2);
        QVERIFY(c.logText().startsWith("\n[TS]Start loop called.\n\nLooping...\n\n"));
        const GammaTable768 unknownDisplay = c.sim.gamma(2);
        c.clearLog();

        c.control.toggleLoop();
        QVERIFY(!c.flags.loopRunning);
        QVERIFY(!c.flags.startStopLabel);
        QVERIFY(!c.thread.isRunning());
        QCOMPARE(c.logText(),
                 "\n[TS]Stop loop called.\nStopping loop...\n\n"
                 "[TS]Loading linear gamma ramps...\n\n" +
                     linearBlock(0) + linearBlock(1) + "\n");
        QVERIFY(c.sim.gamma(0) == LoopFixture::table(c.ramps.linearRamp));
        QVERIFY(c.sim.gamma(1) == LoopFixture::table(c.ramps.linearRamp));
        QVERIFY(c.sim.gamma(2) == unknownDisplay);
        QVERIFY(c.activeDisplays.isEmpty());
        QCOMPARE(c.toggles, (std::vector<bool>{true, false}));
        QCOMPARE(c.sim.openDeviceContexts(), 0);

        // The next start applies every association again, without the
        // change line when the starter suppresses it.
        c.clearLog();
        c.flags.suppressChangeMsg = true;
        c.control.toggleLoop();
        QTRY_VERIFY(c.logText().count("(Loaded ") == 2);
        QVERIFY(!c.logText().contains("change(s) detected"));
        QVERIFY(c.sim.gamma(0) == LoopFixture::table(c.ramps.tintRamps[0]));
    }

    void stopWithoutLinearOnExitTouchesNothing() {
        Control c;
        c.settings.loadLinearCurveOnExit = false;
        c.associate(0, "BLUE");
        c.control.toggleLoop();
        QVERIFY(c.waitForFirstPass());
        QTRY_VERIFY(c.logText().count("(Loaded ") == 3);
        c.control.toggleLoop();
        QVERIFY(!c.logText().contains("Loading linear gamma ramps"));
        QCOMPARE(c.activeDisplays.size(), 3);
        QVERIFY(c.sim.gamma(0) == LoopFixture::table(c.ramps.tintRamps[2]));
        // Started again, it applies nothing: the configuration is unchanged.
        c.clearLog();
        const int contexts = c.sim.calls().createDC;
        const int reads = c.sim.calls().getDeviceGammaRamp;
        c.control.toggleLoop();
        // A pass of the drift test (three read-backs) has run.
        QTRY_VERIFY(c.sim.calls().getDeviceGammaRamp >= reads + 3);
        c.control.toggleLoop();
        QCOMPARE(c.sim.calls().createDC, contexts);
        QVERIFY(!c.logText().contains("Current monitor:"));
    }

    void linearRampsLogTheirCases() {
        Control c;
        c.settings.loadLinearCurveByDefault = false;
        c.associate(0, "");                                        // known, nothing associated
        c.tree.AppendMonitor(LoopFixture::monitor(1), "Adapter");  // known, mode unknown
        c.control.loadLinearRampsOnAllMonitors();
        QCOMPARE(c.logText(),
                 "[TS]Loading linear gamma ramps...\n\n"
                 "Current monitor:\n" +
                     LoopFixture::deviceId(0) +
                     "\nCreated hDC - 0xH\nDoing nothing\n\n"
                     "Current monitor:\n" +
                     LoopFixture::deviceId(1) +
                     "\nCreated hDC - 0xH\nMode is NULL.\nDoing nothing\n\n\n");
    }

    void pauseStopsAndRestartsOnlyARunningLoop() {
        Control c;
        {
            LoopControl::LoopPause pause = c.control.pauseLoop("Stopping loop...\n", false);
            QVERIFY(!pause.wasRunning());
        }
        QCOMPARE(c.logText(), QString());
        QVERIFY(!c.thread.isRunning());

        c.control.toggleLoop();
        QVERIFY(c.waitForFirstPass());
        c.clearLog();
        {
            LoopControl::LoopPause pause = c.control.pauseLoop("Stopping loop...\n\n", true);
            QVERIFY(pause.wasRunning());
            QVERIFY(!c.thread.isRunning());
            QVERIFY(c.flags.loopRunning);  // the user's state does not change
            c.log.group() << "the change\n";
        }
        QVERIFY(c.thread.isRunning());
        QTRY_VERIFY(c.logText().endsWith("Looping...\n\n"));
        QCOMPARE(c.logText(),
                 "[TS]Stopping loop...\n\nthe change\nRestarting loop...\nLooping...\n\n");
        QCOMPARE(c.toggles, std::vector<bool>{true});
    }

    // The user's Start inside a pause: the state and the log line at once,
    // the thread only when the pause ends, and no "Restarting loop..."
    // (the loop did not run before).
    void startInsideAPauseTakesEffectWhenThePauseEnds() {
        Control c;
        {
            LoopControl::LoopPause pause = c.control.pauseLoop("Stopping loop...\n", false);
            c.flags.suppressChangeMsg = true;
            c.control.toggleLoop();
            QVERIFY(c.flags.loopRunning);
            QVERIFY(c.flags.startStopLabel);
            QCOMPARE(c.toggles, std::vector<bool>{true});
            QVERIFY(!c.thread.isRunning());
            // The caller's change is not raced by the loop.
            c.activeDisplays.Clear();
            c.log.group() << "the change\n";
            QCOMPARE(c.sim.calls().enumDisplayDevices, 0);
        }
        QVERIFY(c.thread.isRunning());
        QVERIFY(c.waitForFirstPass());
        QVERIFY2(c.logText().startsWith("\n[TS]Start loop called.\n\nthe change\nLooping...\n\n"),
                 qPrintable(c.logText()));
        QVERIFY(!c.logText().contains("Restarting loop..."));
    }

    // The user's Stop inside a pause: the linear ramps wait for the caller
    // to finish, then come; the loop stays stopped.
    void stopInsideAPauseTakesEffectWhenThePauseEnds() {
        Control c;
        c.associate(0, "RED");
        c.flags.suppressChangeMsg = true;
        c.control.toggleLoop();
        QVERIFY(c.waitForFirstPass());
        QTRY_VERIFY(c.logText().count("(Loaded ") == 3);
        c.clearLog();
        {
            LoopControl::LoopPause pause = c.control.pauseLoop("Stopping loop...\n", false);
            c.control.toggleLoop();
            QVERIFY(!c.flags.loopRunning);
            QVERIFY(!c.flags.startStopLabel);
            QCOMPARE(c.toggles, (std::vector<bool>{true, false}));
            QVERIFY(!c.logText().contains("Loading linear gamma ramps"));
            QVERIFY(c.sim.gamma(0) == LoopFixture::table(c.ramps.tintRamps[0]));
            QCOMPARE(c.activeDisplays.size(), 3);
            c.log.group() << "the change\n";
        }
        QVERIFY(!c.thread.isRunning());
        QCOMPARE(c.logText(),
                 "Stopping loop...\n\n[TS]Stop loop called.\nStopping loop...\n\n"
                 "the change\n[TS]Loading linear gamma ramps...\n\n" +
                     linearBlock(0) + "\n");
        QVERIFY(c.sim.gamma(0) == LoopFixture::table(c.ramps.linearRamp));
        QVERIFY(c.activeDisplays.isEmpty());
    }

    // Stop, then Start, inside one pause: the Stop's ramps, then the loop,
    // which applies every display again.
    void stopAndStartInsideAPause() {
        Control c;
        c.associate(0, "RED");
        c.control.toggleLoop();
        QVERIFY(c.waitForFirstPass());
        c.clearLog();
        {
            LoopControl::LoopPause pause = c.control.pauseLoop("Stopping loop...\n", false);
            c.control.toggleLoop();
            c.flags.suppressChangeMsg = true;
            c.control.toggleLoop();
            QVERIFY(!c.thread.isRunning());
        }
        QVERIFY(c.thread.isRunning());
        QVERIFY(c.waitForFirstPass());
        QTRY_VERIFY(c.logText().section("Looping...", 1).count("(Loaded ") == 3);
        const QString log = c.logText();
        QVERIFY(log.indexOf("Loading linear gamma ramps") < log.indexOf("Looping..."));
        QVERIFY(!log.contains("Restarting loop..."));
        QTRY_VERIFY(c.sim.gamma(0) == LoopFixture::table(c.ramps.tintRamps[0]));
    }

    void nestedPausesRestartWhenTheLastEnds() {
        Control c;
        c.control.toggleLoop();
        QVERIFY(c.waitForFirstPass());
        c.clearLog();
        {
            LoopControl::LoopPause outer = c.control.pauseLoop("Stopping loop...\n", false);
            {
                LoopControl::LoopPause inner = c.control.pauseLoop("Stopping loop...\n", false);
                QVERIFY(!inner.wasRunning());
            }
            QVERIFY(!c.thread.isRunning());
            QVERIFY(c.control.pauseHeld());
        }
        QVERIFY(!c.control.pauseHeld());
        QVERIFY(c.thread.isRunning());
        QTRY_VERIFY(c.logText().endsWith("Looping...\n\n"));
        QCOMPARE(c.logText(), "Stopping loop...\nRestarting loop...\nLooping...\n\n");
    }

    // A thread the system refuses to create: the failure is logged, the
    // loop counts as stopped, and nothing waits for a run that never began.
    void aThreadThatCannotStartLeavesTheLoopStopped() {
        Control c;
        // A stack below the system's minimum: the thread is refused.
        c.thread.setStackSize(1);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^QThread::start: "));
        c.control.toggleLoop();
        QVERIFY(!c.thread.isRunning());
        QVERIFY(!c.flags.loopRunning);
        QVERIFY(!c.flags.startStopLabel);
        QCOMPARE(c.toggles, std::vector<bool>{false});
        QCOMPARE(c.logText(), "\n[TS]Start loop called.\n\n[TS]Failed to start loop.\n\n");
        // Every stop returns: the user's, the protocol's, the exit handler's.
        c.thread.stopLoop();
        { LoopControl::LoopPause pause = c.control.pauseLoop("Stopping loop...\n", false); }
        c.clearLog();
        c.control.onApplicationExit();
        QCOMPARE(c.logText(), "\n[TS]Application exit called.\n\nExiting application...\n");

        // Possible again, the next Start runs the loop.
        c.thread.setStackSize(0);
        c.control.toggleLoop();
        QVERIFY(c.thread.isRunning());
        QVERIFY(c.flags.loopRunning);
    }

    void aRestartThatCannotStartLeavesTheLoopStopped() {
        Control c;
        c.control.toggleLoop();
        QVERIFY(c.waitForFirstPass());
        c.clearLog();
        {
            LoopControl::LoopPause pause = c.control.pauseLoop("Stopping loop...\n", false);
            c.thread.setStackSize(1);
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^QThread::start: "));
        }
        QVERIFY(!c.thread.isRunning());
        QVERIFY(!c.flags.loopRunning);
        QCOMPARE(c.toggles, (std::vector<bool>{true, false}));
        QCOMPARE(c.logText(),
                 "Stopping loop...\nRestarting loop...\n[TS]Failed to start loop.\n\n");
        c.thread.stopLoop();
    }

    void commandLineStartThatCannotStart() {
        Control c;
        c.thread.setStackSize(1);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^QThread::start: "));
        const WindowStartState s = startForCommandLine({"-start"}, c.control, c.ctx);
        QVERIFY(!c.thread.isRunning());
        QVERIFY(!c.flags.loopRunning);
        QVERIFY(!c.flags.startStopLabel);
        QVERIFY(!s.trayPictureOn);
        QVERIFY(!s.actionStartReadsStop);
        QVERIFY(c.logText().endsWith("[TS]Failed to start loop.\n\n"));
    }

    // Linear ramps at exit only where the loop ran in this process (running
    // now, or stopped by the user): a process that never ran it found the
    // displays as another program or run left them.
    void exitHandler_data() {
        QTest::addColumn<int>("loop");  // 0 never ran, 1 running, 2 ran and was stopped
        QTest::addColumn<bool>("treeLoaded");
        QTest::addColumn<bool>("linearOnExit");
        QTest::addColumn<QString>("expected");
        const QString head = "\n[TS]Application exit called.\n\n";
        const QString tail = "Exiting application...\n";
        const QString ramps = "[TS]Loading linear gamma ramps...\n\n" + linearBlock(0) + "\n";
        QTest::newRow("never ran, tree never loaded") << 0 << false << true << head + tail;
        QTest::newRow("running, tree never loaded")
            << 1 << false << true << head + "Stopping loop...\n\n" + tail;
        QTest::newRow("never ran, tree loaded") << 0 << true << true << head + tail;
        QTest::newRow("stopped by the user, tree loaded") << 2 << true << true << head + ramps + tail;
        QTest::newRow("running, tree loaded")
            << 1 << true << true << head + "Stopping loop...\n\n" + ramps + tail;
        QTest::newRow("tree loaded, no linear on exit") << 2 << true << false << head + tail;
    }

    void exitHandler() {
        QFETCH(int, loop);
        QFETCH(bool, treeLoaded);
        QFETCH(bool, linearOnExit);
        QFETCH(QString, expected);
        Control c;
        c.associate(0, "GREEN");
        c.flags.treeLoaded = treeLoaded;
        c.settings.loadLinearCurveOnExit = linearOnExit;
        if (loop > 0) {
            c.control.toggleLoop();
            QVERIFY(c.waitForFirstPass());
        }
        if (loop == 2) {
            c.settings.loadLinearCurveOnExit = false;  // the stop itself loads nothing
            c.control.toggleLoop();
            c.settings.loadLinearCurveOnExit = linearOnExit;
        }
        c.clearLog();
        // What was published for the display goes where the linear curve
        // replaces its calibration.
        const std::string output = LoopFixture::adapterName(0).toStdString();
        const std::uint8_t profile[] = {1, 2, 3};
        c.sim.publishProfile(output.c_str(), profile);
        c.control.onApplicationExit();
        QVERIFY(!c.thread.isRunning());
        QCOMPARE(c.logText(), expected);
        QCOMPARE(c.sim.publishedProfile(output).empty(), expected.contains("linear gamma ramps"));
        c.control.onApplicationExit();  // runs once
        QCOMPARE(c.logText(), expected);
    }

    void commandLineStart_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("loopRuns");
        QTest::addColumn<bool>("changeLogged");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<QString>("firstLines");
        QTest::newRow("none") << QStringList{} << false << false << false << "";
        QTest::newRow("-hide") << QStringList{"-hide"} << false << false << true << "";
        QTest::newRow("-start") << QStringList{"-start"} << true << false << false
                                << "[TS]Looping...\n\n";
        QTest::newRow("-start -hide") << QStringList{"-start", "-hide"} << true << true << true
                                      << "\n[TS]Start loop called.\n\n";
        QTest::newRow("-hide -start") << QStringList{"-hide", "-start"} << true << true << true
                                      << "\n[TS]Start loop called.\n\n";
    }

    void commandLineStart() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, loopRuns);
        QFETCH(bool, changeLogged);
        QFETCH(bool, hidden);
        QFETCH(QString, firstLines);
        Control c;
        c.settings.enableTrayIcon = false;
        const WindowStartState s = startForCommandLine(arguments, c.control, c.ctx);
        QCOMPARE(c.thread.isRunning(), loopRuns);
        QCOMPARE(c.flags.loopRunning, loopRuns);
        QCOMPARE(s.startedHidden, hidden);
        QCOMPARE(s.windowShown, !hidden);
        QCOMPARE(s.trayPictureOn, loopRuns);
        QCOMPARE(s.actionStartReadsStop, loopRuns);
        // Hidden, the tray icon is the only way in: visible whatever the
        // setting says.
        QCOMPARE(s.trayVisible, hidden);
        if (loopRuns) {
            QVERIFY(c.waitForFirstPass());
            QTRY_VERIFY(c.logText().count("(Loaded ") == 3);
        }
        const QString log = c.logText();
        QVERIFY2(firstLines.isEmpty() || log.startsWith(firstLines), qPrintable(log));
        QCOMPARE(log.contains("change(s) detected"), changeLogged);
    }
};

QTEST_GUILESS_MAIN(TestLoopControl)
#include "tst_loop_control.moc"
