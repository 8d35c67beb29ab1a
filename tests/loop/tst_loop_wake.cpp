// The watch loop woken by the display system's own announcements: a change
// is loaded at once whatever the polling period, an announcement that
// changed nothing costs one pass and writes nothing, a burst of them runs
// at most two passes, and a stop while they arrive returns at once. Also
// run under ThreadSanitizer.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <QTest>

#include "loop/loop_control.h"
#include "loop/my_thread.h"
#include "loop_fixture.h"

namespace {

const DEVMODEA fullHd = SimDisplaySystem::makeMode(1920, 1080, 32, 60);
const DEVMODEA hd = SimDisplaySystem::makeMode(1280, 720, 32, 60);
// Longer than any case runs: a pass after the first one comes only from
// an announcement.
constexpr int minute = 60000;

// The loop on its thread with a minute's polling period; the passes are
// counted, and a pass can be held at its start.
struct Woken : LoopFixture {
    MyThread thread{ctx};
    LoopControl control{ctx, thread};
    std::atomic<int> passes{0};

    Woken() : LoopFixture(defaultDisplays, true) {
        settings.pollingPeriod = minute;
        forwarding.onListAdapters = [this] {
            ++passes;
            std::unique_lock lock(gateMutex_);
            if (!holding_)
                return;
            held_ = true;
            gate_.notify_all();
            gate_.wait(lock, [this] { return !holding_; });
        };
    }
    ~Woken() {
        release();
        thread.stopLoop();
    }

    // Starts the loop and waits until its first pass has applied the
    // `active` displays: each display's block holds the log from before its
    // device context is opened to its last line.
    bool start(int active = defaultDisplays) {
        flags.suppressChangeMsg = true;
        control.toggleLoop();
        if (!QTest::qWaitFor([&] { return sim.calls().createDC >= active; }, 5000))
            return false;
        LogGroup barrier = log.group();
        return true;
    }

    // The next pass stops at its start until release(); true once one is held.
    void holdNextPass() {
        std::lock_guard lock(gateMutex_);
        holding_ = true;
        held_ = false;
    }
    bool waitUntilHeld() {
        std::unique_lock lock(gateMutex_);
        return gate_.wait_for(lock, std::chrono::seconds(10), [this] { return held_; });
    }
    void release() {
        std::lock_guard lock(gateMutex_);
        holding_ = false;
        gate_.notify_all();
    }

private:
    std::mutex gateMutex_;
    std::condition_variable gate_;
    bool holding_ = false;
    bool held_ = false;
};

// Display 0 with RED on 1920x1080 and BLUE on 1280x720.
void associateBothModes(Woken& w) {
    w.tree.AppendMonitor(LoopFixture::monitor(0), "Adapter");
    w.tree.AppendResolution(1920, 1080);
    w.tree.AppendMode(fullHd, "RED");
    w.tree.AppendResolution(1280, 720);
    w.tree.AppendMode(hd, "BLUE");
}

}  // namespace

class TestLoopWake : public QObject {
    Q_OBJECT

private slots:
    void announcedChangeIsLoadedAtOnce_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("display");
        QTest::addColumn<QString>("tint");
        QTest::newRow("mode switched") << "switch" << 0 << "BLUE";
        QTest::newRow("monitor attached") << "attach" << 3 << "GREEN";
        QTest::newRow("monitor switched on") << "switch on" << 2 << "CYAN";
    }

    void announcedChangeIsLoadedAtOnce() {
        QFETCH(QString, change);
        QFETCH(int, display);
        QFETCH(QString, tint);
        Woken w;
        associateBothModes(w);
        // An adapter without a monitor yet, and a monitor switched off.
        const int empty = w.sim.addAdapter(LoopFixture::adapterName(3).toStdString(), "Adapter 3");
        w.sim.setModes(empty, {fullHd, hd});
        w.associateGlobally(3, "GREEN");
        w.associate(2, "CYAN");
        w.sim.setMonitorActive(2, 0, false);
        QVERIFY(w.start(2));
        QVERIFY(w.sim.gamma(display) != w.tint(tint));
        const int before = w.passes;
        w.clearLog();

        if (change == "switch")
            w.sim.switchMode(0, hd);
        else if (change == "attach")
            w.sim.attachMonitor(empty, LoopFixture::monitor(3));
        else
            w.sim.setMonitorActive(2, 0, true);
        // Long before the minute's pass could have come.
        QTRY_VERIFY_WITH_TIMEOUT(w.sim.gamma(display) == w.tint(tint), 2000);
        QVERIFY(w.passes > before);
        QVERIFY(w.logText().startsWith(
            "[TS]Monitor, resolution, and / or mode change(s) detected.\n\n"));
    }

    void announcementThatChangedNothingWritesNothing() {
        Woken w;
        associateBothModes(w);
        w.associate(1, "LINEAR");
        w.associateGlobally(2, "YELLOW");
        QVERIFY(w.start());
        w.clearLog();
        const int before = w.passes;
        const int reads = w.sim.calls().getDeviceGammaRamp;

        // The current mode again, as a game may set it.
        w.sim.switchMode(0, fullHd);
        // The pass's drift test reads every display back.
        QTRY_VERIFY_WITH_TIMEOUT(w.sim.calls().getDeviceGammaRamp >= reads + w.displays, 2000);
        QTest::qWait(200);
        QCOMPARE(w.passes.load(), before + 1);
        QCOMPARE(w.logText(), QString());
    }

    // A pass begins with the first announcement of the burst; the rest
    // arrive while it runs and bring one pass more, which loads the mode
    // the burst ended with.
    void burstOfAnnouncementsRunsAtMostTwoPasses() {
        Woken w;
        associateBothModes(w);
        QVERIFY(w.start());
        const int before = w.passes;

        w.holdNextPass();
        w.sim.switchMode(0, hd);
        QVERIFY(w.waitUntilHeld());
        for (int n = 1; n < 1000; ++n) w.sim.switchMode(0, n % 2 ? fullHd : hd);
        w.release();
        QTRY_VERIFY_WITH_TIMEOUT(w.sim.gamma(0) == w.tint("RED"), 2000);
        QTest::qWait(300);
        QCOMPARE(w.passes.load(), before + 2);
    }

    // Stops land while announcements keep coming: while the loop is woken,
    // runs the pass they bring or waits again. Each returns at once.
    void stopDuringTheWakeReturnsAtOnce() {
        Woken w;
        associateBothModes(w);
        QVERIFY(w.start());
        std::jthread user([&](std::stop_token stop) {
            for (int n = 0; !stop.stop_requested(); ++n) {
                w.sim.switchMode(0, n % 2 ? fullHd : hd);
                std::this_thread::sleep_for(std::chrono::microseconds(n % 50));
            }
        });
        for (int cycle = 0; cycle < 300; ++cycle) {
            const auto begin = std::chrono::steady_clock::now();
            LoopControl::LoopPause pause = w.control.pauseLoop("Stopping loop...\n", false);
            const auto took = std::chrono::steady_clock::now() - begin;
            QVERIFY(!w.thread.isRunning());
            // Not the minute: a stop wakes the wait (its latency is
            // measured in bench/).
            QVERIFY(took < std::chrono::seconds(5));
            std::this_thread::sleep_for(std::chrono::microseconds(cycle % 7 * 100));
        }
        user.request_stop();
    }
};

QTEST_GUILESS_MAIN(TestLoopWake)
#include "tst_loop_wake.moc"
