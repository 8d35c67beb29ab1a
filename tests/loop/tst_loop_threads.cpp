// The loop thread under stress: thousands of stops and starts with passes
// back to back while another program keeps replacing the displays' ramps.
// Also run under ThreadSanitizer.
#include <atomic>
#include <chrono>
#include <thread>

#include <QTest>

#include "loop/loop_control.h"
#include "loop/my_thread.h"
#include "loop/watch_loop.h"
#include "loop_fixture.h"

namespace {

struct Threaded : LoopFixture {
    MyThread thread{ctx};
    LoopControl control{ctx, thread};
    ~Threaded() { thread.stopLoop(); }
};

bool isKnownLine(const QString& line) {
    static const QStringList starts = {"[TS]Current monitor:",
                                       "Current monitor:",
                                       "MONITOR\\",
                                       "Created hDC: ",
                                       "Mon is NULL",
                                       "Mode is NULL",
                                       "Applying color profile: ",
                                       "Loading ",
                                       "(Loaded ",
                                       "Doing nothing",
                                       "[TS]Preserving - Current monitor:",
                                       "Setting back ",
                                       "(Set back ",
                                       "Set back ",
                                       "(Failed to ",
                                       "Failed to ",
                                       "Looping...",
                                       "Stopping loop...",
                                       "Restarting loop...",
                                       "[TS]Monitor, resolution",
                                       "[TS]Start loop called.",
                                       "[TS]Stop loop called.",
                                       "[TS]Loading linear gamma ramps...",
                                       "Created hDC - ",
                                       "main "};
    if (line.isEmpty())
        return true;
    for (const QString& s : starts)
        if (line.startsWith(s))
            return true;
    return false;
}

}  // namespace

class TestLoopThreads : public QObject {
    Q_OBJECT

private slots:
    void stopAndStartThousandsOfTimesWhileRampsAreReplaced() {
        Threaded t;
        const GammaRamp curve = LoopFixture::gammaCurve(2.2);
        t.associate(0, "/p/display.icc", &curve);
        t.associate(1, "RED");
        t.associate(2, "LINEAR");
        t.settings.pollingPeriod = 0;
        t.flags.suppressChangeMsg = true;
        // The whole run in one file, however large it grows.
        t.log.setSizeLimit(0);
        t.control.toggleLoop();

        // A std::jthread: a failed check returns with it stopped and joined.
        std::jthread otherProgram([&](std::stop_token stop) {
            std::uint16_t v = 0;
            while (!stop.stop_requested()) {
                t.sim.overwriteGamma(v % 3, LoopFixture::filled(v));
                ++v;
                std::this_thread::yield();
            }
        });
        constexpr int cycles = 2000;
        for (int n = 0; n < cycles; ++n) {
            // Let the restarted loop get into a pass, so that the stops land
            // anywhere in it (and not only before its first step).
            const int seen = t.sim.calls().enumDisplayDevices;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (t.sim.calls().enumDisplayDevices == seen) {
                QVERIFY(std::chrono::steady_clock::now() < deadline);
                std::this_thread::yield();
            }
            LoopControl::LoopPause pause = t.control.pauseLoop("Stopping loop...\n", false);
            QVERIFY(!t.thread.isRunning());
            // The loop is off: the main thread may work on what it shares.
            t.log.group() << "main " << n << "\n";
            if (n % 500 == 0)
                t.activeDisplays.Clear();
        }
        otherProgram.request_stop();
        otherProgram.join();
        t.control.toggleLoop();
        QVERIFY(!t.thread.isRunning());

        QFile f(t.logPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(f.readAll());
        text.replace(QRegularExpression("\\[\\d{4}-[^\\]]+\\]"), "[TS]");
        const QStringList lines = text.split('\n');
        int mainLines = 0;
        int lastMain = -1;
        int lastStop = -1;
        for (int i = 0; i < lines.size(); ++i) {
            QVERIFY2(isKnownLine(lines[i]), qPrintable(lines[i]));
            if (lines[i] == "Stopping loop...")
                lastStop = i;
            if (lines[i].startsWith("main ")) {
                QCOMPARE(lines[i], QString("main %1").arg(mainLines));
                ++mainLines;
                // The stop line comes before the change (the loop may still
                // finish a group after it), the restart line right after:
                // nothing of the loop runs while the main thread works.
                QVERIFY(lastStop > lastMain);
                QCOMPARE(lines[i + 1], QString("Restarting loop..."));
                lastMain = i;
            }
            // Every set-back event is whole: title, device, action, outcome.
            if (lines[i] == "[TS]Preserving - Current monitor:") {
                QVERIFY(lines[i + 1].startsWith("MONITOR\\"));
                QVERIFY(lines[i + 2].startsWith("Setting back "));
                QVERIFY(lines[i + 3].contains(" - hDC = 0x"));
            }
        }
        QCOMPARE(mainLines, cycles);
        QVERIFY(text.count("[TS]Preserving - Current monitor:") > 0);
    }

    // The loop sets back a ramp the driver never holds exactly, and logs it,
    // on every pass, while the main thread writes too: the log passes its
    // limit once, and every group of both threads is found whole, in order,
    // in "Log.old.txt" or after the separator that begins the new "Log.txt".
    void rotationWhileTheLoopWritesLosesAndSplitsNothing() {
        Threaded t;
        constexpr qint64 limit = 256 * 1024;
        t.log.setSizeLimit(limit);
        const GammaRamp curve = LoopFixture::gammaCurve(2.2);
        t.associate(0, "/p/display.icc", &curve);
        t.sim.setQuantizeBits(0, 10);
        t.settings.pollingPeriod = 1;
        t.flags.suppressChangeMsg = true;
        t.control.toggleLoop();
        const QString old = Log::oldLogPath(t.logPath());
        int n = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (int after = 0; after < 20; ++n) {
            QVERIFY(std::chrono::steady_clock::now() < deadline);
            {
                LogGroup g = t.log.group();
                g << "main " << n << "\n";
                g << "main " << n << " end\n";
            }
            if (QFile::exists(old))
                ++after;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        t.control.toggleLoop();
        QVERIFY(!t.thread.isRunning());

        QFile olderFile(old);
        QVERIFY(olderFile.open(QIODevice::ReadOnly));
        QFile newerFile(t.logPath());
        QVERIFY(newerFile.open(QIODevice::ReadOnly));
        const QByteArray older = olderFile.readAll();
        const QByteArray newer = newerFile.readAll();
        const QByteArray separator =
            "\n\n---------------------------------------------------------------\n\n\n";
        QVERIFY(older.size() > limit);
        QVERIFY2(newer.startsWith(separator), newer.left(200).constData());
        // One rotation only: else the first part would be gone by design.
        QVERIFY(newer.size() < limit);

        QString text = QString::fromUtf8(older + newer.mid(separator.size()));
        text.replace(QRegularExpression("\\[\\d{4}-[^\\]]+\\]"), "[TS]");
        const QStringList lines = text.split('\n');
        int mainGroups = 0;
        int blocks = 0;
        for (int i = 0; i < lines.size(); ++i) {
            QVERIFY2(isKnownLine(lines[i]), qPrintable(lines[i]));
            if (lines[i].startsWith("main ") && !lines[i].endsWith(" end")) {
                QCOMPARE(lines[i], QString("main %1").arg(mainGroups));
                QCOMPARE(lines[i + 1], QString("main %1 end").arg(mainGroups));
                ++mainGroups;
            }
            if (lines[i] == "[TS]Preserving - Current monitor:") {
                QVERIFY(lines[i + 1].startsWith("MONITOR\\"));
                QVERIFY(lines[i + 2].startsWith("Setting back "));
                QVERIFY(lines[i + 3].contains(" - hDC = 0x"));
                QCOMPARE(lines[i + 4], QString());
                ++blocks;
            }
        }
        QCOMPARE(mainGroups, n);
        // Twenty passes a second at the shortest pause.
        QVERIFY2(blocks > 20, qPrintable(QString::number(blocks)));
    }

    void stopReturnsPromptlyDuringAnHourLongPause() {
        Threaded t;
        t.settings.pollingPeriod = 3600 * 1000;
        t.control.toggleLoop();
        QTRY_VERIFY(t.sim.calls().createDC >= LoopFixture::defaultDisplays);
        QTest::qWait(20);  // inside the pause now
        const auto begin = std::chrono::steady_clock::now();
        t.control.toggleLoop();
        const auto took = std::chrono::steady_clock::now() - begin;
        QVERIFY(!t.thread.isRunning());
        // Not the hour: the stop wakes the pause (its latency is measured in
        // bench/).
        QVERIFY(took < std::chrono::seconds(10));
    }

    // A period of 0 (an emptied field) does not run passes back to back:
    // the loop pauses at least 50 ms, so half a second holds at most a dozen
    // passes (a drift test reads each of the three displays once).
    void zeroPeriodPausesTheShortestPause() {
        Threaded t;
        t.settings.pollingPeriod = 0;
        t.control.toggleLoop();
        QTRY_VERIFY(t.sim.calls().getDeviceGammaRamp >= 3);
        const int before = t.sim.calls().getDeviceGammaRamp;
        QTest::qWait(500);
        const int passes = (t.sim.calls().getDeviceGammaRamp - before) / 3;
        t.control.toggleLoop();
        QVERIFY2(passes >= 1 && passes <= 500 / WatchLoop::minimumPause + 2,
                 qPrintable(QString::number(passes)));
        QCOMPARE(t.settings.pollingPeriod.load(), 0);
    }

    void periodChangeTakesEffectAtTheNextPause() {
        Threaded t;
        t.settings.pollingPeriod = 3600 * 1000;
        t.control.toggleLoop();
        QTRY_VERIFY(t.sim.calls().createDC >= LoopFixture::defaultDisplays);
        // A pause already begun keeps its length; a stop-and-restart (as the
        // settings window does) brings the new period in at once.
        t.settings.pollingPeriod = 0;
        { auto pause = t.control.pauseLoop("Stopping loop...\n", false); }
        QTRY_VERIFY_WITH_TIMEOUT(t.sim.calls().getDeviceGammaRamp > 30, 20000);
        t.control.toggleLoop();
    }
};

QTEST_GUILESS_MAIN(TestLoopThreads)
#include "tst_loop_threads.moc"
